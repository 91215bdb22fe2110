#pragma once
// Text conversions: 8-bit model texts are Windows-1252; paths are UTF-8 on disk.

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

std::wstring Cp1252ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

// swprintf into a wstring; the formats are the C library's.
template <typename... Args>
std::wstring FormatW(const wchar_t* format, Args... args);

}  // namespace kv

#include <cwchar>
#include <vector>

template <typename... Args>
std::wstring kv::FormatW(const wchar_t* format, Args... args) {
    std::vector<wchar_t> buf(256);
    for (;;) {
        int n = std::swprintf(buf.data(), buf.size(), format, args...);
        if (n >= 0 && static_cast<std::size_t>(n) < buf.size()) return std::wstring(buf.data(), static_cast<std::size_t>(n));
        buf.resize(buf.size() * 4);
    }
}
