#include "edits/edit_frame.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "archive/dat_doc.h"
#include "platform/binary_io.h"

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
    // The whole index must lie in the image before it is scanned field by field.
    if (m_pIndex > m_pBuffer.size() || (m_pBuffer.size() - m_pIndex) / kIndexEntrySize < count) return -1;

    const _dbpf_index_entry base = IndexEntry(static_cast<std::uint32_t>(nBaseRow));
    const std::uint32_t instance = base.instance + static_cast<std::uint32_t>(nView / 4) * 0x100u +
                                   static_cast<std::uint32_t>(nView % 4) * 0x10u;
    // Read only the three address fields: commands look up every view of
    // every selected set, each a scan of the index.
    const std::uint8_t* p = m_pBuffer.data() + m_pIndex;
    for (std::uint32_t row = 0; row < count; ++row, p += kIndexEntrySize) {
        if (kv::ByteReader::LoadU32(p + 8) == instance && kv::ByteReader::LoadU32(p) == kTypeS3D &&
            kv::ByteReader::LoadU32(p + 4) == base.group)
            return static_cast<int>(row);
    }
    return -1;
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
