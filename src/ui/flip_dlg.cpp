#include "ui/flip_dlg.h"

#include "resources/dialogs_geometry.h"

CFlipModelDlg::CFlipModelDlg(QWidget* pParent) : CDialog(IDD_FLIPMODEL, pParent) {
    for (int id : {IDC_FLIP_FLIP, IDC_FLIP_MIRROR, IDC_FLIP_INVERT})
        MapNotify(id, Notify::Clicked, [this] { OnModeClicked(); });
}

void CFlipModelDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Radio(pDX, IDC_FLIP_FLIP, m_nMode);
    DDV_MinMaxInt(pDX, m_nMode, 0, 2);
    DDX_Check(pDX, IDC_FLIP_REVERSE, m_bReverseTriangles);
}

bool CFlipModelDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    UpdateControls();
    return true;
}

void CFlipModelDlg::OnCtlColor(CCtlColor& ctl) {
    if (ctl.id == IDC_FLIP_FLIP_NOTE || ctl.id == IDC_FLIP_MIRROR_NOTE || ctl.id == IDC_FLIP_INVERT_NOTE)
        ctl.SetTextColor(RGB(128, 0, 0));
}

void CFlipModelDlg::UpdateControls() {
    const bool flip = IsDlgButtonChecked(IDC_FLIP_FLIP) != 0;
    const bool mirror = IsDlgButtonChecked(IDC_FLIP_MIRROR) != 0;
    const bool invert = IsDlgButtonChecked(IDC_FLIP_INVERT) != 0;
    EnableDlgItem(IDC_FLIP_FLIP_NOTE, flip);
    EnableDlgItem(IDC_FLIP_FLIP_ICON, flip);
    EnableDlgItem(IDC_FLIP_MIRROR_NOTE, mirror);
    EnableDlgItem(IDC_FLIP_MIRROR_ICON, mirror);
    EnableDlgItem(IDC_FLIP_INVERT_NOTE, invert);
    EnableDlgItem(IDC_FLIP_INVERT_ICON, invert);
}

void CFlipModelDlg::OnModeClicked() { UpdateControls(); }
