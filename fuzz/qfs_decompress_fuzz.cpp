// The QFS decoder on any bytes at all: it must stay inside the stream and the
// output, and hand back exactly the size the header declares.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/qfs.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kvfuzz::QuietMessages();
    // Most inputs are held to outputs of at most 256 KB (still past the
    // longest match distance), so that clearing a 16 MB output does not eat
    // the run; an input whose first byte has its top four bits set keeps any
    // size.
    std::vector<std::uint8_t> stream(data, data + size);
    if (size >= 3 && (stream[0] & 0xF0) != 0xF0) stream[2] &= 0x03;
    data = stream.data();
    std::size_t length = size;
    auto out = QfsDecompress(data, length);
    if (size < 5) {
        FUZZ_CHECK(!out);
        return 0;
    }
    FUZZ_CHECK(out.has_value());
    const std::size_t declared = (static_cast<std::size_t>(data[2]) << 16) | (static_cast<std::size_t>(data[3]) << 8) | data[4];
    FUZZ_CHECK(length == declared);
    FUZZ_CHECK(out->size() == declared);
    return 0;
}
