#pragma once
// Records every message box and beep while it lives, answering boxes from a
// script (IDOK, or the default button, when the script has run out).

#include <deque>
#include <string>
#include <vector>

#include "platform/message.h"

namespace kvtest {

struct RecordedBox {
    std::wstring text;
    unsigned type;
};

class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void Answer(int reply) { m_script.push_back(reply); }
    const std::vector<RecordedBox>& boxes() const { return m_boxes; }
    std::vector<std::wstring> texts() const;
    const std::vector<unsigned>& beeps() const { return m_beeps; }
    void Clear() {
        m_boxes.clear();
        m_beeps.clear();
    }

private:
    std::vector<RecordedBox> m_boxes;
    std::vector<unsigned> m_beeps;
    std::deque<int> m_script;
    kv::MessageBoxHandler m_oldBox;
    kv::BeepHandler m_oldBeep;
};

}  // namespace kvtest
