#include "platform/qt/dialog.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShortcutEvent>
#include <QShowEvent>
#include <QStyle>

#include "platform/message.h"
#include "platform/qt/frames.h"
#include "platform/qt/images.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/strings.h"
#include "platform/qt/winapp.h"

namespace {

const char* const kDialogProperty = "kvDialog";
const char* const kIdProperty = "kvControlId";
const char* const kSilentProperty = "kvSilent";
const char* const kGroupStartProperty = "kvGroupStart";

kv::ModalHook& Hook() {
    static kv::ModalHook hook;
    return hook;
}

// A mnemonic on a group box moves the focus to the control after it, and
// presses it when it is a button, as the dialog manager does (a static text
// does the same through its buddy).
bool FocusByMnemonic(QWidget* label, QShortcutEvent* e) {
    CDialog* dlg = CDialog::FromWindow(qobject_cast<QDialog*>(label->window()));
    QWidget* target = dlg ? dlg->ControlAfter(label) : nullptr;
    if (!target) return false;
    target->setFocus(Qt::ShortcutFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(target)) edit->selectAll();
    if (auto* button = qobject_cast<QAbstractButton*>(target); button && !e->isAmbiguous()) button->animateClick();
    return true;
}

// A static text as the system draws one: words wrap, tabs expand, and an
// ampersand underlines the next character.
class CStaticText : public QLabel {
public:
    CStaticText(const QString& text, Qt::Alignment align, QWidget* parent) : QLabel(text, parent), m_align(align) {
        setAlignment(align | Qt::AlignTop);
        setWordWrap(true);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        int flags = static_cast<int>(m_align) | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs |
                    Qt::TextShowMnemonic;
        style()->drawItemText(&p, contentsRect(), flags, palette(), isEnabled(), text(), foregroundRole());
    }

private:
    Qt::Alignment m_align;
};

// A group box frames controls that are its siblings, not its children, so
// its mnemonic goes to the control after it in the template.
class CGroupBox : public QGroupBox {
public:
    CGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::Shortcut) {
            FocusByMnemonic(this, static_cast<QShortcutEvent*>(e));
            return true;
        }
        return QGroupBox::event(e);
    }
};

// An etched line.
class CLineStatic : public QFrame {
public:
    explicit CLineStatic(QWidget* parent) : QFrame(parent) {
        setFrameShape(QFrame::HLine);
        setFrameShadow(QFrame::Sunken);
    }
};

bool Focusable(kv::Ctl k) {
    switch (k) {
    case kv::Ctl::PushButton:
    case kv::Ctl::DefPushButton:
    case kv::Ctl::Edit:
    case kv::Ctl::DropList:
    case kv::Ctl::AutoRadio:
    case kv::Ctl::AutoCheck:
    case kv::Ctl::ListBox: return true;
    default: return false;
    }
}

QString Q(const std::wstring& s) { return QString::fromStdWString(s); }

}  // namespace

// The window of a CDialog. Escape and the close box cancel through OnCancel.
class CDialogWindow : public QDialog {
public:
    CDialogWindow(QWidget* parent, CDialog* owner) : QDialog(parent), m_owner(owner) {
        setProperty(kDialogProperty, QVariant::fromValue<void*>(owner));
    }
    void Detach() {
        m_owner = nullptr;
        setProperty(kDialogProperty, QVariant());
    }
    void reject() override {
        if (m_owner)
            m_owner->OnCancel();
        else
            QDialog::reject();
    }

protected:
    // The dialog opens with its frame centred over its owner's, kept on the
    // owner's screen; one whose owner does not show keeps Qt's place.
    void showEvent(QShowEvent* e) override {
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
    // Enter that no push button took presses the default button, hidden or
    // not; Escape cancels.
    void keyPressEvent(QKeyEvent* e) override {
        const bool enter = (e->key() == Qt::Key_Return && e->modifiers() == Qt::NoModifier) ||
                           (e->key() == Qt::Key_Enter && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier);
        if (m_owner && enter) {
            m_owner->OnEnter();
            return;
        }
        QDialog::keyPressEvent(e);
    }

private:
    CDialog* m_owner;
    bool m_placed = false;
};

namespace kv {

ModalHook SetModalHook(ModalHook hook) { return std::exchange(Hook(), std::move(hook)); }

int RunModal(QDialog& dialog) {
    if (Hook()) {
        // A hook that leaves the dialog open must not leave it on screen.
        ModalHook hook = Hook();
        int r = hook(dialog);
        if (dialog.isVisible()) dialog.hide();
        return r;
    }
    return dialog.exec();
}

QFont DialogFont(const std::wstring& name, int pointSize) {
    static const bool substituted = [] {
        // The dialog fonts of the system the templates were drawn for; their
        // nearest relatives here keep the proportions of the layouts.
        const QStringList near = {"Tahoma", "Microsoft Sans Serif", "DejaVu Sans", "Liberation Sans", "Arial"};
        QFont::insertSubstitutions("MS Shell Dlg", near);
        QFont::insertSubstitutions("MS Shell Dlg 2", near);
        QFont::insertSubstitutions("MS Sans Serif", near);
        return true;
    }();
    (void)substituted;
    QFont f(Q(name));
    f.setPointSize(pointSize);
    return f;
}

QSize DialogBaseUnits(const QFont& font) {
    QFontMetrics fm(font);
    int cx = (fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
    return QSize(std::max(cx, 1), std::max(fm.height(), 1));
}

std::wstring FormatDoubleForEdit(double value, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, value);
    return std::wstring(buf, buf + std::char_traits<char>::length(buf));
}

namespace {
std::string Narrow(const std::wstring& text) {
    std::string s;
    for (wchar_t c : text) {
        if (c > 0x7F) return std::string(1, '\x01');  // no number holds such a character
        s.push_back(static_cast<char>(c));
    }
    return s;
}
std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}
}  // namespace

bool ParseInt(const std::wstring& text, long& value) {
    std::string n = Narrow(text);
    std::string_view s = Trim(n);
    bool neg = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        neg = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.front() < '0' || s.front() > '9') return false;
    unsigned long long v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return false;
    // Values beyond a 32-bit integer are refused rather than wrapped.
    if (v > (neg ? 2147483648ULL : 2147483647ULL)) return false;
    value = neg ? -static_cast<long>(v) : static_cast<long>(v);
    return true;
}

bool ParseUInt(const std::wstring& text, unsigned long& value) {
    std::string n = Narrow(text);
    std::string_view s = Trim(n);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty() || s.front() < '0' || s.front() > '9') return false;
    unsigned long long v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v > 4294967295ULL) return false;
    value = static_cast<unsigned long>(v);
    return true;
}

bool ParseDouble(const std::wstring& text, double& value) {
    std::string n = Narrow(text);
    std::string_view s = Trim(n);
    bool neg = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        neg = s.front() == '-';
        s.remove_prefix(1);
    }
    // Plain decimal notation only: digits, a point, an exponent.
    std::size_t i = 0, digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        std::size_t k = j;
        while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k;
        if (k == j) return false;
        i = k;
    }
    if (i != s.size()) return false;
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return false;
    value = neg ? -v : v;
    return true;
}

}  // namespace kv

// ---------------------------------------------------------------- CListBox

int CListBox::AddString(const std::wstring& text) {
    if (!m_pList) return -1;
    m_pList->addItem(Q(text));
    return m_pList->count() - 1;
}

int CListBox::GetCount() const { return m_pList ? m_pList->count() : 0; }

int CListBox::GetCurSel() const {
    if (!m_pList) return -1;
    auto sel = m_pList->selectedItems();
    return sel.isEmpty() ? -1 : m_pList->row(sel.front());
}

void CListBox::SetCurSel(int index) {
    if (!m_pList) return;
    m_pList->setProperty(kSilentProperty, true);
    if (index < 0 || index >= m_pList->count()) {
        m_pList->clearSelection();
        m_pList->setCurrentRow(-1);
    } else {
        m_pList->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    }
    m_pList->setProperty(kSilentProperty, false);
}

void CListBox::SetItemData(int index, std::intptr_t data) {
    if (m_pList && index >= 0 && index < m_pList->count())
        m_pList->item(index)->setData(Qt::UserRole, QVariant::fromValue<qint64>(data));
}

std::intptr_t CListBox::GetItemData(int index) const {
    if (!m_pList || index < 0 || index >= m_pList->count()) return -1;
    return static_cast<std::intptr_t>(m_pList->item(index)->data(Qt::UserRole).toLongLong());
}

std::wstring CListBox::GetText(int index) const {
    if (!m_pList || index < 0 || index >= m_pList->count()) return {};
    return m_pList->item(index)->text().toStdWString();
}

void CListBox::ResetContent() {
    if (!m_pList) return;
    m_pList->setProperty(kSilentProperty, true);
    m_pList->clear();
    m_pList->setProperty(kSilentProperty, false);
}

void CListBox::SetFont(const QFont& font) {
    if (m_pList) m_pList->setFont(font);
}

// ---------------------------------------------------------------- CDataExchange

QWidget* CDataExchange::PrepareCtrl(int id) {
    m_idLastControl = id;
    m_bEditLastControl = false;
    return m_pDlgWnd->GetDlgItem(id);
}

QWidget* CDataExchange::PrepareEditCtrl(int id) {
    QWidget* w = PrepareCtrl(id);
    m_bEditLastControl = true;
    return w;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_idLastControl >= 0) {
        if (QWidget* w = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
            w->setFocus(Qt::OtherFocusReason);
            if (auto* e = qobject_cast<QLineEdit*>(w); e && m_bEditLastControl) e->selectAll();
        }
    }
    throw CDataExchangeFailure{};
}

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

QRect CDialog::MapDialogRect(const QRect& r) const {
    auto mx = [&](int v) { return static_cast<int>(std::lround(v * m_baseUnits.width() / 4.0)); };
    auto my = [&](int v) { return static_cast<int>(std::lround(v * m_baseUnits.height() / 8.0)); };
    return QRect(mx(r.x()), my(r.y()), mx(r.width()), my(r.height()));
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

void CDialog::Build(QWidget* parent) {
    // A dialog is owned by a top-level window, never by a child: the window
    // of the parent given, else the main window, over which it opens.
    QWidget* owner = parent ? parent->window() : nullptr;
    if (!owner) owner = AfxGetMainWnd();
    auto* wnd = new CDialogWindow(owner, this);
    m_pWnd = wnd;
    QFont font = kv::DialogFont(m_template.fontName, m_template.pointSize);
    wnd->setFont(font);
    m_baseUnits = kv::DialogBaseUnits(font);
    wnd->setWindowTitle(Q(m_template.caption));
    wnd->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    wnd->setFixedSize(MapDialogRect(QRect(0, 0, m_template.cx, m_template.cy)).size());

    QButtonGroup* radioGroup = nullptr;
    std::vector<QWidget*> needBuddy;
    m_controls.clear();
    const auto& ctls = m_template.controls;
    for (std::size_t k = 0; k < ctls.size(); ++k) {
        const kv::ControlTemplate& c = ctls[k];
        QRect geo = MapDialogRect(QRect(c.x, c.y, c.cx, c.cy));
        QString text = Q(c.text);
        QWidget* w = nullptr;
        // A radio group ends where the next group starts; other controls
        // between two radio buttons do not break it.
        if (c.style & kv::CS_GROUP) radioGroup = nullptr;
        switch (c.kind) {
        case kv::Ctl::PushButton:
        case kv::Ctl::DefPushButton: {
            auto* b = new QPushButton(text, wnd);
            b->setAutoDefault(true);
            if (c.kind == kv::Ctl::DefPushButton) b->setDefault(true);
            int id = c.id;
            QObject::connect(b, &QPushButton::clicked, wnd, [this, id] { OnControlCommand(id, Notify::Clicked); });
            w = b;
            break;
        }
        case kv::Ctl::GroupBox: {
            auto* g = new CGroupBox(text, wnd);
            g->setAttribute(Qt::WA_TransparentForMouseEvents);
            w = g;
            break;
        }
        case kv::Ctl::Static:
        case kv::Ctl::StaticCenter:
        case kv::Ctl::StaticRight: {
            Qt::Alignment a = c.kind == kv::Ctl::Static         ? Qt::AlignLeft
                              : c.kind == kv::Ctl::StaticCenter ? Qt::AlignHCenter
                                                                : Qt::AlignRight;
            auto* l = new CStaticText(text, a, wnd);
            if (text.contains(u'&')) needBuddy.push_back(l);
            w = l;
            break;
        }
        case kv::Ctl::HorzLine: w = new CLineStatic(wnd); break;
        case kv::Ctl::Edit: {
            if (c.style & kv::CS_MULTILINE) {
                auto* e = new QPlainTextEdit(wnd);
                e->setReadOnly(c.style & kv::CS_READONLY);
                e->setPlainText(text);
                w = e;
            } else {
                auto* e = new QLineEdit(text, wnd);
                e->setReadOnly(c.style & kv::CS_READONLY);
                e->setFrame(c.style & kv::CS_BORDER);
                if (c.style & kv::CS_NUMBER)
                    e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
                if (c.style & kv::CS_RIGHT) e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
                if (c.style & kv::CS_READONLY) {
                    // A read-only edit shows the face colour behind its text.
                    QPalette p = e->palette();
                    p.setColor(QPalette::Base, p.color(QPalette::Window));
                    e->setPalette(p);
                }
                int id = c.id;
                QObject::connect(e, &QLineEdit::textChanged, wnd, [this, id] { OnControlCommand(id, Notify::Change); });
                w = e;
            }
            break;
        }
        case kv::Ctl::DropList: {
            auto* cb = new QComboBox(wnd);
            for (const auto& item : c.items) cb->addItem(Q(item));
            cb->setCurrentIndex(-1);
            int id = c.id;
            QObject::connect(cb, &QComboBox::activated, wnd, [this, id] { OnControlCommand(id, Notify::SelChange); });
            // The template gives the height of the dropped list; the box itself
            // is as high as its font needs.
            geo.setHeight(cb->sizeHint().height());
            w = cb;
            break;
        }
        case kv::Ctl::AutoRadio: {
            auto* r = new QRadioButton(text, wnd);
            r->setAutoExclusive(false);
            if (!radioGroup) {
                radioGroup = new QButtonGroup(wnd);
                radioGroup->setExclusive(true);
                r->setProperty(kGroupStartProperty, true);
            }
            radioGroup->addButton(r);
            int id = c.id;
            QObject::connect(r, &QRadioButton::clicked, wnd, [this, id] { OnControlCommand(id, Notify::Clicked); });
            w = r;
            break;
        }
        case kv::Ctl::AutoCheck: {
            auto* cb = new QCheckBox(text, wnd);
            int id = c.id;
            QObject::connect(cb, &QCheckBox::clicked, wnd, [this, id] { OnControlCommand(id, Notify::Clicked); });
            w = cb;
            break;
        }
        case kv::Ctl::ListBox: {
            auto* lb = new QListWidget(wnd);
            lb->setSelectionMode(QAbstractItemView::SingleSelection);
            lb->setHorizontalScrollBarPolicy((c.style & kv::CS_HSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
            lb->setVerticalScrollBarPolicy((c.style & kv::CS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
            for (const auto& item : c.items) lb->addItem(Q(item));
            int id = c.id;
            QObject::connect(lb, &QListWidget::currentRowChanged, wnd, [this, id, lb] {
                if (!lb->property(kSilentProperty).toBool()) OnControlCommand(id, Notify::SelChange);
            });
            w = lb;
            break;
        }
        case kv::Ctl::Icon:
        case kv::Ctl::Bitmap: {
            auto* l = new QLabel(wnd);
            QPixmap pm = c.kind == kv::Ctl::Icon ? kv::LoadIcon(c.image).pixmap(32, 32) : kv::LoadBitmap(c.image);
            if (c.style & kv::CS_REALSIZE || c.kind == kv::Ctl::Bitmap) {
                l->setPixmap(pm);
                if (!pm.isNull()) geo.setSize(pm.deviceIndependentSize().toSize());
            } else {
                l->setPixmap(pm.scaled(geo.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
            }
            w = l;
            break;
        }
        }
        w->setGeometry(geo);
        w->setProperty(kIdProperty, c.id);
        w->setFocusPolicy(Focusable(c.kind) ? Qt::StrongFocus : Qt::NoFocus);
        if (c.style & kv::CS_DISABLED) w->setEnabled(false);
        if (c.style & kv::CS_HIDDEN) w->setVisible(false);

        CCtlColor colour;
        colour.id = c.id;
        colour.kind = c.kind;
        OnCtlColor(colour);
        if (colour.textColor) {
            QColor qc(static_cast<int>(*colour.textColor & 0xFF), static_cast<int>((*colour.textColor >> 8) & 0xFF),
                      static_cast<int>((*colour.textColor >> 16) & 0xFF));
            QPalette p = w->palette();
            for (auto group : {QPalette::Active, QPalette::Inactive}) {
                p.setColor(group, QPalette::WindowText, qc);
                p.setColor(group, QPalette::ButtonText, qc);
                p.setColor(group, QPalette::Text, qc);
            }
            w->setPalette(p);
        }
        m_controls.push_back({c.id, w});
    }
    // A mnemonic on a static text moves the focus to the control after it.
    for (QWidget* l : needBuddy) {
        bool after = false;
        for (std::size_t k = 0; k < m_controls.size(); ++k) {
            QWidget* w = m_controls[k].second;
            if (w == l) {
                after = true;
                continue;
            }
            if (after && Focusable(ctls[k].kind)) {
                static_cast<QLabel*>(l)->setBuddy(w);
                break;
            }
        }
    }
    // Group boxes frame the controls drawn over them.
    for (auto& [id, w] : m_controls)
        if (qobject_cast<QGroupBox*>(w)) w->lower();
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

// ---------------------------------------------------------------- DDX / DDV

namespace {

QString EditText(QWidget* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return e->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    return {};
}

void SetEditText(QWidget* w, const QString& text) {
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* pe = qobject_cast<QPlainTextEdit*>(w))
        pe->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
}

[[noreturn]] void FailWith(CDataExchange* pDX, unsigned stringId, const std::wstring& a1 = {},
                           const std::wstring& a2 = {}) {
    AfxMessageBox(kv::FormatString2(kv::LoadStringW(stringId), a1, a2), MB_OK | MB_ICONEXCLAMATION);
    pDX->Fail();
}

std::wstring Num(long v) { return std::to_wstring(v); }

}  // namespace

void DDX_Text(CDataExchange* pDX, int id, int& value) {
    QWidget* w = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        long v = 0;
        if (!kv::ParseInt(EditText(w).toStdWString(), v)) FailWith(pDX, AFX_IDP_PARSE_INT);
        value = static_cast<int>(v);
    } else {
        SetEditText(w, QString::number(value));
    }
}

void DDX_Text(CDataExchange* pDX, int id, long& value) {
    int v = static_cast<int>(value);
    DDX_Text(pDX, id, v);
    value = v;
}

void DDX_Text(CDataExchange* pDX, int id, unsigned& value) {
    QWidget* w = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        unsigned long v = 0;
        if (!kv::ParseUInt(EditText(w).toStdWString(), v)) FailWith(pDX, AFX_IDP_PARSE_UINT);
        value = static_cast<unsigned>(v);
    } else {
        SetEditText(w, QString::number(value));
    }
}

void DDX_Text(CDataExchange* pDX, int id, double& value) {
    QWidget* w = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        double v = 0;
        if (!kv::ParseDouble(EditText(w).toStdWString(), v)) FailWith(pDX, AFX_IDP_PARSE_REAL);
        value = v;
    } else {
        SetEditText(w, QString::fromStdWString(kv::FormatDoubleForEdit(value, std::numeric_limits<double>::digits10)));
    }
}

void DDX_Text(CDataExchange* pDX, int id, float& value) {
    QWidget* w = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        double v = 0;
        if (!kv::ParseDouble(EditText(w).toStdWString(), v) || std::fabs(v) > std::numeric_limits<float>::max())
            FailWith(pDX, AFX_IDP_PARSE_REAL);
        value = static_cast<float>(v);
    } else {
        SetEditText(w, QString::fromStdWString(kv::FormatDoubleForEdit(value, std::numeric_limits<float>::digits10)));
    }
}

void DDX_Text(CDataExchange* pDX, int id, std::wstring& value) {
    QWidget* w = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate)
        value = EditText(w).toStdWString();
    else
        SetEditText(w, QString::fromStdWString(value));
}

void DDX_Radio(CDataExchange* pDX, int firstId, int& value) {
    pDX->PrepareCtrl(firstId);
    std::vector<QWidget*> group = pDX->m_pDlgWnd->RadioGroup(firstId);
    if (pDX->m_bSaveAndValidate) {
        value = -1;
        for (std::size_t i = 0; i < group.size(); ++i)
            if (static_cast<QRadioButton*>(group[i])->isChecked()) value = static_cast<int>(i);
    } else {
        for (std::size_t i = 0; i < group.size(); ++i) {
            auto* r = static_cast<QRadioButton*>(group[i]);
            int rid = r->property(kIdProperty).toInt();
            pDX->m_pDlgWnd->CheckDlgButton(rid, static_cast<int>(i) == value ? 1 : 0);
        }
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->IsDlgButtonChecked(id);
    else
        pDX->m_pDlgWnd->CheckDlgButton(id, value);
}

void DDX_CBIndex(CDataExchange* pDX, int id, int& index) {
    auto* cb = qobject_cast<QComboBox*>(pDX->PrepareCtrl(id));
    if (!cb) return;
    if (pDX->m_bSaveAndValidate)
        index = cb->currentIndex();
    else
        cb->setCurrentIndex(index >= 0 && index < cb->count() ? index : -1);
}

void DDX_LBIndex(CDataExchange* pDX, int id, int& index) {
    auto* lb = qobject_cast<QListWidget*>(pDX->PrepareCtrl(id));
    if (!lb) return;
    CListBox box;
    box.Attach(lb);
    if (pDX->m_bSaveAndValidate)
        index = box.GetCurSel();
    else
        box.SetCurSel(index);
}

void DDX_Control(CDataExchange* pDX, int id, CListBox& control) {
    if (auto* lb = qobject_cast<QListWidget*>(pDX->PrepareCtrl(id))) control.Attach(lb);
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
    if (!pDX->m_bSaveAndValidate) return;  // initial values are the program's own
    if (value < minVal || value > maxVal) FailWith(pDX, AFX_IDP_PARSE_INT_RANGE, Num(minVal), Num(maxVal));
}

void DDV_MinMaxUInt(CDataExchange* pDX, unsigned value, unsigned minVal, unsigned maxVal) {
    if (!pDX->m_bSaveAndValidate) return;
    if (value < minVal || value > maxVal)
        FailWith(pDX, AFX_IDP_PARSE_INT_RANGE, std::to_wstring(minVal), std::to_wstring(maxVal));
}

void DDV_MinMaxDouble(CDataExchange* pDX, double value, double minVal, double maxVal) {
    if (!pDX->m_bSaveAndValidate) return;
    if (value < minVal || value > maxVal)
        FailWith(pDX, AFX_IDP_PARSE_REAL_RANGE, kv::FormatDoubleForEdit(minVal, std::numeric_limits<double>::digits10),
                 kv::FormatDoubleForEdit(maxVal, std::numeric_limits<double>::digits10));
}

void DDV_MinMaxFloat(CDataExchange* pDX, float value, float minVal, float maxVal) {
    if (!pDX->m_bSaveAndValidate) return;
    if (value < minVal || value > maxVal)
        FailWith(pDX, AFX_IDP_PARSE_REAL_RANGE, kv::FormatDoubleForEdit(minVal, std::numeric_limits<float>::digits10),
                 kv::FormatDoubleForEdit(maxVal, std::numeric_limits<float>::digits10));
}

void DDV_MaxChars(CDataExchange* pDX, const std::wstring& value, int nChars) {
    QWidget* w = pDX->m_pDlgWnd->GetDlgItem(pDX->m_idLastControl);
    if (!pDX->m_bSaveAndValidate) {
        // The edit takes no more than the member may hold.
        if (auto* e = qobject_cast<QLineEdit*>(w)) e->setMaxLength(nChars);
        return;
    }
    if (static_cast<int>(value.size()) > nChars) FailWith(pDX, AFX_IDP_PARSE_STRING_SIZE, Num(nChars));
}
