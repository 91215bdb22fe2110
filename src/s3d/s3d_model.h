#pragma once
// The in-memory form of one S3D model entry: one section per chunk of the
// "3DMD" image (HEAD, VERT, INDX, PRIM, MATS, ANIM, PROP, REGP) with the
// chunk's place in the parsed image, a private copy of its bytes, its header
// values and its records in file order.
//
// Records are plain values held in standard containers, so copying a record
// copies every element it really holds (the container's length), whatever its
// declared count says. Block positions are 0-based; the animation frames refer
// to blocks by these positions.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// ---------------------------------------------------------------- VERT records

// One vertex. Every field is present whatever the block's format; fields the
// format does not carry stay 0.
struct _s3dvert_vertex {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    // One colour byte of the file each, widened to 16 bits (values 0 to 255).
    std::uint16_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
    float u = 0.0f, v = 0.0f;
    float u2 = 0.0f, v2 = 0.0f;

    bool operator==(const _s3dvert_vertex&) const = default;
};

struct _s3dvert_block {
    std::uint16_t flags = 0;        // carried unchanged
    std::uint16_t vertexCount = 0;  // as declared
    std::uint32_t format = 0;       // vertex format (one of the kVertexFormat values below when known)
    std::uint16_t formatCode = 0;   // code of the older layout, or the low 16 bits of a newer format
    std::uint16_t stride = 0;       // older layout only; written back, never used to size vertices
    std::vector<_s3dvert_vertex> vertices;

    bool operator==(const _s3dvert_block&) const = default;
};

// ---------------------------------------------------------------- INDX records

struct _s3dindx_block {
    std::uint16_t indxWord1 = 0;  // carried unchanged
    std::uint16_t indxWord2 = 2;  // carried unchanged; a fresh block has 2 here, not 0
    std::uint16_t indexCount = 0;
    std::vector<std::uint16_t> indices;

    bool operator==(const _s3dindx_block&) const = default;
};

// ---------------------------------------------------------------- PRIM records

struct _s3dprim_prim {
    std::uint32_t type = 0, first = 0, count = 0;

    bool operator==(const _s3dprim_prim&) const = default;
};

struct _s3dprim_block {
    std::uint16_t primCount = 0;
    std::vector<_s3dprim_prim> prims;

    bool operator==(const _s3dprim_block&) const = default;
};

// ---------------------------------------------------------------- MATS records

struct _s3dmat_texture {
    std::uint32_t textureId = 0;
    std::array<std::uint8_t, 4> settings{};
    std::uint16_t texWord1 = 0, texWord2 = 0;
    std::uint8_t nameLength = 0;  // bytes stored, a counted trailing zero included
    // 8-bit text; bytes beyond nameLength are zero. A 255-byte name fills the
    // field with no zero after it, so text readers stop at nameLength.
    std::array<std::uint8_t, 255> name{};

    bool operator==(const _s3dmat_texture&) const = default;
};

struct _sd3mat_mat {
    std::uint32_t flags = 0;
    std::array<std::uint8_t, 4> settings{};
    std::uint16_t matWord = 0;    // carried unchanged
    std::uint32_t matDword = 0;   // carried unchanged
    std::uint8_t matByte = 0;     // carried unchanged
    std::uint8_t textureCount = 0;
    std::vector<_s3dmat_texture> textures;

    bool operator==(const _sd3mat_mat&) const = default;
};

// ---------------------------------------------------------------- ANIM records

struct _s3danim_frame {
    std::uint16_t vertBlock = 0, indxBlock = 0, primBlock = 0, matsBlock = 0;

    bool operator==(const _s3danim_frame&) const = default;
};

// A copy takes the scalars, the first nameLength name bytes and every frame;
// the rest of the destination's name stays as it was (zero for a new record).
struct _s3danim_mesh {
    std::uint8_t nameLength = 0;
    std::uint8_t flags = 0;  // carried unchanged
    std::array<std::uint8_t, 255> name{};
    std::vector<_s3danim_frame> frames;

    _s3danim_mesh() = default;
    _s3danim_mesh(const _s3danim_mesh& s) { *this = s; }
    _s3danim_mesh(_s3danim_mesh&&) noexcept = default;
    _s3danim_mesh& operator=(const _s3danim_mesh& s);
    _s3danim_mesh& operator=(_s3danim_mesh&&) noexcept = default;
    ~_s3danim_mesh() = default;

    bool operator==(const _s3danim_mesh&) const = default;
};

// ---------------------------------------------------------------- PROP records

struct _s3dprop_block {
    std::uint16_t propWord1 = 0, propWord2 = 0;
    std::uint8_t length1 = 0;
    std::array<std::uint8_t, 255> text1{};
    std::uint8_t length2 = 0;
    std::array<std::uint8_t, 255> text2{};

    bool operator==(const _s3dprop_block&) const = default;
};

// ---------------------------------------------------------------- REGP records

struct _s3dregp_transform {
    std::array<float, 7> values{};

    bool operator==(const _s3dregp_transform&) const = default;
};

// A copy takes nameLength, the first nameLength name bytes, transformCount and
// every transform; the rest of the destination's name stays as it was.
struct _s3dregp_block {
    std::uint8_t nameLength = 0;
    std::array<std::uint8_t, 255> name{};
    std::uint16_t transformCount = 0;
    std::vector<_s3dregp_transform> transforms;

    _s3dregp_block() = default;
    _s3dregp_block(const _s3dregp_block& s) { *this = s; }
    _s3dregp_block(_s3dregp_block&&) noexcept = default;
    _s3dregp_block& operator=(const _s3dregp_block& s);
    _s3dregp_block& operator=(_s3dregp_block&&) noexcept = default;
    ~_s3dregp_block() = default;

    bool operator==(const _s3dregp_block&) const = default;
};

// ---------------------------------------------------------------- sections

// What every section has: where the reader found the chunk, and the model's
// own copy of those bytes (none until the reader has made it). After parsing
// nothing reads them; they go stale once blocks change, harmlessly.
struct _s3d_chunk {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::optional<std::vector<std::uint8_t>> raw;
};

struct _s3dhead_section : _s3d_chunk {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
};

// A chunk of counted blocks. The writer writes blockCount as stored, then the
// whole list, so the two are kept equal by everything that changes the list.
template <class Block>
struct _s3d_block_section : _s3d_chunk {
    std::uint32_t blockCount = 0;
    std::vector<Block> blocks;
};

struct _s3danim_section : _s3d_chunk {
    std::uint16_t frameCount = 0;  // frames of every mesh
    std::uint16_t animWord1 = 0;   // the next four are carried unchanged
    std::uint16_t animWord2 = 0;
    std::uint32_t animDword = 0;
    float animFloat = 0.0f;
    std::uint16_t meshCount = 0;
    std::vector<_s3danim_mesh> meshes;
};

using _s3dvert_section = _s3d_block_section<_s3dvert_block>;
using _s3dindx_section = _s3d_block_section<_s3dindx_block>;
using _s3dprim_section = _s3d_block_section<_s3dprim_block>;
using _s3dmats_section = _s3d_block_section<_sd3mat_mat>;
using _s3dprop_section = _s3d_block_section<_s3dprop_block>;
using _s3dregp_section = _s3d_block_section<_s3dregp_block>;

// ---------------------------------------------------------------- the model

struct _s3d_model {
    std::uint32_t declaredLength = 0;  // the total length the image states; informational
    std::uint32_t imageSize = 0;       // the size of the image parsed; informational

    // In chunk order; members are destroyed in reverse, REGP first.
    _s3dhead_section head;
    _s3dvert_section vert;
    _s3dindx_section indx;
    _s3dprim_section prim;
    _s3dmats_section mats;
    _s3danim_section anim;
    _s3dprop_section prop;
    _s3dregp_section regp;

    _s3d_model() = default;
    // A model is never copied as a whole, only its records are; moving is
    // allowed so that a parse can be built aside and handed over on success.
    _s3d_model(const _s3d_model&) = delete;
    _s3d_model& operator=(const _s3d_model&) = delete;
    _s3d_model(_s3d_model&&) noexcept = default;
    _s3d_model& operator=(_s3d_model&&) noexcept = default;
    ~_s3d_model() = default;
};

// Releases every section's raw copy and sets its length to 0; offsets, header
// values and lists stay.
void FreeRawChunks(_s3d_model& model);

// ---------------------------------------------------------------- formats

// The five vertex formats with a known layout.
constexpr std::uint32_t kVertexFormatXyzColour = 0x80000101;          // 16 bytes
constexpr std::uint32_t kVertexFormatXyzUv = 0x80004001;              // 20 bytes
constexpr std::uint32_t kVertexFormatXyzColourUv = 0x80004101;        // 24 bytes
constexpr std::uint32_t kVertexFormatXyzUvUv2 = 0x80008001;           // 28 bytes
constexpr std::uint32_t kVertexFormatXyzColourUvUv2 = 0x80008101;     // 32 bytes

// Bytes one vertex of `format` takes in the file; 0 when the format is none of
// the five.
std::uint32_t S3DVertexSize(std::uint32_t format);

// The format that an older-layout code (or a newer format's low 16 bits)
// stands for; 0 for a code outside the table (1, 2, 3, 10, 11).
std::uint32_t S3DFormatForCode(std::uint16_t code);

// The older-layout code of one of the five formats; 0 for any other format.
std::uint16_t S3DCodeForFormat(std::uint32_t format);

// The newer VERT layout (a 4-byte format) is used from version 1.4 on: major
// at least 1 and minor at least 4, each compared by itself.
inline bool S3DUsesNewVertLayout(std::uint16_t major, std::uint16_t minor) { return major >= 1 && minor >= 4; }
