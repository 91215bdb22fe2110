// The QFS encoder on any input, then the decoder: the stream is byte for byte
// the one the plain encoder writes, stays within its bound, decodes to the
// input without a warning, and an area one byte too small for it is refused
// without being overrun.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/qfs.h"
#include "fuzz_support.h"
#include "qfs_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kvfuzz::QuietMessages();
    const std::vector<std::uint8_t> input(data, data + size);

    std::vector<std::uint8_t> stream(QfsMaxCompressedSize(size));
    std::int64_t length = 0;
    QfsCompress(input.data(), input.size(), stream.data(), stream.size(), length);
    FUZZ_CHECK(length >= 6);
    FUZZ_CHECK(static_cast<std::size_t>(length) <= stream.size());
    stream.resize(static_cast<std::size_t>(length));
    FUZZ_CHECK(stream == kvref::PlainQfsCompress(input));

    const int before = kvfuzz::MessageCount();
    std::size_t n = stream.size();
    auto out = QfsDecompress(stream.data(), n);
    FUZZ_CHECK(out.has_value());
    FUZZ_CHECK(n == size);
    FUZZ_CHECK(std::ranges::equal(*out, input));
    FUZZ_CHECK(kvfuzz::MessageCount() == before);

    // One byte less room than the stream needs is refused, and not overrun.
    std::vector<std::uint8_t> tight(stream.size() - 1);
    std::int64_t tightLength = 0;
    QfsCompress(input.data(), input.size(), tight.data(), tight.size(), tightLength);
    FUZZ_CHECK(tightLength == -1);
    return 0;
}
