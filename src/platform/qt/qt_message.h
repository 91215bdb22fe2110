#pragma once
// The Qt message box and beep behind AfxMessageBox and MessageBeep, and the
// Qt pointer behind CWaitCursor.

#include <memory>
#include <string>

#include <QMessageBox>

#include "platform/wait_cursor.h"

namespace kv {

// Installs the Qt implementations as the message-box and beep handlers;
// with `keepInstalled`, only where no handler is installed yet.
void InstallQtMessageBoxes(bool keepInstalled = false);

// What a box of `type` shows: its Qt icon and buttons.
QMessageBox::Icon QtIconFor(unsigned type);
QMessageBox::StandardButtons QtButtonsFor(unsigned type);

// The box itself, built but not shown, with the caption of the application.
std::unique_ptr<QMessageBox> BuildMessageBox(const std::wstring& text, unsigned type, QWidget* parent);

// The wait cursor over every window of the program from the beginning of a
// wait to its end (the application's override cursor). The application
// object installs it for its lifetime.
WaitCursorHandler QtWaitCursorHandler();

// While it lives during a wait, the normal pointer shows instead of the wait
// cursor, which comes back when it ends: a box or dialog that asks the user
// something in the middle of a long piece of work must not look busy. Outside
// a wait it changes nothing.
class ArrowDuringWait {
public:
    ArrowDuringWait();
    ~ArrowDuringWait();
    ArrowDuringWait(const ArrowDuringWait&) = delete;
    ArrowDuringWait& operator=(const ArrowDuringWait&) = delete;

private:
    bool m_bPushed = false;
};

}  // namespace kv
