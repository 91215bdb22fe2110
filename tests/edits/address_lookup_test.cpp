// Lookups by address on random indexes full of repeated addresses, checked
// against plain scans of the index written out here: finding a view, and
// re-orienting sets (which renumbers rows the later lookups must follow).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "frame_fixture.h"
#include "support/message_recorder.h"

using namespace kvtest;
using namespace kvtest::frame;

namespace {

struct Row {
    std::uint32_t type, group, instance;
};

constexpr std::uint32_t kOtherType = 0x12345678;

std::uint32_t Offset(int zoom, int rotation) {
    return static_cast<std::uint32_t>(zoom) * 0x100u + static_cast<std::uint32_t>(rotation) * 0x10u;
}

// Loose rows drawn from a small pool of addresses (so that many repeat),
// zooms and rotations one past the valid ones and stray low nibbles among
// them; and sets: whole ones, ones with a view twice, ones with a view
// missing, one with a view twice and another missing.
std::vector<Row> RandomIndex(std::mt19937& rng) {
    std::vector<Row> rows;
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    static constexpr std::uint32_t kBases[] = {0x4000, 0x5000, 0x6010, 0x7001};
    for (int i = 0; i < 400; ++i) {
        const std::uint32_t type = pick(8) == 0 ? kOtherType : kTypeS3D;
        const std::uint32_t low = pick(10) == 0 ? 1u : 0u;
        rows.push_back({type, 7u + static_cast<std::uint32_t>(pick(2)), kBases[pick(4)] + Offset(pick(6), pick(5)) + low});
    }
    for (std::uint32_t set = 0; set < 12; ++set) {
        const std::uint32_t group = 20 + set % 3, base = 0x10000u * (set + 1);
        for (int j = 0; j < 20; ++j) {
            if (set % 4 == 2 && j == 7) continue;  // missing
            rows.push_back({kTypeS3D, group, base + Offset(j / 4, j % 4)});
            if (set % 4 == 1 && j == 3) rows.push_back({kTypeS3D, group, base + Offset(j / 4, j % 4)});  // twice
        }
        if (set % 4 == 2 && set % 8 == 6) rows.push_back({kTypeS3D, group, base + Offset(0, 0)});
    }
    std::shuffle(rows.begin(), rows.end(), rng);
    return rows;
}

std::vector<Row> IndexOf(const CDATDoc& doc) {
    std::vector<Row> rows;
    for (std::uint32_t r = 0; r < doc.IndexCount(); ++r) {
        const _dbpf_index_entry e = doc.IndexEntry(r);
        rows.push_back({e.type, e.group, e.instance});
    }
    return rows;
}

bool SameIndex(const std::vector<Row>& a, const std::vector<Row>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const Row& x, const Row& y) {
               return x.type == y.type && x.group == y.group && x.instance == y.instance;
           });
}

// The archive of `rows`, which then gain the DIR entry the archive ends with.
std::unique_ptr<CDATDoc> OpenIndex(std::vector<Row>& rows) {
    DbpfBuilder b;
    const auto entry = EntryOf(ModelOf({{1, 2, 3}}), false);
    for (const Row& r : rows) b.Add(r.type, r.group, r.instance, entry);
    auto doc = Open(b);
    if (!doc) return doc;
    rows.push_back({});
    std::vector<Row> index = IndexOf(*doc);
    EXPECT_TRUE(SameIndex({index.begin(), index.end() - 1}, {rows.begin(), rows.end() - 1}));
    rows = index;
    return doc;
}

int ScanFindViewRow(const std::vector<Row>& rows, int baseRow, int view) {
    const Row& base = rows[static_cast<std::size_t>(baseRow)];
    const std::uint32_t instance = base.instance + Offset(view / 4, view % 4);
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].type == kTypeS3D && rows[i].group == base.group && rows[i].instance == instance) return static_cast<int>(i);
    return -1;
}

// Re-orients the set at baseRow by scanning every row; the message it would
// show, or an empty text when it renumbered.
std::wstring ScanReorient(std::vector<Row>& rows, int& baseRow, int turns) {
    const Row base = rows[static_cast<std::size_t>(baseRow)];
    std::array<int, 20> slot;
    slot.fill(-1);
    int found = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::uint32_t e = rows[i].instance;
        if (rows[i].type != base.type || rows[i].group != base.group) continue;
        if ((e & ~0xFF0u) != base.instance || (e & 0xFu) != 0 || (e & 0xF00u) > 0x400u || (e & 0xF0u) > 0x30u) continue;
        ++found;
        slot[((e >> 8) & 0xFu) * 4 + ((e >> 4) & 0xFu)] = static_cast<int>(i);
    }
    const int distinct = static_cast<int>(std::count_if(slot.begin(), slot.end(), [](int s) { return s >= 0; }));
    if (found != 20 || distinct != 20) {
        wchar_t text[200];
        std::swprintf(text, 200, L"%d Z/R views found for %#08x-%#08x-%#08x!\nPlease fix this file using the reader!",
                      found != 20 ? found : distinct, base.type, base.group, base.instance);
        return text;
    }
    for (int s = 0; s < 20; ++s)
        rows[static_cast<std::size_t>(slot[s])].instance = base.instance + Offset(s / 4, (s % 4 + turns) & 3);
    baseRow = slot[static_cast<std::size_t>((-turns) & 3)];
    return {};
}

void ExpectLookupsAsScanned(const CDATDoc& doc, const std::vector<Row>& rows) {
    int mismatches = 0;
    for (int row = 0; row < static_cast<int>(rows.size()); ++row)
        for (int view = 0; view < 20; ++view)
            if (doc.FindViewRow(row, view) != ScanFindViewRow(rows, row, view) && ++mismatches <= 5)
                ADD_FAILURE() << "row " << row << " view " << view << ": " << doc.FindViewRow(row, view) << " where the scan finds "
                              << ScanFindViewRow(rows, row, view);
    EXPECT_EQ(mismatches, 0);
}

}  // namespace

TEST(AddressLookups, FindTheRowsAPlainScanFinds) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        std::vector<Row> rows = RandomIndex(rng);
        auto doc = OpenIndex(rows);
        ASSERT_TRUE(doc);
        ExpectLookupsAsScanned(*doc, rows);
    }
}

// Re-orientations renumber rows in place; every later lookup and
// re-orientation must see the new numbers, also after a commit has laid the
// image out anew.
TEST(AddressLookups, FollowEveryReorientationAsAPlainScanWould) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        std::vector<Row> rows = RandomIndex(rng);
        auto doc = OpenIndex(rows);
        ASSERT_TRUE(doc);
        std::vector<int> baseRows, sets;
        for (std::size_t m = 0; m < doc->m_pModels.size(); ++m) {
            baseRows.push_back(doc->m_pModels[m].nRow);
            if (doc->m_pModels[m].nViews == 20) sets.push_back(static_cast<int>(m));
        }
        ASSERT_GE(sets.size(), 6u);

        int renumbered = 0, refused = 0;
        for (int step = 0; step < 300; ++step) {
            // Mostly the sets; now and then any model, refused or not.
            const int m = rng() % 4 != 0 ? sets[rng() % sets.size()] : static_cast<int>(rng() % doc->m_pModels.size());
            const int turns = 1 + static_cast<int>(rng() % 3);
            const std::wstring expected = ScanReorient(rows, baseRows[static_cast<std::size_t>(m)], turns);

            MessageRecorder rec;
            const bool ok = doc->ReorientModel(m, turns);
            ASSERT_EQ(ok, expected.empty()) << "step " << step;
            if (ok) {
                EXPECT_TRUE(rec.texts().empty());
                ++renumbered;
            } else {
                EXPECT_EQ(rec.texts(), std::vector<std::wstring>{expected});
                ++refused;
            }
            ASSERT_EQ(doc->m_pModels[static_cast<std::size_t>(m)].nRow, baseRows[static_cast<std::size_t>(m)]) << "step " << step;
            ASSERT_TRUE(SameIndex(IndexOf(*doc), rows)) << "step " << step;
            const int base = baseRows[static_cast<std::size_t>(m)];
            for (int view = 0; view < 20; ++view)
                ASSERT_EQ(doc->FindViewRow(base, view), ScanFindViewRow(rows, base, view)) << "step " << step << " view " << view;
        }
        EXPECT_GT(renumbered, 50);
        EXPECT_GT(refused, 10);
        ExpectLookupsAsScanned(*doc, rows);

        // One entry grows, so the commit builds a new image and a new index.
        auto model = Load(*doc, 0);
        ASSERT_TRUE(model);
        _s3d_work_block wb;
        ExtractBlock(S3D_BLOCK_VERT, 0, model.get(), &wb);
        wb.vertices.push_back(wb.vertices.front());
        StoreBlock(model.get(), S3D_BLOCK_VERT, 0, &wb);
        ASSERT_TRUE(doc->StoreModel(0, std::move(model), false, static_cast<std::uint32_t>(doc->EntryBytes(0).size())));
        ASSERT_TRUE(doc->AnyPending());
        ASSERT_TRUE(doc->CommitReplacedEntries());
        ASSERT_TRUE(SameIndex(IndexOf(*doc), rows));
        ExpectLookupsAsScanned(*doc, rows);
        int m = sets.front();
        MessageRecorder rec;
        EXPECT_EQ(doc->ReorientModel(m, 2), ScanReorient(rows, baseRows[static_cast<std::size_t>(m)], 2).empty());
        EXPECT_TRUE(SameIndex(IndexOf(*doc), rows));
    }
}
