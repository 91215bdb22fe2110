#pragma once
// Writes S3D images ("3DMD") field by field for tests and benchmarks. Every
// count, length and tag that the image states can be overridden, and any
// chunk can carry bytes after its last block, so a test shows the bytes that
// matter. Nothing here uses the program's reader or writer.
//
// For a model that looks like a real one:
//     std::vector<std::uint8_t> bytes = kvtest::MakeRealisticS3D("Hotel");

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvtest {

constexpr std::uint32_t kFmtColour = 0x80000101;       // x y z colour, 16 bytes
constexpr std::uint32_t kFmtUv = 0x80004001;           // x y z u v, 20 bytes
constexpr std::uint32_t kFmtColourUv = 0x80004101;     // x y z colour u v, 24 bytes
constexpr std::uint32_t kFmtUvUv2 = 0x80008001;        // x y z u v u2 v2, 28 bytes
constexpr std::uint32_t kFmtColourUvUv2 = 0x80008101;  // x y z colour u v u2 v2, 32 bytes

// Bytes per vertex of one of the five formats, 12 (x y z) for any other.
std::size_t VertexSize(std::uint32_t format);
// The older layout's code of one of the five formats, 0 for any other.
std::uint16_t FormatCode(std::uint32_t format);

struct S3DVertex {
    float x = 0, y = 0, z = 0;
    std::array<std::uint8_t, 4> colour{};
    float u = 0, v = 0, u2 = 0, v2 = 0;
};

struct S3DVertBlock {
    std::uint16_t flags = 0;
    // Decides which fields of each vertex are written (x y z alone for a
    // format outside the five).
    std::uint32_t format = kFmtUv;
    std::optional<std::uint32_t> formatField;  // newer layout: the DWORD written; default `format`
    std::optional<std::uint16_t> codeField;    // older layout: the code written; default FormatCode(format)
    std::uint16_t stride = 0;                  // older layout only
    std::optional<std::uint16_t> countField;   // default vertices.size()
    std::vector<S3DVertex> vertices;
};

struct S3DIndxBlock {
    std::uint16_t word1 = 0, word2 = 2;
    std::optional<std::uint16_t> countField;
    std::vector<std::uint16_t> indices;
};

struct S3DPrim {
    std::uint32_t type = 0, first = 0, count = 0;
};

struct S3DPrimBlock {
    std::optional<std::uint16_t> countField;
    std::vector<S3DPrim> prims;
};

struct S3DTexture {
    std::uint32_t id = 0;
    std::array<std::uint8_t, 4> settings{3, 3, 0, 0};
    std::uint16_t word1 = 0, word2 = 0;
    std::string name;
    bool terminator = true;  // store a counted zero byte after the name, as the program does
    std::optional<std::uint8_t> lengthField;  // default: the bytes stored
};

struct S3DMaterial {
    std::uint32_t flags = 0;
    std::array<std::uint8_t, 4> settings{};
    std::uint16_t word = 0;
    std::uint32_t dword = 0;
    std::uint8_t byte = 0;
    std::optional<std::uint8_t> countField;
    std::vector<S3DTexture> textures;
};

struct S3DFrame {
    std::uint16_t vert = 0, indx = 0, prim = 0, mats = 0;
};

struct S3DMesh {
    std::string name;  // the exact bytes stored
    std::uint8_t flags = 0;
    std::vector<S3DFrame> frames;  // written as held, whatever the frame count says
};

struct S3DProp {
    std::uint16_t word1 = 0, word2 = 0;
    std::string text1, text2;
};

struct S3DRegion {
    std::string name;
    std::optional<std::uint16_t> countField;
    std::vector<std::array<float, 7>> transforms;
};

// The chunks after HEAD, in image order.
enum S3DChunk { kChunkVert, kChunkIndx, kChunkPrim, kChunkMats, kChunkAnim, kChunkProp, kChunkRegp, kS3DChunks };

struct S3DChunkOptions {
    std::optional<std::string> tag;             // four letters; default the chunk's own
    std::optional<std::uint32_t> lengthField;   // default the chunk's size
    std::optional<std::uint32_t> countField;    // block count (ANIM: none); default the list's length
    std::vector<std::uint8_t> trailing;         // bytes after the last block, inside the chunk
};

// Where each chunk landed in the last image built.
struct S3DLayout {
    std::array<std::size_t, kS3DChunks> offset{};
    std::array<std::size_t, kS3DChunks> length{};
};

struct S3DBuilder {
    std::string magic = "3DMD";
    std::optional<std::uint32_t> totalLengthField;  // default the image's length
    std::string headTag = "HEAD";
    std::optional<std::uint32_t> headLengthField;   // default 12 plus headTrailing
    std::vector<std::uint8_t> headTrailing;
    std::uint16_t major = 1, minor = 5;

    std::vector<S3DVertBlock> vert;
    std::vector<S3DIndxBlock> indx;
    std::vector<S3DPrimBlock> prim;
    std::vector<S3DMaterial> mats;
    std::uint16_t frameCount = 1;
    std::uint16_t animWord1 = 0, animWord2 = 0;
    std::uint32_t animDword = 0;
    float animFloat = 0;
    std::optional<std::uint16_t> meshCountField;
    std::vector<S3DMesh> meshes;
    std::vector<S3DProp> props;
    std::vector<S3DRegion> regions;

    std::array<S3DChunkOptions, kS3DChunks> chunk;

    // The same version test the format uses: from 1.4 on (each part compared
    // by itself) VERT blocks carry a 4-byte format.
    bool NewLayout() const { return major >= 1 && minor >= 4; }

    std::vector<std::uint8_t> Build(S3DLayout* layout = nullptr) const;
};

// A small model like the ones archives hold: `vertexCount` vertices of format
// 0x80004101 in blocks of at most 16384, each block with an index list of
// triangles, one primitive and one mesh of one frame naming it, and one
// material with one texture named `textureName` (id 0x1234ABCD).
S3DBuilder RealisticS3D(const std::string& textureName = "Hotel_UserModel_Z5S", std::size_t vertexCount = 4);
std::vector<std::uint8_t> MakeRealisticS3D(const std::string& textureName = "Hotel_UserModel_Z5S",
                                           std::size_t vertexCount = 4);

// RealisticS3D with as many vertices and as long a texture name as make its
// image exactly `bytes` long (at least a few hundred bytes).
S3DBuilder SizedS3D(std::size_t bytes);

// Offset of the first occurrence of the four letters `tag` at or after
// `from`; std::string::npos when there is none.
std::size_t FindTag(const std::vector<std::uint8_t>& image, const char* tag, std::size_t from = 0);

}  // namespace kvtest
