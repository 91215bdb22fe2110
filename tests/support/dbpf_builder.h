#pragma once
// Writes DBPF archives field by field for tests and benchmarks: header, entry
// data (optionally out of order and with gaps), index at the end, DIR entry.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/dbpf.h"

namespace kvtest {

struct DbpfEntry {
    std::uint32_t type = kTypeS3D;
    std::uint32_t group = 0;
    std::uint32_t instance = 0;
    std::vector<std::uint8_t> data;
};

struct DbpfBuilder {
    std::uint32_t magic = 0x46504244;  // "DBPF"
    std::uint32_t major = 1;
    std::uint32_t minor = 0;
    std::uint32_t indexMajor = 7;
    std::optional<std::uint32_t> countOverride;
    std::optional<std::uint32_t> indexSizeOverride;
    std::optional<std::uint32_t> indexOffsetOverride;
    std::uint32_t gap = 0;          // filler bytes written before each entry's data
    bool reverseData = false;       // lay the data out last entry first
    std::vector<std::uint8_t> trailer;  // bytes after the index
    std::vector<DbpfEntry> entries;

    DbpfEntry& Add(std::uint32_t type, std::uint32_t group, std::uint32_t instance, std::vector<std::uint8_t> data);
    // Adds a DIR entry that lists every compressed entry added so far.
    DbpfEntry& AddDir();
    std::vector<std::uint8_t> Build() const;
};

// The stored form of a compressed entry: size prefix then the QFS stream.
std::vector<std::uint8_t> CompressEntry(const std::vector<std::uint8_t>& raw);

// The same entry as another encoder writes it: a QFS stream of literal runs
// only, which expands to the same bytes but is longer than the program's own
// stream of anything compressible. Storing such an entry again always shows
// in its bytes.
std::vector<std::uint8_t> CompressEntryAsLiterals(const std::vector<std::uint8_t>& raw);

std::uint32_t ReadU32(const std::vector<std::uint8_t>& bytes, std::size_t at);
template <class Bytes>
void WriteU32(Bytes& bytes, std::size_t at, std::uint32_t v) {
    if (bytes.size() < at + 4) bytes.resize(at + 4);
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
}

// Writes bytes to a fresh file under the test's temporary folder.
std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

}  // namespace kvtest
