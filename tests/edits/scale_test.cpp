#include <gtest/gtest.h>

#include "edits/edit_frame.h"
#include "frame_fixture.h"
#include "support/message_recorder.h"

using namespace kvtest;
using namespace kvtest::frame;

namespace {

struct ScaleCase {
    int what;
    bool swap;
    P scaled;  // (2, 3, 5) by a factor of 2
};

const ScaleCase kScaleCases[] = {
    {0, false, {4, 6, 10}}, {0, true, {4, 6, 10}}, {1, false, {4, 3, 5}}, {1, true, {2, 3, 10}},
    {2, false, {2, 3, 10}}, {2, true, {4, 3, 5}},  {3, false, {2, 6, 5}}, {3, true, {2, 6, 5}},
    {4, false, {4, 3, 10}}, {4, true, {4, 3, 10}}, {5, false, {2, 3, 5}}, {-1, true, {2, 3, 5}},
};

}  // namespace

TEST(ScaleModel, ScalesTheChosenCoordinatesWithXAndZTradedForOddRotations) {
    for (const ScaleCase& c : kScaleCases) {
        SCOPED_TRACE(testing::Message() << "what " << c.what << " swap " << c.swap);
        DbpfBuilder b;
        b.Add(kTypeS3D, 7, 0x5000, EntryOf(ModelOf({{2, 3, 5}}), true));
        auto doc = Open(b);
        ASSERT_TRUE(doc);
        const auto before = VerticesOf(*doc, 0);
        ASSERT_TRUE(doc->ScaleModel(0, c.what, false, 1, 1, c.swap, 2.0));
        // The ratio 6/3 gives the same.
        ASSERT_TRUE(doc->ScaleModel(0, c.what, true, 1, 2, c.swap, 99.0));
        ASSERT_TRUE(doc->ScaleModel(0, c.what, true, 6, 3, c.swap, 99.0));
        const auto after = VerticesOf(*doc, 0);
        ASSERT_EQ(after.size(), 1u);
        EXPECT_EQ(PointOf(after[0]), c.scaled);
        _s3d_vertex rest = after[0];
        rest.x = before[0].x, rest.y = before[0].y, rest.z = before[0].z;
        EXPECT_EQ(rest, before[0]);  // colours and texture coordinates pass through
    }
}

TEST(ScaleModel, ARatioMultipliesFirstAndDividesSecond) {
    const float c = 0x1.a1cac2p-5f;  // about 0.051
    const float expected = static_cast<float>(static_cast<double>(c) * 7 / 3);
    // The quotient worked out beforehand would land one float away.
    ASSERT_NE(expected, static_cast<float>(static_cast<double>(c) * (7.0 / 3.0)));
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x5000, EntryOf(ModelOf({{c, c, c}}), false));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    ASSERT_TRUE(doc->ScaleModel(0, 0, true, 7, 3, false, 1.0));
    const auto v = VerticesOf(*doc, 0);
    EXPECT_EQ(v[0].x, expected);
    EXPECT_EQ(v[0].y, expected);
    EXPECT_EQ(v[0].z, expected);
}

TEST(ScaleModel, ADecimalFactorIsAppliedInDoublePrecision) {
    const float c = 0x1.47ae14p-7f;  // about 0.01
    const double factor = 1.7;
    const float expected = static_cast<float>(static_cast<double>(c) * factor);
    // Scaling in floats would land one float away.
    volatile float f = static_cast<float>(factor);
    volatile float inFloats = c * f;
    ASSERT_NE(expected, inFloats);
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x5000, EntryOf(ModelOf({{c, -c, 0}}), false));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    ASSERT_TRUE(doc->ScaleModel(0, 0, false, 1, 1, false, factor));
    const auto v = VerticesOf(*doc, 0);
    EXPECT_EQ(v[0].x, expected);
    EXPECT_EQ(v[0].y, -expected);
    EXPECT_EQ(v[0].z, 0.0f);
}

TEST(ScaleModel, WidthOnlyScalesTheSameGroundAxisInEveryView) {
    DbpfBuilder b;
    AddSet(b, 7, 0x1000, ConsistentSet({{1, 2, 0}, {0, 1, 3}}));
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    const int base = doc->m_pModels.at(0).nRow;
    for (int j = 0; j < 20; ++j) ASSERT_TRUE(doc->ScaleModel(doc->FindViewRow(base, j), 1, false, 1, 1, j % 2 != 0, 2.0));
    for (int j = 0; j < 20; ++j) {
        const auto v = VerticesOf(*doc, doc->FindViewRow(base, j));
        ASSERT_EQ(v.size(), 2u);
        EXPECT_EQ(PointOf(v[0]), Turned({2, 2, 0}, j % 4)) << j;
        EXPECT_EQ(PointOf(v[1]), Turned({0, 1, 3}, j % 4)) << j;
    }
}
