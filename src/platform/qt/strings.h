#pragma once
// The string table: the framework's own texts plus the ones the program
// registers at start-up. A command's string is its status-bar prompt, a line
// feed, and its tooltip.

#include <initializer_list>
#include <string>
#include <utility>

namespace kv {

// Adds (or replaces) entries of the table.
void RegisterStrings(std::initializer_list<std::pair<unsigned, const wchar_t*>> entries);

// The text of `id`; empty when the table has none.
std::wstring LoadStringW(unsigned id);
bool HasString(unsigned id);

// A prompt string split at its line feed: the status-bar text and the tooltip.
std::wstring PromptText(unsigned id);
std::wstring TipText(unsigned id);

// Replaces %1 and %2 the way the framework's message formatting does.
std::wstring FormatString2(const std::wstring& format, const std::wstring& a1, const std::wstring& a2 = {});

}  // namespace kv
