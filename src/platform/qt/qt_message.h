#pragma once
// The Qt message box and beep behind AfxMessageBox and MessageBeep.

#include <memory>
#include <string>

#include <QMessageBox>

namespace kv {

// Installs the Qt implementations as the message-box and beep handlers;
// with `keepInstalled`, only where no handler is installed yet.
void InstallQtMessageBoxes(bool keepInstalled = false);

// What a box of `type` shows: its Qt icon and buttons.
QMessageBox::Icon QtIconFor(unsigned type);
QMessageBox::StandardButtons QtButtonsFor(unsigned type);

// The box itself, built but not shown, with the caption of the application.
std::unique_ptr<QMessageBox> BuildMessageBox(const std::wstring& text, unsigned type, QWidget* parent);

}  // namespace kv
