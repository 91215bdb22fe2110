#include "ui/report_view.h"

#include <QFont>

#include "archive/dat_doc.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/frames.h"
#include "platform/wait_cursor.h"

CDocTemplate* g_pReportTemplate = nullptr;

const QFont& ReportFont() {
    static const QFont font = [] {
        QFont::insertSubstitutions("Courier New", {"DejaVu Sans Mono", "Liberation Mono", "Courier"});
        QFont f(QStringLiteral("Courier New"));
        f.setPointSizeF(9.6);
        f.setStyleHint(QFont::TypeWriter);
        f.setFixedPitch(true);
        return f;
    }();
    return font;
}

CS3DReportView::CS3DReportView(QWidget* parent) : CEditView(parent) { setObjectName(QStringLiteral("ReportView")); }

void CS3DReportView::OnInitialUpdate() {
    CEditView::OnInitialUpdate();
    setReadOnly(true);
    setFont(ReportFont());
}

CS3DReportView* OpenReportWindow(CDATDoc& doc, std::wstring text) {
    if (!g_pReportTemplate) return nullptr;
    CWaitCursor wait;
    CMDIChildWndEx* frame = g_pReportTemplate->CreateNewFrame(&doc, nullptr);
    if (!frame) return nullptr;
    // The text goes to the new window's own view. Looking for the document's
    // first empty report view instead would fill an empty window made with
    // New Window from an older report, and leave the new one blank.
    auto* view = dynamic_cast<CS3DReportView*>(frame->GetActiveView());
    // The window is shown, in its font and at its size, before the text goes
    // in: a text view that changes width or font after it holds a long text
    // lays all of it out again. Nothing is painted before the text is there.
    g_pReportTemplate->InitialUpdateFrame(frame, &doc, true);
    if (view) view->SetWindowText(std::move(text));
    return view;
}
