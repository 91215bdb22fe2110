#pragma once
// The memory of an archive image: one block of bytes, owned, whose size is
// set once and whose new bytes are left for the caller to write (read from
// the file, or copied by a commit; clearing them first would cost a whole
// extra pass over hundreds of megabytes).
//
// The memory is ordinary heap memory (a large image gets its own anonymous
// mapping from the C library), never advised for huge pages: in a fresh
// process, which is how a user opens an archive, the kernel's clearing of
// each fresh huge page cost several times what reading the file does. The file
// is never mapped: what another program later does to the file cannot reach an
// open image.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

namespace kv {

// Gives an image's memory back.
struct ByteImageRelease {
    void operator()(std::uint8_t* p) const noexcept;
};

class ByteImage {
public:
    ByteImage() = default;

    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    std::uint8_t* data() noexcept { return m_bytes.get(); }
    const std::uint8_t* data() const noexcept { return m_bytes.get(); }
    std::uint8_t* begin() noexcept { return data(); }
    std::uint8_t* end() noexcept { return data() + m_size; }
    const std::uint8_t* begin() const noexcept { return data(); }
    const std::uint8_t* end() const noexcept { return data() + m_size; }

    // Bounds-checked: an index past the end throws std::out_of_range.
    std::uint8_t& operator[](std::size_t i) { return data()[Checked(i)]; }
    const std::uint8_t& operator[](std::size_t i) const { return data()[Checked(i)]; }

    // Makes the image n bytes long in new memory: the bytes it had are kept
    // up to n, the others are unspecified. Throws std::bad_alloc and then
    // leaves the image as it was.
    void resize(std::size_t n);
    template <class It>
    void assign(It first, It last) {
        ByteImage fresh;
        fresh.resize(static_cast<std::size_t>(std::distance(first, last)));
        std::copy(first, last, fresh.data());
        *this = std::move(fresh);
    }
    void clear() noexcept {
        m_bytes.reset();
        m_size = 0;
    }

private:
    using Release = ByteImageRelease;

    std::size_t Checked(std::size_t i) const;

    std::unique_ptr<std::uint8_t[], Release> m_bytes;
    std::size_t m_size = 0;
};

}  // namespace kv
