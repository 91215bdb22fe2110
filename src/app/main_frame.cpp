#include "app/main_frame.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include "app/korvane_app.h"
#include "platform/qt/strings.h"
#include "resources/resource.h"

namespace {
constexpr qint64 kUserImagesMaxBytes = 819200;
constexpr int kUserImageSize = 16;
}  // namespace

CMainFrame::CMainFrame() {
    MapCommand(ID_HELP_FINDER, [this] { OnHelp(); });
    MapCommand(ID_HELP, [this] { OnHelp(); });
    MapCommand(ID_CONTEXT_HELP, [this] { OnHelp(); });
    MapCommand(ID_DEFAULT_HELP, [this] { OnHelp(); });
    MapCommand(ID_WINDOW_MANAGER, [this] { OnWindowManager(); });
    MapCommand(ID_VIEW_CUSTOMIZE, [this] { OnViewCustomize(); });
}

int CMainFrame::OnCreate() {
    if (CMDIFrameWndEx::OnCreate() == -1) return -1;

    m_menuBar = new CMFCMenuBar();
    addToolBar(Qt::TopToolBarArea, m_menuBar);
    m_pMenuBarPane = m_menuBar;

    m_toolBar = new CMFCToolBar();
    m_toolBar->setParent(this);
    CKorvaneApp* app = KorvaneApp();
    bool hiColour = app ? app->m_bHiColorToolbar : true;
    if (!m_toolBar->CreateEx(this, AFX_IDW_TOOLBAR) || !m_toolBar->LoadToolBar(hiColour ? IDR_MAINFRAME_256 : IDR_MAINFRAME))
        return -1;
    m_toolBar->SetWindowText(kv::LoadStringW(IDS_TOOLBAR_STANDARD));
    const std::wstring customize = kv::LoadStringW(IDS_TOOLBAR_CUSTOMIZE);
    m_toolBar->EnableCustomizeButton(true, ID_VIEW_CUSTOMIZE, customize);

    InitUserToolbars(AFX_IDW_USER_TOOLBAR_FIRST, AFX_IDW_USER_TOOLBAR_LAST);

    m_statusBar = new CMFCStatusBar();
    if (!m_statusBar->Create(this, AFX_IDW_STATUS_BAR)) return -1;
    static const unsigned indicators[] = {ID_SEPARATOR, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
    m_statusBar->SetIndicators(indicators, 4);

    EnableWindowsDialog(ID_WINDOW_MANAGER, kv::LoadStringW(IDS_WINDOWS_MANAGER));
    EnablePaneMenu(true, ID_VIEW_CUSTOMIZE, customize, ID_VIEW_TOOLBAR);

    if (!HasUserImages()) {
        std::vector<QPixmap> images = LoadUserImages();
        if (!images.empty()) SetUserImages(std::move(images));
    }
    return 0;
}

std::vector<QPixmap> CMainFrame::LoadUserImages() {
    QString path = QDir::current().filePath(QStringLiteral("UserImages.bmp"));
    QFileInfo fi(path);
    if (!fi.isFile() || fi.size() > kUserImagesMaxBytes) return {};
    QImage strip;
    if (!strip.load(path, "BMP") || strip.width() < kUserImageSize || strip.height() < kUserImageSize) return {};
    std::vector<QPixmap> images;
    for (int y = 0; y + kUserImageSize <= strip.height(); y += kUserImageSize)
        for (int x = 0; x + kUserImageSize <= strip.width(); x += kUserImageSize)
            images.push_back(QPixmap::fromImage(strip.copy(x, y, kUserImageSize, kUserImageSize)));
    return images;
}

bool CMainFrame::LoadFrame(unsigned resourceId) {
    if (!CMDIFrameWndEx::LoadFrame(resourceId)) return false;
    const std::wstring customize = kv::LoadStringW(IDS_TOOLBAR_CUSTOMIZE);
    // Restored user toolbars carry the customise button as new ones do.
    for (int i = 0; i < 10; ++i)
        if (CMFCToolBar* t = GetUserToolbar(i)) t->EnableCustomizeButton(true, ID_VIEW_CUSTOMIZE, customize);
    return true;
}

CMFCToolBar* CMainFrame::OnToolbarCreateNew(const std::wstring& name) {
    CMFCToolBar* t = CMDIFrameWndEx::OnToolbarCreateNew(name);
    if (!t) return nullptr;
    t->EnableCustomizeButton(true, ID_VIEW_CUSTOMIZE, kv::LoadStringW(IDS_TOOLBAR_CUSTOMIZE));
    return t;
}

void CMainFrame::OnViewCustomize() { ShowCustomizeDialog(); }

void CMainFrame::OnWindowManager() { ShowWindowsDialog(); }
