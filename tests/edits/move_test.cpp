#include <gtest/gtest.h>

#include "edits/edit_frame.h"
#include "frame_fixture.h"
#include "support/message_recorder.h"

using namespace kvtest;
using namespace kvtest::frame;

namespace {

struct MoveCase {
    int rotation;
    P moved;  // (1, 2, 0) moved by X 10, Y 20, Z 30 in that entry's frame
};

const MoveCase kMoveCases[] = {
    {0, {11, 32, 20}}, {1, {-19, 32, 10}}, {2, {-9, 32, -20}}, {3, {21, 32, -10}}, {5, {-19, 32, 10}}, {-2, {-9, 32, -20}},
};

}  // namespace

TEST(MoveModel, TurnsTheGroundOffsetIntoTheEntrysRotation) {
    for (bool compressed : {false, true}) {
        for (const MoveCase& c : kMoveCases) {
            SCOPED_TRACE(c.rotation);
            DbpfBuilder b;
            b.Add(kTypeS3D, 7, 0x5000, EntryOf(ModelOf({{1, 2, 0}, {-4, 0.5f, 8}, {0, 0, 0}}), compressed));
            auto doc = Open(b);
            ASSERT_TRUE(doc);
            const auto before = VerticesOf(*doc, 0);
            const auto indices = IndicesOf(*doc, 0);
            MessageRecorder rec;
            ASSERT_TRUE(doc->MoveModel(0, c.rotation, 10.0f, 20.0f, 30.0f));
            EXPECT_TRUE(rec.boxes().empty());
            const auto after = VerticesOf(*doc, 0);
            ASSERT_EQ(after.size(), 3u);
            EXPECT_EQ(PointOf(after[0]), c.moved);
            // Only positions change; the offset is the same for every vertex.
            for (std::size_t i = 0; i < after.size(); ++i) {
                _s3d_vertex expect = before[i];
                expect.x = before[i].x + (c.moved.x - 1);
                expect.y = before[i].y + 30;
                expect.z = before[i].z + c.moved.z;
                EXPECT_EQ(after[i], expect) << i;
            }
            EXPECT_EQ(IndicesOf(*doc, 0), indices);
            EXPECT_EQ(doc->IsCompressed(0), compressed);
        }
    }
}

TEST(MoveModel, AllTwentyViewsMoveTheSameWayOnTheGround) {
    DbpfBuilder b;
    AddSet(b, 7, 0x1000, ConsistentSet({{1, 2, 0}, {3, -1, 5}}));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->m_pModels.at(0).nViews, 20);
    // The way the command drives it: every view with its own rotation.
    for (int j = 0; j < 20; ++j) ASSERT_TRUE(doc->MoveModel(doc->FindViewRow(doc->m_pModels[0].nRow, j), j % 4, 0.5f, -2.0f, 4.0f));
    for (int j = 0; j < 20; ++j) {
        const auto v = VerticesOf(*doc, doc->FindViewRow(doc->m_pModels[0].nRow, j));
        ASSERT_EQ(v.size(), 2u);
        EXPECT_EQ(PointOf(v[0]), Turned({1.5f, 6, -2}, j % 4)) << j;
        EXPECT_EQ(PointOf(v[1]), Turned({3.5f, 3, 3}, j % 4)) << j;
    }
}
