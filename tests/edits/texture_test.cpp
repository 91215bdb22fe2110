#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "edits/texture.h"
#include "s3d/s3d_model.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/s3d_builder.h"

using namespace kvtest;

namespace {

constexpr std::uint32_t kInstance = 0x4a3b0120;
constexpr std::uint32_t kTexture = 0x4a3b5507;

// A model whose material block k holds the texture IDs materials[k] (none for
// an empty list).
std::vector<std::uint8_t> ModelWith(const std::vector<std::vector<std::uint32_t>>& materials) {
    S3DBuilder b = RealisticS3D("Depot", 4);
    b.mats.clear();
    for (const auto& ids : materials) {
        S3DMaterial& mat = b.mats.emplace_back();
        mat.flags = 0x2B;
        mat.settings = {0x04, 0x03, 0x01, 0x00};
        for (std::uint32_t id : ids) {
            S3DTexture& tex = mat.textures.emplace_back();
            tex.id = id;
            tex.settings = {1, 2, 3, 4};
            tex.name = "Depot_" + std::to_string(id);
        }
    }
    return b.Build();
}

std::unique_ptr<CDATDoc> ArchiveOf(std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> entries,
                                   bool compress = false) {
    DbpfBuilder b;
    for (auto& [instance, model] : entries) b.Add(kTypeS3D, 0x1234, instance, compress ? CompressEntry(model) : model);
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

std::uint32_t FirstId(const _s3d_model& m, std::size_t block) { return m.mats.blocks[block].textures[0].textureId; }

const std::wstring kPrefix = L"0x5ad0e817 0x001234 0x4a3b0120 Block=";

}  // namespace

// The masks' worked example, plus the cases around it.
TEST(IdMasks, WorkedExample) {
    struct Case {
        const wchar_t* find;
        const wchar_t* replace;
        bool matches;
        std::uint32_t built;
    };
    const Case cases[] = {
        {L"####????", L"????00#0", true, 0x4a3b0020},
        {L"4A3B55??", L"4a3b5507", true, kTexture},
        {L"4a3b55??", L"4A3B5507", true, kTexture},
        {L"4a3b66??", L"????????", false, kTexture},
        {L"????????", L"########", true, kInstance},
        {L"#######?", L"????????", false, kTexture},  // position 4 differs from the instance
        {L"????##??", L"00000000", false, 0},
        {L"4a3b5507", L"########", true, kInstance},
        {L"4a3b5508", L"0000000F", false, 0xF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "find " << testing::PrintToString(std::wstring(c.find)));
        EXPECT_EQ(MatchIdPattern(c.find, kInstance, kTexture), c.matches);
        EXPECT_EQ(BuildIdFromPattern(c.replace, kInstance, kTexture), c.built);
    }
}

// The built text is read by the C library's "%x" scan, with the scan's rules.
TEST(IdMasks, BuiltTextIsReadByTheHexScan) {
    struct Case {
        const wchar_t* replace;
        std::uint32_t built;
    };
    const Case cases[] = {
        {L"0x00ab??", 0xab07},    // a "0x" in front is taken as the prefix
        {L"  ab??00", 0xab5500},  // leading blanks are skipped
        {L"12zz5678", 0x12},      // reading stops at the first non-digit
        {L"zzzzzzzz", 0},         // no digit: 0
        {L"-0000001", 0xFFFFFFFF},
        {L"+000000A", 0xA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.replace)));
        EXPECT_EQ(BuildIdFromPattern(c.replace, kInstance, kTexture), c.built);
    }
}

TEST(IdMasks, MasksOfAnotherLengthNeitherMatchNorBuild) {
    EXPECT_FALSE(MatchIdPattern(L"4a3b55?", kInstance, kTexture));
    EXPECT_FALSE(MatchIdPattern(L"0x4a3b55??", kInstance, kTexture));
    EXPECT_FALSE(MatchIdPattern(L"", kInstance, kTexture));
    EXPECT_EQ(BuildIdFromPattern(L"1234", kInstance, kTexture), kTexture);
}

TEST(ReplaceTexture, ReportsEveryBlockAndReplacesOnlyTheFirstTextureOfMatchingOnes) {
    auto doc = ArchiveOf({{kInstance, ModelWith({{kTexture, 0x4a3b5599}, {0x11111111}, {0x4a3b0020}, {kTexture}})}});
    ASSERT_TRUE(doc);
    auto before = Load(*doc, 0);
    MessageRecorder rec;
    std::wstring report = L"head\r\n";
    int changed = 0, unchanged = 0;
    // Upper-case masks behave as lower-case ones.
    ASSERT_TRUE(doc->ReplaceTexture(0, L"####????", L"????00#0", report, &changed, &unchanged));
    EXPECT_EQ(report, L"head\r\n" + kPrefix + L"0  Mat=0x4a3b5507 : Changed to 0x4a3b0020\r\n" + kPrefix +
                          L"1  Mat=0x11111111 : Not Matching\r\n" + kPrefix +
                          L"2  Mat=0x4a3b0020 : No action taken - Replace ID equals Original ID\r\n" + kPrefix +
                          L"3  Mat=0x4a3b5507 : Changed to 0x4a3b0020\r\n");
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(unchanged, 1);
    EXPECT_TRUE(rec.boxes().empty());

    auto after = Load(*doc, 0);
    ASSERT_TRUE(after);
    EXPECT_EQ(FirstId(*after, 0), 0x4a3b0020u);
    EXPECT_EQ(after->mats.blocks[0].textures[1].textureId, 0x4a3b5599u);  // further textures keep their IDs
    EXPECT_EQ(after->mats.blocks[0].textures[1].settings, before->mats.blocks[0].textures[1].settings);
    EXPECT_EQ(FirstId(*after, 1), 0x11111111u);
    EXPECT_EQ(FirstId(*after, 3), 0x4a3b0020u);
    EXPECT_EQ(after->mats.blocks[1].flags, before->mats.blocks[1].flags);
    EXPECT_EQ(after->vert.blocks, before->vert.blocks);
}

TEST(ReplaceTexture, UpperCaseMasksMeetTheLowerCaseDigits) {
    auto doc = ArchiveOf({{kInstance, ModelWith({{0xABCDEF01}})}});
    ASSERT_TRUE(doc);
    std::wstring report;
    int changed = 0, unchanged = 0;
    ASSERT_TRUE(doc->ReplaceTexture(0, L"ABCDEF??", L"FEDCBA??", report, &changed, &unchanged));
    EXPECT_EQ(report, kPrefix + L"0  Mat=0xabcdef01 : Changed to 0xfedcba01\r\n");
    EXPECT_EQ(FirstId(*Load(*doc, 0), 0), 0xfedcba01u);
}

TEST(ReplaceTexture, AnEntryWithNothingChangedIsNotStored) {
    struct Case {
        const wchar_t* find;
        const wchar_t* replace;
        const wchar_t* outcome;
    };
    const Case cases[] = {
        {L"????????", L"????????", L"No action taken - Replace ID equals Original ID\r\n"},
        {L"0000????", L"########", L"Not Matching\r\n"},
    };
    for (const Case& c : cases) {
        auto doc = ArchiveOf({{kInstance, ModelWith({{kTexture}, {kTexture}})}}, /*compress=*/true);
        ASSERT_TRUE(doc);
        const auto image = ImageOf(*doc);
        std::wstring report;
        int changed = 0, unchanged = 0;
        ASSERT_TRUE(doc->ReplaceTexture(0, c.find, c.replace, report, &changed, &unchanged));
        EXPECT_EQ(report, kPrefix + L"0  Mat=0x4a3b5507 : " + c.outcome + kPrefix + L"1  Mat=0x4a3b5507 : " + c.outcome);
        EXPECT_EQ(changed, 0);
        EXPECT_EQ(unchanged, 1);
        EXPECT_EQ(ImageOf(*doc), image);
        EXPECT_FALSE(doc->HasPending(0));
    }
}

TEST(ReplaceTexture, InstanceDigitsComeFromEachEntrysOwnInstance) {
    // Two views of a set: the zoom and rotation digits differ between them.
    auto doc = ArchiveOf({{0x40000000, ModelWith({{0x77777777}})}, {0x40000310, ModelWith({{0x77777777}})}},
                         /*compress=*/true);
    ASSERT_TRUE(doc);
    std::wstring report;
    int changed = 0, unchanged = 0;
    ASSERT_TRUE(doc->ReplaceTexture(0, L"????????", L"########", report, &changed, &unchanged));
    ASSERT_TRUE(doc->ReplaceTexture(1, L"????????", L"########", report, &changed, &unchanged));
    bool compressed = false;
    EXPECT_EQ(FirstId(*Load(*doc, 0), 0), 0x40000000u);
    EXPECT_EQ(FirstId(*Load(*doc, 1, &compressed), 0), 0x40000310u);
    EXPECT_TRUE(compressed);
    EXPECT_EQ(report, L"0x5ad0e817 0x001234 0x40000000 Block=0  Mat=0x77777777 : Changed to 0x40000000\r\n"
                      L"0x5ad0e817 0x001234 0x40000310 Block=0  Mat=0x77777777 : Changed to 0x40000310\r\n");
    // A find mask with "#" compares with the entry's own digits too.
    report.clear();
    EXPECT_TRUE(doc->ReplaceTexture(1, L"#####3#?", L"00000000", report, &changed, &unchanged));
    EXPECT_NE(report.find(L"Changed to 00000000"), std::wstring::npos);
}

TEST(ReplaceTexture, AMaterialWithoutTexturesEndsTheEditAndStoresNothing) {
    auto doc = ArchiveOf({{kInstance, ModelWith({{kTexture}, {}, {kTexture}})}});
    ASSERT_TRUE(doc);
    const auto image = ImageOf(*doc);
    MessageRecorder rec;
    std::wstring report;
    int changed = 0, unchanged = 0;
    EXPECT_FALSE(doc->ReplaceTexture(0, L"????????", L"########", report, &changed, &unchanged));
    EXPECT_EQ(rec.texts(), std::vector<std::wstring>{L"Encountered an improper argument."});
    // The earlier block's line is in, the entry is as it was.
    EXPECT_EQ(report, kPrefix + L"0  Mat=0x4a3b5507 : Changed to 0x4a3b0120\r\n");
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(ImageOf(*doc), image);
    EXPECT_FALSE(doc->HasPending(0));
}

TEST(ReplaceTexture, ModelWithoutMaterialsAddsNothing) {
    auto doc = ArchiveOf({{kInstance, ModelWith({})}});
    ASSERT_TRUE(doc);
    const auto image = ImageOf(*doc);
    std::wstring report;
    int changed = 0, unchanged = 0;
    EXPECT_TRUE(doc->ReplaceTexture(0, L"????????", L"########", report, &changed, &unchanged));
    EXPECT_TRUE(report.empty());
    EXPECT_EQ(changed + unchanged, 0);
    EXPECT_EQ(ImageOf(*doc), image);
}

TEST(ReplaceTexture, AnEntryThatDoesNotLoadFailsWithNothingAppended) {
    auto damaged = ModelWith({{kTexture}});
    damaged.resize(40);
    auto doc = ArchiveOf({{kInstance, damaged}});
    ASSERT_TRUE(doc);
    MessageRecorder rec;
    std::wstring report;
    int changed = 0, unchanged = 0;
    EXPECT_FALSE(doc->ReplaceTexture(0, L"????????", L"########", report, &changed, &unchanged));
    EXPECT_TRUE(report.empty());
    EXPECT_EQ(changed + unchanged, 0);
    ASSERT_EQ(rec.boxes().size(), 1u);
    EXPECT_NE(rec.boxes()[0].text.find(L"S3D Decoding Error!!!"), std::wstring::npos);
    EXPECT_FALSE(doc->ReplaceTexture(5, L"????????", L"########", report, &changed, &unchanged));
    EXPECT_EQ(rec.texts().back(), L"Encountered an improper argument.");
}
