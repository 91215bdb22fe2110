#include "ui/measure_dlg.h"

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <vector>

#include <QLineEdit>

#include "platform/message.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/strings.h"
#include "resources/dialogs_geometry.h"

namespace {

// "%.6f" of any double: the buffer is sized from the text itself, since a
// large value has hundreds of digits before the point.
std::wstring Fixed6(double value) {
    int n = std::snprintf(nullptr, 0, "%.6f", value);
    if (n <= 0) return {};
    std::vector<char> buf(static_cast<std::size_t>(n) + 1);
    std::snprintf(buf.data(), buf.size(), "%.6f", value);
    return std::wstring(buf.begin(), buf.begin() + n);
}

}  // namespace

void DDX_TextDouble6(CDataExchange* pDX, int nIDC, double& value) {
    // The edit's text is taken at most this long, as it always was.
    constexpr std::size_t kMaxText = 399;
    QWidget* w = pDX->PrepareEditCtrl(nIDC);
    auto* edit = qobject_cast<QLineEdit*>(w);
    if (pDX->m_bSaveAndValidate) {
        std::wstring text = edit ? edit->text().toStdWString() : std::wstring();
        if (text.size() > kMaxText) text.resize(kMaxText);
        double v = 0.0;
        // A text that reads as infinity or not-a-number would slip past every
        // range check, so it counts as no number at all.
        if (std::swscanf(text.c_str(), L"%lf", &v) != 1 || !std::isfinite(v)) {
            AfxMessageBox(kv::LoadStringW(AFX_IDP_PARSE_REAL), MB_OK | MB_ICONEXCLAMATION);
            pDX->Fail();
        }
        value = v;
    } else {
        std::wstring text = Fixed6(value);
        if (text.size() > kMaxText) text.resize(kMaxText);
        if (edit) edit->setText(QString::fromStdWString(text));
    }
}

CMeasureDlg::CMeasureDlg(QWidget* pParent) : CDialog(IDD_MEASURE, pParent) {}

int CMeasureDlg::DoModal() {
    m_strOccupant = Fixed6(m_dWidth) + L"," + Fixed6(m_dHeight) + L"," + Fixed6(m_dDepth);
    return CDialog::DoModal();
}

void CMeasureDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_TextDouble6(pDX, IDC_MEASURE_WIDTH, m_dWidth);
    DDV_MinMaxDouble(pDX, m_dWidth, 0., 1000.);
    DDX_TextDouble6(pDX, IDC_MEASURE_DEPTH, m_dDepth);
    DDV_MinMaxDouble(pDX, m_dDepth, 0., 1000.);
    DDX_TextDouble6(pDX, IDC_MEASURE_HEIGHT, m_dHeight);
    DDV_MinMaxDouble(pDX, m_dHeight, 0., 1000.);
    DDX_Text(pDX, IDC_MEASURE_OCCUPANT, m_strOccupant);
    DDX_TextDouble6(pDX, IDC_MEASURE_FROMX, m_dFromX);
    DDX_TextDouble6(pDX, IDC_MEASURE_TOX, m_dToX);
    DDX_TextDouble6(pDX, IDC_MEASURE_FROMY, m_dFromY);
    DDX_TextDouble6(pDX, IDC_MEASURE_TOY, m_dToY);
    DDX_TextDouble6(pDX, IDC_MEASURE_FROMZ, m_dFromZ);
    DDX_TextDouble6(pDX, IDC_MEASURE_TOZ, m_dToZ);
}
