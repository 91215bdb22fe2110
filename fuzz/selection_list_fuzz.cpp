// The selection-list reader on any clipboard text: it reads nothing outside
// the text, every triple it keeps names the S3D type, a trailing separator
// changes nothing, and the lines written for its triples read back as the
// same triples with no fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "ui/selection_list_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Two bytes a character, little-endian, as the clipboard's Unicode text;
    // an odd last byte is one more character.
    std::u16string text;
    text.reserve(size / 2 + 1);
    for (std::size_t k = 0; k < size; k += 2)
        text.push_back(static_cast<char16_t>(data[k] | (k + 1 < size ? data[k + 1] << 8 : 0)));

    const kv::SelectionListText r = kv::ParseSelectionList(text);
    for (const kv::EntryAddress& a : r.triples) FUZZ_CHECK(a.type == kv::kSelectionListType);

    const kv::SelectionListText again = kv::ParseSelectionList(text + u"\r\n");
    FUZZ_CHECK(again.triples == r.triples);
    FUZZ_CHECK(again.invalid == r.invalid);
    FUZZ_CHECK(again.incomplete == r.incomplete);

    std::wstring lines;
    for (const kv::EntryAddress& a : r.triples) lines += kv::SelectionListLine(a);
    const std::u16string written(lines.begin(), lines.end());
    const kv::SelectionListText back = kv::ParseSelectionList(written);
    FUZZ_CHECK(back.triples == r.triples);
    FUZZ_CHECK(!back.invalid && !back.incomplete);
    return 0;
}
