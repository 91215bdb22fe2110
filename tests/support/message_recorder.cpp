#include "support/message_recorder.h"

namespace kvtest {

MessageRecorder::MessageRecorder() {
    m_oldBox = kv::SetMessageBoxHandler([this](const std::wstring& text, unsigned type) -> int {
        m_boxes.push_back({text, type});
        if (!m_script.empty()) {
            int r = m_script.front();
            m_script.pop_front();
            return r;
        }
        unsigned buttons = type & MB_TYPEMASK;
        return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : buttons == MB_RETRYCANCEL ? IDRETRY : IDOK;
    });
    m_oldBeep = kv::SetBeepHandler([this](unsigned type) { m_beeps.push_back(type); });
}

MessageRecorder::~MessageRecorder() {
    kv::SetMessageBoxHandler(std::move(m_oldBox));
    kv::SetBeepHandler(std::move(m_oldBeep));
}

std::vector<std::wstring> MessageRecorder::texts() const {
    std::vector<std::wstring> out;
    for (const auto& b : m_boxes) out.push_back(b.text);
    return out;
}

}  // namespace kvtest
