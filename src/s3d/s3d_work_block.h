#pragma once
// Work blocks: an edit copies one vertex, index or material block of a model
// out, changes the copy, and writes it back, which rebuilds the block record.
// Also appending one model's geometry to another.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "s3d/s3d_model.h"

// Same fields, widths and order as _s3dvert_vertex; copied whole both ways.
struct _s3d_vertex {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    std::uint16_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
    float u = 0.0f, v = 0.0f;
    float u2 = 0.0f, v2 = 0.0f;

    bool operator==(const _s3d_vertex&) const = default;
};

// Never filled and never read.
struct _s3d_primitive {
    std::uint32_t type = 0, first = 0, count = 0;
};

struct _s3d_material_elem {
    std::uint32_t textureId = 0;
    std::array<std::uint8_t, 4> settings{3, 3, 0, 0};
    std::string name;  // 8-bit text without its terminating zero
    // The two words of the texture record (animation rate and mode), which no
    // edit changes: carried from the record and written back as they were.
    std::uint16_t texWord1 = 0, texWord2 = 0;
    // The name field exactly as the record held it (its nameLength bytes);
    // none for an element that no record gave. While `name` is still the text
    // of these bytes, StoreBlock writes them back instead of a new name.
    std::optional<std::string> storedName;

    bool operator==(const _s3d_material_elem&) const = default;
};

struct _s3d_work_block {
    std::uint32_t format = 0;  // of the VERT block last copied in
    std::vector<_s3d_vertex> vertices;
    std::vector<_s3d_primitive> primitives;  // stays empty
    std::vector<std::uint16_t> indices;
    std::vector<_s3d_material_elem> textures;
    std::uint32_t materialFlags = 0;
    std::array<std::uint8_t, 4> materialSettings{};  // byte 1 is the depth function
};

// Block kinds; the values follow the chunk order after HEAD (PRIM, 3, is not one).
constexpr int S3D_BLOCK_VERT = 1;
constexpr int S3D_BLOCK_INDX = 2;
constexpr int S3D_BLOCK_MATS = 4;

// Longest texture name StoreBlock keeps: with its counted zero byte the stored
// length still fits in 8 bits.
constexpr std::size_t kMaxStoredTextureName = 254;

// Copies block `nIndex` (0-based) of kind `nKind` into the kind's part of the
// work block: kind 1 `format` and `vertices`, kind 2 `indices`, kind 4
// `materialFlags`, `materialSettings` and `textures`. That part's container is
// emptied first even when the block does not exist (then `format` or the
// material values keep their earlier values). Other kinds change nothing.
// False only for a null model or work block.
bool ExtractBlock(int nKind, int nIndex, const _s3d_model* pModel, _s3d_work_block* pBlock);

// Rebuilds block `nIndex` of kind `nKind` from the work block, appending
// default blocks first when the index is past the end of the list (then the
// section's blockCount follows the list). Declared counts are set from what is
// stored. A texture keeps its two words, and the name field it was copied from
// byte for byte as long as its name was not changed; a changed or new name is
// stored with a counted zero byte, cut to 254 characters. Other kinds change
// nothing and succeed.
// Existing blocks are stored at any position. Returns false, with the model
// unchanged, for a null model or work block, a negative index, an index that
// would append more than 65536 blocks, or a work block with more than 65535
// vertices or indices or more than 255 textures.
bool StoreBlock(_s3d_model* pModel, int nKind, int nIndex, const _s3d_work_block* pBlock);

// Appends the source's meshes, materials, PRIM, INDX and VERT blocks to the
// target, moving the copied frames' block references by the target's earlier
// list lengths, and sets the counts from the new lengths. HEAD, the ANIM
// header values, PROP and REGP of the target stay as they were.
// Returns false, with the target unchanged, when the result could not be read
// back as written: the source has meshes while its frameCount differs from the
// target's (or one of its meshes holds another number of frames), a moved frame
// reference would pass 65535, or the
// target would hold more than 65535 meshes. Also false for null pointers or a
// model appended to itself.
bool AppendS3DModel(_s3d_model* pTarget, const _s3d_model* pSource);
