// The pending replacements: bytes of entries laid end to end in large
// blocks, across the end of a block, larger than a block, empty, and given
// again; each row keeps exactly its own bytes.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "archive/pending_entries.h"

namespace {

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 12));
    return v;
}

std::vector<std::uint8_t> Held(const PendingEntries& p, std::uint32_t row) {
    const auto b = p.Bytes(row);
    return {b.begin(), b.end()};
}

}  // namespace

TEST(PendingEntries, EveryRowKeepsItsOwnBytesAcrossBlocks) {
    constexpr std::size_t kBlock = PendingEntries::kBlockSize;
    PendingEntries p;
    p.Reset(8);
    EXPECT_FALSE(p.Any());
    // Row 2 is larger than the next block and gets one of its own size, so
    // row 3 starts another; row 4 is larger than the largest block; row 5 is
    // empty but pending; row 0 is given again and keeps only its second bytes.
    const std::vector<std::vector<std::uint8_t>> first = {
        Pattern(1000, 1), {}, Pattern(kBlock - 1100, 3), Pattern(101, 4), Pattern(kBlock + 1, 5), {}};
    for (std::uint32_t row = 0; row < first.size(); ++row)
        if (row != 1) p.Set(row, first[row]);
    const auto again = Pattern(300, 9);
    p.Set(0, again);

    EXPECT_TRUE(p.Any());
    EXPECT_EQ(Held(p, 0), again);
    EXPECT_FALSE(p.Has(1));
    for (std::uint32_t row = 2; row < first.size(); ++row) {
        EXPECT_TRUE(p.Has(row)) << row;
        EXPECT_EQ(Held(p, row), first[row]) << row;
    }
    EXPECT_TRUE(p.Has(5));
    EXPECT_TRUE(p.Bytes(5).empty());
    EXPECT_FALSE(p.Has(6));
    EXPECT_FALSE(p.Has(100));
    EXPECT_THROW(p.Set(8, again), std::out_of_range);

    p.Clear();
    EXPECT_FALSE(p.Any());
    for (std::uint32_t row = 0; row < 8; ++row) EXPECT_FALSE(p.Has(row)) << row;
    EXPECT_EQ(p.size(), 8u);
    p.Set(7, again);
    EXPECT_EQ(Held(p, 7), again);
}
