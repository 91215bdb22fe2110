// The QFS decoder on any bytes at all: it must stay inside the stream and the
// output, hand back exactly the size the header declares, and write what the
// decoder before its strided copies wrote: the same bytes and the same
// messages.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/qfs.h"
#include "fuzz_support.h"
#include "qfs_reference.h"

namespace {

// The longest stream of the main run (its -max_len in scripts/fuzz.sh).
constexpr std::size_t kShortStream = 4096;

// The texts of the message boxes shown since the last call.
std::vector<std::wstring>& Shown() {
    static std::vector<std::wstring> shown;
    return shown;
}

void RecordMessages() {
    static const bool installed = [] {
        kvfuzz::QuietMessages();
        kv::SetMessageBoxHandler([](const std::wstring& text, unsigned) {
            Shown().push_back(text);
            return IDOK;
        });
        return true;
    }();
    (void)installed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RecordMessages();
    // The time of a decode goes into the output: allocating, clearing and
    // comparing it. Streams of the main run, at most kShortStream bytes, are
    // held to outputs below 128 KB, which the allocator serves from memory
    // it keeps; longer ones, which the second run gives, to outputs below
    // 256 KB (past the longest match distance), and one whose first byte has
    // its top four bits set keeps any size.
    std::vector<std::uint8_t> stream(data, data + size);
    if (size >= 3) {
        if (size <= kShortStream) stream[2] &= 0x01;
        else if ((stream[0] & 0xF0) != 0xF0) stream[2] &= 0x03;
    }
    data = stream.data();
    std::size_t length = size;
    Shown().clear();
    auto out = QfsDecompress(data, length);
    const std::vector<std::wstring> messages = Shown();

    Shown().clear();
    std::size_t baselineLength = size;
    auto baseline = kvref::BaselineQfsDecompress(data, baselineLength);
    FUZZ_CHECK(out.has_value() == baseline.has_value());
    FUZZ_CHECK(length == baselineLength);
    FUZZ_CHECK(messages == Shown());
    if (size < 5) {
        FUZZ_CHECK(!out);
        return 0;
    }
    FUZZ_CHECK(out.has_value());
    FUZZ_CHECK(std::ranges::equal(*out, *baseline));
    const std::size_t declared = (static_cast<std::size_t>(data[2]) << 16) | (static_cast<std::size_t>(data[3]) << 8) | data[4];
    FUZZ_CHECK(length == declared);
    FUZZ_CHECK(out->size() == declared);
    return 0;
}
