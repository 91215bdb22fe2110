#include "ui/reorient_dlg.h"

#include "resources/dialogs_geometry.h"

CReorientDlg::CReorientDlg(QWidget* pParent) : CDialog(IDD_REORIENT, pParent) {}

void CReorientDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Radio(pDX, IDC_ROTATE_CLOCKWISE, m_nDirection);
    DDV_MinMaxInt(pDX, m_nDirection, 0, 1);
    DDX_Radio(pDX, IDC_ROTATE_90, m_nAngle);
    DDV_MinMaxInt(pDX, m_nAngle, 0, 2);
}

void CReorientDlg::OnOK() {
    CDialog::OnOK();
    // The entry of rotation r holds the model turned r quarter turns, so
    // adding 3 to every view's rotation turns the model one quarter turn
    // clockwise.
    m_nTurns = m_nDirection == 0 ? 3 - m_nAngle : m_nAngle + 1;
}
