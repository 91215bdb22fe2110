// The dialog itself: its window, the modal run (or the hook that stands in
// for it), the control lookup and state, the OK, Cancel and Enter paths, and
// the focus at the start. The controls are built in dialog_layout.cpp; data
// exchange lives in data_exchange.cpp.

#include "platform/qt/dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>

#include "platform/message.h"
#include "platform/qt/dialog_internal.h"
#include "platform/qt/qt_message.h"
#include "platform/qt/std_ids.h"

using kv::dlg::Focusable;
using kv::dlg::kDialogProperty;
using kv::dlg::Q;

namespace {

kv::ModalHook& Hook() {
    static kv::ModalHook hook;
    return hook;
}

}  // namespace

namespace kv::dlg {

bool Focusable(Ctl k) {
    switch (k) {
    case Ctl::PushButton:
    case Ctl::DefPushButton:
    case Ctl::Edit:
    case Ctl::DropList:
    case Ctl::AutoRadio:
    case Ctl::AutoCheck:
    case Ctl::ListBox: return true;
    default: return false;
    }
}

}  // namespace kv::dlg

CDialogWindow::CDialogWindow(QWidget* parent, CDialog* owner) : QDialog(parent), m_owner(owner) {
    setProperty(kDialogProperty, QVariant::fromValue<void*>(owner));
}

void CDialogWindow::Detach() {
    m_owner = nullptr;
    setProperty(kDialogProperty, QVariant());
}

void CDialogWindow::reject() {
    if (m_owner)
        m_owner->OnCancel();
    else
        QDialog::reject();
}

// The dialog opens with its frame centred over its owner's, kept on the
// owner's screen; one whose owner does not show keeps Qt's place.
void CDialogWindow::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (m_placed || e->spontaneous()) return;
    m_placed = true;
    QWidget* over = parentWidget();
    if (!m_owner || !over || !over->isVisible() || over->isMinimized()) return;
    QRect f = frameGeometry();
    f.moveCenter(over->frameGeometry().center());
    if (QScreen* screen = over->screen()) {
        const QRect area = screen->availableGeometry();
        if (f.right() > area.right()) f.moveRight(area.right());
        if (f.bottom() > area.bottom()) f.moveBottom(area.bottom());
        if (f.left() < area.left()) f.moveLeft(area.left());
        if (f.top() < area.top()) f.moveTop(area.top());
    }
    move(f.topLeft());
}

// Enter that no push button took presses the default button, hidden or not;
// Escape cancels.
void CDialogWindow::keyPressEvent(QKeyEvent* e) {
    const bool enter = (e->key() == Qt::Key_Return && e->modifiers() == Qt::NoModifier) ||
                       (e->key() == Qt::Key_Enter && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier);
    if (m_owner && enter) {
        m_owner->OnEnter();
        return;
    }
    QDialog::keyPressEvent(e);
}

namespace kv {

ModalHook SetModalHook(ModalHook hook) { return std::exchange(Hook(), std::move(hook)); }

int RunModal(QDialog& dialog) {
    const ArrowDuringWait arrow;
    if (Hook()) {
        // A hook that leaves the dialog open must not leave it on screen.
        ModalHook hook = Hook();
        int r = hook(dialog);
        if (dialog.isVisible()) dialog.hide();
        return r;
    }
    return dialog.exec();
}

}  // namespace kv

// ---------------------------------------------------------------- CDialog

CDialog::CDialog(unsigned templateId, QWidget* parent) : m_pParent(parent) {
    if (const kv::DialogTemplate* t = kv::FindDialog(templateId)) m_template = *t;
    m_template.id = templateId;
}

CDialog::~CDialog() {
    if (m_pWnd) {
        static_cast<CDialogWindow*>(m_pWnd.data())->Detach();
        delete m_pWnd.data();
    }
}

CDialog* CDialog::FromWindow(QDialog* window) {
    if (!window) return nullptr;
    return static_cast<CDialog*>(window->property(kDialogProperty).value<void*>());
}

void CDialog::MapNotify(int id, Notify code, std::function<void()> handler) {
    m_notify.push_back({{id, code}, std::move(handler)});
}

void CDialog::OnControlCommand(int id, Notify code) {
    bool handled = false;
    for (auto& [key, fn] : m_notify) {
        if (key.first == id && key.second == code) {
            fn();
            handled = true;
        }
    }
    if (handled || code != Notify::Clicked) return;
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
}

QWidget* CDialog::GetDlgItem(int id) const {
    if (id < 0) return nullptr;
    for (const auto& [cid, w] : m_controls)
        if (cid == id) return w;
    return nullptr;
}

std::wstring CDialog::GetDlgItemText(int id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdWString();
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
        QString t = e->toPlainText();
        t.replace(u'\n', QStringLiteral("\r\n"));
        return t.toStdWString();
    }
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text().toStdWString();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdWString();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title().toStdWString();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText().toStdWString();
    return {};
}

void CDialog::SetDlgItemText(int id, const std::wstring& text) {
    QWidget* w = GetDlgItem(id);
    QString t = Q(text);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(t);
    else if (auto* pe = qobject_cast<QPlainTextEdit*>(w))
        pe->setPlainText(t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(t);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(t);
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        g->setTitle(t);
}

int CDialog::IsDlgButtonChecked(int id) const {
    auto* b = qobject_cast<QAbstractButton*>(GetDlgItem(id));
    if (!b) return 0;
    if (auto* cb = qobject_cast<QCheckBox*>(b)) return cb->checkState() == Qt::PartiallyChecked ? 2 : cb->isChecked() ? 1 : 0;
    return b->isChecked() ? 1 : 0;
}

void CDialog::CheckDlgButton(int id, int check) {
    auto* b = qobject_cast<QAbstractButton*>(GetDlgItem(id));
    if (!b) return;
    if (auto* cb = qobject_cast<QCheckBox*>(b)) {
        cb->setCheckState(check == 2 ? Qt::PartiallyChecked : check ? Qt::Checked : Qt::Unchecked);
        return;
    }
    if (QButtonGroup* g = b->group(); g && !check && b->isChecked()) {
        g->setExclusive(false);
        b->setChecked(false);
        g->setExclusive(true);
        return;
    }
    b->setChecked(check != 0);
}

void CDialog::EnableDlgItem(int id, bool enable) {
    if (QWidget* w = GetDlgItem(id)) w->setEnabled(enable);
}

std::vector<QWidget*> CDialog::RadioGroup(int firstId) const {
    std::vector<QWidget*> out;
    auto* first = qobject_cast<QRadioButton*>(GetDlgItem(firstId));
    if (!first || !first->group()) return out;
    for (const auto& [id, w] : m_controls)
        if (auto* r = qobject_cast<QRadioButton*>(w.data()); r && r->group() == first->group()) out.push_back(r);
    return out;
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::UpdateData(bool saveAndValidate) {
    if (!m_pWnd) return false;
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const CDataExchangeFailure&) {
        return false;
    }
    return true;
}

void CDialog::EndDialog(int result) {
    m_nResult = result;
    m_bEnded = true;
    if (!m_pWnd) return;
    if (m_bModeless)
        m_pWnd->hide();
    else
        m_pWnd->done(result);
}

bool CDialog::IsTabStop(std::size_t k) const {
    if (k >= m_controls.size() || k >= m_template.controls.size()) return false;
    const kv::ControlTemplate& c = m_template.controls[k];
    QWidget* w = m_controls[k].second;
    if (!w || !Focusable(c.kind) || !w->isEnabled() || !w->isVisibleTo(m_pWnd)) return false;
    if (auto* r = qobject_cast<QRadioButton*>(w)) {
        // An automatic radio button carries the tab stop while it is checked;
        // a group with none checked keeps the template's.
        if (r->isChecked()) return true;
        QButtonGroup* g = r->group();
        if (g && g->checkedButton()) return false;
    }
    return (c.style & kv::CS_TABSTOP) != 0;
}

QWidget* CDialog::FirstTabStop() const {
    for (std::size_t k = 0; k < m_controls.size(); ++k)
        if (IsTabStop(k)) return m_controls[k].second;
    return nullptr;
}

QWidget* CDialog::ControlAfter(QWidget* label) const {
    bool after = false;
    for (std::size_t k = 0; k < m_controls.size() && k < m_template.controls.size(); ++k) {
        QWidget* w = m_controls[k].second;
        if (w == label) {
            after = true;
            continue;
        }
        if (after && IsTabStop(k)) return w;
    }
    return nullptr;
}

void CDialog::SetDefaultFocus() {
    QWidget* first = FirstTabStop();
    if (!first) return;
    first->setFocus(Qt::TabFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(first)) edit->selectAll();
}

void CDialog::OnEnter() {
    int id = IDOK;
    for (const kv::ControlTemplate& c : m_template.controls)
        if (c.kind == kv::Ctl::DefPushButton) {
            id = c.id;
            break;
        }
    if (QWidget* w = GetDlgItem(id); w && !w->isEnabled()) return;
    OnControlCommand(id, Notify::Clicked);
}

int CDialog::DoModal() {
    m_bEnded = false;
    m_bModeless = false;
    Build(m_pParent);
    m_pWnd->setModal(true);
    if (OnInitDialog()) SetDefaultFocus();
    int r = kv::RunModal(*m_pWnd);
    int result = m_bEnded ? m_nResult : (r == IDOK ? IDOK : IDCANCEL);
    static_cast<CDialogWindow*>(m_pWnd.data())->Detach();
    delete m_pWnd.data();
    m_controls.clear();
    m_nResult = result;
    return result;
}

bool CDialog::Create(QWidget* parent) {
    m_bEnded = false;
    m_bModeless = true;
    Build(parent ? parent : m_pParent);
    if (OnInitDialog()) SetDefaultFocus();
    m_pWnd->show();
    return true;
}

