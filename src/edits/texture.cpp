// Texture replacement: the ID masks and the per-entry edit with its report lines.

#include "edits/texture.h"

#include <array>
#include <cwchar>
#include <cwctype>
#include <iterator>

#include "archive/dat_doc.h"
#include "edits/entry_edit.h"
#include "platform/message.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"

namespace {

constexpr std::size_t kMaskLength = 8;

// The eight lower-case digits "%08x" prints.
std::array<wchar_t, kMaskLength> HexDigits(std::uint32_t value) {
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::array<wchar_t, kMaskLength> out{};
    for (std::size_t i = 0; i < kMaskLength; ++i) out[i] = kDigits[(value >> (28 - 4 * i)) & 0xF];
    return out;
}

void AppendLine(std::wstring& report, const wchar_t* prefix, int length, const wchar_t* outcome) {
    if (length > 0) report.append(prefix, static_cast<std::size_t>(length));
    report += outcome;
}

wchar_t Lower(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c))); }

}  // namespace

bool MatchIdPattern(const std::wstring& strMask, std::uint32_t nInstance, std::uint32_t nTextureId) {
    if (strMask == L"????????") return true;
    // A shorter or longer mask says nothing about some digit, so it is never
    // taken as a match rather than read past its end.
    if (strMask.size() != kMaskLength) return false;
    const auto instance = HexDigits(nInstance);
    const auto id = HexDigits(nTextureId);
    for (std::size_t i = 0; i < kMaskLength; ++i) {
        const wchar_t m = Lower(strMask[i]);
        if (m == L'?') continue;
        if (m == L'#') {
            if (id[i] != instance[i]) return false;
        } else if (id[i] != m) {
            return false;
        }
    }
    return true;
}

std::uint32_t BuildIdFromPattern(const std::wstring& strMask, std::uint32_t nInstance, std::uint32_t nTextureId) {
    if (strMask.size() != kMaskLength) return nTextureId;
    const auto instance = HexDigits(nInstance);
    const auto id = HexDigits(nTextureId);
    std::array<wchar_t, kMaskLength + 1> built{};
    for (std::size_t i = 0; i < kMaskLength; ++i) {
        const wchar_t m = strMask[i];
        built[i] = m == L'#' ? instance[i] : m == L'?' ? id[i] : m;
    }
    // The scan's own rules decide what a mask with blanks, a sign or an "x"
    // in it builds, so such masks give what the user has always got.
    unsigned int value = 0;
    if (std::swscanf(built.data(), L"%x", &value) != 1) value = 0;
    return static_cast<std::uint32_t>(value);
}

bool CDATDoc::ReplaceTexture(int nRow, std::wstring strFind, std::wstring strReplace, std::wstring& strReport,
                             int* pbChanged, int* pbUnchanged) {
    for (wchar_t& c : strFind) c = Lower(c);
    for (wchar_t& c : strReplace) c = Lower(c);
    using kv::edits::BlockOutcome;
    return kv::edits::EditMaterialBlocks(*this, nRow, [&](int k, _s3d_work_block& work, const _dbpf_index_entry& entry) {
        // Without a texture there is no material ID to test. The entry is
        // left as it was (not stored) and the command ends here.
        if (work.textures.empty()) {
            AfxMessageBox(L"Encountered an improper argument.");
            return BlockOutcome::Stop;
        }
        const std::uint32_t oldId = work.textures.front().textureId;
        // The prefix always shows the old ID; three addresses, a block number
        // and an ID fit the buffer many times over.
        wchar_t prefix[112];
        const int n = std::swprintf(prefix, std::size(prefix), L"%#08x %#08x %#08x Block=%-2d Mat=%#08x : ", entry.type,
                                    entry.group, entry.instance, k, oldId);
        if (!MatchIdPattern(strFind, entry.instance, oldId)) {
            if (pbUnchanged) *pbUnchanged = 1;
            AppendLine(strReport, prefix, n, L"Not Matching\r\n");
            return BlockOutcome::Keep;
        }
        const std::uint32_t newId = BuildIdFromPattern(strReplace, entry.instance, oldId);
        if (newId == oldId) {
            if (pbUnchanged) *pbUnchanged = 1;
            AppendLine(strReport, prefix, n, L"No action taken - Replace ID equals Original ID\r\n");
            return BlockOutcome::Keep;
        }
        work.textures.front().textureId = newId;
        if (pbChanged) *pbChanged = 1;
        wchar_t outcome[32];
        std::swprintf(outcome, std::size(outcome), L"Changed to %#08x\r\n", newId);
        AppendLine(strReport, prefix, n, outcome);
        return BlockOutcome::Store;
    });
}
