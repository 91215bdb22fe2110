#include "ui/scale_dlg.h"

#include "platform/message.h"
#include "resources/dialogs_geometry.h"

CScalePercDlg::CScalePercDlg(QWidget* pParent) : CDialog(IDD_SCALEPERC, pParent) {
    MapNotify(IDC_SCALE_FRACTION, Notify::Clicked, [this] { OnModeClicked(); });
    MapNotify(IDC_SCALE_DECIMAL, Notify::Clicked, [this] { OnModeClicked(); });
}

void CScalePercDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_CBIndex(pDX, IDC_SCALE_WHAT, m_nScaleWhat);
    DDV_MinMaxInt(pDX, m_nScaleWhat, 0, 4);
    DDX_Radio(pDX, IDC_SCALE_FRACTION, m_nFactorType);
    const bool fraction = m_nFactorType == 0;
    // All three numbers are read in either mode; only the mode's own are checked.
    DDX_Text(pDX, IDC_SCALE_FACTOR, m_dFactor);
    if (!fraction) {
        DDV_MinMaxDouble(pDX, m_dFactor, 0.01, 10.);
        if (pDX->m_bSaveAndValidate && m_dFactor == 1.0) {
            AfxMessageBox(L"Can't scale by a factor of 1!", MB_OK | MB_ICONEXCLAMATION);
            pDX->Fail();
        }
    }
    DDX_Text(pDX, IDC_SCALE_NUMERATOR, m_nNumerator);
    if (fraction) DDV_MinMaxInt(pDX, m_nNumerator, 1, 100);
    DDX_Text(pDX, IDC_SCALE_DENOMINATOR, m_nDenominator);
    if (fraction) {
        DDV_MinMaxInt(pDX, m_nDenominator, 1, 100);
        if (pDX->m_bSaveAndValidate && m_nNumerator == m_nDenominator) {
            AfxMessageBox(L"Nominator and denominator are the same!", MB_OK | MB_ICONEXCLAMATION);
            pDX->Fail();
        }
    }
}

void CScalePercDlg::OnCtlColor(CCtlColor& ctl) {
    if (ctl.id == IDC_SCALE_FRACTION_NOTE || ctl.id == IDC_SCALE_FACTOR_NOTE) ctl.SetTextColor(RGB(128, 0, 0));
}

void CScalePercDlg::UpdateControls() {
    const bool fraction = IsDlgButtonChecked(IDC_SCALE_FRACTION) != 0;
    for (int id : {IDC_SCALE_NUMERATOR_LABEL, IDC_SCALE_DENOMINATOR_LABEL, IDC_SCALE_FRACTION_NOTE, IDC_SCALE_NUMERATOR,
                   IDC_SCALE_DENOMINATOR})
        EnableDlgItem(id, fraction);
    for (int id : {IDC_SCALE_FACTOR_LABEL, IDC_SCALE_FACTOR_NOTE, IDC_SCALE_FACTOR}) EnableDlgItem(id, !fraction);
}

void CScalePercDlg::OnModeClicked() { UpdateControls(); }
