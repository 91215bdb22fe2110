#include "support/dbpf_builder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

#include "archive/dat_doc.h"
#include "archive/qfs.h"

namespace kvtest {

std::uint32_t ReadU32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) | (static_cast<std::uint32_t>(b.at(at + 1)) << 8) |
           (static_cast<std::uint32_t>(b.at(at + 2)) << 16) | (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}


static void PutU32(std::vector<std::uint8_t>& b, std::uint32_t v) { WriteU32(b, b.size(), v); }


std::vector<std::uint8_t> CompressEntry(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> out(4 + QfsMaxCompressedSize(raw.size()));
    std::int64_t len = 0;
    QfsCompress(raw.data(), raw.size(), out.data() + 4, out.size() - 4, len);
    if (len < 0) throw std::runtime_error("QfsCompress failed");
    out.resize(4 + static_cast<std::size_t>(len));
    WriteU32(out, 0, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::vector<std::uint8_t> CompressEntryAsLiterals(const std::vector<std::uint8_t>& raw) {
    if (raw.size() > 0xFFFFFF) throw std::runtime_error("too large for a QFS stream");
    const std::size_t n = raw.size();
    std::vector<std::uint8_t> out = {0, 0, 0, 0, 0x10, 0xFB, static_cast<std::uint8_t>(n >> 16),
                                     static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    out.reserve(9 + n + n / 112 + 1);
    std::size_t at = 0;
    // Runs of 4 to 112 literals (code 0xE0 + run / 4 - 1), then the end code
    // with the last 0 to 3.
    while (n - at >= 4) {
        const std::size_t run = std::min<std::size_t>((n - at) & ~std::size_t{3}, 112);
        out.push_back(static_cast<std::uint8_t>(0xE0 + run / 4 - 1));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + run));
        at += run;
    }
    out.push_back(static_cast<std::uint8_t>(0xFC + (n - at)));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.end());
    WriteU32(out, 0, static_cast<std::uint32_t>(out.size()));
    return out;
}

DbpfEntry& DbpfBuilder::Add(std::uint32_t type, std::uint32_t group, std::uint32_t instance,
                            std::vector<std::uint8_t> data) {
    entries.push_back({type, group, instance, std::move(data)});
    return entries.back();
}

DbpfEntry& DbpfBuilder::AddDir() {
    std::vector<std::uint8_t> dir;
    for (const auto& e : entries) {
        if (e.type == kTypeDir || !IsCompressedData(e.data)) continue;
        PutU32(dir, e.type);
        PutU32(dir, e.group);
        PutU32(dir, e.instance);
        // Bytes 6 to 8 hold the uncompressed size; a deliberately short entry lacks some.
        std::uint32_t size = 0;
        for (std::size_t k = 6; k < 9; ++k) size = (size << 8) | (k < e.data.size() ? e.data[k] : 0u);
        PutU32(dir, size);
    }
    return Add(kTypeDir, 0xE86B1EEF, 0x286B1F03, std::move(dir));
}

std::vector<std::uint8_t> DbpfBuilder::Build() const {
    std::vector<std::uint8_t> out(96, 0);
    std::vector<std::uint32_t> offsets(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
        std::size_t i = reverseData ? entries.size() - 1 - k : k;
        out.insert(out.end(), gap, 0xCD);
        offsets[i] = static_cast<std::uint32_t>(out.size());
        out.insert(out.end(), entries[i].data.begin(), entries[i].data.end());
    }
    auto indexOffset = static_cast<std::uint32_t>(out.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        PutU32(out, entries[i].type);
        PutU32(out, entries[i].group);
        PutU32(out, entries[i].instance);
        PutU32(out, offsets[i]);
        PutU32(out, static_cast<std::uint32_t>(entries[i].data.size()));
    }
    out.insert(out.end(), trailer.begin(), trailer.end());
    auto count = static_cast<std::uint32_t>(entries.size());
    WriteU32(out, 0, magic);
    WriteU32(out, 4, major);
    WriteU32(out, 8, minor);
    WriteU32(out, 32, indexMajor);
    WriteU32(out, 36, countOverride.value_or(count));
    WriteU32(out, 40, indexOffsetOverride.value_or(indexOffset));
    WriteU32(out, 44, indexSizeOverride.value_or(count * 20));
    return out;
}

std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    auto dir = std::filesystem::temp_directory_path() / ("korvane-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto path = dir / name;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace kvtest
