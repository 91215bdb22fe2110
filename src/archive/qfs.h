#pragma once
// QFS, the LZ77 flavour that compressed archive entries use.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Expands the stream of `length` bytes. On return `length` holds the size the
// header declares, which is also the size of the returned buffer. A stream that
// ends early, runs past its own end or points before the start of the output
// stops there; the bytes it did not write stay zero and a length warning is
// shown. Returns nothing when the stream is too short to hold its header or the
// output cannot be allocated ("Insufficient memory.").
std::optional<std::vector<std::uint8_t>> QfsDecompress(const std::uint8_t* stream, std::size_t& length);

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
