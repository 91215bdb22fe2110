#include "ui/rtexture_dlg.h"

#include <algorithm>

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

#include "platform/message.h"
#include "resources/dialogs_material.h"
#include "ui/ansi_fixed_font.h"

std::wstring g_strFindMask = L"0x????????";
std::wstring g_strReplaceMask = L"0x????????";

namespace {

constexpr int kMaskChars = 10;

bool IsMaskChar(wchar_t c) { return c == L'?' || c == L'#' || std::wstring_view(L"0123456789ABCDEFabcdef").find(c) != std::wstring_view::npos; }

// The rectangle inside an edit that its text is drawn in (the edit's
// formatting rectangle): the frame's contents less the edit's own margins.
QRect FormattingRect(QLineEdit* e) {
    QStyleOptionFrame opt;
    opt.initFrom(e);
    opt.rect = e->rect();
    opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
    opt.midLineWidth = 0;
    opt.state |= QStyle::State_Sunken;
    QRect r = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
    r = r.marginsRemoved(e->textMargins());
    // A line edit keeps two pixels free left and right and one above and below.
    return r.adjusted(2, 1, -2, -1);
}

}  // namespace

void DDV_IDMask(CDataExchange* pDX, std::wstring strMask, bool bReplace) {
    if (!pDX->m_bSaveAndValidate) return;
    if (strMask.size() == 8) strMask = L"0x" + strMask;
    // Every one of the eight must be a mask character: anything else would
    // never match in a find mask and would cut the built number short in a
    // replace mask, writing IDs nobody asked for.
    const bool valid = strMask.size() == kMaskChars && strMask[0] == L'0' && (strMask[1] == L'x' || strMask[1] == L'X') &&
                       std::all_of(strMask.begin() + 2, strMask.end(), IsMaskChar);
    if (!valid) {
        AfxMessageBox(L"Invalid ID Mask", MB_OK | MB_ICONEXCLAMATION);
        pDX->Fail();
    }
    if (bReplace && std::all_of(strMask.begin() + 2, strMask.end(), [](wchar_t c) { return c == L'?'; })) {
        AfxMessageBox(L"The Replace ID Mask must contain at least one character other than \"?\"", MB_OK | MB_ICONEXCLAMATION);
        pDX->Fail();
    }
}

std::wstring MaskDigits(const std::wstring& strMask) {
    return strMask.size() == kMaskChars ? strMask.substr(2) : strMask;
}

CRTextureDialog::CRTextureDialog(QWidget* parent) : CDialog(IDD_RTEXTURE, parent) {}

CRTextureDialog::~CRTextureDialog() = default;

void CRTextureDialog::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_RTEX_FIND, m_strFind);
    DDV_MaxChars(pDX, m_strFind, kMaskChars);
    DDV_IDMask(pDX, m_strFind, false);
    DDX_Text(pDX, IDC_RTEX_REPLACE, m_strReplace);
    DDV_MaxChars(pDX, m_strReplace, kMaskChars);
    DDV_IDMask(pDX, m_strReplace, true);
}

bool CRTextureDialog::OnInitDialog() {
    m_strFind = g_strFindMask;
    m_strReplace = g_strReplaceMask;
    CDialog::OnInitDialog();

    // Both fields show exactly ten characters ("0x" and the eight) of the
    // fixed-pitch font: the text's size plus what the edit keeps around it.
    const QFont& font = AnsiFixedFont();
    const QSize text = QFontMetrics(font).size(0, QStringLiteral("1234567890"));
    auto* find = GetDlgItemAs<QLineEdit>(IDC_RTEX_FIND);
    auto* replace = GetDlgItemAs<QLineEdit>(IDC_RTEX_REPLACE);
    if (find && replace) {
        const QRect fmt = FormattingRect(find);
        // Two pixels more, so that the caret after the last character does
        // not cover it.
        const QSize size(text.width() + find->width() - fmt.width() + 2, text.height() + find->height() - fmt.height());
        find->resize(size);
        replace->resize(size);
        find->setFont(font);
        replace->setFont(font);
    }
    return true;
}

void CRTextureDialog::OnOK() {
    CDialog::OnOK();
    // Remembered whether or not the exchange succeeded: a refused text comes
    // back next time for the user to mend.
    g_strFindMask = m_strFind;
    g_strReplaceMask = m_strReplace;
}

void CRTextureDialog::OnCtlColor(CCtlColor& c) {
    if (c.id == IDC_RTEX_FIND_HINT || c.id == IDC_RTEX_REPLACE_HINT) c.SetTextColor(RGB(128, 0, 0));
}
