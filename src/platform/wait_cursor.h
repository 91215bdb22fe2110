#pragma once
// The wait cursor: shown while a CWaitCursor lives, so that a long read,
// write or edit on the one user-interface thread shows the user that the
// program is busy. The core shows it through a handler the application
// installs (the Qt half changes the pointer); with none installed nothing
// shows. Waits nest: the cursor goes when the outermost one ends, on every
// path out of its scope, an exception included.

#include <functional>

namespace kv {

// Called with true when a wait begins and with false when it ends.
using WaitCursorHandler = std::function<void(bool begin)>;
// Installs a handler and returns the one it replaces.
WaitCursorHandler SetWaitCursorHandler(WaitCursorHandler handler);

}  // namespace kv

class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    // The handler that began this wait ends it, even if another one was
    // installed meanwhile.
    kv::WaitCursorHandler m_handler;
};
