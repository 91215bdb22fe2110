#include "archive/address_map.h"

#include <algorithm>
#include <bit>

#include "platform/binary_io.h"

std::size_t EntryAddressMap::Home(const EntryAddress& a) const {
    // The zoom and rotation bits stay out, so a set's views share a home.
    std::uint64_t x = (static_cast<std::uint64_t>(a.group) << 32 | (a.instance & ~0xFF0u)) ^
                      (static_cast<std::uint64_t>(a.type) * 0x9E3779B97F4A7C15ull);
    x ^= x >> 29;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 32;
    x *= 0x94D049BB133111EBull;
    return static_cast<std::size_t>(x >> m_shift);
}

std::size_t EntryAddressMap::Find(const EntryAddress& a) const {
    std::size_t i = Home(a);
    while (m_slots[i].first != kNone && !(m_slots[i].address == a)) i = (i + 1) & m_mask;
    return i;
}

void EntryAddressMap::Clear() {
    m_slots.clear();
    m_next.clear();
    m_mask = 0;
    m_shift = 64;
}

void EntryAddressMap::Build(std::span<const std::uint8_t> index, std::uint32_t count) {
    Clear();
    count = static_cast<std::uint32_t>(std::min<std::size_t>(count, index.size() / 20));
    try {
        const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(16, static_cast<std::size_t>(count) * 2));
        m_slots.assign(capacity, Slot{});
        m_next.assign(count, kNone);
        m_mask = capacity - 1;
        m_shift = 64 - std::countr_zero(capacity);
    } catch (...) {
        Clear();
        throw;
    }
    // From the last row up, so that each row goes in front of the later rows
    // of its address and every chain ends up in index order.
    for (std::uint32_t row = count; row-- > 0;) {
        const std::uint8_t* p = index.data() + static_cast<std::size_t>(row) * 20;
        const EntryAddress a{kv::ByteReader::LoadU32(p), kv::ByteReader::LoadU32(p + 4), kv::ByteReader::LoadU32(p + 8)};
        Slot& s = m_slots[Find(a)];
        if (s.first != kNone) m_next[row] = s.first;
        s.address = a;
        s.first = row;
    }
}

std::uint32_t EntryAddressMap::First(const EntryAddress& address) const {
    if (m_slots.empty()) return kNone;
    return m_slots[Find(address)].first;
}

void EntryAddressMap::Erase(std::size_t hole) {
    // Linear probing without tombstones: pull later slots of the run back
    // into the hole whenever their home does not lie between the hole and
    // them, so that every address stays reachable from its home.
    std::size_t j = hole;
    for (;;) {
        j = (j + 1) & m_mask;
        if (m_slots[j].first == kNone) break;
        const std::size_t home = Home(m_slots[j].address);
        const bool stays = hole < j ? (hole < home && home <= j) : (hole < home || home <= j);
        if (stays) continue;
        m_slots[hole] = m_slots[j];
        hole = j;
    }
    m_slots[hole] = Slot{};
}

void EntryAddressMap::Move(std::uint32_t row, const EntryAddress& from, const EntryAddress& to) {
    if (row >= m_next.size() || from == to) return;

    const std::size_t old = Find(from);
    Slot& s = m_slots[old];
    if (s.first == row) {
        s.first = m_next[row];
        if (s.first == kNone) Erase(old);
    } else if (s.first != kNone) {
        std::uint32_t p = s.first;
        while (m_next[p] != kNone && m_next[p] != row) p = m_next[p];
        if (m_next[p] == row) m_next[p] = m_next[row];
    }
    m_next[row] = kNone;

    Slot& t = m_slots[Find(to)];
    if (t.first == kNone) {
        t.address = to;
        t.first = row;
    } else if (row < t.first) {
        m_next[row] = t.first;
        t.first = row;
    } else {
        std::uint32_t p = t.first;
        while (m_next[p] != kNone && m_next[p] < row) p = m_next[p];
        m_next[row] = m_next[p];
        m_next[p] = row;
    }
}
