#pragma once
// The report window's view: a read-only text in a fixed-pitch font, with the
// edit view's Copy and Select All. Report windows are further windows of the
// archive's document, opened through the report template.

#include <string>

#include "platform/qt/edit_view.h"

class CDATDoc;
class CDocTemplate;
class QFont;

// The report document template, kept by the application at start-up.
extern CDocTemplate* g_pReportTemplate;

// The one report font: "Courier New", 9.6 points, fixed pitch.
const QFont& ReportFont();

class CS3DReportView : public CEditView {
    Q_OBJECT
public:
    explicit CS3DReportView(QWidget* parent = nullptr);
    void OnInitialUpdate() override;
};

// Opens a new report window on `doc` through g_pReportTemplate, showing
// `text`; its view, or null when no window could be made (nothing is shown
// then, and no message: the command has already committed). The text is
// taken over: once the window holds it, this copy is gone.
CS3DReportView* OpenReportWindow(CDATDoc& doc, std::wstring text);
