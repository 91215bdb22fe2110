#pragma once
// The result dialog of the report commands: a system icon, one sentence and
// the check box "Display &Report". The caller fills the members, runs it
// modally, and on IDOK with m_bDisplayReport set opens the report window
// (OpenReportWindow in ui/report_view.h).

#include <string>

#include "platform/qt/dialog.h"

class CDATDoc;

// System icons the dialog shows (resource numbers of the standard icons).
enum : int { IDI_HAND = 32513, IDI_EXCLAMATION = 32515, IDI_ASTERISK = 32516 };

// Dialog resource and its controls.
enum : unsigned { IDD_RPTDLG = 314 };
enum : int { IDC_RPT_ICON = 1016, IDC_RPT_MESSAGE = 1017, IDC_RPT_DISPLAY = 1018 };

class CRptDlg : public CDialog {
public:
    // Dialog 314 with no parent (the main window); nothing ticked, no
    // message, the template's caption.
    CRptDlg();
    ~CRptDlg() override;

    // Check box 1018 with m_bDisplayReport, static 1017 with m_strMessage.
    void DoDataExchange(CDataExchange* pDX) override;
    // Sets the caption (unless "~"), the icon, and sounds its beep.
    bool OnInitDialog() override;

    int m_bDisplayReport = 0;          // the check box, in and out
    std::wstring m_strMessage;         // the outcome sentence
    int m_nIcon = IDI_ASTERISK;        // IDI_HAND, IDI_EXCLAMATION or IDI_ASTERISK; the caller sets it
    std::wstring m_strTitle = L"~";    // the caption; "~" keeps the template's
};

// What a report command hands the result dialog: the sentence, icon and
// initial check state for its outcome. `some` and `any` are the command's own
// sentences for a run that left something unchanged or changed nothing.
void SetRptOutcome(CRptDlg& dlg, bool bChanged, bool bUnchanged, const std::wstring& some, const std::wstring& any);

// The two heading lines a report starts with: `heading` and the document's
// title without trailing "*", then a row of "-" as long as that line, each
// ending in "\r\n".
std::wstring ReportHeading(const std::wstring& heading, const CDATDoc& doc);

// Runs the filled dialog modally; when it closes with OK and the box ticked,
// opens a report window on `doc` showing `report`, which it takes over.
// Returns the dialog's result.
int ShowResultAndReport(CRptDlg& dlg, CDATDoc& doc, std::wstring report);
