#pragma once
// The fixed sizes of an S3D image's parts, in bytes, as the file lays them
// out: each record's fixed part, before the elements and names its counts
// and lengths add. The reader checks counts against them before it takes
// anything, the encoder sizes the image with them before it writes, and the
// writer's field-by-field output must come to the same size (EncodeS3D fails
// when it does not). Each size is written as the sum of its fields.

#include <cstddef>

// The image: "3DMD" and the total length, then the HEAD chunk at this offset.
inline constexpr std::size_t kS3DImageHeader = 4 + 4;
inline constexpr std::size_t kS3DHeadOffset = kS3DImageHeader;

// Every chunk: its tag and its length.
inline constexpr std::size_t kS3DChunkFrame = 4 + 4;
// HEAD: the frame, then the major and minor version.
inline constexpr std::size_t kS3DHeadSize = kS3DChunkFrame + 2 + 2;
// VERT, INDX, PRIM, MATS, PROP, REGP: the frame, then the block count.
inline constexpr std::size_t kS3DChunkHeader = kS3DChunkFrame + 4;
// ANIM: the frame, then frame count, two words, a DWORD, a float, mesh count.
inline constexpr std::size_t kS3DAnimHeader = kS3DChunkFrame + 2 + 2 + 2 + 4 + 4 + 2;

// VERT block: flags, vertex count, then the format (or its code and the
// stride); the vertices' sizes come with their format (S3DVertexSize).
inline constexpr std::size_t kS3DVertBlockHeader = 2 + 2 + 4;
// INDX block: two words and the index count; then the indices.
inline constexpr std::size_t kS3DIndxBlockHeader = 2 + 2 + 2;
inline constexpr std::size_t kS3DIndexSize = 2;
// PRIM block: the primitive count; then the primitives (type, first, count).
inline constexpr std::size_t kS3DPrimBlockHeader = 2;
inline constexpr std::size_t kS3DPrimSize = 4 + 4 + 4;
// Material: flags, four settings bytes, a word, a DWORD, a byte, the texture
// count; then the textures: id, four settings bytes, two words, the name's
// length, and the name.
inline constexpr std::size_t kS3DMaterialHeader = 4 + 4 + 2 + 4 + 1 + 1;
inline constexpr std::size_t kS3DTextureHeader = 4 + 4 + 2 + 2 + 1;
// Animation mesh: the name's length and flags, the name, then the frames
// (four block numbers each).
inline constexpr std::size_t kS3DMeshHeader = 1 + 1;
inline constexpr std::size_t kS3DFrameSize = 2 + 2 + 2 + 2;
// Property record: two words and the two texts, each after its length byte.
inline constexpr std::size_t kS3DPropRecordHeader = 2 + 2 + 1 + 1;
// Region: the name's length, the name, the transform count; then the
// transforms (seven floats each).
inline constexpr std::size_t kS3DRegionHeader = 1 + 2;
inline constexpr std::size_t kS3DTransformSize = 7 * 4;
