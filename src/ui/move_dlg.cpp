#include "ui/move_dlg.h"

#include "platform/message.h"
#include "resources/dialogs_geometry.h"

CMoveOffsetDlg::CMoveOffsetDlg(QWidget* pParent) : CDialog(IDD_MOVEOFFSET, pParent) {}

void CMoveOffsetDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_MOVE_X, m_fOffsetX);
    DDV_MinMaxFloat(pDX, m_fOffsetX, -4000.f, 4000.f);
    DDX_Text(pDX, IDC_MOVE_Y, m_fOffsetY);
    DDV_MinMaxFloat(pDX, m_fOffsetY, -4000.f, 4000.f);
    DDX_Text(pDX, IDC_MOVE_Z, m_fOffsetZ);
    DDV_MinMaxFloat(pDX, m_fOffsetZ, -4000.f, 4000.f);
    if (pDX->m_bSaveAndValidate && m_fOffsetX == 0.0f && m_fOffsetY == 0.0f && m_fOffsetZ == 0.0f) {
        AfxMessageBox(L"You have not specified any changes!", MB_OK | MB_ICONEXCLAMATION);
        pDX->Fail();
    }
}

void CMoveOffsetDlg::OnCtlColor(CCtlColor& ctl) {
    if (ctl.id == IDC_MOVE_X_NOTE || ctl.id == IDC_MOVE_Y_NOTE || ctl.id == IDC_MOVE_Z_NOTE)
        ctl.SetTextColor(RGB(128, 0, 0));
}
