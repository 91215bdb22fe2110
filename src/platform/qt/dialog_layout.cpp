// Dialog layout and control building: the dialog font and its base units,
// dialog units to pixels, and the controls of a template made as Qt widgets,
// each at its place, in tab order, with the template's states and colours.

#include "platform/qt/dialog.h"

#include <cmath>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShortcutEvent>
#include <QStyle>

#include "platform/qt/dialog_internal.h"
#include "platform/qt/frames.h"
#include "platform/qt/images.h"
#include "platform/qt/winapp.h"

using kv::dlg::Focusable;
using kv::dlg::kGroupStartProperty;
using kv::dlg::kIdProperty;
using kv::dlg::kSilentProperty;
using kv::dlg::Q;

namespace {

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

}  // namespace

namespace kv {

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

}  // namespace kv

QRect CDialog::MapDialogRect(const QRect& r) const {
    auto mx = [&](int v) { return static_cast<int>(std::lround(v * m_baseUnits.width() / 4.0)); };
    auto my = [&](int v) { return static_cast<int>(std::lround(v * m_baseUnits.height() / 8.0)); };
    return QRect(mx(r.x()), my(r.y()), mx(r.width()), my(r.height()));
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

