#include "platform/byte_image.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>

namespace kv {

void ByteImageRelease::operator()(std::uint8_t* p) const noexcept { std::free(p); }

std::size_t ByteImage::Checked(std::size_t i) const {
    if (i >= m_size) throw std::out_of_range("byte image index");
    return i;
}

void ByteImage::resize(std::size_t n) {
    if (n == m_size) return;
    std::unique_ptr<std::uint8_t[], Release> fresh;
    if (n) {
        auto* p = static_cast<std::uint8_t*>(std::malloc(n));
        if (!p) throw std::bad_alloc();
        fresh = std::unique_ptr<std::uint8_t[], Release>(p, Release{});
    }
    std::copy_n(data(), std::min(n, m_size), fresh.get());
    m_bytes = std::move(fresh);
    m_size = n;
}

}  // namespace kv
