#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "archive/dat_doc.h"
#include "archive/model_table.h"
#include "platform/text.h"
#include "qfs_corpus.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"

namespace {

struct Row {
    std::int32_t nRow;
    std::int32_t nViews;
    bool operator==(const Row&) const = default;
};

// Grouping exactly as first written: scan the table for every view, mark a
// completed set, squeeze the marked rows out and start again from the top.
// keyOfIndexRow[r] is the group and instance of index row r.
std::vector<Row> QuadraticGrouping(std::vector<Row> table, const std::vector<ModelKey>& keyOfIndexRow) {
    std::size_t nModels = table.size();
    bool completed = true;
    while (completed) {
        completed = false;
        for (std::size_t i = 0; i < nModels && !completed; ++i) {
            if (table[i].nViews != 0) continue;
            const ModelKey e = keyOfIndexRow[static_cast<std::size_t>(table[i].nRow)];
            if ((e.instance & 0xFFF) != 0) {
                table[i].nViews = 1;
                continue;
            }
            std::size_t found[20];
            int h = 1;
            for (; h < 20; ++h) {
                const std::uint32_t instance = e.instance + static_cast<std::uint32_t>(h / 4) * 0x100 +
                                               static_cast<std::uint32_t>(h % 4) * 0x10;
                std::size_t j = 0;
                while (j < nModels) {
                    const ModelKey& k = keyOfIndexRow[static_cast<std::size_t>(table[j].nRow)];
                    if (k.group == e.group && k.instance == instance) break;
                    ++j;
                }
                if (j == nModels) break;
                found[h] = j;
            }
            if (h < 20) {
                table[i].nViews = 1;
                continue;
            }
            table[i].nViews = 20;
            for (h = 1; h < 20; ++h) table[found[h]].nViews = -1;
            std::size_t j = 0;
            while (j < nModels) {
                if (table[j].nViews == -1) {
                    for (std::size_t m = j; m + 1 < nModels; ++m) table[m] = table[m + 1];
                    --nModels;
                } else {
                    ++j;
                }
            }
            completed = true;
        }
    }
    table.resize(nModels);
    return table;
}

std::vector<Row> Reference(const std::vector<ModelKey>& keys) {
    std::vector<Row> table;
    for (std::size_t k = 0; k < keys.size(); ++k) table.push_back({static_cast<std::int32_t>(k), 0});
    return QuadraticGrouping(table, keys);
}

std::vector<Row> Grouped(const std::vector<ModelKey>& keys) {
    std::vector<Row> rows;
    for (const GroupedModel& g : GroupTwentyViewSetKeys(keys)) rows.push_back({static_cast<std::int32_t>(g.key), g.nViews});
    return rows;
}

// A table with the awkward shapes real archives have: complete and incomplete
// sets, repeated views and bases, views filed under another group, views
// before their base, and plain single models, in a shuffled order.
std::vector<ModelKey> RandomTable(kvtest::SplitMix& rng, std::size_t sets, std::size_t singles) {
    const std::uint32_t groups[] = {0x1ABE787D, 0x2BBE787D, 0x0};
    const std::uint32_t bases[] = {0x0, 0x1000, 0x2000, 0x7000, 0x3000, 0xFFFFF000, 0x00ABC000};
    std::vector<ModelKey> keys;
    for (std::size_t s = 0; s < sets; ++s) {
        const std::uint32_t group = groups[rng.Below(3)];
        const std::uint32_t base = bases[rng.Below(7)];
        const int shape = static_cast<int>(rng.Below(6));
        for (int h = 0; h < 20; ++h) {
            std::uint32_t g = group;
            if (shape == 1 && rng.Below(10) == 0) continue;  // incomplete
            if (shape == 2 && rng.Below(12) == 0) g = groups[rng.Below(3)];  // split across groups
            const std::uint32_t instance = ViewInstance(base, h);
            keys.push_back({g, instance});
            if (shape == 3 && rng.Below(4) == 0) keys.push_back({g, instance});  // repeated view
        }
        if (shape == 4) keys.push_back({group, base});  // a second base
    }
    for (std::size_t s = 0; s < singles; ++s) {
        const std::uint32_t group = groups[rng.Below(3)];
        const std::uint32_t base = bases[rng.Below(7)];
        switch (rng.Below(3)) {
        case 0: keys.push_back({group, ViewInstance(base, 1 + static_cast<int>(rng.Below(19)))}); break;
        case 1: keys.push_back({group, base}); break;
        default: keys.push_back({group, static_cast<std::uint32_t>(rng.Next())}); break;
        }
    }
    // Shuffle wholly, or only locally so that many sets stay together.
    if (rng.Below(2) == 0) {
        for (std::size_t k = keys.size(); k > 1; --k) std::swap(keys[k - 1], keys[rng.Below(static_cast<std::uint32_t>(k))]);
    } else {
        for (std::size_t k = 0; k + 1 < keys.size(); ++k)
            if (rng.Below(5) == 0) std::swap(keys[k], keys[std::min(keys.size() - 1, k + 1 + rng.Below(30))]);
    }
    return keys;
}

std::vector<std::uint8_t> Plain(std::uint8_t fill) { return std::vector<std::uint8_t>(12, fill); }

std::unique_ptr<CDATDoc> Open(const kvtest::DbpfBuilder& b) {
    std::string path = kvtest::WriteTempFile("models.dat", b.Build());
    auto doc = std::make_unique<CDATDoc>();
    if (!doc->OnOpenDocument(kv::Utf8ToWide(path))) return nullptr;
    return doc;
}

std::vector<Row> RowsOf(const CDATDoc& doc) {
    std::vector<Row> rows;
    EXPECT_EQ(doc.m_nModels, doc.m_pModels.size());
    for (std::uint32_t k = 0; k < doc.m_nModels; ++k) rows.push_back({doc.m_pModels[k].nRow, doc.m_pModels[k].nViews});
    return rows;
}

// Adds the twenty views of a set, view h at position h; returns their index rows.
void AddSet(kvtest::DbpfBuilder& b, std::uint32_t group, std::uint32_t base) {
    for (int h = 0; h < 20; ++h) b.Add(kTypeS3D, group, ViewInstance(base, h), Plain(static_cast<std::uint8_t>(h)));
}

}  // namespace

TEST(ModelGrouping, AgreesWithTheQuadraticScanOnRandomTables) {
    kvtest::SplitMix rng(2024);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t sets = rng.Below(8), singles = rng.Below(20);
        std::vector<ModelKey> keys = RandomTable(rng, sets, singles);
        ASSERT_EQ(Grouped(keys), Reference(keys)) << "round " << round << ", " << keys.size() << " rows";
    }
    for (int round = 0; round < 3; ++round) {
        std::vector<ModelKey> keys = RandomTable(rng, 150, 600);
        ASSERT_EQ(Grouped(keys), Reference(keys)) << "large round " << round;
    }
}

TEST(ModelGrouping, AgreesWithTheQuadraticScanInsideADocument) {
    // Other entry types between the models make index rows and table rows differ.
    kvtest::SplitMix rng(77);
    for (int round = 0; round < 40; ++round) {
        std::vector<ModelKey> s3d = RandomTable(rng, 1 + rng.Below(5), rng.Below(10));
        kvtest::DbpfBuilder b;
        std::vector<ModelKey> keyOfIndexRow;
        for (const ModelKey& k : s3d) {
            while (rng.Below(4) == 0) {
                b.Add(0x7AB50E44, k.group, k.instance, Plain(1));  // same address, another type
                keyOfIndexRow.push_back({k.group, k.instance});
            }
            b.Add(kTypeS3D, k.group, k.instance, Plain(2));
            keyOfIndexRow.push_back(k);
        }
        std::vector<Row> table;
        for (std::size_t r = 0; r < b.entries.size(); ++r)
            if (b.entries[r].type == kTypeS3D) table.push_back({static_cast<std::int32_t>(r), 0});
        kvtest::MessageRecorder quiet;
        auto doc = Open(b);
        ASSERT_TRUE(doc);
        ASSERT_EQ(RowsOf(*doc), QuadraticGrouping(table, keyOfIndexRow)) << "round " << round;
    }
}

TEST(ModelGrouping, ACompleteSetIsOneRowAtItsBaseWhereverTheBaseLies) {
    for (int basePos : {0, 1, 9, 19}) {
        SCOPED_TRACE(basePos);
        kvtest::DbpfBuilder b;
        b.Add(0x6534284A, 1, 2, Plain(0));  // not a model
        std::vector<int> order;
        for (int h = 1; h < 20; ++h) order.push_back(h);
        order.insert(order.begin() + basePos, 0);
        for (int h : order) b.Add(kTypeS3D, 0x1ABE787D, ViewInstance(0x4000, h), Plain(0));
        kvtest::MessageRecorder quiet;
        auto doc = Open(b);
        ASSERT_TRUE(doc);
        EXPECT_EQ(RowsOf(*doc), (std::vector<Row>{{1 + basePos, 20}}));
    }
}

TEST(ModelGrouping, IncompleteOrSplitSetsListEveryEntryAsASingleModel) {
    struct Case {
        const char* name;
        int dropView;          // -1 for none
        int viewInOtherGroup;  // -1 for none
    };
    for (const Case& c : {Case{"zoom 4 rotation 3 missing", 19, -1}, Case{"zoom 0 rotation 1 missing", 1, -1},
                          Case{"one view in another group", -1, 7}}) {
        SCOPED_TRACE(c.name);
        kvtest::DbpfBuilder b;
        for (int h = 0; h < 20; ++h) {
            if (h == c.dropView) continue;
            b.Add(kTypeS3D, h == c.viewInOtherGroup ? 0x99 : 0x42, ViewInstance(0x1000, h), Plain(0));
        }
        kvtest::MessageRecorder quiet;
        auto doc = Open(b);
        ASSERT_TRUE(doc);
        std::vector<Row> expected;
        for (std::size_t r = 0; r < b.entries.size(); ++r) expected.push_back({static_cast<std::int32_t>(r), 1});
        EXPECT_EQ(RowsOf(*doc), expected);
    }
}

TEST(ModelGrouping, InstancesWithLowBitsSetAreSingleUnlessAbsorbed) {
    kvtest::DbpfBuilder b;
    b.Add(kTypeS3D, 5, 0x1000, Plain(0));  // a base without views
    b.Add(kTypeS3D, 5, 0x1010, Plain(0));  // a view without its set
    b.Add(kTypeS3D, 6, 0x1010, Plain(0));
    kvtest::MessageRecorder quiet;
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    EXPECT_EQ(RowsOf(*doc), (std::vector<Row>{{0, 1}, {1, 1}, {2, 1}}));

    // With the rest of group 5's set present, 0x1010 of group 5 is absorbed.
    for (int h = 2; h < 20; ++h) b.Add(kTypeS3D, 5, ViewInstance(0x1000, h), Plain(0));
    doc = Open(b);
    ASSERT_TRUE(doc);
    EXPECT_EQ(RowsOf(*doc), (std::vector<Row>{{0, 20}, {2, 1}}));
}

TEST(ModelGrouping, TwoSetsAndThreeSinglesKeepTheirRelativeIndexOrder) {
    kvtest::DbpfBuilder b;
    // Interleave: single, set A view by view with set B, singles in between.
    b.Add(kTypeS3D, 1, 0x0001, Plain(0));  // row 0
    for (int h = 0; h < 20; ++h) {
        b.Add(kTypeS3D, 2, ViewInstance(0x3000, h), Plain(0));  // rows 1, 3, 5, ...
        b.Add(kTypeS3D, 2, ViewInstance(0x5000, 19 - h), Plain(0));  // B's base last, at row 40
        if (h == 9) b.Add(kTypeS3D, 3, 0x0002, Plain(0));  // row 21
    }
    b.Add(kTypeS3D, 1, 0x0003, Plain(0));  // row 42
    kvtest::MessageRecorder quiet;
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    EXPECT_EQ(RowsOf(*doc), (std::vector<Row>{{0, 1}, {1, 20}, {21, 1}, {41, 20}, {42, 1}}));
}

TEST(ModelGrouping, ARepeatedAddressIsTakenFromTheEarlierRow) {
    kvtest::DbpfBuilder b;
    b.Add(kTypeS3D, 8, ViewInstance(0x2000, 6), Plain(0));  // row 0: a copy of view 6, before the set
    AddSet(b, 8, 0x2000);                                               // rows 1..20, its view 6 at row 7
    b.Add(kTypeS3D, 8, 0x2000, Plain(0));                       // row 21: a second base
    kvtest::MessageRecorder quiet;
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    // The set takes row 0's copy of view 6; row 7 stays a model of its own, and
    // the second base finds view 6 at row 7 but no second copy of the others.
    EXPECT_EQ(RowsOf(*doc), (std::vector<Row>{{1, 20}, {7, 1}, {21, 1}}));
}

TEST(ModelGrouping, EveryRowStartsUnchangedAndUnnamed) {
    kvtest::DbpfBuilder b;
    AddSet(b, 1, 0x1000);
    b.Add(kTypeS3D, 1, 0x77, Plain(0));
    kvtest::MessageRecorder quiet;
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->m_nModels, 2u);
    for (const _dat_model& m : doc->m_pModels) {
        EXPECT_EQ(std::wstring(m.szStatus.data()), std::wstring(7, kUnchangedMark));
        EXPECT_EQ(m.szStatus[7], 0);
        EXPECT_TRUE(m.szName.empty());  // these entries are no S3D images: nothing to name them by
    }
}
