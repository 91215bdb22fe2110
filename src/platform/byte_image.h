#pragma once
// A byte vector whose resize leaves new bytes uninitialised. Archive images
// are hundreds of megabytes and every byte is written right after the resize
// (read from the file, or copied by a commit); clearing them first would cost
// a whole extra pass over the memory.

#include <cstdint>
#include <memory>
#include <vector>

namespace kv {

template <class T>
struct UninitAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitAllocator<U>;
    };
    UninitAllocator() = default;
    template <class U>
    UninitAllocator(const UninitAllocator<U>&) noexcept {}

    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using ByteImage = std::vector<std::uint8_t, UninitAllocator<std::uint8_t>>;

}  // namespace kv
