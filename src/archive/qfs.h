#pragma once
// QFS, the LZ77 flavour that compressed archive entries use.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// Leaves the elements a vector grows by uninitialised, so that the decoder's
// output is not cleared first only to be written over: the decoder writes or
// clears every byte itself.
template <class T>
struct QfsUninitAllocator : std::allocator<T> {
    using value_type = T;
    template <class U>
    struct rebind {
        using other = QfsUninitAllocator<U>;
    };
    QfsUninitAllocator() noexcept = default;
    template <class U>
    QfsUninitAllocator(const QfsUninitAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// The decoder's output: the expanded bytes, contiguous.
using QfsBytes = std::vector<std::uint8_t, QfsUninitAllocator<std::uint8_t>>;

// Expands the stream of `length` bytes. On return `length` holds the size the
// header declares, which is also the size of the returned buffer. A stream that
// ends early, runs past its own end or points before the start of the output
// stops there; the bytes it did not write are zero and a length warning is
// shown. Returns nothing when the stream is too short to hold its header or the
// output cannot be allocated ("Insufficient memory.").
std::optional<QfsBytes> QfsDecompress(const std::uint8_t* stream, std::size_t& length);

// The largest stream QfsCompress writes for n input bytes.
constexpr std::size_t QfsMaxCompressedSize(std::size_t n) { return n + n / 112 + 7; }

// The largest input the 24-bit size field can describe.
constexpr std::size_t kQfsMaxInput = 0xFFFFFF;

// Compresses `n` bytes of `source` into `destination` (room for `capacity`
// bytes). `length` receives the stream's length, header included, or -1 when
// the encoder cannot run: no destination, an input of 16 MiB or more, or too
// little room.
void QfsCompress(const std::uint8_t* source, std::size_t n, std::uint8_t* destination, std::size_t capacity,
                 std::int64_t& length);
