#pragma once
// Finds index rows by entry address (type, group, instance) without scanning
// the index. Every address maps to the first row that holds it in index order,
// which is what a scan from row 0 would stop at; the rows that repeat an
// address follow it, in index order.
//
// The table is open-addressed with linear probing. Its hash leaves out bits 4
// to 11 of the instance, which number the zoom and rotation of a twenty-view
// set, so the twenty views of one set share a home slot and lie side by side:
// a command that looks up every view of a set touches one stretch of memory.

#include <cstdint>
#include <span>
#include <vector>

struct EntryAddress {
    std::uint32_t type = 0;
    std::uint32_t group = 0;
    std::uint32_t instance = 0;
    bool operator==(const EntryAddress&) const = default;
};

class EntryAddressMap {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // Maps the `count` rows of a packed index (20 bytes a row, the address in
    // its first twelve). Throws std::bad_alloc; the map is then empty.
    void Build(std::span<const std::uint8_t> index, std::uint32_t count);
    void Clear();

    // The number of index rows the map was built for.
    std::uint32_t Rows() const { return static_cast<std::uint32_t>(m_next.size()); }

    // The first row holding `address`, kNone when no row does.
    std::uint32_t First(const EntryAddress& address) const;
    // The next row after `row` that holds the same address, kNone after the last.
    std::uint32_t Next(std::uint32_t row) const { return row < m_next.size() ? m_next[row] : kNone; }

    // Row `row` changed its address from `from` to `to`. Never allocates: the
    // table has room for as many addresses as there are rows.
    void Move(std::uint32_t row, const EntryAddress& from, const EntryAddress& to);

private:
    struct Slot {
        EntryAddress address;
        std::uint32_t first = kNone;  // kNone marks an empty slot
    };

    std::size_t Home(const EntryAddress& a) const;
    // The slot holding `a`, or the empty slot where it would go.
    std::size_t Find(const EntryAddress& a) const;
    void Erase(std::size_t slot);

    std::vector<Slot> m_slots;          // a power of two, at least twice the rows
    std::vector<std::uint32_t> m_next;  // per row: the next row of the same address
    std::size_t m_mask = 0;
    int m_shift = 64;
};
