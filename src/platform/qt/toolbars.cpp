// Toolbars: the command buttons of a toolbar, the frame's toolbars and its
// user-defined ones, the pane menu that shows and hides them, the
// customisation dialog's opening, and the workspace (window, docking and
// buttons) saved under the application's settings.

#include <algorithm>
#include <functional>
#include <optional>

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QToolButton>

#include "platform/qt/frame_detail.h"
#include "platform/qt/frames.h"
#include "platform/qt/images.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/strings.h"
#include "platform/qt/toolbar_customize.h"
#include "platform/qt/winapp.h"

using kv::frames::kCommandProperty;
using kv::frames::Q;

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

CMDIFrameWndEx* FrameOfToolbar(const CMFCToolBar* toolbar) {
    return toolbar ? qobject_cast<CMDIFrameWndEx*>(toolbar->parentWidget()) : nullptr;
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
