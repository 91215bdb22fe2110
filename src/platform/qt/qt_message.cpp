#include "platform/qt/qt_message.h"

#include <memory>

#include <QApplication>
#include <QCursor>
#include <QPushButton>

#include "platform/message.h"
#include "platform/qt/dialog.h"
#include "platform/qt/frames.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/strings.h"
#include "platform/qt/winapp.h"

namespace kv {

QMessageBox::Icon QtIconFor(unsigned type) {
    switch (EffectiveIcon(type)) {
    case MB_ICONSTOP: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::Warning;
    }
}

QMessageBox::StandardButtons QtButtonsFor(unsigned type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNOCANCEL: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO: return QMessageBox::Yes | QMessageBox::No;
    case MB_RETRYCANCEL: return QMessageBox::Retry | QMessageBox::Cancel;
    default: return QMessageBox::Ok;
    }
}

std::unique_ptr<QMessageBox> BuildMessageBox(const std::wstring& text, unsigned type, QWidget* parent) {
    QString body = QString::fromStdWString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto box = std::make_unique<QMessageBox>(QtIconFor(type), QString::fromStdWString(LoadStringW(AFX_IDS_APP_TITLE)),
                                             body, QtButtonsFor(type), parent);
    box->setTextFormat(Qt::PlainText);
    return box;
}

WaitCursorHandler QtWaitCursorHandler() {
    return [](bool begin) {
        if (!qGuiApp) return;
        if (begin)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
}

ArrowDuringWait::ArrowDuringWait() {
    const QCursor* current = qGuiApp ? QApplication::overrideCursor() : nullptr;
    if (!current || current->shape() != Qt::WaitCursor) return;
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    m_bPushed = true;
}

ArrowDuringWait::~ArrowDuringWait() {
    if (m_bPushed) QApplication::restoreOverrideCursor();
}

void InstallQtMessageBoxes(bool keepInstalled) {
    MessageBoxHandler box = [](const std::wstring& text, unsigned type) {
        // The box is owned by the program's active window; while none is
        // active (a shell request from another program), by the dialog that
        // holds the program or else the main frame, over which it opens.
        QWidget* owner = QApplication::activeWindow();
        if (!owner) owner = QApplication::activeModalWidget();
        if (!owner && AfxGetMainWnd() && AfxGetMainWnd()->isVisible()) owner = AfxGetMainWnd();
        auto box = BuildMessageBox(text, type, owner);
        switch (RunModal(*box)) {
        case QMessageBox::Ok: return IDOK;
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::No: return IDNO;
        case QMessageBox::Retry: return IDRETRY;
        default: return IDCANCEL;
        }
    };
    BeepHandler beep = [](unsigned) { QApplication::beep(); };
    MessageBoxHandler oldBox = SetMessageBoxHandler(box);
    BeepHandler oldBeep = SetBeepHandler(beep);
    // A handler someone installed before (a test's recorder) stays.
    if (keepInstalled && oldBox) SetMessageBoxHandler(std::move(oldBox));
    if (keepInstalled && oldBeep) SetBeepHandler(std::move(oldBeep));
}

}  // namespace kv
