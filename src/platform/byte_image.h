#pragma once
// The memory of an archive image: one block of bytes, owned, whose size is
// set once and whose new bytes are left for the caller to write (read from
// the file, or copied by a commit; clearing them first would cost a whole
// extra pass over hundreds of megabytes).
//
// Large images live in private anonymous memory aligned to 2 MiB and advised
// for huge pages: the kernel then fills a fresh image in a few hundred faults
// instead of one for every 4 KiB page, which is most of what reading a large
// archive into new memory costs. Smaller images, and any where that memory or
// the advice is not to be had, are ordinary heap memory. The file is never mapped: what
// another program later does to the file cannot reach an open image.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

namespace kv {

// Gives an image's memory back the way it was taken.
struct ByteImageRelease {
    std::size_t mapped = 0;  // length of the anonymous mapping; 0 for heap memory
    bool advised = false;    // the mapping is advised for huge pages
    void operator()(std::uint8_t* p) const noexcept;
};

class ByteImage {
public:
    // From this size on an image gets huge-page memory. Below it the heap
    // often hands back memory that is already faulted in (the C library
    // keeps blocks below 32 MiB for reuse), and rounding up to whole 2 MiB
    // pages would cost a larger share.
    static constexpr std::size_t kHugePageThreshold = std::size_t{32} << 20;

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

    // Whether the image lies in memory advised for huge pages.
    bool HugePageAdvised() const noexcept { return m_bytes.get_deleter().advised; }

private:
    using Release = ByteImageRelease;

    std::size_t Checked(std::size_t i) const;

    std::unique_ptr<std::uint8_t[], Release> m_bytes;
    std::size_t m_size = 0;
};

}  // namespace kv
