#include "platform/byte_image.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kv {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

void ByteImageRelease::operator()(std::uint8_t* p) const noexcept {
#if defined(__linux__)
    if (mapped) {
        ::munmap(p, mapped);
        return;
    }
#endif
    std::free(p);
}

std::size_t ByteImage::Checked(std::size_t i) const {
    if (i >= m_size) throw std::out_of_range("byte image index");
    return i;
}

void ByteImage::resize(std::size_t n) {
    if (n == m_size) return;
    std::unique_ptr<std::uint8_t[], Release> fresh;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (n >= kHugePageThreshold) {
        const std::size_t length = (n + kHugePage - 1) / kHugePage * kHugePage;
        // One huge page more than needed, so that a 2 MiB boundary lies
        // inside; the ends around the aligned part go back at once.
        void* raw = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw != MAP_FAILED) {
            auto* start = static_cast<std::uint8_t*>(raw);
            const std::size_t head = (kHugePage - reinterpret_cast<std::uintptr_t>(start) % kHugePage) % kHugePage;
            if (head) ::munmap(start, head);
            if (kHugePage - head) ::munmap(start + head + length, kHugePage - head);
            // Without the advice (a kernel without transparent huge pages)
            // the mapping is ordinary memory and serves as well.
            const bool advised = ::madvise(start + head, length, MADV_HUGEPAGE) == 0;
            fresh = std::unique_ptr<std::uint8_t[], Release>(start + head, Release{length, advised});
        }
    }
#endif
    if (!fresh && n) {
        auto* p = static_cast<std::uint8_t*>(std::malloc(n));
        if (!p) throw std::bad_alloc();
        fresh = std::unique_ptr<std::uint8_t[], Release>(p, Release{});
    }
    std::copy_n(data(), std::min(n, m_size), fresh.get());
    m_bytes = std::move(fresh);
    m_size = n;
}

}  // namespace kv
