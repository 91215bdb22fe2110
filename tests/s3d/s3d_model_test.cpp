#include "s3d/s3d_model.h"

#include <gtest/gtest.h>

#include "s3d/s3d_format.h"
#include "support/s3d_builder.h"

TEST(S3DModel, DefaultsAreZeroExceptTheSecondIndexWord) {
    _s3dindx_block indx;
    EXPECT_EQ(indx.indxWord1, 0);
    EXPECT_EQ(indx.indxWord2, 2);
    EXPECT_EQ(indx.indexCount, 0);
    EXPECT_TRUE(indx.indices.empty());

    EXPECT_EQ(_s3dvert_block{}, (_s3dvert_block{0, 0, 0, 0, 0, {}}));
    EXPECT_EQ(_s3dvert_vertex{}, (_s3dvert_vertex{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(_s3dprim_prim{}, (_s3dprim_prim{0, 0, 0}));
    EXPECT_EQ(_s3dprim_block{}.primCount, 0);
    _sd3mat_mat mat;
    EXPECT_EQ(mat.flags | mat.matWord | mat.matDword | mat.matByte | mat.textureCount, 0u);
    EXPECT_EQ(mat.settings, (std::array<std::uint8_t, 4>{}));
    _s3danim_mesh mesh;
    EXPECT_EQ(mesh.nameLength | mesh.flags, 0);
    EXPECT_EQ(mesh.name, (std::array<std::uint8_t, 255>{}));
    _s3dregp_block reg;
    EXPECT_EQ(reg.nameLength, 0);
    EXPECT_EQ(reg.transformCount, 0);
    EXPECT_EQ(reg.name, (std::array<std::uint8_t, 255>{}));

    _s3d_model m;
    EXPECT_EQ(m.declaredLength | m.imageSize | m.head.major | m.head.minor | m.anim.frameCount | m.anim.meshCount, 0u);
    EXPECT_FALSE(m.head.raw || m.vert.raw || m.regp.raw);
}

// Copies take every element a container holds, whatever the declared count.
TEST(S3DModel, CopiesTakeTheContainersRealLength) {
    _s3dvert_block v;
    v.vertexCount = 1;
    v.format = 0x80004001;
    v.vertices.resize(3);
    v.vertices[2].x = 7;
    _s3dvert_block vc;
    vc = v;
    EXPECT_EQ(vc, v);
    EXPECT_EQ(vc.vertexCount, 1);
    EXPECT_EQ(vc.vertices.size(), 3u);

    _s3danim_mesh mesh;
    mesh.nameLength = 2;
    mesh.name[0] = 'a';
    mesh.name[1] = 'b';
    mesh.frames = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};  // longer than any frame count
    std::vector<_s3danim_mesh> list;
    list.push_back(mesh);
    EXPECT_EQ(list[0], mesh);

    _s3dregp_block reg;
    reg.nameLength = 1;
    reg.name[0] = 'r';
    reg.transformCount = 3;
    for (float f : {1.0f, 2.0f, 3.0f}) reg.transforms.push_back({{f, f, f, f, f, f, f}});
    _s3dregp_block rc(reg);
    EXPECT_EQ(rc, reg);
    EXPECT_EQ(rc.transforms[2].values[0], 3.0f);

    _sd3mat_mat mat;
    mat.textureCount = 0;
    mat.textures.resize(2);
    mat.textures[1].name[254] = 'z';  // all 255 name bytes go with the texture
    _sd3mat_mat mc = mat;
    EXPECT_EQ(mc, mat);
}

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
    ASSERT_EQ(ParseS3D(image.data(), image.size(), m), 0);
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
