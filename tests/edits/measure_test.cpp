#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "edits/edit_frame.h"
#include "frame_fixture.h"
#include "support/message_recorder.h"

using namespace kvtest;
using namespace kvtest::frame;

namespace {

struct Box {
    double minX, maxX, minZ, maxZ, minY, maxY;
};

void ExpectBox(const _model_dimensions& d, const Box& b) {
    EXPECT_EQ(d.dMinX, b.minX);
    EXPECT_EQ(d.dMaxX, b.maxX);
    EXPECT_EQ(d.dMinZ, b.minZ);
    EXPECT_EQ(d.dMaxZ, b.maxZ);
    EXPECT_EQ(d.dMinY, b.minY);
    EXPECT_EQ(d.dMaxY, b.maxY);
    EXPECT_EQ(d.dWidth, b.maxX - b.minX);
    EXPECT_EQ(d.dDepth, b.maxZ - b.minZ);
    EXPECT_EQ(d.dHeight, b.maxY - b.minY);
}

const std::vector<std::uint8_t> kGarbage{'3', 'D', 'M', 'D', 9, 9, 9, 9, 9};

}  // namespace

TEST(MeasureModel, MeasuresASingleViewModelAndChangesNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    DbpfBuilder b;
    // Two vertex blocks; a NaN moves no bound.
    S3DBuilder m = ModelOf({{1, 2, 0}, {-3, 4, 5}, {nan, nan, nan}});
    m.vert.push_back(ModelOf({{0, -1, 0.5f}}).vert[0]);
    b.Add(kTypeS3D, 7, 0x5000, EntryOf(m, true));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    const auto image = ImageOf(*doc);
    MessageRecorder rec;
    _model_dimensions d;
    ASSERT_TRUE(doc->MeasureModel(0, &d));
    ExpectBox(d, {-3, 1, 0, 5, -1, 4});
    EXPECT_TRUE(rec.boxes().empty());
    EXPECT_EQ(ImageOf(*doc), image);
    EXPECT_FALSE(doc->AnyPending());
}

TEST(MeasureModel, ATwentyViewModelIsMeasuredOnItsLastZoomTurnedBack) {
    DbpfBuilder b;
    // Rotation r of zoom 4 holds (r + 1, 10 r, 0) in its own frame; the
    // other zooms hold a point far away that must not count.
    AddSet(b, 7, 0x1000, [](int zoom, int r) {
        return zoom == 4 ? ModelOf({{static_cast<float>(r + 1), 10.0f * r, 0}}) : ModelOf({{500, 500, 500}});
    });
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->m_pModels.at(0).nViews, 20);
    _model_dimensions d;
    ASSERT_TRUE(doc->MeasureModel(0, &d));
    // Turned back: (1, 0) from rotation 0, (0, -2) from 1, (-3, 0) from 2, (0, 4) from 3.
    ExpectBox(d, {-3, 1, -2, 4, 0, 30});
}

TEST(MeasureModel, AConsistentSetMeasuresAsItsFirstView) {
    const std::vector<P> points{{1.5f, 2, -0.25f}, {-3, 4, 5}, {7, -1, 2}};
    DbpfBuilder b;
    AddSet(b, 7, 0x1000, ConsistentSet(points));
    b.Add(kTypeS3D, 7, 0x9000, EntryOf(ModelOf(points), false));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->m_pModels.size(), 2u);
    _model_dimensions set, single;
    ASSERT_TRUE(doc->MeasureModel(0, &set));
    ASSERT_TRUE(doc->MeasureModel(1, &single));
    ExpectBox(set, {single.dMinX, single.dMaxX, single.dMinZ, single.dMaxZ, single.dMinY, single.dMaxY});
    ExpectBox(single, {-3, 7, -0.25, 5, -1, 4});
}

TEST(MeasureModel, BoundsStartTenThousandOut) {
    const struct {
        const char* name;
        S3DBuilder model;
        Box box;
    } cases[] = {
        {"no blocks", EmptyModel(), {10000, -10000, 10000, -10000, 10000, -10000}},
        {"empty block", ModelOf({}), {10000, -10000, 10000, -10000, 10000, -10000}},
        {"far out", ModelOf({{20000, -20000, 15000}, {30000, -30000, 15000}}), {10000, 30000, 10000, 15000, -30000, -10000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DbpfBuilder b;
        b.Add(kTypeS3D, 7, 0x5000, EntryOf(c.model, false));
        auto doc = Open(b);
        ASSERT_TRUE(doc);
        _model_dimensions d;
        ASSERT_TRUE(doc->MeasureModel(0, &d));
        ExpectBox(d, c.box);
    }
}

TEST(MeasureModel, OnlyTheLastZoomNeedsToLoad) {
    DbpfBuilder b;
    for (int j = 0; j < 20; ++j) {
        const auto inst = 0x1000u + static_cast<std::uint32_t>(j / 4) * 0x100u + static_cast<std::uint32_t>(j % 4) * 0x10u;
        b.Add(kTypeS3D, 7, inst, j == 0 || j >= 16 ? EntryOf(ModelOf({{1, 1, 1}}), false) : kGarbage);
    }
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    MessageRecorder rec;
    _model_dimensions d;
    ASSERT_TRUE(doc->MeasureModel(0, &d));
    EXPECT_TRUE(rec.boxes().empty());
    // (1, 1) turned back from each rotation.
    ExpectBox(d, {-1, 1, -1, 1, 1, 1});
}

TEST(MeasureModel, AMissingOrDamagedViewEndsWithAnInternalError) {
    for (bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged" : "missing");
        DbpfBuilder b;
        AddSet(b, 7, 0x1000, [](int, int r) { return ModelOf({{static_cast<float>(r + 1), 0, 0}}); }, false);
        auto doc = Open(b);
        ASSERT_TRUE(doc);
        const int row18 = doc->FindViewRow(doc->m_pModels.at(0).nRow, 18);
        if (damaged) {
            // Zeros in place of view 18's bytes: no chunk the reader could take.
            _dbpf_index_entry e = doc->IndexEntry(static_cast<std::uint32_t>(row18));
            std::fill_n(doc->m_pBuffer.begin() + e.offset, e.size, std::uint8_t{0});
        } else {
            _dbpf_index_entry e = doc->IndexEntry(static_cast<std::uint32_t>(row18));
            e.instance = 0x7777;
            doc->SetIndexEntry(static_cast<std::uint32_t>(row18), e);
        }
        const auto image = ImageOf(*doc);
        MessageRecorder rec;
        _model_dimensions d;
        d.dWidth = d.dDepth = d.dHeight = 123;
        EXPECT_FALSE(doc->MeasureModel(0, &d));
        const auto texts = rec.texts();
        if (damaged) {
            ASSERT_EQ(texts.size(), 2u);
            EXPECT_NE(texts[0].find(L"S3D Decoding Error!!!"), std::wstring::npos);
            EXPECT_EQ(texts[1], L"Internal Error #34! This should never occur!!!");
        } else {
            EXPECT_EQ(texts, std::vector<std::wstring>{L"Internal Error #33! This should never occur!!!"});
        }
        // Views 16 and 17 were measured before; the extents were not worked out.
        EXPECT_EQ(d.dMinX, 0);
        EXPECT_EQ(d.dMaxX, 1);
        EXPECT_EQ(d.dMinZ, -2);
        EXPECT_EQ(d.dWidth, 123);
        EXPECT_EQ(ImageOf(*doc), image);
    }
}
