#include "ui/selection_list_parse.h"

namespace kv {

namespace {

constexpr bool IsSeparator(char16_t c) {
    return c == u',' || c == u';' || c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

constexpr int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// One token read the way "%X" reads it: blanks the separators leave (vertical
// tab, form feed), a sign, an optional "0x", then the hex digits up to the
// first other character. False when no digit is there or the number does not
// fit in 32 bits: "%X" would keep some garbage of it, and an address that is
// not the one written must not select some other model.
bool ReadHexToken(std::u16string_view token, std::uint32_t& value) {
    std::size_t i = 0;
    while (i < token.size() && (token[i] == u'\v' || token[i] == u'\f')) ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == u'+' || token[i] == u'-')) negative = token[i++] == u'-';
    // "0x" counts as a prefix only before a digit; "0xZ" reads as 0.
    if (i + 2 < token.size() && token[i] == u'0' && (token[i + 1] == u'x' || token[i + 1] == u'X') &&
        HexDigit(token[i + 2]) >= 0)
        i += 2;
    std::uint64_t v = 0;
    std::size_t digits = 0;
    for (; i < token.size(); ++i) {
        int d = HexDigit(token[i]);
        if (d < 0) break;
        v = v * 16 + static_cast<std::uint64_t>(d);
        if (v > 0xFFFFFFFFull) return false;
        ++digits;
    }
    if (digits == 0) return false;
    std::uint32_t u = static_cast<std::uint32_t>(v);
    value = negative ? static_cast<std::uint32_t>(0u - u) : u;
    return true;
}

}  // namespace

SelectionListText ParseSelectionList(std::u16string_view text) {
    SelectionListText out;
    EntryAddress current;
    int position = 0;
    std::size_t i = 0;
    while (!out.invalid) {
        while (i < text.size() && IsSeparator(text[i])) ++i;
        if (i >= text.size()) break;
        std::size_t start = i;
        while (i < text.size() && !IsSeparator(text[i])) ++i;
        std::uint32_t value = 0;
        if (!ReadHexToken(text.substr(start, i - start), value)) {
            out.invalid = true;
            break;
        }
        switch (position) {
        case 0:
            if (value != kSelectionListType) out.invalid = true;
            current.type = value;
            break;
        case 1: current.group = value; break;
        default:
            current.instance = value;
            out.triples.push_back(current);
            break;
        }
        if (out.invalid) break;
        position = (position + 1) % 3;
    }
    out.incomplete = position != 0;
    return out;
}

std::wstring HexAddressText(std::uint32_t value) {
    if (value == 0) return L"00000000";
    int digits = 0;
    for (std::uint32_t t = value; t; t >>= 4) ++digits;
    if (digits < 6) digits = 6;
    std::wstring s(static_cast<std::size_t>(2 + digits), L'0');
    s[1] = L'x';
    for (int k = 0; k < digits; ++k) s[static_cast<std::size_t>(1 + digits - k)] = L"0123456789abcdef"[(value >> (4 * k)) & 0xF];
    return s;
}

std::wstring SelectionListLine(const EntryAddress& address) {
    return HexAddressText(address.type) + L' ' + HexAddressText(address.group) + L' ' + HexAddressText(address.instance) +
           L"\r\n";
}

}  // namespace kv
