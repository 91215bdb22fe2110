#include "platform/qt/frames.h"

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/document.h"
#include "platform/message.h"
#include "platform/qt/dialog.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/images.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/strings.h"
#include "platform/qt/toolbar_customize.h"
#include "platform/qt/view.h"
#include "platform/qt/winapp.h"

namespace {

QString Q(const std::wstring& s) { return QString::fromStdWString(s); }

const char* const kCommandProperty = "kvCommand";
const char* const kDynamicProperty = "kvDynamic";

// Text of a menu entry without its mnemonic and shortcut, for buttons and lists.
QString PlainCommandText(const QString& menuText) {
    QString t = menuText.left(menuText.indexOf(u'\t') < 0 ? menuText.size() : menuText.indexOf(u'\t'));
    QString out;
    for (int i = 0; i < t.size(); ++i) {
        if (t[i] == u'&' && i + 1 < t.size()) ++i;
        out += t[i];
    }
    return out;
}

}  // namespace

namespace kv {

// The document's own commands: Save, Save As and Close.
bool RouteDocumentCommand(CDocument* doc, unsigned id, CCmdUI* update) {
    if (!doc || (id != ID_FILE_SAVE && id != ID_FILE_SAVE_AS && id != ID_FILE_CLOSE)) return false;
    if (update) {
        update->Enable(true);
        return true;
    }
    switch (id) {
    case ID_FILE_SAVE: doc->DoFileSave(); break;
    case ID_FILE_SAVE_AS: {
        CDocTemplate* t = FindTemplateOf(doc);
        FilePrompt p;
        p.open = false;
        p.title = L"Save As";
        p.filter = t ? t->FileDialogFilter().toStdWString() : std::wstring();
        std::wstring name = doc->GetPathName().empty() ? doc->GetTitle() : doc->GetPathName();
        while (!name.empty() && name.back() == L'*') name.pop_back();
        p.initialName = name;
        if (t) {
            std::wstring ext = t->GetDocString(CDocTemplate::filterExt);
            ext = ext.substr(0, ext.find(L';'));
            if (!ext.empty() && ext.front() == L'.') ext.erase(0, 1);
            p.defaultExt = ext;
        }
        std::wstring path = PromptForFileName(p);
        if (path.empty()) break;
        if (doc->OnSaveDocument(path)) {
            doc->SetPathName(path);
            if (AfxGetApp()) AfxGetApp()->AddToRecentFileList(path);
        }
        break;
    }
    case ID_FILE_CLOSE:
        if (!doc->SaveModified()) break;
        if (CDocTemplate* t = FindTemplateOf(doc)) t->CloseDocument(doc);
        break;
    }
    return true;
}

}  // namespace kv

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

// ---------------------------------------------------------------- CMFCMenuBar

CMFCMenuBar::CMFCMenuBar() : m_pMenuBar(new QMenuBar(this)) {
    setObjectName(QStringLiteral("MenuBar"));
    setWindowTitle(QStringLiteral("Menu Bar"));
    m_pMenuBar->setNativeMenuBar(false);
    addWidget(m_pMenuBar);
    // The menu bar docks at the top or the bottom; its menus do not stand on end.
    setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
    setFloatable(false);
}

// ---------------------------------------------------------------- CMFCToolBar

CMFCToolBar::CMFCToolBar() {
    setIconSize(QSize(16, 16));
    setMovable(true);
    setFloatable(true);
    setAllowedAreas(Qt::AllToolBarAreas);
}

bool CMFCToolBar::CreateEx(CMDIFrameWndEx* frame, unsigned id) {
    if (!frame) return false;
    m_pFrame = frame;
    m_nID = id;
    setObjectName(QStringLiteral("Toolbar%1").arg(id));
    setProperty(kCommandProperty, id);
    frame->addToolBar(Qt::TopToolBarArea, this);
    return true;
}

bool CMFCToolBar::LoadToolBar(unsigned resourceId) {
    const kv::ToolbarResource* res = kv::FindToolbar(resourceId);
    if (!res || !m_pFrame) return false;
    m_nBitmapID = resourceId;
    m_buttons.clear();
    for (unsigned b : res->buttons) m_buttons.push_back({b, -1});
    RebuildButtons();
    return true;
}

void CMFCToolBar::SetWindowText(const std::wstring& title) { setWindowTitle(Q(title)); }
std::wstring CMFCToolBar::GetWindowText() const { return windowTitle().toStdWString(); }

bool CMFCToolBar::IsUserDefined() const {
    return m_nID >= AFX_IDW_USER_TOOLBAR_FIRST && m_nID <= AFX_IDW_USER_TOOLBAR_LAST;
}

void CMFCToolBar::EnableCustomizeButton(bool enable, unsigned command, const std::wstring& label) {
    m_nCustomizeCmd = enable ? command : 0;
    m_strCustomizeLabel = label;
    RebuildButtons();
}

void CMFCToolBar::SetButtons(std::vector<Button> buttons) {
    m_buttons = std::move(buttons);
    RebuildButtons();
}

void CMFCToolBar::RebuildButtons() {
    if (!m_pFrame) return;
    clear();
    m_pCustomizeButton = nullptr;
    for (const Button& b : m_buttons) {
        if (b.command == 0) {
            addSeparator();
            continue;
        }
        QAction* shared = m_pFrame->GetCommandAction(b.command);
        const auto& images = m_pFrame->GetUserImages();
        if (b.userImage >= 0 && b.userImage < static_cast<int>(images.size())) {
            // A button with a user image is a face of its own on the command's action.
            auto* face = new QAction(QIcon(images[static_cast<std::size_t>(b.userImage)]), shared->iconText(), this);
            face->setToolTip(shared->toolTip());
            face->setStatusTip(shared->statusTip());
            face->setEnabled(shared->isEnabled());
            face->setProperty(kCommandProperty, b.command);
            connect(shared, &QAction::changed, face, [face, shared] { face->setEnabled(shared->isEnabled()); });
            unsigned cmd = b.command;
            CMDIFrameWndEx* frame = m_pFrame;
            connect(face, &QAction::triggered, frame, [frame, cmd] { frame->SendCommand(cmd); });
            addAction(face);
        } else {
            addAction(shared);
        }
    }
    if (m_nCustomizeCmd) {
        m_pCustomizeButton = new QToolButton(this);
        m_pCustomizeButton->setObjectName(QStringLiteral("CustomizeButton"));
        m_pCustomizeButton->setArrowType(Qt::DownArrow);
        m_pCustomizeButton->setAutoRaise(true);
        m_pCustomizeButton->setPopupMode(QToolButton::InstantPopup);
        m_pCustomizeButton->setToolTip(Q(m_strCustomizeLabel));
        m_pCustomizeButton->setProperty(kCommandProperty, m_nCustomizeCmd);
        auto* menu = new QMenu(m_pCustomizeButton);
        QAction* customize = menu->addAction(Q(m_strCustomizeLabel));
        customize->setProperty(kCommandProperty, m_nCustomizeCmd);
        unsigned cmd = m_nCustomizeCmd;
        CMDIFrameWndEx* frame = m_pFrame;
        connect(customize, &QAction::triggered, frame, [frame, cmd] { frame->SendCommand(cmd); });
        m_pCustomizeButton->setMenu(menu);
        addWidget(m_pCustomizeButton);
    }
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

CMDIFrameWndEx* FrameOfToolbar(const CMFCToolBar* toolbar) {
    return toolbar ? qobject_cast<CMDIFrameWndEx*>(toolbar->parentWidget()) : nullptr;
}

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

void CMDIFrameWndEx::TileHorizontally() {
    // Horizontal tiling as Windows does it: the windows that are not
    // minimised go into as many columns as the square root of their number
    // (rounded down), so that up to three lie one above the other, each as
    // wide as the work area; the last column takes the windows left over.
    std::vector<CMDIChildWndEx*> windows;
    for (CMDIChildWndEx* c : GetChildFrames())
        if (!c->isMinimized()) windows.push_back(c);
    const int total = static_cast<int>(windows.size());
    if (total == 0) return;
    const int columns = std::max(1, static_cast<int>(std::sqrt(static_cast<double>(total))));
    int rows = total / columns;
    const QSize area = m_pMdiArea->viewport()->size();
    const int width = area.width() / columns;
    int i = 0, x = 0;
    for (int c = 1; c <= columns && i < total; ++c) {
        if (c == columns) rows = total - i;
        const int height = area.height() / rows;
        int y = 0;
        for (int r = 1; r <= rows && i < total; ++r, ++i) {
            CMDIChildWndEx* w = windows[static_cast<std::size_t>(i)];
            if (w->isMaximized()) w->showNormal();
            w->setGeometry(x, y, width, height);
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

bool CMDIFrameWndEx::RouteCommand(unsigned id, CCmdUI* update) {
    if (CMDIChildWndEx* child = MDIGetActive()) {
        if (CWndView* view = child->GetActiveView()) {
            if (view->OnCmdMsg(id, update)) return true;
            if (kv::RouteDocumentCommand(view->GetDocument(), id, update)) return true;
        }
        if (child->OnCmdMsg(id, update)) return true;
    }
    if (OnCmdMsg(id, update)) return true;
    if (CWinAppEx* app = AfxGetApp(); app && app->OnCmdMsg(id, update)) return true;
    return false;
}

bool CMDIFrameWndEx::SendCommand(unsigned id) {
    // A command whose state changed since the menus were updated does not run.
    CCmdUI ui(id);
    if (!RouteCommand(id, &ui) || !ui.m_bEnabled) {
        RequestCommandUpdate();
        return false;
    }
    bool ran = RouteCommand(id, nullptr);
    RequestCommandUpdate();
    return ran;
}

void CMDIFrameWndEx::UpdateCommandUI() {
    m_bUpdatePending = false;
    for (auto& [id, action] : m_actions) {
        if (!action || (id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_LAST)) continue;
        CCmdUI ui(id);
        RouteCommand(id, &ui);
        action->setEnabled(ui.m_bEnabled);
        if (ui.m_nCheck >= 0) {
            action->setCheckable(true);
            action->setChecked(ui.m_nCheck != 0);
        }
        if (ui.m_bTextChanged) action->setText(Q(ui.m_strText));
    }
}

void CMDIFrameWndEx::RequestCommandUpdate() {
    if (m_bUpdatePending) return;
    m_bUpdatePending = true;
    QMetaObject::invokeMethod(this, [this] { UpdateCommandUI(); }, Qt::QueuedConnection);
}

QAction* CMDIFrameWndEx::GetCommandAction(unsigned id) {
    if (auto it = m_actions.find(id); it != m_actions.end() && it->second) return it->second;
    auto* a = new QAction(this);
    a->setProperty(kCommandProperty, id);
    a->setStatusTip(Q(kv::PromptText(id)));
    std::wstring tip = kv::TipText(id);
    if (!tip.empty()) {
        a->setToolTip(Q(tip));
        a->setIconText(Q(tip));
    }
    // Menus show the images of the toolbar's buttons beside their commands.
    for (CMFCToolBar* t : GetToolbars()) {
        if (!t->GetBitmapID()) continue;
        QPixmap pm = kv::ToolbarImage(t->GetBitmapID(), id);
        if (!pm.isNull()) {
            a->setIcon(QIcon(pm));
            break;
        }
    }
    a->setEnabled(false);
    connect(a, &QAction::triggered, this, [this, id] { SendCommand(id); });
    addAction(a);  // its shortcut works wherever the focus is in this frame
    m_actions[id] = a;
    return a;
}

QMenu* CMDIFrameWndEx::BuildPopup(const kv::MenuItem& popup, QWidget* parent) {
    auto* menu = new QMenu(Q(popup.text), parent);
    bool isWindowMenu = false;
    for (const kv::MenuItem& item : popup.items) {
        if (item.IsSeparator()) {
            menu->addSeparator();
        } else if (item.IsPopup()) {
            bool paneHost = m_bPaneMenu && std::any_of(item.items.begin(), item.items.end(), [this](const kv::MenuItem& i) {
                return i.id == m_nViewToolbarsPlaceholder;
            });
            if (paneHost) {
                auto* sub = new QMenu(Q(item.text), menu);
                m_paneMenuHosts.insert(sub);
                connect(sub, &QMenu::aboutToShow, this, [this, sub] { FillPaneMenu(sub); });
                FillPaneMenu(sub);
                menu->addMenu(sub);
            } else {
                menu->addMenu(BuildPopup(item, menu));
            }
        } else if (item.id == ID_FILE_MRU_FILE1) {
            // The recent-file list stands where its placeholder stands.
            for (unsigned k = 0; k < 10; ++k) menu->addAction(GetCommandAction(ID_FILE_MRU_FILE1 + k));
            QAction* first = m_actions[ID_FILE_MRU_FILE1];
            if (first->text().isEmpty()) first->setText(Q(item.text));
            first->setProperty("kvPlaceholder", Q(item.text));
        } else {
            if (item.id == ID_WINDOW_NEW || item.id == ID_WINDOW_CASCADE) isWindowMenu = true;
            QAction* a = GetCommandAction(item.id);
            QString text = Q(item.text);
            if (a->text().isEmpty() || a->text() == text) {
                a->setText(text);
                if (a->iconText().isEmpty() || a->iconText() == a->text()) a->setIconText(PlainCommandText(text));
                menu->addAction(a);
            } else {
                // Another menu names this command differently: a second face on the same command.
                auto* face = new QAction(text, menu);
                face->setProperty(kCommandProperty, item.id);
                face->setStatusTip(a->statusTip());
                face->setIcon(a->icon());
                // A menu built after the update pass gave the command its
                // check starts with that check, not only with later changes.
                face->setEnabled(a->isEnabled());
                face->setCheckable(a->isCheckable());
                face->setChecked(a->isChecked());
                connect(a, &QAction::changed, face, [a, face] {
                    face->setEnabled(a->isEnabled());
                    face->setCheckable(a->isCheckable());
                    face->setChecked(a->isChecked());
                });
                unsigned id = item.id;
                connect(face, &QAction::triggered, this, [this, id] { SendCommand(id); });
                menu->addAction(face);
            }
        }
    }
    if (isWindowMenu) {
        m_windowMenus.insert(menu);
        if (m_nWindowsDialogCmd) {
            QAction* w = GetCommandAction(m_nWindowsDialogCmd);
            if (w->text().isEmpty()) w->setText(Q(m_strWindowsDialogLabel));
            menu->addAction(w);
        }
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { FillWindowMenu(menu); });
    }
    connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandUI(); });
    return menu;
}

const std::vector<QMenu*>& CMDIFrameWndEx::GetMenus(unsigned id) {
    auto it = m_menus.find(id);
    if (it != m_menus.end()) return it->second;
    std::vector<QMenu*> menus;
    if (const kv::MenuResource* res = kv::FindMenu(id))
        for (const kv::MenuItem& popup : res->popups) menus.push_back(BuildPopup(popup, this));
    return m_menus[id] = std::move(menus);
}

QMenuBar* CMDIFrameWndEx::GetMenuBarWidget() const { return m_pMenuBarPane ? m_pMenuBarPane->GetMenuBar() : nullptr; }

void CMDIFrameWndEx::ShowMenu(unsigned id) {
    QMenuBar* bar = GetMenuBarWidget();
    if (!bar) {
        // A frame without a menu-bar pane gets one.
        m_pMenuBarPane = new CMFCMenuBar();
        addToolBar(Qt::TopToolBarArea, m_pMenuBarPane);
        bar = GetMenuBarWidget();
    }
    if (!kv::FindMenu(id)) id = m_nIDResource;
    if (m_nShownMenu == id) return;
    bar->clear();
    for (QMenu* m : GetMenus(id)) bar->addMenu(m);
    m_nShownMenu = id;
}

void CMDIFrameWndEx::LoadAccelTable(unsigned id) {
    const kv::AccelResource* table = kv::FindAccelerators(id);
    if (!table) return;
    std::map<unsigned, QList<QKeySequence>> keys;
    for (const kv::AccelEntry& e : table->entries) {
        int k = e.key;
        if (e.modifiers & kv::FSHIFT) k |= Qt::SHIFT;
        if (e.modifiers & kv::FCONTROL) k |= Qt::CTRL;
        if (e.modifiers & kv::FALT) k |= Qt::ALT;
        keys[e.command].append(QKeySequence(k));
    }
    for (auto& [cmd, seqs] : keys) {
        QAction* a = GetCommandAction(cmd);
        a->setShortcuts(seqs);
        a->setShortcutContext(Qt::WindowShortcut);
    }
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
    // The active document's title follows the frame's, maximised or not: a
    // maximised child has no caption of its own to show it.
    if (child && child->GetActiveDocument()) title += QStringLiteral(" - ") + Q(child->GetActiveDocument()->GetTitle());
    setWindowTitle(title);
}

void CMDIFrameWndEx::OnChildStateChanged() {
    if (m_bClosing) return;
    UpdateMenuBarControls();
    OnUpdateFrameTitle();
}

void CMDIFrameWndEx::UpdateMenuBarControls() {
    QMenuBar* bar = GetMenuBarWidget();
    if (!bar) return;
    CMDIChildWndEx* child = MDIGetActive();
    const bool show = child && child->isMaximized();
    if (!m_pChildButtons && show) {
        // The maximised child's system menu at the left end, its minimise,
        // restore and close buttons at the right end.
        m_pChildMenuButton = new QToolButton(bar);
        m_pChildMenuButton->setObjectName(QStringLiteral("ChildMenuButton"));
        m_pChildMenuButton->setAutoRaise(true);
        m_pChildMenuButton->setPopupMode(QToolButton::InstantPopup);
        bar->setCornerWidget(m_pChildMenuButton, Qt::TopLeftCorner);
        m_pChildButtons = new QWidget(bar);
        m_pChildButtons->setObjectName(QStringLiteral("ChildButtons"));
        auto* row = new QHBoxLayout(m_pChildButtons);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        auto add = [&](const char* name, QStyle::StandardPixmap icon, void (CMDIChildWndEx::*fn)()) {
            auto* b = new QToolButton(m_pChildButtons);
            b->setObjectName(QString::fromLatin1(name));
            b->setAutoRaise(true);
            b->setIcon(style()->standardIcon(icon, nullptr, b));
            connect(b, &QToolButton::clicked, this, [this, fn] {
                if (CMDIChildWndEx* c = MDIGetActive()) (c->*fn)();
            });
            row->addWidget(b);
        };
        add("MinimizeButton", QStyle::SP_TitleBarMinButton, &CMDIChildWndEx::OnSysMinimize);
        add("RestoreButton", QStyle::SP_TitleBarNormalButton, &CMDIChildWndEx::OnSysRestore);
        add("CloseButton", QStyle::SP_TitleBarCloseButton, &CMDIChildWndEx::OnSysClose);
        bar->setCornerWidget(m_pChildButtons, Qt::TopRightCorner);
    }
    if (!m_pChildButtons) return;
    if (show) {
        m_pChildMenuButton->setIcon(child->windowIcon());
        m_pChildMenuButton->setMenu(child->systemMenu());
    } else {
        m_pChildMenuButton->setMenu(nullptr);
    }
    m_pChildMenuButton->setVisible(show);
    m_pChildButtons->setVisible(show);
    bar->adjustSize();
}

void CMDIFrameWndEx::UpdateRecentFileMenu() {
    CWinAppEx* app = AfxGetApp();
    CRecentFileList* list = app ? app->GetRecentFileList() : nullptr;
    std::size_t n = list ? list->GetEntries().size() : 0;
    for (unsigned k = 0; k < 10; ++k) {
        auto it = m_actions.find(ID_FILE_MRU_FILE1 + k);
        if (it == m_actions.end() || !it->second) continue;
        QAction* a = it->second;
        if (k < n) {
            a->setText(Q(list->GetDisplayName(k)));
            a->setVisible(true);
            a->setEnabled(true);
        } else if (k == 0) {
            QString placeholder = a->property("kvPlaceholder").toString();
            a->setText(placeholder.isEmpty() ? QStringLiteral("Recent File") : placeholder);
            a->setVisible(true);
            a->setEnabled(false);
        } else {
            a->setVisible(false);
        }
    }
}

void CMDIFrameWndEx::FillWindowMenu(QMenu* menu) {
    for (QAction* a : menu->actions())
        if (a->property(kDynamicProperty).toBool()) {
            menu->removeAction(a);
            a->deleteLater();
        }
    QAction* before = m_nWindowsDialogCmd ? GetCommandAction(m_nWindowsDialogCmd) : nullptr;
    if (before && !menu->actions().contains(before)) before = nullptr;
    auto children = GetChildFrames();
    if (children.empty()) return;
    auto* sep = new QAction(menu);
    sep->setSeparator(true);
    sep->setProperty(kDynamicProperty, true);
    menu->insertAction(before, sep);
    CMDIChildWndEx* active = MDIGetActive();
    int n = 0;
    for (CMDIChildWndEx* c : children) {
        if (++n > 9) break;
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(n).arg(c->windowTitle()), menu);
        a->setProperty(kDynamicProperty, true);
        a->setCheckable(true);
        a->setChecked(c == active);
        QPointer<CMDIChildWndEx> target = c;
        connect(a, &QAction::triggered, this, [this, target] {
            if (target) MDIActivate(target);
        });
        menu->insertAction(before, a);
    }
}

std::vector<CMFCToolBar*> CMDIFrameWndEx::GetToolbars() const {
    std::vector<CMFCToolBar*> all;
    for (CMFCToolBar* t : findChildren<CMFCToolBar*>(QString(), Qt::FindDirectChildrenOnly))
        if (t->GetID()) all.push_back(t);
    std::stable_sort(all.begin(), all.end(), [](CMFCToolBar* a, CMFCToolBar* b) { return a->GetID() < b->GetID(); });
    return all;
}

std::vector<CMFCToolBar*> CMDIFrameWndEx::GetUserToolbars() const {
    std::vector<CMFCToolBar*> out;
    for (CMFCToolBar* t : GetToolbars())
        if (t->IsUserDefined()) out.push_back(t);
    return out;
}

CMFCToolBar* CMDIFrameWndEx::GetUserToolbar(int index) const {
    unsigned id = AFX_IDW_USER_TOOLBAR_FIRST + static_cast<unsigned>(index);
    for (CMFCToolBar* t : GetToolbars())
        if (t->GetID() == id) return t;
    return nullptr;
}

void CMDIFrameWndEx::InitUserToolbars(unsigned firstId, unsigned lastId) {
    m_nUserToolbarFirst = firstId;
    m_nUserToolbarLast = lastId;
}

bool CMDIFrameWndEx::CanCreateUserToolbar() const {
    if (!m_nUserToolbarFirst) return false;
    for (unsigned id = m_nUserToolbarFirst; id <= m_nUserToolbarLast; ++id)
        if (!GetUserToolbar(static_cast<int>(id - AFX_IDW_USER_TOOLBAR_FIRST))) return true;
    return false;
}

CMFCToolBar* CMDIFrameWndEx::CreateUserToolbar(unsigned id, const std::wstring& name) {
    auto* t = new CMFCToolBar();
    t->setParent(this);
    if (!t->CreateEx(this, id)) {
        delete t;
        return nullptr;
    }
    t->SetWindowText(name);
    return t;
}

CMFCToolBar* CMDIFrameWndEx::OnToolbarCreateNew(const std::wstring& name) {
    if (!m_nUserToolbarFirst) return nullptr;
    for (unsigned id = m_nUserToolbarFirst; id <= m_nUserToolbarLast; ++id) {
        if (GetUserToolbar(static_cast<int>(id - AFX_IDW_USER_TOOLBAR_FIRST))) continue;
        CMFCToolBar* t = CreateUserToolbar(id, name);
        if (t) t->show();
        return t;
    }
    return nullptr;
}

bool CMDIFrameWndEx::OnToolbarDelete(CMFCToolBar* toolbar) {
    if (!toolbar || !toolbar->IsUserDefined()) return false;
    removeToolBar(toolbar);
    toolbar->deleteLater();
    toolbar->setParent(nullptr);
    return true;
}

void CMDIFrameWndEx::EnablePaneMenu(bool enable, unsigned customizeCmd, const std::wstring& label,
                                    unsigned viewToolbarsPlaceholder) {
    m_bPaneMenu = enable;
    m_nCustomizeCmd = customizeCmd;
    m_strCustomizeLabel = label;
    m_nViewToolbarsPlaceholder = viewToolbarsPlaceholder;
}

void CMDIFrameWndEx::FillPaneMenu(QMenu* menu) {
    menu->clear();
    for (CMFCToolBar* t : GetToolbars()) {
        QAction* a = menu->addAction(t->windowTitle());
        a->setCheckable(true);
        a->setChecked(t->isVisible());
        a->setProperty(kCommandProperty, t->GetID());
        QPointer<CMFCToolBar> bar = t;
        connect(a, &QAction::triggered, this, [this, bar](bool on) {
            if (bar) bar->setVisible(on);
            RequestCommandUpdate();
        });
    }
    if (m_nCustomizeCmd) {
        menu->addSeparator();
        QAction* c = GetCommandAction(m_nCustomizeCmd);
        if (c->text().isEmpty()) c->setText(Q(m_strCustomizeLabel));
        menu->addAction(c);
        UpdateCommandUI();
    }
}

QMenu* CMDIFrameWndEx::BuildPaneMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    FillPaneMenu(menu);
    return menu;
}

QMenu* CMDIFrameWndEx::createPopupMenu() {
    if (!m_bPaneMenu) return nullptr;
    return BuildPaneMenu(this);
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
    add(QStringLiteral("&Tile"), [&] { m_pMdiArea->tileSubWindows(); });
    add(QStringLiteral("&Minimize"), [&] {
        for (CMDIChildWndEx* c : selected()) c->showMinimized();
    });
    buttons->addStretch();
    auto* layout = new QHBoxLayout(&dlg);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    kv::RunModal(dlg);
}

void CMDIFrameWndEx::ShowCustomizeDialog() {
    if (m_pCustomizeDlg) {
        m_pCustomizeDlg->raise();
        m_pCustomizeDlg->activateWindow();
        return;
    }
    auto* dlg = new CToolbarCustomizeDialog(this);
    m_pCustomizeDlg = dlg;
    dlg->show();
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

bool CMDIFrameWndEx::IsKnownCommand(unsigned id) const {
    if (kv::HasString(id)) return true;
    auto it = m_actions.find(id);
    return it != m_actions.end() && it->second && !it->second->text().isEmpty();
}

std::vector<std::pair<unsigned, QString>> CMDIFrameWndEx::GetCommandList() {
    // Every command of the frame's menus and of every template's menus, in
    // menu order, then those only the toolbars have; each once, named as its
    // menu (or its tooltip) names it.
    std::vector<std::pair<unsigned, QString>> out;
    std::set<unsigned> seen;
    std::function<void(const kv::MenuItem&)> walk = [&](const kv::MenuItem& item) {
        if (item.IsPopup()) {
            for (const auto& i : item.items) walk(i);
            return;
        }
        if (item.id == 0 || (item.id >= ID_FILE_MRU_FILE1 && item.id <= ID_FILE_MRU_LAST) ||
            item.id == m_nViewToolbarsPlaceholder || !seen.insert(item.id).second)
            return;
        out.push_back({item.id, PlainCommandText(Q(item.text))});
    };
    std::vector<unsigned> menus = {m_nIDResource};
    if (CWinAppEx* app = AfxGetApp())
        for (const auto& t : app->GetTemplates()) menus.push_back(t->GetResourceID());
    for (unsigned id : menus)
        if (const kv::MenuResource* res = kv::FindMenu(id)) {
            GetMenus(id);
            for (const auto& p : res->popups) walk(p);
        }
    for (CMFCToolBar* t : GetToolbars()) {
        if (t->IsUserDefined()) continue;
        for (const auto& b : t->GetButtons())
            if (b.command && seen.insert(b.command).second) {
                QAction* a = GetCommandAction(b.command);
                out.push_back({b.command, a->toolTip().isEmpty() ? a->iconText() : a->toolTip()});
            }
    }
    return out;
}

void CMDIFrameWndEx::OnHelp() {
    if (CWinAppEx* app = AfxGetApp()) app->ShowHelp();
}

// ---------------------------------------------------------------- workspace

namespace {

QString EncodeButtons(const std::vector<CMFCToolBar::Button>& buttons) {
    QStringList parts;
    for (const auto& b : buttons) parts << QStringLiteral("%1:%2").arg(b.command).arg(b.userImage);
    return parts.join(u',');
}

// Reads a saved button list; anything that is not a list of known commands
// (a damaged or foreign setting) gives nothing, and the defaults stay.
std::optional<std::vector<CMFCToolBar::Button>> DecodeButtons(const QString& text,
                                                               const std::function<bool(unsigned)>& known) {
    std::vector<CMFCToolBar::Button> out;
    if (text.isEmpty()) return out;
    const QStringList parts = text.split(u',');
    if (parts.size() > 200) return std::nullopt;
    for (const QString& p : parts) {
        QStringList f = p.split(u':');
        if (f.size() != 2) return std::nullopt;
        bool ok1 = false, ok2 = false;
        unsigned cmd = f[0].toUInt(&ok1);
        int img = f[1].toInt(&ok2);
        if (!ok1 || !ok2 || cmd > 0xFFFF || img < -1 || img > 4095) return std::nullopt;
        if (cmd != 0 && !known(cmd)) return std::nullopt;
        out.push_back({cmd, img});
    }
    return out;
}

}  // namespace

void CMDIFrameWndEx::SaveWorkspace() {
    CWinAppEx* app = AfxGetApp();
    if (!app) return;
    auto s = app->GetSettings();
    s->beginGroup(QStringLiteral("Workspace"));
    s->setValue(QStringLiteral("Geometry"), saveGeometry());
    s->setValue(QStringLiteral("State"), saveState(1));
    s->remove(QStringLiteral("UserToolbars"));
    auto users = GetUserToolbars();
    s->beginWriteArray(QStringLiteral("UserToolbars"), static_cast<int>(users.size()));
    for (int i = 0; i < static_cast<int>(users.size()); ++i) {
        s->setArrayIndex(i);
        s->setValue(QStringLiteral("Id"), users[static_cast<std::size_t>(i)]->GetID());
        s->setValue(QStringLiteral("Name"), users[static_cast<std::size_t>(i)]->windowTitle());
        s->setValue(QStringLiteral("Buttons"), EncodeButtons(users[static_cast<std::size_t>(i)]->GetButtons()));
    }
    s->endArray();
    s->remove(QStringLiteral("ToolbarButtons"));
    // A toolbar of the program's keeps its buttons with the resource they were
    // made from: another resource (another bitmap set) starts from its own.
    for (CMFCToolBar* t : GetToolbars())
        if (!t->IsUserDefined())
            s->setValue(QStringLiteral("ToolbarButtons/") + t->objectName(),
                        QStringLiteral("%1;").arg(t->GetBitmapID()) + EncodeButtons(t->GetButtons()));
    s->endGroup();
}

void CMDIFrameWndEx::LoadWorkspace() {
    CWinAppEx* app = AfxGetApp();
    if (!app) return;
    auto s = app->GetSettings();
    auto known = [this](unsigned cmd) { return IsKnownCommand(cmd); };
    s->beginGroup(QStringLiteral("Workspace"));
    if (m_nUserToolbarFirst) {
        int n = s->beginReadArray(QStringLiteral("UserToolbars"));
        for (int i = 0; i < n && i < 10; ++i) {
            s->setArrayIndex(i);
            bool ok = false;
            unsigned id = s->value(QStringLiteral("Id")).toUInt(&ok);
            QString name = s->value(QStringLiteral("Name")).toString().left(100);
            if (!ok || id < m_nUserToolbarFirst || id > m_nUserToolbarLast || name.isEmpty()) continue;
            if (GetUserToolbar(static_cast<int>(id - AFX_IDW_USER_TOOLBAR_FIRST))) continue;
            CMFCToolBar* t = CreateUserToolbar(id, name.toStdWString());
            if (!t) continue;
            if (auto buttons = DecodeButtons(s->value(QStringLiteral("Buttons")).toString(), known))
                t->SetButtons(*buttons);
        }
        s->endArray();
    }
    for (CMFCToolBar* t : GetToolbars()) {
        if (t->IsUserDefined()) continue;
        QString key = QStringLiteral("ToolbarButtons/") + t->objectName();
        if (!s->contains(key)) continue;
        QString saved = s->value(key).toString();
        if (saved.section(u';', 0, 0) != QString::number(t->GetBitmapID())) continue;
        if (auto buttons = DecodeButtons(saved.section(u';', 1), known)) t->SetButtons(*buttons);
    }
    restoreGeometry(s->value(QStringLiteral("Geometry")).toByteArray());
    restoreState(s->value(QStringLiteral("State")).toByteArray(), 1);
    s->endGroup();
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
    for (const QString& p : paths)
        if (CWinAppEx* app = AfxGetApp()) app->OpenDocumentFile(p.toStdWString());
}

