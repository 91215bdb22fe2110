#include "app/korvane_app.h"

#include <QCoreApplication>

#include "app/about_dlg.h"
#include "app/child_frame.h"
#include "app/main_frame.h"
#include "archive/dat_doc.h"
#include "platform/message.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/strings.h"
#include "resources/resource.h"
#include "ui/dat_view.h"
#include "ui/report_view.h"

namespace {
// The resources hold the strings the framework reads while the object is built.
bool RegisterResourcesFirst() {
    kv::RegisterKorvaneResources();
    return true;
}
}  // namespace

CKorvaneApp* KorvaneApp() { return dynamic_cast<CKorvaneApp*>(AfxGetApp()); }

CKorvaneApp::CKorvaneApp() : CWinAppEx(RegisterResourcesFirst()) {
    EnableHtmlHelp();
    m_bHiColorToolbar = true;
    MapCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    MapCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
}

CKorvaneApp::~CKorvaneApp() { g_pReportTemplate = nullptr; }

bool CKorvaneApp::InitInstance() {
    // 1. The common controls (the Windows 95 classes): nothing to load here.
    InitCommonControls(8, 0xFF);
    // 2.
    CWinAppEx::InitInstance();
    // 3, 4. OLE and its control containment stand for nothing here.
    if (!AfxOleInit()) {
        AfxMessageBox(L"OLE Initialization Failed!");
        return false;
    }
    AfxEnableControlContainer();
    // 5, 6.
    SetRegistryKey(L"Tarnwick");
    LoadStdProfileSettings(10);
    // 7, 8.
    InitContextMenuManager();
    InitKeyboardManager();
    InitTooltipManager();
    SetTooltipParams(0xFFFF, {0, 1, 1, 0, 1, 1, 1, 200, -1, -1, -1, -1, -1});
    // 9, 10. The archive windows, then the report windows.
    auto archives = std::make_unique<CMultiDocTemplate>(
        IDR_DATFILETYPE, [] { return std::make_unique<CDATDoc>(); }, [] { return new CChildFrame(); },
        [](QWidget* parent) { return new CDATView(parent); });
    AddDocTemplate(std::move(archives));
    auto reports = std::make_unique<CMultiDocTemplate>(
        IDR_REPORTTYPE, [] { return std::make_unique<CDATDoc>(); }, [] { return new CChildFrame(); },
        [](QWidget* parent) { return new CS3DReportView(parent); });
    g_pReportTemplate = reports.get();
    AddDocTemplate(std::move(reports));
    // 11, 12.
    auto frame = std::make_unique<CMainFrame>();
    CMainFrame* pFrame = frame.get();
    SetMainWnd(std::move(frame));
    if (!pFrame->LoadFrame(IDR_MAINFRAME)) {
        DestroyMainWnd();
        return false;
    }
    // 13. Files dropped on the frame open as archives.
    m_pMainWnd->setAcceptDrops(true);
    // 14.
    EnableShellOpen();
    // 15, 16. A bare start opens nothing.
    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo, m_args.isEmpty() ? QCoreApplication::arguments() : m_args);
    if (cmdInfo.m_nShellCommand == CCommandLineInfo::FileNew) cmdInfo.m_nShellCommand = CCommandLineInfo::FileNothing;
    if (!ProcessShellCommand(cmdInfo)) return false;
    // 17.
    m_pMainWnd->show();
    return true;
}

void CKorvaneApp::PreLoadState() {
    if (CContextMenuManager* mgr = GetContextMenuManager()) mgr->AddMenu(kv::LoadStringW(IDS_EDIT_MENU), IDR_POPUP_EDIT);
}

void CKorvaneApp::OnAppAbout() {
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}
