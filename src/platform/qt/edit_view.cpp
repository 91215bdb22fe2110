#include "platform/qt/edit_view.h"

#include <algorithm>

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

namespace {

// The text as the edit keeps it: every "\r\n" becomes "\n", in one pass over
// the text (a lone "\r" stays, as the edit shows it).
QString EditText(const std::wstring& text) {
    QString t = QString::fromStdWString(text);
    QChar* out = t.data();
    const QChar* in = out;
    const QChar* const end = in + t.size();
    for (; in != end; ++in) {
        if (*in == u'\r' && in + 1 != end && in[1] == u'\n') continue;
        *out++ = *in;
    }
    t.truncate(out - t.constData());
    return t;
}

}  // namespace

void CEditView::SetWindowText(const std::wstring& text) { Fill(EditText(text)); }

void CEditView::SetWindowText(std::wstring&& text) {
    const QString t = EditText(text);
    std::wstring().swap(text);
    Fill(t);
}

void CEditView::Fill(const QString& text) {
    // A vertical scroll bar that appears because the text does not fit makes
    // the edit narrower, and an edit that changes width lays every line out
    // again and keeps a layout for each one: for a long text that costs as
    // much time again and several times the text's memory. With the bar
    // shown while the text goes in, the width stays as it is; afterwards the
    // bar goes again if the text fits after all.
    const Qt::ScrollBarPolicy policy = verticalScrollBarPolicy();
    if (policy == Qt::ScrollBarAsNeeded) setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setPlainText(text);
    setVerticalScrollBarPolicy(policy);
}

std::wstring CEditView::GetWindowText() const {
    const std::wstring plain = toPlainText().toStdWString();
    std::wstring out;
    out.reserve(plain.size() + static_cast<std::size_t>(std::count(plain.begin(), plain.end(), L'\n')));
    for (wchar_t c : plain) {
        if (c == L'\n') out += L'\r';
        out += c;
    }
    return out;
}
