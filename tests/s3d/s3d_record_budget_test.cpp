#include <gtest/gtest.h>

#include "s3d/s3d_format.h"
#include "support/s3d_builder.h"

using namespace kvtest;

// Empty property records cost 6 bytes in the image and far more in memory:
// a model made of little else is refused before it asks for that memory,
// while a model with a realistic number of them reads as usual.
TEST(S3DRecordBudget, ModelsOfMostlyEmptyRecordsAreRefused) {
    const struct {
        std::size_t props, regions;
        int expected;
    } cases[] = {
        {1000, 1000, 0},
        {200000, 0, -1},
        {0, 400000, -1},
    };
    for (const auto& c : cases) {
        S3DBuilder b = RealisticS3D("budget", 16);
        b.props.resize(c.props);
        b.regions.resize(c.regions);
        const auto image = b.Build();
        _s3d_model model;
        EXPECT_EQ(ParseS3D(image.data(), image.size(), model), c.expected) << c.props << " " << c.regions;
    }
}
