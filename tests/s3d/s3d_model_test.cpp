#include "s3d/s3d_model.h"

#include <gtest/gtest.h>

#include "s3d/s3d_format.h"
#include "support/s3d_builder.h"

// Meshes and regions copy only the first nameLength name bytes; the rest of
// the destination's name stays as it was.
TEST(S3DModel, NamedRecordsCopyOnlyTheStoredNameBytes) {
    _s3danim_mesh src;
    src.nameLength = 1;
    src.name[0] = 'a';
    src.name[1] = 'X';  // beyond the stored length
    _s3danim_mesh fresh(src);
    EXPECT_EQ(fresh.name[0], 'a');
    EXPECT_EQ(fresh.name[1], 0);

    _s3dregp_block rs;
    rs.nameLength = 1;
    rs.name[0] = 'b';
    _s3dregp_block used;
    used.name[1] = 'K';
    used = rs;
    EXPECT_EQ(used.name[0], 'b');
    EXPECT_EQ(used.name[1], 'K');
    EXPECT_EQ(rs.name[1], 0);  // the source is untouched
}

TEST(S3DModel, FreeRawChunksKeepsOffsetsHeadersAndLists) {
    const std::vector<std::uint8_t> image = kvtest::MakeRealisticS3D();
    _s3d_model m;
    ASSERT_EQ(ParseS3D(image.data(), image.size(), m), 1);
    const std::uint32_t indxOffset = m.indx.offset;
    FreeRawChunks(m);
    for (const _s3d_chunk* c : {static_cast<const _s3d_chunk*>(&m.head), static_cast<const _s3d_chunk*>(&m.vert),
                                static_cast<const _s3d_chunk*>(&m.indx), static_cast<const _s3d_chunk*>(&m.prim),
                                static_cast<const _s3d_chunk*>(&m.mats), static_cast<const _s3d_chunk*>(&m.anim),
                                static_cast<const _s3d_chunk*>(&m.prop), static_cast<const _s3d_chunk*>(&m.regp)}) {
        EXPECT_FALSE(c->raw.has_value());
        EXPECT_EQ(c->length, 0u);
    }
    EXPECT_EQ(m.indx.offset, indxOffset);
    EXPECT_EQ(m.head.minor, 5);
    EXPECT_EQ(m.vert.blocks.size(), 1u);
    // The writer never needed the copies.
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(EncodeS3D(m, out));
    EXPECT_EQ(out, image);
}
