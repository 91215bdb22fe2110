// Re-orientation: a twenty-view set turned by whole quarter turns by giving
// its index entries new instance numbers. No entry's bytes are read or
// written; the caller rebuilds the DIR afterwards.

#include <array>
#include <cstdint>

#include "archive/dat_doc.h"
#include "platform/message.h"
#include "platform/text.h"

bool CDATDoc::ReorientModel(int nModel, int nTurns) {
    if (nTurns < 1 || nTurns > 3) return false;
    if (nModel < 0 || static_cast<std::size_t>(nModel) >= m_pModels.size()) return false;
    _dat_model& model = m_pModels[static_cast<std::size_t>(nModel)];
    // A row outside the index names no entry: no view of it can be found.
    const bool rowInIndex = model.nRow >= 0 && static_cast<std::uint32_t>(model.nRow) < IndexCount();
    const std::uint32_t count = rowInIndex ? IndexCount() : 0;

    const _dbpf_index_entry base = rowInIndex ? IndexEntry(static_cast<std::uint32_t>(model.nRow)) : _dbpf_index_entry{};
    const std::uint32_t T = base.type, G = base.group, B = base.instance;

    std::array<int, 20> slot;
    slot.fill(-1);
    int found = 0;
    // A view's instance keeps the base's bits outside 0xFF0 and has a clear
    // low nibble, so views exist only for a base whose low twelve bits are
    // clear, and then are exactly the twenty addresses base + zoom * 0x100 +
    // rotation * 0x10. Each address's rows come in index order: every row
    // counts, and the last one keeps the slot.
    if (count > 0 && (B & 0xFFFu) == 0) {
        const EntryAddressMap* addresses = Addresses();
        if (!addresses) {
            AfxMessageBox(L"Insufficient memory!!!");
            return false;
        }
        for (std::uint32_t z = 0; z < 5; ++z) {
            for (std::uint32_t r = 0; r < 4; ++r) {
                for (std::uint32_t row = addresses->First({T, G, B + z * 0x100u + r * 0x10u}); row != EntryAddressMap::kNone;
                     row = addresses->Next(row)) {
                    ++found;
                    slot[z * 4 + r] = static_cast<int>(row);
                }
            }
        }
    }

    // One view held twice and another missing also counts twenty; then the
    // number of distinct views tells the user what is wrong, and no instance
    // is written through the empty slot.
    int distinct = 0;
    for (int s : slot)
        if (s >= 0) ++distinct;
    if (found != 20 || distinct != 20) {
        AfxMessageBox(kv::FormatW(L"%d Z/R views found for %#08x-%#08x-%#08x!\nPlease fix this file using the reader!",
                                  found != 20 ? found : distinct, T, G, B));
        return false;
    }

    // Entries laid over the index keep their bytes when it is renumbered.
    if (!DetachIndexOverlaps()) return false;
    for (std::uint32_t z = 0; z < 5; ++z) {
        for (std::uint32_t r = 0; r < 4; ++r) {
            const std::uint32_t row = static_cast<std::uint32_t>(slot[z * 4 + r]);
            _dbpf_index_entry e = IndexEntry(row);
            e.instance = B + z * 0x100u + ((r + static_cast<std::uint32_t>(nTurns)) & 3u) * 0x10u;
            SetIndexEntry(row, e);
        }
    }
    // The entry that held rotation -nTurns now holds rotation 0, the base.
    model.nRow = slot[static_cast<std::size_t>((-nTurns) & 3)];
    UpdateAllViews(nullptr, nModel, HINT_MODEL_ROW);
    return true;
}
