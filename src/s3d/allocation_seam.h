#pragma once
// One place through which the allocations that have an out-of-memory report
// of their own are counted: reading an archive, expanding and reading an
// entry, encoding, compressing and storing it, committing and rebuilding the
// DIR. Tests arm it to make the nth counted allocation fail, so that every
// such report can be seen and what it leaves behind checked; the program
// never arms it, and then a count costs one comparison.

#include <cstdint>
#include <new>

namespace kv {

class AllocationSeam {
public:
    // The nth counted allocation from now throws std::bad_alloc, once; 0
    // disarms.
    static void FailNth(std::uint64_t n) {
        s_counted = 0;
        s_failAt = n;
        s_fired = false;
    }
    // True once the armed allocation has failed.
    static bool Fired() { return s_fired; }
    static void Reset() {
        s_failAt = 0;
        s_counted = 0;
        s_fired = false;
    }

    // Called just before an allocation that the caller reports when it fails.
    static void Count() {
        if (s_failAt == 0) return;
        if (++s_counted == s_failAt) {
            s_failAt = 0;
            s_fired = true;
            throw std::bad_alloc();
        }
    }

private:
    static inline std::uint64_t s_failAt = 0;
    static inline std::uint64_t s_counted = 0;
    static inline bool s_fired = false;
};

}  // namespace kv
