#include "s3d/s3d_work_block.h"

#include <gtest/gtest.h>

#include <cstring>

#include "s3d/s3d_format.h"
#include "support/s3d_builder.h"

using namespace kvtest;

namespace {

void Load(_s3d_model& m, const S3DBuilder& b) {
    const std::vector<std::uint8_t> image = b.Build();
    ASSERT_EQ(ParseS3D(image.data(), image.size(), m), 1);
}

std::vector<std::uint8_t> Encoded(const _s3d_model& m) {
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(EncodeS3D(m, out));
    return out;
}

// A model with two of everything the work blocks touch, old and new names.
S3DBuilder TwoBlocks() {
    S3DBuilder b = RealisticS3D("First", 5);
    S3DVertBlock& v = b.vert.emplace_back();
    v.flags = 9;
    v.format = kFmtColourUvUv2;
    v.vertices.resize(2);
    v.vertices[1].x = 42;
    v.vertices[1].colour = {1, 2, 3, 4};
    b.indx.push_back({5, 6, {}, {2, 1, 0}});
    S3DMaterial& m = b.mats.emplace_back();
    m.flags = 0x10;
    m.settings = {1, 2, 3, 4};
    m.word = 0x7777;
    m.dword = 0x88888888;
    m.byte = 0x99;
    m.textures.push_back({0xAAAA0001, {9, 8, 7, 6}, 0x0102, 0x0304, "tex_a", true, {}});
    m.textures.push_back({0xAAAA0002, {0, 0, 0, 0}, 0, 0, std::string(255, 'L'), false, {}});
    // Name fields the program would not write itself: no zero, bytes after
    // the zero, nothing at all.
    m.textures.push_back({0xAAAA0003, {3, 3, 0, 0}, 33, 2, "bare", false, {}});
    m.textures.push_back({0xAAAA0004, {3, 3, 0, 0}, 33, 2, std::string("tex_b\0\x7F\x01", 8), true, {}});
    m.textures.push_back({0xAAAA0005, {3, 3, 0, 0}, 33, 2, "", false, {}});
    return b;
}

// A texture that no record of the file gave.
_s3d_material_elem NewTexture(std::uint32_t id, std::array<std::uint8_t, 4> settings, std::string name) {
    _s3d_material_elem e;
    e.textureId = id;
    e.settings = settings;
    e.name = std::move(name);
    return e;
}

}  // namespace

// ------------------------------------------------------------ ExtractBlock

TEST(WorkBlock, ExtractCopiesEachKind) {
    _s3d_model m;
    Load(m, TwoBlocks());
    _s3d_work_block w;
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_VERT, 1, &m, &w));
    EXPECT_EQ(w.format, kFmtColourUvUv2);
    ASSERT_EQ(w.vertices.size(), 2u);
    EXPECT_EQ(w.vertices[1].x, 42.0f);
    EXPECT_EQ(w.vertices[1].c3, 4);

    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_INDX, 1, &m, &w));
    EXPECT_EQ(w.indices, (std::vector<std::uint16_t>{2, 1, 0}));
    EXPECT_EQ(w.vertices.size(), 2u);  // other kinds' parts stay

    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_MATS, 1, &m, &w));
    EXPECT_EQ(w.materialFlags, 0x10u);
    EXPECT_EQ(w.materialSettings, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    ASSERT_EQ(w.textures.size(), 5u);
    EXPECT_EQ(w.textures[0].textureId, 0xAAAA0001u);
    EXPECT_EQ(w.textures[0].settings, (std::array<std::uint8_t, 4>{9, 8, 7, 6}));
    EXPECT_EQ(w.textures[0].texWord1, 0x0102);
    EXPECT_EQ(w.textures[0].texWord2, 0x0304);
    EXPECT_EQ(w.textures[0].name, "tex_a");
    EXPECT_EQ(w.textures[1].name, std::string(255, 'L'));  // stops at the stored length
    EXPECT_EQ(w.textures[2].name, "bare");
    EXPECT_EQ(w.textures[3].name, "tex_b");  // stops at the first zero
    EXPECT_EQ(w.textures[4].name, "");
}

TEST(WorkBlock, ExtractOfAMissingBlockEmptiesOnlyItsKindAndSucceeds) {
    _s3d_model m;
    Load(m, TwoBlocks());
    _s3d_work_block w;
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_VERT, 0, &m, &w));
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_INDX, 0, &m, &w));
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_MATS, 0, &m, &w));
    const std::uint32_t format = w.format;
    const std::uint32_t flags = w.materialFlags;
    for (int index : {2, -1, 1000}) {
        EXPECT_TRUE(ExtractBlock(S3D_BLOCK_VERT, index, &m, &w));
        EXPECT_TRUE(w.vertices.empty());
        EXPECT_EQ(w.format, format);
    }
    EXPECT_FALSE(w.indices.empty());
    EXPECT_TRUE(ExtractBlock(S3D_BLOCK_INDX, 5, &m, &w));
    EXPECT_TRUE(w.indices.empty());
    EXPECT_TRUE(ExtractBlock(S3D_BLOCK_MATS, 2, &m, &w));
    EXPECT_TRUE(w.textures.empty());
    EXPECT_EQ(w.materialFlags, flags);

    // A model without materials, as the display names meet it.
    S3DBuilder noMats = RealisticS3D();
    noMats.mats.clear();
    _s3d_model bare;
    Load(bare, noMats);
    _s3d_work_block fresh;
    EXPECT_TRUE(ExtractBlock(S3D_BLOCK_MATS, 0, &bare, &fresh));
    EXPECT_TRUE(fresh.textures.empty());
    EXPECT_EQ(fresh.materialFlags, 0u);
    EXPECT_EQ(fresh.materialSettings, (std::array<std::uint8_t, 4>{}));

    EXPECT_FALSE(ExtractBlock(S3D_BLOCK_VERT, 0, nullptr, &w));
}

TEST(WorkBlock, OtherKindsChangeNothingAndSucceed) {
    _s3d_model m;
    Load(m, TwoBlocks());
    const std::vector<std::uint8_t> before = Encoded(m);
    _s3d_work_block w;
    w.vertices.resize(1);
    for (int kind : {0, 3, 5, -1}) {
        EXPECT_TRUE(ExtractBlock(kind, 0, &m, &w));
        EXPECT_EQ(w.vertices.size(), 1u);
        EXPECT_TRUE(StoreBlock(&m, kind, 0, &w));
        EXPECT_TRUE(StoreBlock(&m, kind, -1, &w));
    }
    EXPECT_EQ(Encoded(m), before);
    EXPECT_FALSE(StoreBlock(nullptr, S3D_BLOCK_VERT, 0, &w));
}

// ------------------------------------------------------------ StoreBlock

TEST(WorkBlock, ExtractThenStoreLeavesBlocksAsTheyWere) {
    S3DBuilder b = TwoBlocks();
    _s3d_model m;
    Load(m, b);
    _s3d_work_block w;
    for (int i : {0, 1}) {
        ASSERT_TRUE(ExtractBlock(S3D_BLOCK_VERT, i, &m, &w));
        ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_VERT, i, &w));
        ASSERT_TRUE(ExtractBlock(S3D_BLOCK_INDX, i, &m, &w));
        ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_INDX, i, &w));
        ASSERT_TRUE(ExtractBlock(S3D_BLOCK_MATS, i, &m, &w));
        ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_MATS, i, &w));
    }
    // Every texture keeps its two words and its name field byte for byte,
    // also the forms the program would not write itself.
    EXPECT_EQ(Encoded(m), b.Build());
    EXPECT_EQ(m.mats.blocks[1].textures[1].nameLength, 255);
    EXPECT_EQ(m.mats.blocks[1].textures[3].nameLength, 9);
    EXPECT_EQ(m.mats.blocks[1].matWord, 0x7777);  // header values stay
    EXPECT_EQ(m.vert.blocks[1].flags, 9);
    EXPECT_EQ(m.indx.blocks[1].indxWord1, 5);
}

TEST(WorkBlock, StoredTextureNameEndsInACountedZero) {
    _s3d_model m;
    Load(m, TwoBlocks());
    _s3d_work_block w;
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_MATS, 0, &m, &w));
    w.textures = {NewTexture(0x55, {1, 1, 1, 1}, "abc")};
    w.materialFlags = 0x1F;
    w.materialSettings = {4, 5, 6, 7};
    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_MATS, 0, &w));
    const _sd3mat_mat& mat = m.mats.blocks[0];
    EXPECT_EQ(mat.flags, 0x1Fu);
    EXPECT_EQ(mat.settings, (std::array<std::uint8_t, 4>{4, 5, 6, 7}));
    ASSERT_EQ(mat.textureCount, 1);
    ASSERT_EQ(mat.textures.size(), 1u);
    const _s3dmat_texture& t = mat.textures[0];
    EXPECT_EQ(t.textureId, 0x55u);
    EXPECT_EQ(t.nameLength, 4);
    std::array<std::uint8_t, 255> expected{};
    expected[0] = 'a';
    expected[1] = 'b';
    expected[2] = 'c';
    EXPECT_EQ(t.name, expected);
    EXPECT_EQ(t.texWord1 | t.texWord2, 0);  // no record to take them from

    // A texture of the file whose name is changed keeps its two words; the
    // new name ends in a counted zero, whatever the old field held.
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_MATS, 1, &m, &w));
    w.textures[0].name = "renamed";
    w.textures[1].name = "x";
    w.textures[2].name += "r";
    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_MATS, 1, &w));
    const _sd3mat_mat& renamed = m.mats.blocks[1];
    EXPECT_EQ(renamed.textures[0].texWord1, 0x0102);
    EXPECT_EQ(renamed.textures[0].texWord2, 0x0304);
    EXPECT_EQ(renamed.textures[0].nameLength, 8);
    EXPECT_EQ(renamed.textures[1].nameLength, 2);
    EXPECT_EQ(renamed.textures[1].name[0], 'x');
    EXPECT_EQ(renamed.textures[1].name[1], 0);
    EXPECT_EQ(renamed.textures[1].name[2], 0);  // nothing of the old 255 letters is left
    EXPECT_EQ(renamed.textures[2].nameLength, 6);
    EXPECT_EQ(renamed.textures[2].texWord1, 33);
    EXPECT_EQ(renamed.textures[2].texWord2, 2);

    // Longer names keep their first 254 characters.
    w.textures = {NewTexture(1, {3, 3, 0, 0}, std::string(300, 'q'))};
    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_MATS, 0, &w));
    EXPECT_EQ(m.mats.blocks[0].textures[0].nameLength, 255);
    EXPECT_EQ(m.mats.blocks[0].textures[0].name[253], 'q');
    EXPECT_EQ(m.mats.blocks[0].textures[0].name[254], 0);
    _s3d_work_block again;
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_MATS, 0, &m, &again));
    EXPECT_EQ(again.textures[0].name, std::string(254, 'q'));
}

TEST(WorkBlock, StorePastTheEndAppendsDefaultBlocks) {
    _s3d_model m;
    Load(m, TwoBlocks());
    _s3d_work_block w;
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_INDX, 1, &m, &w));

    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_INDX, 2, &w));  // at L: one block
    EXPECT_EQ(m.indx.blocks.size(), 3u);
    EXPECT_EQ(m.indx.blockCount, 3u);
    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_INDX, 5, &w));  // at L + 2: three blocks
    ASSERT_EQ(m.indx.blocks.size(), 6u);
    EXPECT_EQ(m.indx.blockCount, 6u);
    for (int i : {3, 4}) {
        EXPECT_EQ(m.indx.blocks[i].indxWord1, 0);
        EXPECT_EQ(m.indx.blocks[i].indxWord2, 2);
        EXPECT_TRUE(m.indx.blocks[i].indices.empty());
    }
    EXPECT_EQ(m.indx.blocks[5].indices, (std::vector<std::uint16_t>{2, 1, 0}));
    EXPECT_EQ(m.indx.blocks[5].indexCount, 3);
    EXPECT_EQ(m.indx.blocks[5].indxWord2, 2);  // a fresh block's words, not the source's

    // At an existing index the count is not touched, even when it was off.
    m.vert.blockCount = 77;
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_VERT, 0, &m, &w));
    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_VERT, 1, &w));
    EXPECT_EQ(m.vert.blockCount, 77u);
    m.vert.blockCount = 2;

    // Materials and vertices, then the model still reads back as written.
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_MATS, 1, &m, &w));
    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_MATS, 3, &w));
    EXPECT_EQ(m.mats.blockCount, 4u);
    EXPECT_EQ(m.mats.blocks[2], _sd3mat_mat{});
    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_VERT, 3, &w));
    EXPECT_EQ(m.vert.blockCount, 4u);
    EXPECT_EQ(m.vert.blocks[2], _s3dvert_block{});
    EXPECT_EQ(m.vert.blocks[3].format, w.format);

    const std::vector<std::uint8_t> out = Encoded(m);
    _s3d_model back;
    ASSERT_EQ(ParseS3D(out.data(), out.size(), back), 1);
    EXPECT_EQ(Encoded(back), out);
    EXPECT_EQ(back.vert.blocks[3].vertices, m.vert.blocks[3].vertices);
}

// The older layout stores a code; a new block must get the code of its format.
TEST(WorkBlock, StoredBlockOfAnOldLayoutModelReadsBack) {
    S3DBuilder b = RealisticS3D();
    b.minor = 3;
    _s3d_model m;
    Load(m, b);
    _s3d_work_block w;
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_VERT, 0, &m, &w));
    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_VERT, 1, &w));
    const std::vector<std::uint8_t> out = Encoded(m);
    _s3d_model back;
    ASSERT_EQ(ParseS3D(out.data(), out.size(), back), 1);
    EXPECT_EQ(back.vert.blocks[1].format, kFmtColourUv);
    EXPECT_EQ(back.vert.blocks[1].vertices, m.vert.blocks[0].vertices);
}

TEST(WorkBlock, VerticesAndIndicesLiveSideBySide) {
    _s3d_model m;
    Load(m, TwoBlocks());
    _s3d_work_block w;
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_VERT, 1, &m, &w));
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_INDX, 1, &m, &w));
    w.vertices[0].y = -3;
    w.indices[0] = 9;
    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_VERT, 1, &w));
    EXPECT_EQ(m.vert.blocks[1].vertices[0].y, -3.0f);
    EXPECT_EQ(m.indx.blocks[1].indices[0], 2);  // not yet
    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_INDX, 1, &w));
    EXPECT_EQ(m.indx.blocks[1].indices[0], 9);
}

TEST(WorkBlock, StoreRefusesBlocksTheCountsCannotDescribe) {
    _s3d_model m;
    Load(m, TwoBlocks());
    const std::vector<std::uint8_t> before = Encoded(m);

    _s3d_work_block tooManyVertices;
    tooManyVertices.format = kFmtUv;
    tooManyVertices.vertices.resize(65536);
    EXPECT_FALSE(StoreBlock(&m, S3D_BLOCK_VERT, 0, &tooManyVertices));
    EXPECT_FALSE(StoreBlock(&m, S3D_BLOCK_VERT, 9, &tooManyVertices));
    _s3d_work_block tooManyIndices;
    tooManyIndices.indices.resize(65536);
    EXPECT_FALSE(StoreBlock(&m, S3D_BLOCK_INDX, 0, &tooManyIndices));
    _s3d_work_block tooManyTextures;
    tooManyTextures.textures.resize(256);
    EXPECT_FALSE(StoreBlock(&m, S3D_BLOCK_MATS, 0, &tooManyTextures));
    _s3d_work_block fine;
    EXPECT_FALSE(StoreBlock(&m, S3D_BLOCK_INDX, -1, &fine));
    // Two blocks held: position 65538 would append 65537 blocks.
    EXPECT_FALSE(StoreBlock(&m, S3D_BLOCK_INDX, 65538, &fine));
    EXPECT_FALSE(StoreBlock(&m, S3D_BLOCK_MATS, 65538, &fine));
    EXPECT_FALSE(StoreBlock(&m, S3D_BLOCK_VERT, 0x7FFFFFFF, &fine));
    EXPECT_EQ(Encoded(m), before);

    // At the limits it stores.
    tooManyVertices.vertices.resize(65535);
    EXPECT_TRUE(StoreBlock(&m, S3D_BLOCK_VERT, 0, &tooManyVertices));
    EXPECT_EQ(m.vert.blocks[0].vertexCount, 65535);
    tooManyTextures.textures.resize(255);
    EXPECT_TRUE(StoreBlock(&m, S3D_BLOCK_MATS, 0, &tooManyTextures));
    EXPECT_EQ(m.mats.blocks[0].textureCount, 255);
}

// The block counts are 32-bit: a block at any position the model holds is
// stored, and a store past the end may append up to 65536 blocks.
TEST(WorkBlock, BlocksPastPosition65535AreStored) {
    S3DBuilder b = RealisticS3D("many", 3);
    b.indx.resize(70000);
    b.mats.resize(70000);
    b.indx.back().indices = {0, 1, 2};
    b.mats.back().textures.push_back({0x1234, {3, 3, 0, 0}, 0, 0, "far", true, {}});
    _s3d_model m;
    Load(m, b);
    ASSERT_EQ(m.indx.blockCount, 70000u);

    _s3d_work_block w;
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_INDX, 69999, &m, &w));
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_MATS, 69999, &m, &w));
    w.indices = {2, 1, 0};
    w.textures.at(0).textureId = 0x5678;
    EXPECT_TRUE(StoreBlock(&m, S3D_BLOCK_INDX, 69999, &w));
    EXPECT_TRUE(StoreBlock(&m, S3D_BLOCK_MATS, 69999, &w));
    EXPECT_EQ(m.indx.blocks[69999].indices, (std::vector<std::uint16_t>{2, 1, 0}));
    EXPECT_EQ(m.mats.blocks[69999].textures.at(0).textureId, 0x5678u);
    EXPECT_EQ(m.indx.blockCount, 70000u);

    // The furthest append: 65536 blocks, the last of them the stored one.
    EXPECT_TRUE(StoreBlock(&m, S3D_BLOCK_INDX, 70000 + 65535, &w));
    EXPECT_EQ(m.indx.blockCount, 70000u + 65536u);
    EXPECT_EQ(m.indx.blocks.back().indices, (std::vector<std::uint16_t>{2, 1, 0}));
    EXPECT_EQ(m.indx.blocks[70000].indxWord2, 2);
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(EncodeS3D(m, out));
    _s3d_model back;
    ASSERT_EQ(ParseS3D(out.data(), out.size(), back), 1);
    EXPECT_EQ(back.indx.blocks.size(), 70000u + 65536u);
}

// ------------------------------------------------------------ AppendS3DModel

namespace {

S3DBuilder AppendTarget() {
    S3DBuilder b = RealisticS3D("target");  // 1 mesh, 1 material, 1 of each block
    b.props.push_back({1, 1, "target", "prop"});
    b.regions.push_back({"target", {}, {}});
    return b;
}

S3DBuilder AppendSource() {
    S3DBuilder b = RealisticS3D("source");
    b.vert.push_back(b.vert[0]);
    b.indx.push_back(b.indx[0]);
    b.mats.push_back(b.mats[0]);
    b.mats.push_back(b.mats[0]);
    b.mats[2].textures[0].name = "third";
    b.meshes[0].frames = {{0, 1, 0, 2}};
    b.meshes.push_back({"second", 3, {{1, 0, 0, 1}}});
    b.props.push_back({2, 2, "source", "prop"});
    b.regions.push_back({"source", {}, {{1, 2, 3, 4, 5, 6, 7}}});
    return b;
}

}  // namespace

TEST(ModelAppend, AppendsBlocksAndMovesFrameReferences) {
    _s3d_model target, source;
    Load(target, AppendTarget());
    Load(source, AppendSource());
    const std::vector<std::uint8_t> sourceBefore = Encoded(source);

    ASSERT_TRUE(AppendS3DModel(&target, &source));
    EXPECT_EQ(target.anim.meshes.size(), 3u);
    EXPECT_EQ(target.anim.meshCount, 3);
    EXPECT_EQ(target.mats.blocks.size(), 4u);
    EXPECT_EQ(target.prim.blocks.size(), 2u);
    EXPECT_EQ(target.indx.blocks.size(), 3u);
    EXPECT_EQ(target.vert.blocks.size(), 3u);
    EXPECT_EQ(target.mats.blockCount, 4u);
    EXPECT_EQ(target.prim.blockCount, 2u);
    EXPECT_EQ(target.indx.blockCount, 3u);
    EXPECT_EQ(target.vert.blockCount, 3u);
    EXPECT_EQ(target.anim.meshes[0].frames[0], (_s3danim_frame{0, 0, 0, 0}));
    EXPECT_EQ(target.anim.meshes[1].frames[0], (_s3danim_frame{1, 2, 1, 3}));
    EXPECT_EQ(target.anim.meshes[2].frames[0], (_s3danim_frame{2, 1, 1, 2}));
    EXPECT_EQ(target.mats.blocks[3], source.mats.blocks[2]);
    EXPECT_EQ(target.vert.blocks[2], source.vert.blocks[1]);
    // Frames name the copies of what they named in the source.
    const _s3danim_frame& f = target.anim.meshes[1].frames[0];
    EXPECT_EQ(target.mats.blocks[f.matsBlock], source.mats.blocks[2]);
    EXPECT_EQ(target.indx.blocks[f.indxBlock], source.indx.blocks[1]);

    // PROP and REGP stay the target's own; the source is unchanged.
    EXPECT_EQ(target.prop.blocks.size(), 1u);
    EXPECT_EQ(target.regp.blocks.size(), 1u);
    EXPECT_EQ(target.regp.blocks[0].name[0], 't');
    EXPECT_EQ(Encoded(source), sourceBefore);

    // The result reads back as written.
    const std::vector<std::uint8_t> out = Encoded(target);
    _s3d_model back;
    ASSERT_EQ(ParseS3D(out.data(), out.size(), back), 1);
    EXPECT_EQ(Encoded(back), out);

    // The same source gives the same result on another target.
    _s3d_model second;
    Load(second, AppendTarget());
    ASSERT_TRUE(AppendS3DModel(&second, &source));
    EXPECT_EQ(Encoded(second), out);
}

TEST(ModelAppend, MovesByListLengthsNotCounts) {
    _s3d_model target, source;
    Load(target, AppendTarget());
    Load(source, AppendSource());
    target.vert.blockCount = 40;
    target.mats.blockCount = 0;
    ASSERT_TRUE(AppendS3DModel(&target, &source));
    EXPECT_EQ(target.anim.meshes[1].frames[0], (_s3danim_frame{1, 2, 1, 3}));
    EXPECT_EQ(target.vert.blockCount, 3u);
    EXPECT_EQ(target.mats.blockCount, 4u);
}

TEST(ModelAppend, EmptyTargetKeepsFramesAndSourceWithoutMeshesStillAddsBlocks) {
    _s3d_model empty, source;
    empty.anim.frameCount = 1;
    Load(source, AppendSource());
    ASSERT_TRUE(AppendS3DModel(&empty, &source));
    EXPECT_EQ(empty.anim.meshes[0].frames, source.anim.meshes[0].frames);
    EXPECT_EQ(empty.anim.meshes[1].frames, source.anim.meshes[1].frames);

    S3DBuilder noMeshes = AppendSource();
    noMeshes.meshes.clear();
    noMeshes.frameCount = 7;  // nothing is appended that the count would describe
    _s3d_model target, bare;
    Load(target, AppendTarget());
    Load(bare, noMeshes);
    ASSERT_TRUE(AppendS3DModel(&target, &bare));
    EXPECT_EQ(target.anim.meshes.size(), 1u);
    EXPECT_EQ(target.anim.meshes[0].frames[0], (_s3danim_frame{0, 0, 0, 0}));
    EXPECT_EQ(target.anim.frameCount, 1);
    EXPECT_EQ(target.mats.blocks.size(), 4u);
    EXPECT_EQ(target.vert.blocks.size(), 3u);
}

TEST(ModelAppend, RefusesAppendsThatWouldNotReadBack) {
    struct Case {
        const char* what;
        std::function<void(_s3d_model& target, _s3d_model& source)> setup;
    };
    Case cases[] = {
        {"frame counts differ", [](_s3d_model&, _s3d_model& s) {
             s.anim.frameCount = 2;
             for (auto& mesh : s.anim.meshes) mesh.frames.push_back(mesh.frames[0]);
         }},
        {"a source mesh with another number of frames",
         [](_s3d_model&, _s3d_model& s) { s.anim.meshes[1].frames.push_back({}); }},
        {"a moved reference past 65535",
         [](_s3d_model&, _s3d_model& s) { s.anim.meshes[0].frames[0].vertBlock = 65535; }},
        {"a moved material reference past 65535",
         [](_s3d_model&, _s3d_model& s) { s.anim.meshes[1].frames[0].matsBlock = 65535; }},
        {"more than 65535 meshes",
         [](_s3d_model& t, _s3d_model&) {
             t.anim.meshes.resize(65534, t.anim.meshes[0]);
             t.anim.meshCount = 65534;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        _s3d_model target, source;
        Load(target, AppendTarget());
        Load(source, AppendSource());
        c.setup(target, source);
        const std::size_t meshes = target.anim.meshes.size();
        const std::vector<_sd3mat_mat> mats = target.mats.blocks;
        EXPECT_FALSE(AppendS3DModel(&target, &source));
        EXPECT_EQ(target.anim.meshes.size(), meshes);
        EXPECT_EQ(target.mats.blocks, mats);
        EXPECT_EQ(target.vert.blocks.size(), 1u);
        EXPECT_EQ(target.vert.blockCount, 1u);
    }
    _s3d_model self;
    Load(self, AppendSource());
    EXPECT_FALSE(AppendS3DModel(&self, &self));
    EXPECT_EQ(self.vert.blocks.size(), 2u);
    EXPECT_FALSE(AppendS3DModel(nullptr, &self));
    EXPECT_FALSE(AppendS3DModel(&self, nullptr));
}

TEST(ModelAppend, ReferencesUpToTheLimitAreAccepted) {
    _s3d_model target, source;
    Load(target, AppendTarget());
    Load(source, AppendSource());
    source.anim.meshes[0].frames[0].vertBlock = 65534;  // + 1 = 65535
    ASSERT_TRUE(AppendS3DModel(&target, &source));
    EXPECT_EQ(target.anim.meshes[1].frames[0].vertBlock, 65535);
}
