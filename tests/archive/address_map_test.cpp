// The address map against a plain scan of the same rows, through random
// address changes that make and break repeated addresses: every address's
// rows, read through First and Next, are the rows a scan finds, in index order.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "archive/address_map.h"
#include "support/dbpf_builder.h"

namespace {

std::vector<std::uint8_t> PackedIndex(const std::vector<EntryAddress>& rows) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        kvtest::WriteU32(bytes, r * 20, rows[r].type);
        kvtest::WriteU32(bytes, r * 20 + 4, rows[r].group);
        kvtest::WriteU32(bytes, r * 20 + 8, rows[r].instance);
        kvtest::WriteU32(bytes, r * 20 + 16, 0);
    }
    return bytes;
}

std::vector<std::uint32_t> ChainOf(const EntryAddressMap& map, const EntryAddress& a) {
    std::vector<std::uint32_t> rows;
    for (std::uint32_t r = map.First(a); r != EntryAddressMap::kNone && rows.size() <= 10000; r = map.Next(r)) rows.push_back(r);
    return rows;
}

std::vector<std::uint32_t> ScanOf(const std::vector<EntryAddress>& rows, const EntryAddress& a) {
    std::vector<std::uint32_t> found;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (rows[r] == a) found.push_back(static_cast<std::uint32_t>(r));
    return found;
}

}  // namespace

TEST(EntryAddressMap, KeepsEachAddressesRowsInIndexOrderThroughEveryMove) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        // Few groups and instances that differ mostly in the bits the hash
        // leaves out: long runs of shared home slots, and many repeats.
        auto draw = [&] {
            return EntryAddress{rng() % 5 == 0 ? 0x12345678u : 0x5AD0E817u, static_cast<std::uint32_t>(rng() % 3),
                                static_cast<std::uint32_t>(0x10000u * (rng() % 4) + 0x10u * (rng() % 40) + (rng() % 9 == 0 ? 1u : 0u))};
        };
        std::vector<EntryAddress> rows(seed == 1 ? 7 : 300);
        for (auto& a : rows) a = draw();
        EntryAddressMap map;
        map.Build(PackedIndex(rows), static_cast<std::uint32_t>(rows.size()));
        ASSERT_EQ(map.Rows(), rows.size());

        for (int step = 0; step < 3000; ++step) {
            const auto row = static_cast<std::uint32_t>(rng() % rows.size());
            // Now and then to another row's address, so repeats grow and shrink.
            const EntryAddress to = rng() % 2 ? rows[rng() % rows.size()] : draw();
            map.Move(row, rows[row], to);
            const EntryAddress from = rows[row];
            rows[row] = to;
            ASSERT_EQ(ChainOf(map, from), ScanOf(rows, from)) << "step " << step;
            ASSERT_EQ(ChainOf(map, to), ScanOf(rows, to)) << "step " << step;
        }
        for (const EntryAddress& a : rows) ASSERT_EQ(ChainOf(map, a), ScanOf(rows, a));
        // Addresses that no row holds any more are gone.
        for (int k = 0; k < 500; ++k) {
            const EntryAddress a = draw();
            ASSERT_EQ(ChainOf(map, a), ScanOf(rows, a));
        }
    }
}

TEST(EntryAddressMap, AnEmptyIndexFindsNothing) {
    EntryAddressMap map;
    EXPECT_EQ(map.First({1, 2, 3}), EntryAddressMap::kNone);
    map.Build({}, 0);
    EXPECT_EQ(map.Rows(), 0u);
    EXPECT_EQ(map.First({1, 2, 3}), EntryAddressMap::kNone);
    EXPECT_EQ(map.Next(0), EntryAddressMap::kNone);
}
