#pragma once
// A view that is a multi-line text edit, with the framework's Copy and Select
// All (and, when it can be edited, Cut, Paste and Undo). Its window text has
// the framework's "\r\n" line ends; the edit keeps plain "\n".

#include <string>

#include <QPlainTextEdit>

#include "platform/qt/view.h"

class CEditView : public QPlainTextEdit, public CWndView {
    Q_OBJECT
public:
    explicit CEditView(QWidget* parent = nullptr);
    QWidget* GetWidget() override { return this; }
    void OnUpdate(CView*, std::intptr_t, std::intptr_t) override { viewport()->update(); }

    void SetWindowText(const std::wstring& text);
    // The same, releasing `text`'s memory before the view fills, so that a
    // long text is not held twice while the edit takes its own copy.
    void SetWindowText(std::wstring&& text);
    std::wstring GetWindowText() const;

private:
    void Fill(const QString& text);
};
