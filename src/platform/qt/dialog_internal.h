#pragma once
// What the dialog files share: the window class of a CDialog, the properties
// the controls carry, and which kinds of control take the focus. Not for use
// outside the dialog layer.

#include <string>

#include <QDialog>
#include <QString>

#include "platform/qt/resources.h"

class CDialog;
class QKeyEvent;
class QShowEvent;

namespace kv::dlg {

inline constexpr const char* kDialogProperty = "kvDialog";        // the CDialog of a window
inline constexpr const char* kIdProperty = "kvControlId";         // a control's id
inline constexpr const char* kSilentProperty = "kvSilent";        // a list changed by the program, not the user
inline constexpr const char* kGroupStartProperty = "kvGroupStart";  // the first radio button of a group

// Push buttons, edits, lists, radio buttons and check boxes take the focus;
// statics, group boxes and pictures do not.
bool Focusable(Ctl kind);

inline QString Q(const std::wstring& s) { return QString::fromStdWString(s); }

}  // namespace kv::dlg

// The window of a CDialog. Escape and the close box cancel through OnCancel;
// Enter goes to the dialog's default button; the window opens centred over
// its owner.
class CDialogWindow : public QDialog {
public:
    CDialogWindow(QWidget* parent, CDialog* owner);
    // Cuts the window loose from its CDialog before the window is deleted.
    void Detach();
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    CDialog* m_owner;
    bool m_placed = false;
};
