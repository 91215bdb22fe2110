#include <gtest/gtest.h>

#include <cmath>

#include "frame_fixture.h"
#include "support/message_recorder.h"

using namespace kvtest;
using namespace kvtest::frame;

TEST(FlipModel, EachModeNegatesOneCoordinate) {
    const struct {
        int mode;
        P flipped;
    } cases[] = {{0, {1, 2, -3}}, {1, {-1, 2, 3}}, {2, {1, -2, 3}}, {3, {1, 2, 3}}, {-1, {1, 2, 3}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        DbpfBuilder b;
        b.Add(kTypeS3D, 7, 0x5000, EntryOf(ModelOf({{1, 2, 3}, {0, 0, 0}, {5, 6, 7}}), true));
        auto doc = Open(b);
        ASSERT_TRUE(doc);
        const auto before = VerticesOf(*doc, 0);
        ASSERT_TRUE(doc->FlipModel(0, c.mode, false));
        const auto after = VerticesOf(*doc, 0);
        EXPECT_EQ(PointOf(after[0]), c.flipped);
        // A zero turns into a negative zero in the coordinate the mode names.
        const float zeros[] = {after[1].z, after[1].x, after[1].y};
        for (int k = 0; k < 3; ++k) EXPECT_EQ(std::signbit(zeros[k]), k == c.mode) << k;
        _s3d_vertex rest = after[0];
        rest.x = before[0].x, rest.y = before[0].y, rest.z = before[0].z;
        EXPECT_EQ(rest, before[0]);
        EXPECT_EQ(IndicesOf(*doc, 0), (std::vector<std::uint16_t>{0, 1, 2}));
    }
}

TEST(FlipModel, ReversesTheWindingOfEveryTriangleInEveryIndexBlock) {
    S3DBuilder m = ModelOf({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, std::vector<std::uint16_t>{0, 1, 2, 3, 4, 5});
    m.indx.push_back({});  // an empty second block
    m.indx.push_back({});
    m.indx.back().indices = {0, 1, 2};
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x5000, EntryOf(m, false));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    ASSERT_TRUE(doc->FlipModel(0, 1, true));
    EXPECT_EQ(IndicesOf(*doc, 0, 0), (std::vector<std::uint16_t>{2, 1, 0, 5, 4, 3}));
    EXPECT_EQ(IndicesOf(*doc, 0, 1), (std::vector<std::uint16_t>{}));
    EXPECT_EQ(IndicesOf(*doc, 0, 2), (std::vector<std::uint16_t>{2, 1, 0}));
    // The same flip again gives the entry back as it was.
    const auto original = m.Build();
    ASSERT_TRUE(doc->FlipModel(0, 1, true));
    EXPECT_EQ(BytesOf(*doc, 0), original);
}

TEST(FlipModel, WithoutTheOptionIndexBlocksAreLeftAlone) {
    // Four indices are no whole triangles; untouched, they are no error either.
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x5000, EntryOf(ModelOf({{1, 2, 3}}, std::vector<std::uint16_t>{0, 1, 2, 3}), false));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    MessageRecorder rec;
    ASSERT_TRUE(doc->FlipModel(0, 0, false));
    EXPECT_TRUE(rec.boxes().empty());
    EXPECT_EQ(IndicesOf(*doc, 0), (std::vector<std::uint16_t>{0, 1, 2, 3}));
    EXPECT_EQ(VerticesOf(*doc, 0).at(0).z, -3.0f);
}

TEST(FlipModel, AnIndexListOfBrokenTrianglesIsAnImproperArgumentAndNothingIsStored) {
    S3DBuilder m = ModelOf({{1, 2, 3}}, std::vector<std::uint16_t>{0, 1, 2});
    m.indx.push_back({});
    m.indx.back().indices = {0, 1, 2, 0, 1};  // the second block breaks off
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x5000, EntryOf(m, true));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    const auto image = ImageOf(*doc);
    MessageRecorder rec;
    EXPECT_FALSE(doc->FlipModel(0, 2, true));
    EXPECT_EQ(rec.texts(), std::vector<std::wstring>{L"Encountered an improper argument."});
    EXPECT_EQ(ImageOf(*doc), image);
    EXPECT_FALSE(doc->AnyPending());
}
