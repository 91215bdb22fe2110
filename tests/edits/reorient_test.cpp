#include <gtest/gtest.h>

#include <array>

#include "frame_fixture.h"
#include "platform/text.h"
#include "support/message_recorder.h"

using namespace kvtest;
using namespace kvtest::frame;

namespace {

class HintRecorder : public CView {
public:
    void OnUpdate(CView*, std::intptr_t hint, std::intptr_t code) override { hints.push_back({hint, code}); }
    std::vector<std::pair<std::intptr_t, std::intptr_t>> hints;
};

constexpr std::uint32_t kBase = 0x4000;

std::uint32_t ViewInstance(int zoom, int rotation) {
    return kBase + static_cast<std::uint32_t>(zoom) * 0x100u + static_cast<std::uint32_t>(rotation) * 0x10u;
}

// A single model, then a set whose views lie in the index in an order of
// their own, so that rows and views differ.
DbpfBuilder SetArchive() {
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x9000, EntryOf(ModelOf({{1, 1, 1}}), false));
    for (int j = 19; j >= 0; --j) b.Add(kTypeS3D, 7, ViewInstance(j / 4, j % 4), EntryOf(ModelOf({{1, 2, 0}}), true));
    return b;
}

std::vector<std::uint32_t> Instances(const CDATDoc& doc) {
    std::vector<std::uint32_t> v;
    for (std::uint32_t r = 0; r < doc.IndexCount(); ++r) v.push_back(doc.IndexEntry(r).instance);
    return v;
}

// Everything but the index: entry data, DIR and header.
std::vector<std::uint8_t> DataOf(const CDATDoc& doc) { return {doc.m_pBuffer.begin(), doc.m_pBuffer.begin() + doc.m_pIndex}; }

int SetModel(const CDATDoc& doc) {
    for (std::size_t m = 0; m < doc.m_pModels.size(); ++m)
        if (doc.m_pModels[m].nViews == 20) return static_cast<int>(m);
    return -1;
}

}  // namespace

TEST(ReorientModel, RenumbersEveryViewsRotationAndMovesTheModelRow) {
    for (int turns = 1; turns <= 3; ++turns) {
        SCOPED_TRACE(turns);
        HintRecorder view;
        auto doc = Open(SetArchive());
        ASSERT_TRUE(doc);
        doc->AddView(&view);
        const int m = SetModel(*doc);
        ASSERT_GE(m, 0);
        // The row of each old view.
        std::array<int, 20> rowOf{};
        for (int j = 0; j < 20; ++j) rowOf[j] = doc->FindViewRow(doc->m_pModels[m].nRow, j);
        const auto data = DataOf(*doc);
        const std::uint32_t single = doc->IndexEntry(0).instance;

        MessageRecorder rec;
        ASSERT_TRUE(doc->ReorientModel(m, turns));
        EXPECT_TRUE(rec.boxes().empty());
        for (int j = 0; j < 20; ++j) {
            const _dbpf_index_entry e = doc->IndexEntry(static_cast<std::uint32_t>(rowOf[j]));
            EXPECT_EQ(e.instance, ViewInstance(j / 4, (j % 4 + turns) % 4)) << j;
            EXPECT_EQ(e.type, kTypeS3D);
            EXPECT_EQ(e.group, 7u);
        }
        // The new base is the entry that held rotation 4 - turns.
        EXPECT_EQ(doc->m_pModels[m].nRow, rowOf[(4 - turns) % 4]);
        EXPECT_EQ(doc->IndexEntry(static_cast<std::uint32_t>(doc->m_pModels[m].nRow)).instance, kBase);
        EXPECT_EQ(doc->IndexEntry(0).instance, single);
        EXPECT_EQ(DataOf(*doc), data);
        EXPECT_FALSE(doc->AnyPending());
        EXPECT_EQ(view.hints, (std::vector<std::pair<std::intptr_t, std::intptr_t>>{{m, HINT_MODEL_ROW}}));
        doc->RemoveView(&view);
    }
}

TEST(ReorientModel, TurningByOneThenThreeOrTwiceByTwoGivesTheIndexBack) {
    const std::array<std::array<int, 2>, 3> trips{{{1, 3}, {3, 1}, {2, 2}}};
    for (const auto& trip : trips) {
        auto doc = Open(SetArchive());
        ASSERT_TRUE(doc);
        const int m = SetModel(*doc);
        const auto instances = Instances(*doc);
        const int row = doc->m_pModels[m].nRow;
        ASSERT_TRUE(doc->ReorientModel(m, trip[0]));
        EXPECT_NE(Instances(*doc), instances);
        ASSERT_TRUE(doc->ReorientModel(m, trip[1]));
        EXPECT_EQ(Instances(*doc), instances) << trip[0] << " then " << trip[1];
        EXPECT_EQ(doc->m_pModels[m].nRow, row);
    }
}

TEST(ReorientModel, EveryEntryStillHoldsTheModelTurnedByItsNewRotation) {
    // Entries hold the model turned by their rotation; after renumbering they
    // still do, for the model turned as a whole.
    DbpfBuilder b;
    AddSet(b, 7, kBase, ConsistentSet({{1, 2, 0}, {0, 0, 3}}));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    ASSERT_TRUE(doc->ReorientModel(0, 3));
    const int base = doc->m_pModels[0].nRow;
    for (int j = 0; j < 20; ++j) {
        const auto v = VerticesOf(*doc, doc->FindViewRow(base, j));
        ASSERT_EQ(v.size(), 2u);
        // Three added to every rotation turns the model one quarter turn, +x toward +z.
        EXPECT_EQ(PointOf(v[0]), Turned(Turned({1, 2, 0}, 1), j % 4)) << j;
        EXPECT_EQ(PointOf(v[1]), Turned(Turned({0, 0, 3}, 1), j % 4)) << j;
    }
}

TEST(ReorientModel, EntriesOutsideTheViewNumberingAreNotViews) {
    DbpfBuilder b = SetArchive();
    const auto e = EntryOf(ModelOf({{1, 1, 1}}), false);
    b.Add(kTypeS3D, 7, kBase + 0x101, e);  // low nibble set
    b.Add(kTypeS3D, 7, kBase + 0x500, e);  // zoom 5
    b.Add(kTypeS3D, 7, kBase + 0x040, e);  // rotation 4
    b.Add(kTypeS3D, 8, kBase + 0x010, e);  // another group
    b.Add(0x12345678, 7, kBase + 0x010, e);  // another type
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    const int m = SetModel(*doc);
    ASSERT_GE(m, 0);
    const auto before = Instances(*doc);
    MessageRecorder rec;
    ASSERT_TRUE(doc->ReorientModel(m, 2));
    EXPECT_TRUE(rec.boxes().empty());
    const auto after = Instances(*doc);
    for (std::size_t r = 21; r < after.size(); ++r) EXPECT_EQ(after[r], before[r]) << r;
}

TEST(ReorientModel, RefusesWithoutExactlyTwentyDistinctViewsAndChangesNothing) {
    const struct {
        const char* name;
        std::function<void(CDATDoc&)> damage;
        const wchar_t* message;
    } cases[] = {
        {"a view missing",
         [](CDATDoc& d) {
             _dbpf_index_entry e = d.IndexEntry(5);
             e.instance = 0x7777;
             d.SetIndexEntry(5, e);
         },
         L"19 Z/R views found for 0x5ad0e817-0x000007-0x004000!\nPlease fix this file using the reader!"},
        {"a view twice",
         [](CDATDoc& d) {
             _dbpf_index_entry e = d.IndexEntry(0);
             e.instance = ViewInstance(2, 1);
             d.SetIndexEntry(0, e);
         },
         L"21 Z/R views found for 0x5ad0e817-0x000007-0x004000!\nPlease fix this file using the reader!"},
        // Twenty rows, but one view twice in place of another: no instance
        // may be written through the empty slot.
        {"a view twice and another missing",
         [](CDATDoc& d) {
             _dbpf_index_entry e = d.IndexEntry(5);
             e.instance = ViewInstance(2, 1);
             d.SetIndexEntry(5, e);
         },
         L"19 Z/R views found for 0x5ad0e817-0x000007-0x004000!\nPlease fix this file using the reader!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HintRecorder view;
        auto doc = Open(SetArchive());
        ASSERT_TRUE(doc);
        doc->AddView(&view);
        const int m = SetModel(*doc);
        c.damage(*doc);
        const auto image = ImageOf(*doc);
        const int row = doc->m_pModels[m].nRow;
        MessageRecorder rec;
        EXPECT_FALSE(doc->ReorientModel(m, 1));
        EXPECT_EQ(rec.texts(), std::vector<std::wstring>{c.message});
        EXPECT_EQ(ImageOf(*doc), image);
        EXPECT_EQ(doc->m_pModels[m].nRow, row);
        EXPECT_TRUE(view.hints.empty());
        doc->RemoveView(&view);
    }
}

TEST(ReorientModel, ATurnCountOutsideOneToThreeIsRefusedSilently) {
    auto doc = Open(SetArchive());
    ASSERT_TRUE(doc);
    const int m = SetModel(*doc);
    const auto image = ImageOf(*doc);
    MessageRecorder rec;
    for (int turns : {0, 4, -1}) EXPECT_FALSE(doc->ReorientModel(m, turns)) << turns;
    EXPECT_TRUE(rec.boxes().empty());
    EXPECT_EQ(ImageOf(*doc), image);
}

TEST(ReorientModel, AnEmptyIndexHasNoViews) {
    DbpfBuilder b;
    auto doc = OpenArchive(b.Build());
    ASSERT_TRUE(doc);
    doc->m_pModels.push_back({});  // a row the index cannot back
    doc->m_pModels.back().nViews = 20;
    MessageRecorder rec;
    EXPECT_FALSE(doc->ReorientModel(0, 1));
    EXPECT_EQ(rec.texts(),
              std::vector<std::wstring>{L"0 Z/R views found for 00000000-00000000-00000000!\nPlease fix this file using the reader!"});
}

// An entry whose bytes lie over the index, and a DIR that lies inside it:
// renumbering the views and rebuilding the DIR write the index alone. Both
// entries keep their bytes until the save lays them out, and the saved file
// describes every entry.
TEST(ReorientModel, EntriesOverTheIndexKeepTheirBytes) {
    DbpfBuilder b = SetArchive();
    b.Add(0x12345678, 1, 1, {});  // becomes the index's first two rows
    b.AddDir();
    auto file = b.Build();
    const std::uint32_t index = ReadU32(file, 40);
    const std::uint32_t rows = ReadU32(file, 36);
    const std::size_t opaque = index + (rows - 2) * 20, dir = index + (rows - 1) * 20;
    WriteU32(file, opaque + 12, index);
    WriteU32(file, opaque + 16, 40);
    const std::uint32_t dirSize = ReadU32(file, dir + 16);
    ASSERT_LT(100 + dirSize, rows * 20);
    WriteU32(file, dir + 12, index + 100);  // the DIR's records over later rows
    const std::vector<std::uint8_t> oldIndex(file.begin() + index, file.begin() + index + 40);

    auto doc = OpenArchive(file);
    ASSERT_TRUE(doc);
    // Neither shares its bytes with another entry, only with the index.
    EXPECT_TRUE(doc->IsShared(rows - 2) && doc->IsShared(rows - 1));
    const int m = SetModel(*doc);
    ASSERT_GE(m, 0);
    MessageRecorder rec;
    ASSERT_TRUE(doc->ReorientModel(m, 1));
    ASSERT_TRUE(doc->RebuildDirectory());
    EXPECT_TRUE(rec.boxes().empty());
    // The index holds the new instances only, no DIR record.
    for (std::uint32_t r = 0; r < rows; ++r) EXPECT_EQ(doc->IndexEntry(r).type == kTypeS3D, r < 21) << r;
    const auto held = doc->EntryBytes(rows - 2);
    EXPECT_EQ(std::vector<std::uint8_t>(held.begin(), held.end()), oldIndex);

    const std::wstring path = kv::Utf8ToWide(WriteTempFile("reoriented.dat", {}));
    ASSERT_TRUE(doc->OnSaveDocument(path));
    auto saved = OpenArchive(ReadFileBytes(kv::WideToUtf8(path)));
    ASSERT_TRUE(saved);
    const auto kept = saved->EntryBytes(rows - 2);
    EXPECT_EQ(std::vector<std::uint8_t>(kept.begin(), kept.end()), oldIndex);
    ASSERT_EQ(saved->IndexEntry(rows - 1).size, dirSize);
    const auto records = saved->EntryBytes(rows - 1);
    // The records follow the compressed views in index order, with their new instances.
    for (std::uint32_t k = 0; k < 20; ++k) {
        const std::vector<std::uint8_t> rec16(records.begin() + k * 16, records.begin() + k * 16 + 16);
        EXPECT_EQ(ReadU32(rec16, 8), saved->IndexEntry(k + 1).instance) << k;
    }
}
