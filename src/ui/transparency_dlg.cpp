#include "ui/transparency_dlg.h"

#include <algorithm>
#include <iterator>

#include "platform/message.h"
#include "resources/dialogs_material.h"

CTransparencyDlg::CTransparencyDlg(QWidget* parent) : CDialog(IDD_TRANSPARENCY, parent) {}

CTransparencyDlg::~CTransparencyDlg() = default;

void CTransparencyDlg::DoDataExchange(CDataExchange* pDX) {
    for (int i = 0; i < 6; ++i) {
        DDX_CBIndex(pDX, IDC_TRANSP_ZOOM1 + i, m_nSettings[i]);
        DDV_MinMaxInt(pDX, m_nSettings[i], kNoChange, kRemove);
    }
    if (pDX->m_bSaveAndValidate &&
        std::all_of(std::begin(m_nSettings), std::end(m_nSettings), [](int s) { return s == kNoChange; })) {
        AfxMessageBox(L"You have not specified any changes!", MB_OK | MB_ICONEXCLAMATION);
        pDX->Fail();
    }
    DDX_CBIndex(pDX, IDC_TRANSP_DEPTHFUNC, m_nDepthFunc);
    DDV_MinMaxInt(pDX, m_nDepthFunc, 0, 1);
}
