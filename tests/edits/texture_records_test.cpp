// The material edits change the material values and texture IDs they name and
// nothing else of a texture record: its settings, its two words (33 and 2 in
// every texture a real archive holds) and its name field come back from the
// store as the file held them. Measured against images the test builder
// writes, so a field the program drops shows in the bytes.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/s3d_builder.h"

using namespace kvtest;

namespace {

constexpr std::uint32_t kIdA = 0x1234abcd;
constexpr std::uint32_t kIdB = 0x5678abcd;
constexpr std::uint32_t kInstance = 0x4a3b0120;

S3DTexture Texture(std::uint32_t id, std::array<std::uint8_t, 4> settings, std::string name, bool terminator = true) {
    return {id, settings, 33, 2, std::move(name), terminator, {}};
}

// Two opaque materials: the first animated with three textures, whose name
// fields take the forms a file may hold (the program's own, no zero, bytes
// after the zero), the second with one texture. Both start with texture A.
S3DBuilder Model() {
    S3DBuilder b = RealisticS3D("Depot", 6);
    b.mats.clear();
    for (int k = 0; k < 2; ++k) {
        S3DMaterial& m = b.mats.emplace_back();
        m.flags = 0x2B;
        m.settings = {0x04, 0x03, 0x01, 0x00};
        m.word = 0x0102;
        m.dword = 0x03040506;
        m.byte = 0x80;
    }
    b.mats[0].textures = {Texture(kIdA, {3, 3, 0, 0}, "Depot_anim_0"),
                          Texture(0x00c0ffee, {1, 2, 3, 4}, "Depot_anim_1", false),
                          Texture(0x00c0ffef, {3, 3, 0, 0}, std::string("Depot_anim_2\0old", 16))};
    b.mats[1].textures = {Texture(kIdA, {3, 1, 0, 2}, "Depot_glass")};
    return b;
}

std::vector<std::uint8_t> EntryOf(const S3DBuilder& model, bool compressed) {
    return compressed ? CompressEntry(model.Build()) : model.Build();
}

std::vector<std::uint8_t> ArchiveOf(const S3DBuilder& model, bool compressed) {
    DbpfBuilder b;
    b.Add(kTypeS3D, 0x1234, kInstance, EntryOf(model, compressed));
    b.Add(kTypeS3D, 0x1234, kInstance + 0x1000, EntryOf(RealisticS3D("Other", 4), compressed));
    if (compressed) b.AddDir();
    return b.Build();
}

std::vector<std::uint8_t> BytesOf(const CDATDoc& doc, std::uint32_t row) {
    auto s = doc.EntryBytes(row);
    return {s.begin(), s.end()};
}

bool Transparency(CDATDoc& doc, bool set) {
    std::wstring report;
    int changed = 0, noAction = 0;
    return doc.SetTransparency(0, set, 0, report, &changed, &noAction) && changed == 1 && noAction == 0;
}

bool Replace(CDATDoc& doc, const wchar_t* find, const wchar_t* replace) {
    std::wstring report;
    int changed = 0, unchanged = 0;
    return doc.ReplaceTexture(0, find, replace, report, &changed, &unchanged) && changed == 1 && unchanged == 0;
}

}  // namespace

TEST(TextureRecords, MaterialEditsAndTheirReversalsGiveTheArchiveBackByteForByte) {
    // After each step the entry is what the builder writes for the model with
    // only the edited values changed.
    S3DBuilder clear = Model();
    for (S3DMaterial& m : clear.mats) {
        m.flags = 0x3B;
        m.settings = {0x07, 0x03, 0x04, 0x05};
    }
    S3DBuilder retextured = Model();
    for (S3DMaterial& m : retextured.mats) m.textures[0].id = kIdB;

    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        const std::vector<std::uint8_t> original = ArchiveOf(Model(), compressed);
        auto doc = OpenArchive(original);
        ASSERT_TRUE(doc);
        MessageRecorder rec;

        ASSERT_TRUE(Transparency(*doc, true));
        EXPECT_EQ(BytesOf(*doc, 0), EntryOf(clear, compressed));
        ASSERT_TRUE(Transparency(*doc, false));
        EXPECT_EQ(BytesOf(*doc, 0), EntryOf(Model(), compressed));

        ASSERT_TRUE(Replace(*doc, L"1234abcd", L"5678????"));
        EXPECT_EQ(BytesOf(*doc, 0), EntryOf(retextured, compressed));
        ASSERT_TRUE(Replace(*doc, L"5678abcd", L"1234????"));
        EXPECT_EQ(BytesOf(*doc, 0), EntryOf(Model(), compressed));

        ASSERT_TRUE(doc->CommitReplacedEntries());
        EXPECT_EQ(ImageOf(*doc), original);
        EXPECT_TRUE(rec.boxes().empty());
    }
}
