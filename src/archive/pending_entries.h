#pragma once
// The pending replacements of an archive: for each index row, nothing, or the
// new bytes of an entry stored at another size, until the next commit lays
// them out in a new image.
//
// The bytes are laid end to end in a few large blocks of image memory
// (kv::ByteImage), each used from its start on and given back all together
// by the commit. A command over a whole archive keeps about the archive's
// size here; a heap block of its own for each entry would be fresh memory
// faulted in page by page, which costs a large archive more than encoding
// its entries.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/byte_image.h"

class PendingEntries {
public:
    // The blocks double from kFirstBlockSize up to kBlockSize, so that a
    // command that stores much asks for memory a few times only, and one that
    // stores a few small entries takes little; an entry larger than the next
    // block gets a block of its own size. What a block leaves unused at its
    // end is never touched and so never faulted in.
    static constexpr std::size_t kFirstBlockSize = std::size_t{256} << 10;
    static constexpr std::size_t kBlockSize = std::size_t{32} << 20;

    // `rows` empty slots; the bytes of any earlier ones are given back. The
    // table of slots itself is made by the first Set: most archives are
    // opened, looked at and closed without a store of another size.
    void Reset(std::uint32_t rows) noexcept;
    // Every slot empty, the bytes given back.
    void Clear() noexcept;

    std::size_t size() const noexcept { return m_rows; }
    bool Has(std::uint32_t row) const noexcept { return row < m_slots.size() && m_slots[row].data != nullptr; }
    // Whether any slot holds bytes.
    bool Any() const noexcept { return m_count != 0; }

    // The bytes of `row`; empty when it has none.
    std::span<const std::uint8_t> Bytes(std::uint32_t row) const noexcept;
    std::span<std::uint8_t> Bytes(std::uint32_t row) noexcept;

    // Gives `row` a copy of `bytes` (which may be empty) in place of any it
    // had. Throws std::bad_alloc, and std::out_of_range for a row past the
    // table; the slot is then as it was.
    void Set(std::uint32_t row, std::span<const std::uint8_t> bytes);

private:
    struct Slot {
        std::uint8_t* data = nullptr;  // null: nothing pending
        std::uint32_t size = 0;
    };

    std::uint32_t m_rows = 0;
    std::vector<Slot> m_slots;            // empty, or one per row
    std::vector<kv::ByteImage> m_blocks;  // filled in order; only the last has room
    std::size_t m_used = 0;               // bytes used of the last block
    std::size_t m_count = 0;              // slots that hold bytes
};
