#include "platform/wait_cursor.h"

#include <utility>

namespace {
kv::WaitCursorHandler& Handler() {
    static kv::WaitCursorHandler h;
    return h;
}
}  // namespace

namespace kv {

WaitCursorHandler SetWaitCursorHandler(WaitCursorHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

}  // namespace kv

CWaitCursor::CWaitCursor() : m_handler(Handler()) {
    if (m_handler) m_handler(true);
}

CWaitCursor::~CWaitCursor() {
    if (m_handler) m_handler(false);
}
