#include "archive/pending_entries.h"

#include <algorithm>
#include <stdexcept>

namespace {

// Where an empty replacement points: a slot's data is never null while it
// holds bytes, even none.
std::uint8_t g_empty;

}  // namespace

void PendingEntries::Reset(std::uint32_t rows) noexcept {
    Clear();
    m_slots = {};
    m_rows = rows;
}

void PendingEntries::Clear() noexcept {
    std::fill(m_slots.begin(), m_slots.end(), Slot{});
    m_blocks.clear();
    m_used = 0;
    m_count = 0;
}

std::span<const std::uint8_t> PendingEntries::Bytes(std::uint32_t row) const noexcept {
    if (!Has(row)) return {};
    return {m_slots[row].data, m_slots[row].size};
}

std::span<std::uint8_t> PendingEntries::Bytes(std::uint32_t row) noexcept {
    if (!Has(row)) return {};
    return {m_slots[row].data, m_slots[row].size};
}

void PendingEntries::Set(std::uint32_t row, std::span<const std::uint8_t> bytes) {
    if (row >= m_rows) throw std::out_of_range("pending entry row");
    if (m_slots.empty()) m_slots.resize(m_rows);
    std::uint8_t* at = &g_empty;
    if (!bytes.empty()) {
        if (m_blocks.empty() || m_blocks.back().size() - m_used < bytes.size()) {
            kv::ByteImage block;
            const std::size_t next =
                m_blocks.empty() ? kFirstBlockSize : std::min(kBlockSize, m_blocks.back().size() * 2);
            block.resize(std::max(next, bytes.size()));
            m_blocks.reserve(m_blocks.size() + 1);
            m_blocks.push_back(std::move(block));
            m_used = 0;
        }
        at = m_blocks.back().data() + m_used;
        std::copy(bytes.begin(), bytes.end(), at);
        m_used += bytes.size();
    }
    Slot& slot = m_slots[row];
    if (!slot.data) ++m_count;
    slot.data = at;
    slot.size = static_cast<std::uint32_t>(bytes.size());
}
