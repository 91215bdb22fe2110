#pragma once
// What every fuzz target shares: message boxes go nowhere (but are counted),
// and a broken invariant aborts with a line that says which one, so libFuzzer
// keeps the input.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/message.h"

namespace kvfuzz {

// Installs, once, a message box handler that answers every box with its
// default button and counts what it was shown.
inline int& MessageCount() {
    static int count = 0;
    return count;
}

inline void QuietMessages() {
    static const bool installed = [] {
        kv::SetMessageBoxHandler([](const std::wstring&, unsigned type) -> int {
            ++MessageCount();
            const unsigned buttons = type & MB_TYPEMASK;
            return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : buttons == MB_RETRYCANCEL ? IDCANCEL : IDOK;
        });
        kv::SetBeepHandler([](unsigned) {});
        return true;
    }();
    (void)installed;
}

[[noreturn]] inline void Broken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

}  // namespace kvfuzz

#define FUZZ_CHECK(cond) \
    do { \
        if (!(cond)) ::kvfuzz::Broken(#cond, __FILE__, __LINE__); \
    } while (0)
