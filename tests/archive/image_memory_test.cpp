// Where the archive image lives: in ordinary memory that the kernel never
// lists as advised for huge pages (as its own memory map shows), large or
// small, on open and after a commit; and the image holds exactly the file's
// bytes.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "archive/dat_doc.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"

using namespace kvtest;

namespace {

// Past the size from which the C library maps a block of its own.
constexpr std::size_t kLarge = std::size_t{32} << 20;

// The VmFlags line of the mapping in /proc/self/smaps that holds `p`; empty
// when no mapping holds it.
std::string VmFlagsOf(const void* p) {
    std::ifstream smaps("/proc/self/smaps");
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        unsigned long long begin = 0, end = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> begin >> dash >> end && dash == '-' && line.find(':') > line.find(' ')) {
            inside = begin <= at && at < end;
            continue;
        }
        if (inside && line.rfind("VmFlags:", 0) == 0) return line;
    }
    return {};
}

bool HugePagesAdvised(const void* p) { return VmFlagsOf(p).find(" hg") != std::string::npos; }


std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 131 + (i >> 16));
    return v;
}

}  // namespace

TEST(ImageMemory, NoImageIsAdvisedForHugePagesOnOpenOrAfterACommit) {
    for (std::size_t size : {kLarge, kLarge - 200, std::size_t{5000}}) {
        DbpfBuilder b;
        b.Add(0x12345678, 1, 1, Pattern(size));  // opaque: never parsed
        b.Add(0x12345678, 1, 2, Pattern(100));
        const auto file = b.Build();
        auto doc = OpenArchive(file);
        ASSERT_TRUE(doc);
        EXPECT_FALSE(HugePagesAdvised(doc->m_pBuffer.data())) << size << VmFlagsOf(doc->m_pBuffer.data());
        EXPECT_EQ(ImageOf(*doc), file);

        // The small entry grows: the commit lays out a new image.
        _dbpf_index_entry e = doc->IndexEntry(1);
        e.size = 200;
        doc->SetIndexEntry(1, e);
        doc->m_ppReplaced.Set(1, Pattern(200));
        const std::uint8_t* before = doc->m_pBuffer.data();
        MessageRecorder rec;
        ASSERT_TRUE(doc->CommitReplacedEntries());
        ASSERT_NE(doc->m_pBuffer.data(), before);
        EXPECT_FALSE(HugePagesAdvised(doc->m_pBuffer.data())) << size << VmFlagsOf(doc->m_pBuffer.data());
    }
}

TEST(ImageMemory, ResizeKeepsTheBytesAndIndexingIsBoundsChecked) {
    kv::ByteImage image;
    EXPECT_TRUE(image.empty());
    EXPECT_THROW(image[0], std::out_of_range);
    constexpr std::size_t kLine = kLarge;
    const auto bytes = Pattern(kLine + 1000);
    image.assign(bytes.begin(), bytes.end());
    ASSERT_EQ(image.size(), bytes.size());
    // Across the line between heap blocks and blocks mapped on their own, both ways.
    std::size_t keep = bytes.size();  // bytes still the pattern's
    for (std::size_t n : {kLine + 5000, std::size_t{1000}, kLine - 1, kLine + 1000, std::size_t{0}}) {
        keep = std::min(keep, n);
        image.resize(n);
        ASSERT_EQ(image.size(), n);
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + keep, bytes.begin())) << n;
        if (n) {
            EXPECT_NO_THROW(image[n - 1]);
        }
        EXPECT_THROW(image[n], std::out_of_range);
    }
}
