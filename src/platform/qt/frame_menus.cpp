// The frame's menus and its command chain: one action per command id, the
// menus built from the menu resources, the menu bar with a maximised child's
// buttons, the accelerators, the Window menu's list of windows, the update
// pass and the route of a command from the active view to the application.

#include <algorithm>
#include <functional>
#include <set>

#include <QAction>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolButton>

#include "platform/document.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/frame_detail.h"
#include "platform/qt/frames.h"
#include "platform/qt/images.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/strings.h"
#include "platform/qt/view.h"
#include "platform/qt/winapp.h"

using kv::frames::kCommandProperty;
using kv::frames::Q;

namespace {

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
    case ID_FILE_SAVE_AS: doc->DoSave(std::wstring()); break;
    case ID_FILE_CLOSE:
        if (!doc->SaveModified()) break;
        if (CDocTemplate* t = FindTemplateOf(doc)) t->CloseDocument(doc);
        break;
    }
    return true;
}

}  // namespace kv

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
        // The window's own system menu cannot stand in here: with its caption
        // gone, the toolkit hides all its entries. This one has the entries
        // of a maximised window, Move, Size and Maximize greyed.
        auto* system = new QMenu(m_pChildMenuButton);
        system->setObjectName(QStringLiteral("ChildSystemMenu"));
        auto entry = [&](const QString& text, void (CMDIChildWndEx::*fn)()) {
            QAction* a = system->addAction(text);
            a->setEnabled(fn != nullptr);
            if (fn)
                connect(a, &QAction::triggered, this, [this, fn] {
                    if (CMDIChildWndEx* c = MDIGetActive()) (c->*fn)();
                });
            return a;
        };
        entry(QStringLiteral("&Restore"), &CMDIChildWndEx::OnSysRestore);
        entry(QStringLiteral("&Move"), nullptr);
        entry(QStringLiteral("&Size"), nullptr);
        entry(QStringLiteral("Mi&nimize"), &CMDIChildWndEx::OnSysMinimize);
        entry(QStringLiteral("Ma&ximize"), nullptr);
        system->addSeparator();
        entry(QStringLiteral("&Close"), &CMDIChildWndEx::OnSysClose)
            ->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
        m_pChildMenuButton->setMenu(system);
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
    if (show) m_pChildMenuButton->setIcon(child->windowIcon());
    m_pChildMenuButton->setVisible(show);
    m_pChildButtons->setVisible(show);
    bar->adjustSize();
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
