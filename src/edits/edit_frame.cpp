#include "edits/edit_frame.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "archive/dat_doc.h"

wchar_t g_szChangesText[kChangesTextSize] = L"";

float ViewAxisValue(int nRotation, bool bX, float fA, float fB) {
    // Each quarter turn takes +x toward +z: (a, b) becomes (-b, a).
    switch (nRotation & 3) {
    case 0:
        return bX ? fA : fB;
    case 1:
        return bX ? -fB : fA;
    case 2:
        return bX ? -fA : -fB;
    default:
        return bX ? fB : -fA;
    }
}

int CDATDoc::FindViewRow(int nBaseRow, int nView) const {
    const std::uint32_t count = IndexCount();
    if (nBaseRow < 0 || static_cast<std::uint32_t>(nBaseRow) >= count || nView < 0 || nView > 19) return -1;
    const EntryAddressMap* addresses = Addresses();
    if (!addresses) return -1;

    const _dbpf_index_entry base = IndexEntry(static_cast<std::uint32_t>(nBaseRow));
    const std::uint32_t instance = base.instance + static_cast<std::uint32_t>(nView / 4) * 0x100u +
                                   static_cast<std::uint32_t>(nView % 4) * 0x10u;
    // The map gives the first row of the address in index order: the row a
    // scan from row 0 would stop at, without the scan, so a command over
    // every set of a large archive does not grow with the square of its size.
    const std::uint32_t row = addresses->First({kTypeS3D, base.group, instance});
    return row == EntryAddressMap::kNone ? -1 : static_cast<int>(row);
}

void CDATDoc::FormatChanges(int nModel) const {
    static constexpr const wchar_t* kWording[7] = {L", Flipped", L", Moved",  L", Rotated",    L", Scaled",
                                                   L", Merged",  L", Set Transparency", L", Retextured"};
    std::wstring text;
    if (nModel >= 0 && static_cast<std::size_t>(nModel) < m_pModels.size()) {
        const _dat_model& model = m_pModels[static_cast<std::size_t>(nModel)];
        for (std::size_t k = 0; k < 7; ++k) {
            if (model.szStatus[k] == kUnchangedMark) continue;
            // Which command set the mark does not matter: one view turns, twenty re-orient.
            text += (k == 2 && model.nViews != 1) ? L", Reoriented" : kWording[k];
        }
        text = text.empty() ? std::wstring(L"None") : text.substr(2);
    }
    // The longest wording is 72 characters, well inside the buffer.
    const std::size_t n = std::min(text.size(), kChangesTextSize - 1);
    std::wmemcpy(g_szChangesText, text.data(), n);
    g_szChangesText[n] = L'\0';
}
