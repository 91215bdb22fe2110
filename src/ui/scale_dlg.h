#pragma once
// Scaling Parmeters: which coordinates to scale, and the factor as a fraction
// of two whole numbers or as a decimal number.

#include "platform/qt/dialog.h"

class CScalePercDlg : public CDialog {
public:
    explicit CScalePercDlg(QWidget* pParent = nullptr);
    ~CScalePercDlg() override = default;

    void DoDataExchange(CDataExchange* pDX) override;
    void OnCtlColor(CCtlColor& ctl) override;
    // Enables the controls of the chosen mode and disables the others.
    void UpdateControls();
    void OnModeClicked();

    double m_dFactor = 1.0;
    int m_nFactorType = 0;  // 0 fraction, 1 decimal factor
    int m_nNumerator = 1;
    int m_nDenominator = 1;
    int m_nScaleWhat = 0;   // item of the Scale what list, 0 to 4
};
