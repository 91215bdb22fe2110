#include "ui/rpt_dlg.h"

#include <utility>

#include <QApplication>
#include <QLabel>
#include <QStyle>

#include "archive/dat_doc.h"
#include "platform/message.h"
#include "ui/report_view.h"

namespace {

// Dialog 314. Registered here, the first time a result dialog is built, so
// that the dialog and its table stay together.
unsigned RptTemplate() {
    static const bool registered = [] {
        kv::DialogTemplate t;
        t.id = IDD_RPTDLG;
        t.caption = L"Set/Remove Transparency Operation";
        t.cx = 259;
        t.cy = 67;
        t.controls = {
            {kv::Ctl::Icon, IDC_RPT_ICON, L"", 7, 7, 20, 20, kv::CS_REALSIZE},  // filled with a system icon
            {kv::Ctl::Static, IDC_RPT_MESSAGE, L"Static", 40, 14, 212, 16},
            {kv::Ctl::DefPushButton, IDOK, L"OK", 104, 46, 50, 14, kv::CS_TABSTOP},
            {kv::Ctl::AutoCheck, IDC_RPT_DISPLAY, L"Display &Report", 40, 34, 82, 10, kv::CS_TABSTOP},
        };
        kv::RegisterDialog(std::move(t));
        return true;
    }();
    (void)registered;
    return IDD_RPTDLG;
}

}  // namespace

CRptDlg::CRptDlg() : CDialog(RptTemplate()) {}

CRptDlg::~CRptDlg() = default;

void CRptDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Check(pDX, IDC_RPT_DISPLAY, m_bDisplayReport);
    DDX_Text(pDX, IDC_RPT_MESSAGE, m_strMessage);
}

bool CRptDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_strTitle != L"~" && GetWindow()) GetWindow()->setWindowTitle(QString::fromStdWString(m_strTitle));

    // The system's own stop, exclamation and information icons, with the beep
    // that goes with each.
    QStyle::StandardPixmap pixmap = QStyle::SP_CustomBase;
    unsigned beep = 0;
    switch (m_nIcon) {
    case IDI_HAND:
        pixmap = QStyle::SP_MessageBoxCritical;
        beep = MB_ICONSTOP;
        break;
    case IDI_EXCLAMATION:
        pixmap = QStyle::SP_MessageBoxWarning;
        beep = MB_ICONEXCLAMATION;
        break;
    case IDI_ASTERISK:
        pixmap = QStyle::SP_MessageBoxInformation;
        beep = MB_ICONINFORMATION;
        break;
    default: break;
    }
    if (auto* icon = GetDlgItemAs<QLabel>(IDC_RPT_ICON)) {
        if (pixmap != QStyle::SP_CustomBase) {
            // A static icon takes the icon's own size, 32 by 32.
            QStyle* style = GetWindow() ? GetWindow()->style() : QApplication::style();
            icon->resize(32, 32);
            icon->setPixmap(style->standardIcon(pixmap).pixmap(32, 32));
        } else {
            icon->clear();
        }
    }
    if (beep) MessageBeep(beep);
    return true;
}

void SetRptOutcome(CRptDlg& dlg, bool bChanged, bool bUnchanged, const std::wstring& some, const std::wstring& any) {
    if (bChanged && !bUnchanged) {
        dlg.m_strMessage = L"All requested operations were carried-out successfully.";
        dlg.m_nIcon = IDI_ASTERISK;
        dlg.m_bDisplayReport = 0;
    } else if (bChanged) {
        dlg.m_strMessage = some;
        dlg.m_nIcon = IDI_EXCLAMATION;
        dlg.m_bDisplayReport = 1;
    } else {
        dlg.m_strMessage = any;
        dlg.m_nIcon = IDI_HAND;
        dlg.m_bDisplayReport = 1;
    }
}

std::wstring ReportHeading(const std::wstring& heading, const CDATDoc& doc) {
    std::wstring line = heading + doc.GetTitle();
    while (!line.empty() && line.back() == L'*') line.pop_back();
    return line + L"\r\n" + std::wstring(line.size(), L'-') + L"\r\n";
}

int ShowResultAndReport(CRptDlg& dlg, CDATDoc& doc, std::wstring report) {
    int result = dlg.DoModal();
    if (result == IDOK && dlg.m_bDisplayReport) OpenReportWindow(doc, std::move(report));
    return result;
}
