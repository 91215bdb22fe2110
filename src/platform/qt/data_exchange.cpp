// Data exchange between a dialog's members and its controls, with the
// framework's validation and refusal messages; the number parsers and texts
// it shares with dialogs of their own forms; and the list box that
// DDX_Control binds.

#include "platform/qt/dialog.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "platform/message.h"
#include "platform/qt/dialog_internal.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/strings.h"

using kv::dlg::kIdProperty;
using kv::dlg::kSilentProperty;
using kv::dlg::Q;

namespace kv {

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
