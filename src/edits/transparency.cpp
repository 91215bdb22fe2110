// Setting and removing transparency in the material blocks of one entry.

#include <cstdint>
#include <cwchar>
#include <iterator>

#include "archive/dat_doc.h"
#include "edits/entry_edit.h"
#include "platform/message.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"

namespace {

// Both patterns need these four flag bits; bit 0x10 tells them apart and is
// the only flag bit ever changed.
constexpr std::uint32_t kRequiredFlags = 0x01 | 0x02 | 0x08 | 0x20;
constexpr std::uint32_t kTransparentFlag = 0x10;

constexpr std::uint8_t kDepthLessEqual = 0x03;
constexpr std::uint8_t kDepthLess = 0x01;

enum class Kind { Nontransparent, Transparent, Unrecognisable };

Kind Classify(const _s3d_work_block& work, std::uint8_t depth) {
    const std::uint32_t low = work.materialFlags & 0xFF;
    if ((low & kRequiredFlags) != kRequiredFlags) return Kind::Unrecognisable;
    const auto& s = work.materialSettings;
    if (low & kTransparentFlag) {
        if (s[0] == 0x07 && s[1] == depth && s[2] == 0x04 && s[3] == 0x05) return Kind::Transparent;
    } else {
        if (s[0] == 0x04 && s[1] == kDepthLessEqual && s[2] == 0x01 && s[3] == 0x00) return Kind::Nontransparent;
    }
    return Kind::Unrecognisable;
}

}  // namespace

bool CDATDoc::SetTransparency(int nRow, bool bSet, int nDepthFunc, std::wstring& strReport, int* pbChanged,
                              int* pbNoAction) {
    const std::uint8_t depth = nDepthFunc != 0 ? kDepthLess : kDepthLessEqual;
    using kv::edits::BlockOutcome;
    return kv::edits::EditMaterialBlocks(*this, nRow, [&](int k, _s3d_work_block& work, const _dbpf_index_entry& entry) {
        const Kind kind = Classify(work, depth);
        const wchar_t* outcome;
        bool edit = false;
        if (kind == Kind::Nontransparent && bSet) {
            work.materialFlags |= kTransparentFlag;
            work.materialSettings = {0x07, depth, 0x04, 0x05};
            outcome = L"Transparency Set\r\n";
            edit = true;
        } else if (kind == Kind::Transparent && !bSet) {
            work.materialFlags &= ~kTransparentFlag;
            work.materialSettings = {0x04, kDepthLessEqual, 0x01, 0x00};
            outcome = L"Transparency Removed\r\n";
            edit = true;
        } else if (kind == Kind::Transparent) {
            outcome = L"No action taken - Already transparent\r\n";
        } else if (kind == Kind::Nontransparent) {
            outcome = L"No action taken - Already nontransparent\r\n";
        } else {
            outcome = L"No action taken - Unrecognisable settings pattern\r\n";
        }

        if (edit) {
            if (pbChanged) *pbChanged = 1;
        } else if (pbNoAction) {
            *pbNoAction = 1;
        }
        // Three addresses and a block number fit the buffer many times over.
        wchar_t prefix[96];
        const int n = std::swprintf(prefix, std::size(prefix), L"%#08x %#08x %#08x Block=%-2d: ", entry.type, entry.group,
                                    entry.instance, k);
        if (n > 0) strReport.append(prefix, static_cast<std::size_t>(n));
        strReport += outcome;
        return edit ? BlockOutcome::Store : BlockOutcome::Keep;
    });
}
