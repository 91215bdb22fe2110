#include "archive/model_table.h"

#include <algorithm>
#include <cstddef>


namespace {

// Which view (1..19) an instance's low twelve bits name, 0 for none: zoom in
// bits 8..11 (0..4), rotation in bits 4..7 (0..3), bits 0..3 clear.
int ViewOf(std::uint32_t instance) {
    const std::uint32_t low = instance & 0xFFF;
    const std::uint32_t zoom = low >> 8, rotation = (low >> 4) & 0xF;
    if (low == 0 || (low & 0xF) != 0 || zoom > 4 || rotation > 3) return 0;
    return static_cast<int>(zoom * 4 + rotation);
}

constexpr std::uint64_t SetKey(std::uint32_t group, std::uint32_t base) {
    return (static_cast<std::uint64_t>(group) << 32) | base;
}

// Set keys (group, base instance) to dense slot numbers. A base has its low
// twelve bits clear, so a key with bit 0 set never occurs and marks a free cell.
// The table holds one key per set, not per view, and grows by doubling, so it
// stays small enough to live in the cache even for very large archives.
class SetIndex {
public:
    static constexpr std::uint64_t kFree = 1;
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    std::uint32_t Find(std::uint64_t key) const {
        if (m_keys.empty()) return kNone;
        for (std::size_t at = Home(key);; at = (at + 1) & m_mask) {
            if (m_keys[at] == key) return m_slots[at];
            if (m_keys[at] == kFree) return kNone;
        }
    }
    // The slot of `key`, made as `next` when the key is new.
    std::uint32_t Insert(std::uint64_t key, std::uint32_t next, bool& added) {
        if ((m_used + 1) * 2 > m_keys.size()) Grow();
        std::size_t at = Home(key);
        while (m_keys[at] != kFree && m_keys[at] != key) at = (at + 1) & m_mask;
        added = m_keys[at] == kFree;
        if (added) {
            m_keys[at] = key;
            m_slots[at] = next;
            ++m_used;
        }
        return m_slots[at];
    }

private:
    std::size_t Home(std::uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & m_mask;
    }
    void Grow() {
        std::vector<std::uint64_t> keys(m_keys.empty() ? 64 : m_keys.size() * 2, kFree);
        std::vector<std::uint32_t> slots(keys.size(), kNone);
        std::swap(keys, m_keys);
        std::swap(slots, m_slots);
        m_mask = m_keys.size() - 1;
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (keys[k] == kFree) continue;
            std::size_t at = Home(keys[k]);
            while (m_keys[at] != kFree) at = (at + 1) & m_mask;
            m_keys[at] = keys[k];
            m_slots[at] = slots[k];
        }
    }

    std::vector<std::uint64_t> m_keys;
    std::vector<std::uint32_t> m_slots;
    std::size_t m_mask = 0;
    std::size_t m_used = 0;
};

}  // namespace

std::vector<GroupedModel> GroupTwentyViewSetKeys(std::span<const ModelKey> keys) {
    const std::size_t n = keys.size();
    constexpr std::uint32_t kNone = SetIndex::kNone;

    // For every set that has at least one view in the table, one slot with a
    // queue per view: the rows of that view in table order, linked through
    // next[]. A set always takes the earliest row of each view still present,
    // as a scan from the top would find it, so each queue is consumed from
    // its front. Building from the last row backwards puts the earliest first.
    struct Slot {
        std::uint32_t head[20];
    };
    SetIndex index;
    std::vector<Slot> slots;
    std::vector<std::uint32_t> next(n, kNone);
    // The views of a set mostly lie next to each other, so the last set's
    // slot is kept at hand rather than looked up again.
    std::uint64_t lastKey = SetIndex::kFree;
    std::uint32_t s = kNone;
    for (std::size_t k = n; k-- > 0;) {
        const int view = ViewOf(keys[k].instance);
        if (view == 0) continue;
        const std::uint64_t key = SetKey(keys[k].group, keys[k].instance & ~0xFFFu);
        if (key != lastKey) {
            bool added = false;
            s = index.Insert(key, static_cast<std::uint32_t>(slots.size()), added);
            if (added) {
                Slot fresh;
                for (auto& h : fresh.head) h = kNone;
                slots.push_back(fresh);
            }
            lastKey = key;
        }
        next[k] = slots[s].head[view];
        slots[s].head[view] = static_cast<std::uint32_t>(k);
    }

    // Per row: 0 a model of its own, 1 absorbed into a set, 2 a set's base.
    std::vector<char> state(n, 0);
    for (std::size_t k = 0; k < n; ++k) {
        if (state[k]) continue;
        if (keys[k].instance & 0xFFF) continue;
        const std::uint32_t found = index.Find(SetKey(keys[k].group, keys[k].instance));
        if (found == kNone) continue;
        Slot& slot = slots[found];
        int h = 1;
        while (h < 20 && slot.head[h] != kNone) ++h;
        if (h < 20) continue;
        state[k] = 2;
        for (h = 1; h < 20; ++h) {
            state[slot.head[h]] = 1;
            slot.head[h] = next[slot.head[h]];
        }
    }

    std::size_t kept = 0;
    for (std::size_t k = 0; k < n; ++k) kept += state[k] != 1;
    std::vector<GroupedModel> rows;
    rows.reserve(kept);
    for (std::size_t k = 0; k < n; ++k)
        if (state[k] != 1) rows.push_back({static_cast<std::uint32_t>(k), state[k] == 2 ? 20 : 1});
    return rows;
}
