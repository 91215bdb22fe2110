#pragma once
// The records of a DBPF package archive, read from and written to the image
// through the byte reader and writer; all fields are little-endian 32-bit.

#include <cstdint>

constexpr std::uint32_t kDbpfMagic = 0x46504244;  // "DBPF"
constexpr std::uint32_t kTypeS3D = 0x5AD0E817;
constexpr std::uint32_t kTypeDir = 0xE86B1EEF;
constexpr std::uint32_t kHeaderSize = 96;
constexpr std::uint32_t kIndexEntrySize = 20;
constexpr std::uint32_t kDirRecordSize = 16;

struct _dbpf_header {
    std::uint32_t magic = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t indexMajorVersion = 0;
    std::uint32_t indexEntryCount = 0;
    std::uint32_t indexOffset = 0;
    std::uint32_t indexSize = 0;

    // Byte offsets of the fields within the 96-byte header.
    static constexpr std::uint32_t kMagicAt = 0, kMajorAt = 4, kMinorAt = 8, kIndexMajorAt = 32, kCountAt = 36,
                                   kIndexOffsetAt = 40, kIndexSizeAt = 44;
};

struct _dbpf_index_entry {
    std::uint32_t type = 0;
    std::uint32_t group = 0;
    std::uint32_t instance = 0;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

struct _dbpf_dir_entry {
    std::uint32_t type = 0;
    std::uint32_t group = 0;
    std::uint32_t instance = 0;
    std::uint32_t size = 0;
};
