#include <gtest/gtest.h>

#include <cmath>

#include "edits/edit_frame.h"
#include "frame_fixture.h"
#include "support/message_recorder.h"

using namespace kvtest;
using namespace kvtest::frame;

namespace {

// The free turn written out step by step, with the vertex's angle kept as a float.
P FreeTurn(P p, double degrees) {
    const double r = std::sqrt(static_cast<double>(p.x) * p.x + static_cast<double>(p.z) * p.z);
    const double theta = static_cast<float>(std::atan2(static_cast<double>(p.z), static_cast<double>(p.x)));
    const double phi = theta + degrees * 3.141592653589793 / 180;
    return {static_cast<float>(r * std::cos(phi)), p.y, static_cast<float>(r * std::sin(phi))};
}

}  // namespace

TEST(RotateVertexXZ, QuarterTurnsTakeXTowardZExactly) {
    const struct {
        int turns;
        float x, z;
    } cases[] = {{1, 0, 1}, {2, -1, 0}, {3, 0, -1}};
    for (const auto& c : cases) {
        float x = 1, z = 0;
        RotateVertexXZ(c.turns, x, z, 12345.0);  // the angle is not read
        EXPECT_EQ(x, c.x) << c.turns;
        EXPECT_EQ(z, c.z) << c.turns;
    }
    float x = 0.3f, z = -7.1f;
    RotateVertexXZ(1, x, z, 0);
    EXPECT_EQ(x, 7.1f);
    EXPECT_EQ(z, 0.3f);
}

TEST(RotateVertexXZ, EveryOtherTurnCountTurnsByTheAngle) {
    for (int turns : {0, -1, 4, 7}) {
        float x = 1, z = 0;
        RotateVertexXZ(turns, x, z, 90.0);
        EXPECT_NE(x, 0.0f) << turns;  // through the polar form, not exact
        EXPECT_NEAR(x, 0.0f, 1e-7f) << turns;
        EXPECT_EQ(z, 1.0f) << turns;
    }
    // 359.99 degrees is a hundredth of a degree the other way round.
    float x = 1, z = 0;
    RotateVertexXZ(0, x, z, 359.99);
    EXPECT_NEAR(x, 1.0f, 1e-7f);
    EXPECT_NEAR(z, -std::sin(0.01 * 3.141592653589793 / 180), 1e-7);
    EXPECT_LT(z, 0.0f);
}

TEST(RotateVertexXZ, TheFreeTurnKeepsTheVertexAngleAsAFloat) {
    const P p{-10000.0f, 0, 3.0f};
    const P expected = FreeTurn(p, 10.0);
    // Keeping the angle in double would give another vertex here.
    const double r = std::hypot(-10000.0, 3.0);
    const double phi = std::atan2(3.0, -10000.0) + 10.0 * 3.141592653589793 / 180;
    ASSERT_FALSE(static_cast<float>(r * std::cos(phi)) == expected.x && static_cast<float>(r * std::sin(phi)) == expected.z);
    float x = p.x, z = p.z;
    RotateVertexXZ(0, x, z, 10.0);
    EXPECT_EQ(x, expected.x);
    EXPECT_EQ(z, expected.z);

    float ox = 0, oz = 0;  // the origin stays where it is
    RotateVertexXZ(0, ox, oz, 77.0);
    EXPECT_EQ(ox, 0.0f);
    EXPECT_EQ(oz, 0.0f);
}

TEST(RotateModel, TurnsEveryVertexAboutTheVerticalAxisOnly) {
    const std::vector<P> points{{1, 2, 0}, {-3, 4, 5}, {0, -1, 0}};
    for (int turns : {1, 2, 3, 0}) {
        SCOPED_TRACE(turns);
        DbpfBuilder b;
        b.Add(kTypeS3D, 7, 0x5000, EntryOf(ModelOf(points), true));
        auto doc = Open(b);
        ASSERT_TRUE(doc);
        const auto before = VerticesOf(*doc, 0);
        const auto indices = IndicesOf(*doc, 0);
        MessageRecorder rec;
        ASSERT_TRUE(doc->RotateModel(0, turns, 30.0));
        EXPECT_TRUE(rec.boxes().empty());
        const auto after = VerticesOf(*doc, 0);
        ASSERT_EQ(after.size(), points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            const P expect = turns == 0 ? FreeTurn(points[i], 30.0) : Turned(points[i], turns);
            EXPECT_EQ(PointOf(after[i]), expect) << i;
            _s3d_vertex rest = after[i];
            rest.x = before[i].x, rest.z = before[i].z;
            EXPECT_EQ(rest, before[i]) << i;  // y, colours, texture coordinates
        }
        EXPECT_EQ(IndicesOf(*doc, 0), indices);
        EXPECT_TRUE(doc->IsCompressed(0));
    }
}
