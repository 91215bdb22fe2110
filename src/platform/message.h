#pragma once
// Message boxes and beeps. The core calls these; the application installs a
// Qt implementation, tests install a recorder that answers as scripted. With
// no handler installed a box answers its default button and shows nothing.

#include <functional>
#include <string>

// Button sets (low nibble) and icons (next nibble), combinable with |.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5,
    MB_TYPEMASK = 0xF,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_ICONMASK = 0xF0,
};

// Answers.
enum : int { IDOK = 1, IDCANCEL = 2, IDRETRY = 4, IDYES = 6, IDNO = 7 };

namespace kv {

using MessageBoxHandler = std::function<int(const std::wstring& text, unsigned type)>;
using BeepHandler = std::function<void(unsigned type)>;

// Installs a handler and returns the one it replaces.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
BeepHandler SetBeepHandler(BeepHandler handler);

// The icon a box shows: the one named in `type`, else the one its buttons
// imply (question for Yes/No boxes, exclamation for every other box).
unsigned EffectiveIcon(unsigned type);

}  // namespace kv

int AfxMessageBox(const std::wstring& text, unsigned type = MB_OK);
void MessageBeep(unsigned type);
