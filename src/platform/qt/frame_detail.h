#pragma once
// What the frame's source files share: the text conversion, and the name of
// the property that ties a menu entry or a button to its command.

#include <string>

#include <QString>

namespace kv::frames {

inline QString Q(const std::wstring& s) { return QString::fromStdWString(s); }

inline constexpr const char* kCommandProperty = "kvCommand";

}  // namespace kv::frames
