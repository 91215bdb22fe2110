// The frames: the child frames that hold one view each, the main frame over
// its work area (children, their placement and tiling, the title, the
// windows dialog, closing and dropped files) and its status bar. The menus
// and the command chain live in frame_menus.cpp, the toolbars and the saved
// workspace in toolbars.cpp, the recent-file entries in recent_file_menu.cpp.

#include "platform/qt/frames.h"

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/document.h"
#include "platform/message.h"
#include "platform/qt/dialog.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/frame_detail.h"
#include "platform/qt/images.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/strings.h"
#include "platform/qt/view.h"
#include "platform/qt/winapp.h"

using kv::frames::Q;

// ---------------------------------------------------------------- CMDIChildWndEx

CMDIChildWndEx::CMDIChildWndEx() {
    setAttribute(Qt::WA_DeleteOnClose);
}

CMDIChildWndEx::~CMDIChildWndEx() {
    if (m_pView) {
        m_pView->m_pFrame = nullptr;
        if (CDocument* d = m_pView->GetDocument()) d->RemoveView(m_pView);
    }
}

void CMDIChildWndEx::SetView(CWndView* view, CDocTemplate* tmpl) {
    m_pView = view;
    m_pTemplate = tmpl;
    view->m_pFrame = this;
    setWidget(view->GetWidget());
    if (tmpl) setWindowIcon(kv::LoadIcon(tmpl->GetResourceID()));
}

CDocument* CMDIChildWndEx::GetActiveDocument() const { return m_pView ? m_pView->GetDocument() : nullptr; }

void CMDIChildWndEx::OnUpdateFrameTitle() {
    CDocument* doc = GetActiveDocument();
    if (!doc) return;
    std::wstring title = doc->GetTitle();
    if (m_nWindow > 0) title += L":" + std::to_wstring(m_nWindow);
    setWindowTitle(Q(title));
    if (CMDIFrameWndEx* main = AfxGetMainWnd()) main->OnUpdateFrameTitle();
}

void CMDIChildWndEx::changeEvent(QEvent* event) {
    const bool stateChange = event->type() == QEvent::WindowStateChange;
    // A maximised window draws no caption inside the frame: its title joins
    // the frame's and its buttons stand in the frame's menu bar, as every
    // MDI frame shows a maximised child. The hint must be in place before
    // the window lays itself out for the maximised state, and may go only
    // after it has laid itself out as a normal or minimised window (changed
    // earlier, the window takes the change as a reason to maximise again).
    if (stateChange && isMaximized()) setWindowFlag(Qt::FramelessWindowHint, true);
    QMdiSubWindow::changeEvent(event);
    if (stateChange && !isMaximized() && (windowFlags() & Qt::FramelessWindowHint))
        setWindowFlag(Qt::FramelessWindowHint, false);
    if (stateChange)
        if (CMDIFrameWndEx* main = AfxGetMainWnd()) main->OnChildStateChanged();
}

void CMDIChildWndEx::closeEvent(QCloseEvent* event) {
    CDocument* doc = GetActiveDocument();
    if (doc) {
        // Closing the last window of a document closes the document: ask first.
        int frames = 0;
        for (CView* v : doc->GetViews())
            if (auto* wv = dynamic_cast<CWndView*>(v); wv && wv->GetParentFrame()) ++frames;
        if (frames <= 1 && !doc->SaveModified()) {
            event->ignore();
            return;
        }
    }
    if (m_pView && doc) {
        doc->RemoveView(m_pView);
        if (CDocTemplate* owner = FindTemplateOf(doc)) owner->OnFrameClosed(doc);
    }
    QMdiSubWindow::closeEvent(event);
}

// ---------------------------------------------------------------- CMFCStatusBar

CMFCStatusBar::CMFCStatusBar() { setObjectName(QStringLiteral("StatusBar")); }

bool CMFCStatusBar::Create(CMDIFrameWndEx* frame, unsigned) {
    if (!frame) return false;
    frame->setStatusBar(this);
    return true;
}

bool CMFCStatusBar::SetIndicators(const unsigned* ids, int count) {
    for (int i = 0; i < count; ++i) {
        if (ids[i] == ID_SEPARATOR) {
            m_pMessage = new QLabel(Q(kv::LoadStringW(AFX_IDS_IDLEMESSAGE)), this);
            m_pMessage->setObjectName(QStringLiteral("MessagePane"));
            addWidget(m_pMessage, 1);
            continue;
        }
        auto* pane = new QLabel(Q(kv::LoadStringW(ids[i])), this);
        pane->setObjectName(QStringLiteral("Pane%1").arg(ids[i]));
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(pane->text()) + 10);
        // The lock keys' states cannot be asked for here, so the panes show
        // their names in the colour of an indicator that is off.
        pane->setEnabled(false);
        addPermanentWidget(pane);
        m_panes[ids[i]] = pane;
    }
    return true;
}

QLabel* CMFCStatusBar::GetPane(unsigned id) const {
    auto it = m_panes.find(id);
    return it == m_panes.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------- CMDIFrameWndEx

CMDIFrameWndEx::CMDIFrameWndEx() : m_pMdiArea(new QMdiArea(this)) {
    setObjectName(QStringLiteral("MainFrame"));
    setCentralWidget(m_pMdiArea);
    m_pMdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pMdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, [this] { OnActiveChildChanged(); });
    connect(qApp, &QApplication::focusChanged, this, [this] { RequestCommandUpdate(); });
    if (QClipboard* cb = QApplication::clipboard())
        connect(cb, &QClipboard::dataChanged, this, [this] { RequestCommandUpdate(); });

    auto hasChild = [this](CCmdUI* ui) { ui->Enable(MDIGetActive() != nullptr); };
    MapCommand(ID_WINDOW_NEW, [this] { OnWindowNew(); }, hasChild);
    MapCommand(ID_WINDOW_CASCADE, [this] { m_pMdiArea->cascadeSubWindows(); }, hasChild);
    MapCommand(ID_WINDOW_TILE_HORZ, [this] { TileHorizontally(); }, hasChild);
    MapCommand(
        ID_WINDOW_ARRANGE,
        [this] {
            // Minimised windows line up along the bottom edge, left to right.
            int x = 0;
            for (CMDIChildWndEx* c : GetChildFrames()) {
                if (!c->isMinimized()) continue;
                QSize s = c->size();
                c->move(x, m_pMdiArea->viewport()->height() - s.height());
                x += s.width();
            }
        },
        hasChild);
    MapCommand(
        ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); },
        [this](CCmdUI* ui) {
            ui->Enable(true);
            ui->SetCheck(statusBar()->isVisible() ? 1 : 0);
        });
    MapCommand(
        ID_VIEW_TOOLBAR,
        [this] {
            for (CMFCToolBar* t : GetToolbars())
                if (t->GetID() == AFX_IDW_TOOLBAR) t->setVisible(!t->isVisible());
        },
        [this](CCmdUI* ui) {
            bool any = false, visible = false;
            for (CMFCToolBar* t : GetToolbars())
                if (t->GetID() == AFX_IDW_TOOLBAR) any = true, visible = t->isVisible();
            ui->Enable(any);
            ui->SetCheck(visible ? 1 : 0);
        });
}

CMDIFrameWndEx::~CMDIFrameWndEx() {
    // Child frames go first: their views still talk to documents and to this frame.
    for (QMdiSubWindow* w : m_pMdiArea->subWindowList()) delete w;
}

int CMDIFrameWndEx::OnCreate() { return 0; }

bool CMDIFrameWndEx::LoadFrame(unsigned resourceId) {
    m_nIDResource = resourceId;
    m_strTitle = kv::LoadStringW(resourceId);
    if (m_strTitle.empty()) m_strTitle = kv::LoadStringW(AFX_IDS_APP_TITLE);
    setWindowTitle(Q(m_strTitle));
    setWindowIcon(kv::LoadIcon(resourceId));
    if (OnCreate() == -1) return false;
    LoadAccelTable(resourceId);
    ShowMenu(resourceId);
    if (CWinAppEx* app = AfxGetApp()) app->PreLoadState();
    LoadWorkspace();
    if (CWinAppEx* app = AfxGetApp()) app->LoadCustomState();
    UpdateRecentFileMenu();
    RequestCommandUpdate();
    return true;
}

CMDIChildWndEx* CMDIFrameWndEx::MDIGetActive() const {
    // The current window stays current while the application is in the background.
    return qobject_cast<CMDIChildWndEx*>(m_pMdiArea->currentSubWindow());
}

std::vector<CMDIChildWndEx*> CMDIFrameWndEx::GetChildFrames() const {
    std::vector<CMDIChildWndEx*> out;
    for (QMdiSubWindow* w : m_pMdiArea->subWindowList(QMdiArea::CreationOrder))
        if (auto* c = qobject_cast<CMDIChildWndEx*>(w); c && !c->isHidden() && c->GetActiveDocument()) out.push_back(c);
    return out;
}

void CMDIFrameWndEx::AddChildFrame(CMDIChildWndEx* child) {
    m_pMdiArea->addSubWindow(child);
    int n = static_cast<int>(m_pMdiArea->subWindowList().size()) - 1;
    // A window opened before the frame shows (a file named on the command
    // line) waits for the frame's layout to give the work area its size.
    if (!isVisible()) {
        m_unplaced.push_back({child, n});
        return;
    }
    PlaceChildFrame(child, n);
}

void CMDIFrameWndEx::PlaceChildFrame(CMDIChildWndEx* child, int n) {
    // New windows cascade from the top left, each a little lower than the last.
    QSize area = m_pMdiArea->viewport()->size();
    int step = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
    child->resize(std::max(area.width() * 3 / 4, 320), std::max(area.height() * 3 / 4, 200));
    child->move((n % 8) * step, (n % 8) * step);
}

void CMDIFrameWndEx::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    auto unplaced = std::move(m_unplaced);
    m_unplaced.clear();
    for (auto& [child, n] : unplaced)
        if (child && !child->isMaximized() && !child->isMinimized()) PlaceChildFrame(child, n);
}

void CMDIFrameWndEx::TileHorizontally() { Tile(true); }

void CMDIFrameWndEx::Tile(bool horizontally) {
    // Tiling as Windows does it: the windows that are not minimised go into
    // as many columns (horizontally; rows, vertically) as the square root of
    // their number, rounded down, so that up to three lie one above the other
    // (or side by side), each as wide (or as high) as the work area; the last
    // column takes the windows left over.
    std::vector<CMDIChildWndEx*> windows;
    for (CMDIChildWndEx* c : GetChildFrames())
        if (!c->isMinimized()) windows.push_back(c);
    const int total = static_cast<int>(windows.size());
    if (total == 0) return;
    const int columns = std::max(1, static_cast<int>(std::sqrt(static_cast<double>(total))));
    int rows = total / columns;
    QSize area = m_pMdiArea->viewport()->size();
    if (!horizontally) area.transpose();
    const int width = area.width() / columns;
    int i = 0, x = 0;
    for (int c = 1; c <= columns && i < total; ++c) {
        if (c == columns) rows = total - i;
        const int height = area.height() / rows;
        int y = 0;
        for (int r = 1; r <= rows && i < total; ++r, ++i) {
            CMDIChildWndEx* w = windows[static_cast<std::size_t>(i)];
            if (w->isMaximized()) w->showNormal();
            w->setGeometry(horizontally ? QRect(x, y, width, height) : QRect(y, x, height, width));
            y += height;
        }
        x += width;
    }
}

void CMDIFrameWndEx::MDIActivate(CMDIChildWndEx* child) {
    if (!child) return;
    if (child->isMinimized()) child->showNormal();
    m_pMdiArea->setActiveSubWindow(child);
    OnActiveChildChanged();
}

void CMDIFrameWndEx::OnActiveChildChanged() {
    if (m_bClosing) return;
    CMDIChildWndEx* child = MDIGetActive();
    ShowMenu(child && child->GetTemplate() ? child->GetTemplate()->GetResourceID() : m_nIDResource);
    UpdateMenuBarControls();
    OnUpdateFrameTitle();
    RequestCommandUpdate();
}

void CMDIFrameWndEx::OnUpdateFrameTitle() {
    QString title = Q(m_strTitle);
    CMDIChildWndEx* child = MDIGetActive();
    // The active document's title follows the frame's. A maximised child has
    // no caption of its own, so its caption joins the frame's in brackets, as
    // an MDI frame shows it.
    if (child && child->GetActiveDocument()) {
        if (child->isMaximized())
            title += QStringLiteral(" - [") + child->windowTitle() + QStringLiteral("]");
        else
            title += QStringLiteral(" - ") + Q(child->GetActiveDocument()->GetTitle());
    }
    setWindowTitle(title);
}

void CMDIFrameWndEx::OnChildStateChanged() {
    if (m_bClosing) return;
    UpdateMenuBarControls();
    OnUpdateFrameTitle();
}

void CMDIFrameWndEx::EnableWindowsDialog(unsigned command, const std::wstring& label) {
    m_nWindowsDialogCmd = command;
    m_strWindowsDialogLabel = label;
}

void CMDIFrameWndEx::ShowWindowsDialog() {
    QDialog dlg(this);
    dlg.setObjectName(QStringLiteral("WindowsDialog"));
    dlg.setWindowTitle(Q(kv::LoadStringW(AFX_IDS_WINDOWS_MANAGER)));
    auto* list = new QListWidget(&dlg);
    list->setObjectName(QStringLiteral("WindowList"));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    std::vector<QPointer<CMDIChildWndEx>> frames;
    for (CMDIChildWndEx* c : GetChildFrames()) {
        list->addItem(c->windowTitle());
        frames.push_back(c);
        if (c == MDIGetActive()) list->setCurrentRow(list->count() - 1);
    }
    auto selected = [&] {
        std::vector<CMDIChildWndEx*> out;
        for (int r = 0; r < list->count(); ++r)
            if (list->item(r)->isSelected() && frames[static_cast<std::size_t>(r)])
                out.push_back(frames[static_cast<std::size_t>(r)]);
        return out;
    };
    auto* buttons = new QVBoxLayout;
    auto add = [&](const QString& text, std::function<void()> fn) {
        auto* b = new QPushButton(text, &dlg);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, &dlg, fn);
        return b;
    };
    add(QStringLiteral("&Activate"), [&] {
        auto s = selected();
        if (!s.empty()) MDIActivate(s.front());
        dlg.accept();
    });
    add(QStringLiteral("&OK"), [&] { dlg.accept(); })->setDefault(true);
    add(QStringLiteral("&Save"), [&] {
        for (CMDIChildWndEx* c : selected())
            if (CDocument* d = c->GetActiveDocument()) d->DoFileSave();
    });
    add(QStringLiteral("&Close Window(s)"), [&] {
        for (CMDIChildWndEx* c : selected()) c->close();
        dlg.accept();
    });
    add(QStringLiteral("Casca&de"), [&] { m_pMdiArea->cascadeSubWindows(); });
    add(QStringLiteral("Tile &Horizontally"), [&] { Tile(true); });
    add(QStringLiteral("Tile &Vertically"), [&] { Tile(false); });
    add(QStringLiteral("&Minimize"), [&] {
        for (CMDIChildWndEx* c : selected()) c->OnSysMinimize();
    });
    buttons->addStretch();
    auto* layout = new QHBoxLayout(&dlg);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    kv::RunModal(dlg);
}

void CMDIFrameWndEx::OnWindowNew() {
    CMDIChildWndEx* active = MDIGetActive();
    if (!active || !active->GetActiveDocument() || !active->GetTemplate()) return;
    CDocument* doc = active->GetActiveDocument();
    CMDIChildWndEx* frame = active->GetTemplate()->CreateNewFrame(doc, active);
    if (!frame) {
        AfxMessageBox(L"Failed to create empty document.");
        return;
    }
    active->GetTemplate()->InitialUpdateFrame(frame, doc, true);
}

void CMDIFrameWndEx::OnHelp() {
    if (CWinAppEx* app = AfxGetApp()) app->ShowHelp();
}

// ---------------------------------------------------------------- events

bool CMDIFrameWndEx::OnClose() {
    CWinAppEx* app = AfxGetApp();
    if (app && !app->SaveAllModified()) return false;
    SaveWorkspace();
    if (app) app->SaveCustomState();
    m_bClosing = true;
    if (m_pCustomizeDlg) m_pCustomizeDlg->close();
    if (app) app->CloseAllDocuments();
    return true;
}

void CMDIFrameWndEx::closeEvent(QCloseEvent* event) {
    if (!OnClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

void CMDIFrameWndEx::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        for (const QUrl& u : event->mimeData()->urls()) {
            if (u.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
    event->ignore();
}

void CMDIFrameWndEx::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& u : event->mimeData()->urls())
        if (u.isLocalFile()) paths << u.toLocalFile();
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    activateWindow();
    // The files open once the drop is over, so that a message about one of
    // them does not hold the program they were dragged from.
    QMetaObject::invokeMethod(
        this,
        [paths] {
            for (const QString& p : paths)
                if (CWinAppEx* app = AfxGetApp()) app->OpenDocumentFile(p.toStdWString());
        },
        Qt::QueuedConnection);
}
