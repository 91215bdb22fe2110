#include "ui/rotation_dlg.h"

#include "resources/dialogs_geometry.h"

CRotationDlg::CRotationDlg(QWidget* pParent) : CDialog(IDD_ROTATION, pParent) {
    for (int id : {IDC_ROTATE_90, IDC_ROTATE_180, IDC_ROTATE_270, IDC_ROTATE_FREE})
        MapNotify(id, Notify::Clicked, [this] { OnAngleClicked(); });
}

void CRotationDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Radio(pDX, IDC_ROTATE_CLOCKWISE, m_nDirection);
    DDV_MinMaxInt(pDX, m_nDirection, 0, 1);
    DDX_Radio(pDX, IDC_ROTATE_90, m_nAngle);
    DDV_MinMaxInt(pDX, m_nAngle, 0, 3);
    // The edit is read whatever angle is picked, so text in it that is not a
    // number blocks OK even while it is disabled.
    DDX_Text(pDX, IDC_ROTATE_FREEANGLE, m_dFreeAngle);
    if (m_nAngle == 3) DDV_MinMaxDouble(pDX, m_dFreeAngle, 0.01, 359.99);
}

void CRotationDlg::OnCtlColor(CCtlColor& ctl) {
    if (ctl.id == IDC_ROTATE_FREE_NOTE) ctl.SetTextColor(RGB(128, 0, 0));
}

void CRotationDlg::OnOK() {
    CDialog::OnOK();
    const bool clockwise = m_nDirection == 0;
    if (m_nAngle == 3) {
        m_nTurns = 0;
        m_dAngle = clockwise ? m_dFreeAngle : 360.0 - m_dFreeAngle;
    } else {
        m_nTurns = clockwise ? m_nAngle + 1 : 3 - m_nAngle;
    }
}

void CRotationDlg::OnAngleClicked() {
    const bool free = IsDlgButtonChecked(IDC_ROTATE_FREE) != 0;
    EnableDlgItem(IDC_ROTATE_FREEANGLE, free);
    EnableDlgItem(IDC_ROTATE_FREE_NOTE, free);
}
