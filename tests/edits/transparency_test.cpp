#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "s3d/s3d_model.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/s3d_builder.h"

using namespace kvtest;

namespace {

using Bytes4 = std::array<std::uint8_t, 4>;

struct Mat {
    std::uint32_t flags;
    Bytes4 bytes;
};

// A small model with one material block per entry of `mats`.
std::vector<std::uint8_t> ModelWith(const std::vector<Mat>& mats) {
    S3DBuilder b = RealisticS3D("Tower", 4);
    b.mats.clear();
    for (const Mat& m : mats) {
        S3DMaterial& mat = b.mats.emplace_back();
        mat.flags = m.flags;
        mat.settings = m.bytes;
        S3DTexture& tex = mat.textures.emplace_back();
        tex.id = 0x11110000u + static_cast<std::uint32_t>(b.mats.size());
        tex.name = "tex";
    }
    return b.Build();
}

std::unique_ptr<CDATDoc> ArchiveOf(std::vector<std::vector<std::uint8_t>> models, bool compress = false) {
    DbpfBuilder b;
    std::uint32_t instance = 0x10;
    for (auto& m : models) {
        b.Add(kTypeS3D, 0x1234, instance, compress ? CompressEntry(m) : std::move(m));
        instance += 0x1000;
    }
    if (compress) b.AddDir();
    return OpenArchive(b.Build());
}

std::unique_ptr<_s3d_model> Load(CDATDoc& doc, int row, bool* compressed = nullptr) {
    bool c = false;
    std::uint32_t size = 0;
    auto m = doc.LoadModel(static_cast<std::uint32_t>(row), c, size);
    if (compressed) *compressed = c;
    return m;
}

constexpr Bytes4 kOpaque{0x04, 0x03, 0x01, 0x00};
constexpr Bytes4 kClearLe{0x07, 0x03, 0x04, 0x05};
constexpr Bytes4 kClearLt{0x07, 0x01, 0x04, 0x05};

const std::wstring kSet = L"Transparency Set\r\n";
const std::wstring kRemoved = L"Transparency Removed\r\n";
const std::wstring kAlreadyClear = L"No action taken - Already transparent\r\n";
const std::wstring kAlreadyOpaque = L"No action taken - Already nontransparent\r\n";
const std::wstring kUnknown = L"No action taken - Unrecognisable settings pattern\r\n";

}  // namespace

// Each row: one block before, the request, and what the block, the line and
// the flags say afterwards.
TEST(SetTransparency, ClassifiesAndChangesEachBlockByTheTwoPatterns) {
    struct Case {
        Mat before;
        bool set;
        int depth;
        Mat after;
        const std::wstring* outcome;
    };
    const Case cases[] = {
        {{0x2B, kOpaque}, true, 0, {0x3B, kClearLe}, &kSet},
        {{0x2B, kOpaque}, true, 1, {0x3B, kClearLt}, &kSet},
        {{0x3B, kClearLe}, false, 0, {0x2B, kOpaque}, &kRemoved},
        {{0x3B, kClearLt}, false, 1, {0x2B, kOpaque}, &kRemoved},
        // The transparent pattern is tested with the depth byte the caller asks for.
        {{0x3B, kClearLt}, false, 0, {0x3B, kClearLt}, &kUnknown},
        {{0x3B, kClearLt}, true, 0, {0x3B, kClearLt}, &kUnknown},
        {{0x3B, kClearLe}, true, 1, {0x3B, kClearLe}, &kUnknown},
        {{0x3B, kClearLe}, true, 0, {0x3B, kClearLe}, &kAlreadyClear},
        {{0x2B, kOpaque}, false, 1, {0x2B, kOpaque}, &kAlreadyOpaque},
        // Bits outside the four required and 0x10 are neither tested nor changed.
        {{0xFF, kClearLe}, false, 0, {0xEF, kOpaque}, &kRemoved},
        {{0x12B, kOpaque}, true, 0, {0x13B, kClearLe}, &kSet},
        {{0xFFFFFF2B, kOpaque}, true, 1, {0xFFFFFF3B, kClearLt}, &kSet},
        // A missing required bit makes any bytes unrecognisable.
        {{0x2A, kOpaque}, true, 0, {0x2A, kOpaque}, &kUnknown},
        {{0x29, kOpaque}, true, 0, {0x29, kOpaque}, &kUnknown},
        {{0x23, kOpaque}, true, 0, {0x23, kOpaque}, &kUnknown},
        {{0x0B, kOpaque}, true, 0, {0x0B, kOpaque}, &kUnknown},
        {{0x1B, kClearLe}, false, 0, {0x1B, kClearLe}, &kUnknown},
        // The right flags with the other pattern's bytes.
        {{0x2B, kClearLe}, true, 0, {0x2B, kClearLe}, &kUnknown},
        {{0x3B, kOpaque}, false, 0, {0x3B, kOpaque}, &kUnknown},
        {{0x2B, Bytes4{0x04, 0x03, 0x01, 0x01}}, true, 0, {0x2B, Bytes4{0x04, 0x03, 0x01, 0x01}}, &kUnknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "flags " << c.before.flags << " set " << c.set << " depth "
                                        << c.depth);
        auto doc = ArchiveOf({ModelWith({c.before})});
        ASSERT_TRUE(doc);
        const auto image = ImageOf(*doc);
        MessageRecorder rec;
        std::wstring report;
        int changed = 0, noAction = 0;
        ASSERT_TRUE(doc->SetTransparency(0, c.set, c.depth, report, &changed, &noAction));
        EXPECT_EQ(report, L"0x5ad0e817 0x001234 0x000010 Block=0 : " + *c.outcome);
        const bool edited = c.outcome == &kSet || c.outcome == &kRemoved;
        EXPECT_EQ(changed, edited ? 1 : 0);
        EXPECT_EQ(noAction, edited ? 0 : 1);
        auto m = Load(*doc, 0);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->mats.blocks[0].flags, c.after.flags);
        EXPECT_EQ(m->mats.blocks[0].settings, c.after.bytes);
        // An entry with nothing changed keeps its bytes exactly.
        if (!edited) {
            EXPECT_EQ(ImageOf(*doc), image);
        }
        EXPECT_TRUE(rec.boxes().empty());
    }
}

TEST(SetTransparency, SetThenRemoveRestoresTheBlockAndOnlyMaterialFieldsChange) {
    auto doc = ArchiveOf({ModelWith({{0x2B, kOpaque}})}, /*compress=*/true);
    ASSERT_TRUE(doc);
    auto original = Load(*doc, 0);
    std::wstring report;
    int changed = 0, noAction = 0;
    ASSERT_TRUE(doc->SetTransparency(0, true, 1, report, &changed, &noAction));
    ASSERT_TRUE(doc->SetTransparency(0, false, 1, report, &changed, &noAction));
    bool compressed = false;
    auto after = Load(*doc, 0, &compressed);
    ASSERT_TRUE(after);
    EXPECT_TRUE(compressed);  // stored back in the form it had
    EXPECT_EQ(after->mats.blocks, original->mats.blocks);
    EXPECT_EQ(after->vert.blocks, original->vert.blocks);
    EXPECT_EQ(after->indx.blocks, original->indx.blocks);
    EXPECT_EQ(after->anim.meshes, original->anim.meshes);
    EXPECT_EQ(report, L"0x5ad0e817 0x001234 0x000010 Block=0 : Transparency Set\r\n"
                      L"0x5ad0e817 0x001234 0x000010 Block=0 : Transparency Removed\r\n");
    EXPECT_EQ(noAction, 0);
}

TEST(SetTransparency, MixedBlocksGetOneLineEachInOrderAndTheEntryIsStoredOnce) {
    std::vector<Mat> mats = {{0x2B, kOpaque}, {0x3B, kClearLe}, {0x00, kOpaque}};
    for (int i = 0; i < 8; ++i) mats.push_back({0x2B, kOpaque});  // blocks 3 to 10: two-digit numbers too
    auto doc = ArchiveOf({ModelWith(mats), ModelWith({{0x2B, kOpaque}})});
    ASSERT_TRUE(doc);
    std::wstring report = L"heading\r\n";
    int changed = 0, noAction = 0;
    ASSERT_TRUE(doc->SetTransparency(0, true, 0, report, &changed, &noAction));
    std::wstring expected = L"heading\r\n";
    const std::wstring prefix = L"0x5ad0e817 0x001234 0x000010 Block=";
    expected += prefix + L"0 : " + kSet;
    expected += prefix + L"1 : " + kAlreadyClear;
    expected += prefix + L"2 : " + kUnknown;
    for (int k = 3; k < 10; ++k) expected += prefix + std::to_wstring(k) + L" : " + kSet;
    expected += prefix + L"10: " + kSet;
    EXPECT_EQ(report, expected);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(noAction, 1);
    auto m = Load(*doc, 0);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->mats.blocks[0].settings, kClearLe);
    EXPECT_EQ(m->mats.blocks[10].flags, 0x3Bu);
    // The other entry is untouched.
    EXPECT_EQ(Load(*doc, 1)->mats.blocks[0].flags, 0x2Bu);
}

TEST(SetTransparency, FlagsAreOnlyEverRaised) {
    auto doc = ArchiveOf({ModelWith({{0x2B, kOpaque}})});
    ASSERT_TRUE(doc);
    std::wstring report;
    int changed = 1, noAction = 1;
    ASSERT_TRUE(doc->SetTransparency(0, false, 0, report, &changed, &noAction));  // already opaque
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(noAction, 1);
    changed = 0;
    noAction = 0;
    ASSERT_TRUE(doc->SetTransparency(0, true, 0, report, &changed, &noAction));
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(noAction, 0);
}

TEST(SetTransparency, ModelWithoutMaterialsAddsNothingAndIsNotStored) {
    auto doc = ArchiveOf({ModelWith({})});
    ASSERT_TRUE(doc);
    const auto image = ImageOf(*doc);
    MessageRecorder rec;
    std::wstring report;
    int changed = 0, noAction = 0;
    EXPECT_TRUE(doc->SetTransparency(0, true, 0, report, &changed, &noAction));
    EXPECT_TRUE(report.empty());
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(noAction, 0);
    EXPECT_EQ(ImageOf(*doc), image);
    EXPECT_FALSE(doc->HasPending(0));
    EXPECT_TRUE(rec.boxes().empty());
}

TEST(SetTransparency, AnEntryThatDoesNotLoadFailsWithNothingAppended) {
    std::vector<std::uint8_t> damaged = ModelWith({{0x2B, kOpaque}});
    damaged.resize(damaged.size() / 2);
    auto doc = ArchiveOf({damaged});
    ASSERT_TRUE(doc);
    MessageRecorder rec;
    std::wstring report = L"kept";
    int changed = 0, noAction = 0;
    EXPECT_FALSE(doc->SetTransparency(0, true, 0, report, &changed, &noAction));
    EXPECT_EQ(report, L"kept");
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(noAction, 0);
    ASSERT_EQ(rec.boxes().size(), 1u);  // the load's own message only
    EXPECT_NE(rec.boxes()[0].text.find(L"S3D Decoding Error!!!"), std::wstring::npos);
}

TEST(SetTransparency, ARowOutsideTheIndexIsRefused) {
    auto doc = ArchiveOf({ModelWith({{0x2B, kOpaque}})});
    ASSERT_TRUE(doc);
    MessageRecorder rec;
    std::wstring report;
    int changed = 0, noAction = 0;
    EXPECT_FALSE(doc->SetTransparency(1, true, 0, report, &changed, &noAction));
    EXPECT_FALSE(doc->SetTransparency(-1, true, 0, report, &changed, &noAction));
    EXPECT_EQ(rec.texts(), (std::vector<std::wstring>{L"Encountered an improper argument.",
                                                      L"Encountered an improper argument."}));
    EXPECT_TRUE(report.empty());
}
