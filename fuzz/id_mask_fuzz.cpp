// The texture ID masks on any text: neither function reads outside the mask,
// and the masks keep their promises. "????????" matches every ID and builds
// the old one, "########" builds the instance, every ID matches its own
// digits in either case, and an ID built from a mask of digits, "?" and "#"
// matches that mask.
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>

#include "edits/texture.h"
#include "fuzz_support.h"

namespace {

std::uint32_t TakeU32(const std::uint8_t*& data, std::size_t& size) {
    std::uint32_t v = 0;
    for (int k = 0; k < 4 && size > 0; ++k, ++data, --size) v |= static_cast<std::uint32_t>(*data) << (8 * k);
    return v;
}

std::wstring Digits(std::uint32_t id, bool upper) {
    wchar_t buf[16];
    std::swprintf(buf, 16, upper ? L"%08X" : L"%08x", id);
    return buf;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kvfuzz::QuietMessages();
    const std::uint32_t instance = TakeU32(data, size);
    const std::uint32_t id = TakeU32(data, size);

    // The rest is the mask: one character per byte, or, after a 0xFF, any
    // wide character from the next two bytes.
    std::wstring mask;
    std::wstring clean;  // the same mask kept to digits, "?" and "#"
    static const wchar_t kClean[] = L"0123456789abcdefABCDEF?#";
    for (std::size_t k = 0; k < size; ++k) {
        wchar_t c = data[k];
        if (data[k] == 0xFF && k + 2 < size) {
            c = static_cast<wchar_t>(data[k + 1] | (data[k + 2] << 8));
            k += 2;
        }
        mask.push_back(c);
        clean.push_back(kClean[static_cast<std::uint32_t>(c) % 24]);
    }

    const bool matched = MatchIdPattern(mask, instance, id);
    const std::uint32_t built = BuildIdFromPattern(mask, instance, id);
    if (mask.size() != 8) {
        FUZZ_CHECK(!matched);
        FUZZ_CHECK(built == id);
        return 0;
    }
    if (clean.size() == 8) FUZZ_CHECK(MatchIdPattern(clean, instance, BuildIdFromPattern(clean, instance, id)));

    FUZZ_CHECK(MatchIdPattern(L"????????", instance, id));
    FUZZ_CHECK(BuildIdFromPattern(L"????????", instance, id) == id);
    FUZZ_CHECK(BuildIdFromPattern(L"########", instance, id) == instance);
    FUZZ_CHECK(MatchIdPattern(L"########", instance, id) == (instance == id));
    FUZZ_CHECK(MatchIdPattern(Digits(id, false), instance, id));
    FUZZ_CHECK(MatchIdPattern(Digits(id, true), instance, id));
    FUZZ_CHECK(BuildIdFromPattern(Digits(id, true), instance, 0) == id);
    return 0;
}
