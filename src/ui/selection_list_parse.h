#pragma once
// The text of a selection list as the clipboard carries it: one line
// "%#08x %#08x %#08x\r\n" (type, group, instance of a model's base entry) per
// model. Reading is lenient: any run of ",; \t\r\n" separates tokens, each
// token is one hexadecimal number as "%X" reads it, and the numbers go in
// threes. Plain C++ so that the fuzz build, which has no Qt, can run it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct EntryAddress {
    std::uint32_t type = 0;
    std::uint32_t group = 0;
    std::uint32_t instance = 0;
    bool operator==(const EntryAddress&) const = default;
};

struct SelectionListText {
    // The whole triples read before the first bad token, in text order.
    std::vector<EntryAddress> triples;
    // A token that is no number, a number wider than 32 bits, or a triple
    // whose type is not the S3D entry type; reading stopped there.
    bool invalid = false;
    // The numbers did not end on a whole triple.
    bool incomplete = false;
};

// The S3D entry type, the only type a selection list may name.
inline constexpr std::uint32_t kSelectionListType = 0x5AD0E817;

// Reads a selection list. Never reads outside `text`; any text is accepted
// (an empty one gives no triples and no fault).
SelectionListText ParseSelectionList(std::u16string_view text);

// One line of a selection list: "%#08x %#08x %#08x\r\n".
std::wstring SelectionListLine(const EntryAddress& address);

// "%#08x": zero alone has no prefix; otherwise "0x" and at least six digits.
std::wstring HexAddressText(std::uint32_t value);

}  // namespace kv
