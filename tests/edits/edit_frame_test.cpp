#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "edits/edit_frame.h"
#include "frame_fixture.h"
#include "platform/text.h"
#include "support/message_recorder.h"

using namespace kvtest;
using namespace kvtest::frame;

namespace {

struct AxisCase {
    int rotation;
    float x, z;  // of the vector (a, b) = (1, 2)
};

// (1, 2) turned r quarter turns, +x toward +z.
const AxisCase kAxisCases[] = {{0, 1, 2}, {1, -2, 1}, {2, -1, -2}, {3, 2, -1}, {5, -2, 1}, {-1, 2, -1}, {-2, -1, -2}, {8, 1, 2}};

}  // namespace

TEST(ViewAxisValue, TurnsTheVectorByTheRotationsLowBits) {
    for (const AxisCase& c : kAxisCases) {
        SCOPED_TRACE(c.rotation);
        EXPECT_EQ(ViewAxisValue(c.rotation, true, 1.0f, 2.0f), c.x);
        EXPECT_EQ(ViewAxisValue(c.rotation, false, 1.0f, 2.0f), c.z);
    }
}

TEST(ViewAxisValue, TurningBackRestoresTheVectorExactly) {
    const float a = 0.1f, b = -1234.5678f;
    for (int r = 0; r < 4; ++r) {
        const float x = ViewAxisValue(r, true, a, b), z = ViewAxisValue(r, false, a, b);
        const int back = (4 - r) % 4;
        EXPECT_EQ(ViewAxisValue(back, true, x, z), a) << r;
        EXPECT_EQ(ViewAxisValue(back, false, x, z), b) << r;
    }
}

TEST(ViewAxisValue, AgreesWithTheQuarterTurnOfAVertex) {
    // The entry of rotation r holds the model turned r quarter turns: both
    // turns must agree or the twenty views of an edited set would disagree.
    for (int r = 1; r < 4; ++r) {
        float x = 1.0f, z = 2.0f;
        RotateVertexXZ(r, x, z, 0.0);
        EXPECT_EQ(x, ViewAxisValue(r, true, 1.0f, 2.0f)) << r;
        EXPECT_EQ(z, ViewAxisValue(r, false, 1.0f, 2.0f)) << r;
    }
}

// ---------------------------------------------------------------- FindViewRow

TEST(FindViewRow, FindsEachViewByZoomAndRotation) {
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x5000, EntryOf(ModelOf({}), false));  // row 0, a single model
    AddSet(b, 7, 0x1000, [](int, int) { return ModelOf({{1, 2, 3}}); }, false);  // rows 1 to 20
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    for (int j = 0; j < 20; ++j) EXPECT_EQ(doc->FindViewRow(1, j), 1 + j) << j;
}

TEST(FindViewRow, TakesTheFirstMatchingS3DRowOfTheSameGroup) {
    DbpfBuilder b;
    const auto e = EntryOf(ModelOf({{1, 2, 3}}), false);
    b.Add(0x12345678, 7, 0x1110, e);  // row 0: same group and instance, another type
    b.Add(kTypeS3D, 8, 0x1110, e);    // row 1: another group
    b.Add(kTypeS3D, 7, 0x1000, e);    // row 2: the base
    b.Add(kTypeS3D, 7, 0x1110, e);    // row 3: view 5
    b.Add(kTypeS3D, 7, 0x1110, e);    // row 4: the same again
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->FindViewRow(2, 5), 3);
    EXPECT_EQ(doc->FindViewRow(2, 0), 2);
    EXPECT_EQ(doc->FindViewRow(2, 19), -1);  // not in the index
    EXPECT_EQ(doc->FindViewRow(2, 20), -1);  // no such view
    EXPECT_EQ(doc->FindViewRow(99, 0), -1);  // no such base row
    EXPECT_EQ(doc->FindViewRow(-1, 0), -1);
}

TEST(FindViewRow, AnEmptyIndexHasNoViews) {
    DbpfBuilder b;
    auto doc = OpenArchive(b.Build());
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->FindViewRow(0, 0), -1);
}

// ---------------------------------------------------------------- FormatChanges

namespace {

struct WordingCase {
    const wchar_t* marks;
    int views;
    const wchar_t* wording;
};

const WordingCase kWordingCases[] = {
    {L"\u2013\u2013\u2013\u2013\u2013\u2013\u2013", 1, L"None"},
    {L"\u2013\u2013\u2013\u2013\u2013\u2013\u2013", 20, L"None"},
    {L"\u2013M\u2013S\u2013\u2013\u2013", 1, L"Moved, Scaled"},
    {L"FMRSGTX", 1, L"Flipped, Moved, Rotated, Scaled, Merged, Set Transparency, Retextured"},
    {L"\u2013MRSGTX", 20, L"Moved, Reoriented, Scaled, Merged, Set Transparency, Retextured"},
    {L"FMRSGTX", 20, L"Flipped, Moved, Reoriented, Scaled, Merged, Set Transparency, Retextured"},
    // Any character but the dash is a mark, whatever the command wrote.
    {L"\u2013\u2013? \u2013\u2013\u2013", 1, L"Rotated, Scaled"},
    {L"\u2013\u2013\u2013\u2013\u2013\u2013R", 20, L"Retextured"},
};

}  // namespace

TEST(FormatChanges, WordsEachMarkInPositionOrder) {
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x5000, EntryOf(ModelOf({}), false));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->m_pModels.size(), 1u);
    for (const WordingCase& c : kWordingCases) {
        _dat_model& m = doc->m_pModels[0];
        m.nViews = c.views;
        for (int k = 0; k < 7; ++k) m.szStatus[k] = c.marks[k];
        doc->FormatChanges(0);
        EXPECT_EQ(std::wstring(g_szChangesText), c.wording) << kv::WideToUtf8(c.marks);
    }
    EXPECT_EQ(std::wstring(kWordingCases[3].wording).size(), 69u);
    EXPECT_EQ(std::wstring(kWordingCases[4].wording).size(), 63u);
    EXPECT_EQ(std::wstring(kWordingCases[5].wording).size(), 72u);
}

TEST(FormatChanges, ANewTableReadsNone) {
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x5000, EntryOf(ModelOf({}), false));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    doc->FormatChanges(0);
    EXPECT_STREQ(g_szChangesText, L"None");
    EXPECT_EQ(kChangeLetters[3], L'S');
    EXPECT_EQ(std::wstring(kChangeLetters), L"FMRSGTX");
}

// ---------------------------------------------------------------- the frame

namespace {

struct EntryEdit {
    const char* name;
    std::function<bool(CDATDoc&, int)> run;
};

const EntryEdit kEntryEdits[] = {
    {"scale", [](CDATDoc& d, int row) { return d.ScaleModel(row, 0, false, 1, 1, false, 2.0); }},
    {"move", [](CDATDoc& d, int row) { return d.MoveModel(row, 1, 1.0f, 2.0f, 3.0f); }},
    {"rotate", [](CDATDoc& d, int row) { return d.RotateModel(row, 0, 33.0); }},
    {"flip", [](CDATDoc& d, int row) { return d.FlipModel(row, 0, true); }},
};

// Saves the document under `name` and opens what the file then holds.
std::unique_ptr<CDATDoc> SavedAndOpenedAgain(CDATDoc& doc, const std::string& name) {
    const std::string path = WriteTempFile(name, {});
    if (!doc.OnSaveDocument(kv::Utf8ToWide(path))) return nullptr;
    return OpenArchive(ReadFileBytes(path));
}

}  // namespace

TEST(EditFrame, AnEntryThatCannotBeLoadedIsLeftAsItIs) {
    for (const EntryEdit& edit : kEntryEdits) {
        SCOPED_TRACE(edit.name);
        DbpfBuilder b;
        b.Add(kTypeS3D, 7, 0x5000, EntryOf(ModelOf({{1, 2, 3}}), false));
        b.Add(kTypeS3D, 7, 0x6000, std::vector<std::uint8_t>{'3', 'D', 'M', 'D', 1, 2, 3, 4, 5});
        auto doc = Open(b);
        ASSERT_TRUE(doc);
        const auto image = ImageOf(*doc);
        MessageRecorder rec;
        EXPECT_FALSE(edit.run(*doc, 1));
        ASSERT_EQ(rec.texts().size(), 1u);  // the load's own message, nothing more
        EXPECT_NE(rec.texts()[0].find(L"S3D Decoding Error!!!"), std::wstring::npos);
        EXPECT_FALSE(doc->AnyPending());
        EXPECT_EQ(ImageOf(*doc), image);
        // A row outside the index loads as no entry, reported the same way.
        rec.Clear();
        EXPECT_FALSE(edit.run(*doc, -1));
        EXPECT_FALSE(edit.run(*doc, 99));
        EXPECT_EQ(rec.texts().size(), 2u);
        EXPECT_EQ(ImageOf(*doc), image);
    }
}

// The block counts are 32-bit: a model with more blocks of each kind than a
// 16-bit position could name is edited and stored like any other.
TEST(EditFrame, ModelsWithMoreThan65536BlocksOfAKindAreEditedAndStored) {
    S3DBuilder m = ModelOf({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    const S3DVertBlock vert = m.vert[0];
    const S3DIndxBlock indx = m.indx[0];
    m.vert.resize(65537);
    m.vert.back() = vert;
    m.indx.resize(65537);
    m.indx.back() = indx;
    S3DMaterial opaque;
    opaque.flags = 0x2B;
    opaque.settings = {0x04, 0x03, 0x01, 0x00};
    opaque.textures.push_back({0x1234, {3, 3, 0, 0}, 0, 0, "tex", true, {}});
    m.mats.assign(65537, opaque);
    for (bool compressed : {false, true}) {
        DbpfBuilder b;
        b.Add(kTypeS3D, 7, 0x5000, EntryOf(m, compressed));
        auto doc = Open(b);
        ASSERT_TRUE(doc);
        MessageRecorder rec;
        ASSERT_TRUE(doc->ScaleModel(0, 0, false, 1, 1, false, 2.0));
        ASSERT_TRUE(doc->MoveModel(0, 0, 1.0f, 0.0f, 0.0f));
        ASSERT_TRUE(doc->RotateModel(0, 2, 0.0));
        ASSERT_TRUE(doc->FlipModel(0, 2, true));
        std::wstring report;
        int changed = 0, noAction = 0;
        ASSERT_TRUE(doc->SetTransparency(0, true, 0, report, &changed, &noAction));
        EXPECT_EQ(changed, 1);
        ASSERT_TRUE(doc->ReplaceTexture(0, L"????????", L"0000abcd", report, &changed, &noAction));
        EXPECT_TRUE(rec.boxes().empty());
        EXPECT_EQ(doc->m_nStores, 6u);

        // Saved and opened again, the file holds the edited model.
        doc = SavedAndOpenedAgain(*doc, "many-blocks.dat");
        ASSERT_TRUE(doc);
        auto model = Load(*doc, 0);
        ASSERT_TRUE(model);
        const _s3dvert_vertex& v = model->vert.blocks.back().vertices[1];
        EXPECT_EQ((P{v.x, v.y, v.z}), (P{-9, -10, -12}));
        EXPECT_EQ(model->mats.blocks.back().textures.at(0).textureId, 0xabcdu);
        EXPECT_EQ(model->indx.blocks.back().indices, (std::vector<std::uint16_t>{2, 1, 0}));
        EXPECT_EQ(model->mats.blocks.back().flags, 0x3Bu);
        EXPECT_EQ(model->vert.blockCount, 65537u);
    }
}

// Thousands of empty property records take far more memory than image bytes;
// a model of 3,000 (an image of 18 KB) is read, edited and saved like any other.
TEST(EditFrame, AModelOfThousandsOfEmptyRecordsIsEditedAndSaved) {
    S3DBuilder m = ModelOf({{1, 2, 3}});
    m.props.assign(3000, {});
    m.regions.assign(3000, {});
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        DbpfBuilder b;
        b.Add(kTypeS3D, 7, 0x5000, EntryOf(m, compressed));
        auto doc = Open(b);
        ASSERT_TRUE(doc);
        MessageRecorder rec;
        ASSERT_TRUE(doc->ScaleModel(0, 0, false, 1, 1, false, 2.0));
        EXPECT_TRUE(rec.boxes().empty());
        doc = SavedAndOpenedAgain(*doc, "empty-records.dat");
        ASSERT_TRUE(doc);
        auto model = Load(*doc, 0);
        ASSERT_TRUE(model);
        EXPECT_EQ(model->prop.blocks.size(), 3000u);
        EXPECT_EQ(model->regp.blocks.size(), 3000u);
        EXPECT_EQ(PointOf(VerticesOf(*doc, 0).at(0)), (P{2, 4, 6}));
    }
}
