// Where the archive image lives: a large image, on open and after a commit,
// in 2 MiB aligned memory that the kernel lists as advised for huge pages (as
// its own memory map shows), a small one on the ordinary heap; and the image
// holds exactly the file's bytes either way.

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

constexpr std::uintptr_t kHugePage = 2u << 20;

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

bool KernelHasHugePages() { return std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled"); }

std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 131 + (i >> 16));
    return v;
}

}  // namespace

TEST(ImageMemory, ALargeImageIsAdvisedForHugePagesOnOpenAndAfterACommit) {
    if (!KernelHasHugePages()) GTEST_SKIP() << "this kernel has no transparent huge pages";
    DbpfBuilder b;
    b.Add(0x12345678, 1, 1, Pattern(kv::ByteImage::kHugePageThreshold));  // opaque: never parsed
    b.Add(0x12345678, 1, 2, Pattern(100));
    const auto file = b.Build();
    auto doc = OpenArchive(file);
    ASSERT_TRUE(doc);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(doc->m_pBuffer.data()) % kHugePage, 0u);
    EXPECT_TRUE(HugePagesAdvised(doc->m_pBuffer.data())) << VmFlagsOf(doc->m_pBuffer.data());
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
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(doc->m_pBuffer.data()) % kHugePage, 0u);
    EXPECT_TRUE(HugePagesAdvised(doc->m_pBuffer.data())) << VmFlagsOf(doc->m_pBuffer.data());
    // The old image went back whole.
    EXPECT_EQ(VmFlagsOf(before), "");
}

TEST(ImageMemory, ASmallImageStaysOnTheOrdinaryHeap) {
    DbpfBuilder b;
    b.Add(0x12345678, 1, 1, Pattern(kv::ByteImage::kHugePageThreshold - 200));
    const auto file = b.Build();
    auto doc = OpenArchive(file);
    ASSERT_TRUE(doc);
    EXPECT_FALSE(HugePagesAdvised(doc->m_pBuffer.data()));
    EXPECT_EQ(ImageOf(*doc), file);
}

TEST(ImageMemory, ResizeKeepsTheBytesAndIndexingIsBoundsChecked) {
    kv::ByteImage image;
    EXPECT_TRUE(image.empty());
    EXPECT_THROW(image[0], std::out_of_range);
    constexpr std::size_t kLine = kv::ByteImage::kHugePageThreshold;
    const auto bytes = Pattern(kLine + 1000);
    image.assign(bytes.begin(), bytes.end());
    ASSERT_EQ(image.size(), bytes.size());
    // Across the line between heap memory and huge-page memory, both ways.
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
