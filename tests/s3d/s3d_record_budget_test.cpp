#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "s3d/s3d_format.h"
#include "support/s3d_builder.h"

using namespace kvtest;

namespace {

// A realistic model whose PROP and REGP chunks declare `props` and `regions`
// empty records (6 and 3 zero bytes each in the image).
std::vector<std::uint8_t> EmptyRecords(std::size_t props, std::size_t regions) {
    S3DBuilder b = RealisticS3D("budget", 16);
    b.chunk[kChunkProp].countField = static_cast<std::uint32_t>(props);
    b.chunk[kChunkProp].trailing.assign(props * 6, 0);
    b.chunk[kChunkRegp].countField = static_cast<std::uint32_t>(regions);
    b.chunk[kChunkRegp].trailing.assign(regions * 3, 0);
    return b.Build();
}

}  // namespace

// Empty property and region records cost a few bytes in the image and far
// more in memory. A model of a few thousand, or a few hundred thousand, is
// read like any other; a 16 MiB image of nothing else, which would ask for
// well over a gigabyte, is refused before that memory is asked for.
TEST(S3DRecordBudget, ModelsOfManyEmptyRecordsReadAndOnlyAbsurdOnesAreRefused) {
    const struct {
        const char* name;
        std::size_t props, regions;
        int expected;
    } cases[] = {
        {"3,000 empty property records", 3000, 0, 1},
        {"a thousand of each", 1000, 1000, 1},
        {"200,000 property records", 200000, 0, 1},
        {"400,000 regions", 0, 400000, 1},
        {"16 MiB of property records", (std::size_t{16} << 20) / 6, 0, -1},
        {"16 MiB of regions", 0, (std::size_t{16} << 20) / 3, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto image = EmptyRecords(c.props, c.regions);
        _s3d_model model;
        ASSERT_EQ(ParseS3D(image.data(), image.size(), model), c.expected);
        if (c.expected != 1) continue;
        EXPECT_EQ(model.prop.blocks.size(), c.props);
        EXPECT_EQ(model.regp.blocks.size(), c.regions);
        // What the reader takes, the writer writes back.
        std::vector<std::uint8_t> out;
        ASSERT_TRUE(EncodeS3D(model, out));
        EXPECT_EQ(out, image);
    }
}
