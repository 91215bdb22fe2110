#include "platform/qt/edit_view.h"

#include <QApplication>
#include <QClipboard>

#include "platform/qt/frames.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/winapp.h"

CEditView::CEditView(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    auto request = [] {
        if (CMDIFrameWndEx* f = AfxGetMainWnd()) f->RequestCommandUpdate();
    };
    connect(this, &QPlainTextEdit::selectionChanged, this, request);
    connect(this, &QPlainTextEdit::textChanged, this, request);
    MapCommand(ID_EDIT_COPY, [this] { copy(); }, [this](CCmdUI* ui) { ui->Enable(textCursor().hasSelection()); });
    MapCommand(ID_EDIT_SELECT_ALL, [this] { selectAll(); },
               [this](CCmdUI* ui) { ui->Enable(!document()->isEmpty()); });
    MapCommand(ID_EDIT_CUT, [this] { cut(); },
               [this](CCmdUI* ui) { ui->Enable(!isReadOnly() && textCursor().hasSelection()); });
    MapCommand(ID_EDIT_PASTE, [this] { paste(); }, [this](CCmdUI* ui) {
        ui->Enable(!isReadOnly() && QApplication::clipboard() && !QApplication::clipboard()->text().isEmpty());
    });
    MapCommand(ID_EDIT_UNDO, [this] { undo(); },
               [this](CCmdUI* ui) { ui->Enable(!isReadOnly() && document()->isUndoAvailable()); });
}

void CEditView::SetWindowText(const std::wstring& text) {
    QString t = QString::fromStdWString(text);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(t);
}

std::wstring CEditView::GetWindowText() const {
    QString t = toPlainText();
    t.replace(u'\n', QStringLiteral("\r\n"));
    return t.toStdWString();
}
