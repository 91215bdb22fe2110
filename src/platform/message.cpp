#include "platform/message.h"

#include <utility>

namespace {
kv::MessageBoxHandler& BoxHandler() {
    static kv::MessageBoxHandler h;
    return h;
}
kv::BeepHandler& Beeper() {
    static kv::BeepHandler h;
    return h;
}
}  // namespace

namespace kv {

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(BoxHandler(), std::move(handler));
}

BeepHandler SetBeepHandler(BeepHandler handler) { return std::exchange(Beeper(), std::move(handler)); }

unsigned EffectiveIcon(unsigned type) {
    if (type & MB_ICONMASK) return type & MB_ICONMASK;
    unsigned buttons = type & MB_TYPEMASK;
    if (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) return MB_ICONQUESTION;
    return MB_ICONEXCLAMATION;
}

}  // namespace kv

int AfxMessageBox(const std::wstring& text, unsigned type) {
    if (auto& h = BoxHandler()) return h(text, type);
    switch (type & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
    }
}

void MessageBeep(unsigned type) {
    if (auto& h = Beeper()) h(type);
}
