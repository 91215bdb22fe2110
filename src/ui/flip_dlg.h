#pragma once
// Flip/Mirror Options: which coordinate to negate (Flip z, Mirror x, Invert
// y) and whether the triangles' drawing direction is reversed with it.

#include "platform/qt/dialog.h"

class CFlipModelDlg : public CDialog {
public:
    explicit CFlipModelDlg(QWidget* pParent = nullptr);
    ~CFlipModelDlg() override = default;

    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnCtlColor(CCtlColor& ctl) override;
    // Only the picture and caption of the checked mode are enabled.
    void UpdateControls();
    void OnModeClicked();

    int m_nMode = 0;                // 0 Flip, 1 Mirror, 2 Invert: the flip edit's mode
    int m_bReverseTriangles = 1;
};
