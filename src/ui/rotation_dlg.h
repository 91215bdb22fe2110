#pragma once
// Rotation Parameters: the direction and the angle of a turn about the
// vertical axis, a quarter turn count or a free angle in degrees.

#include "platform/qt/dialog.h"

class CRotationDlg : public CDialog {
public:
    explicit CRotationDlg(QWidget* pParent = nullptr);
    ~CRotationDlg() override = default;

    void DoDataExchange(CDataExchange* pDX) override;
    void OnCtlColor(CCtlColor& ctl) override;
    // Reads the dialog back and closes it, then works out the turn the
    // rotate edit is given.
    void OnOK() override;
    // The free-angle edit and its note are usable only while Free is checked.
    void OnAngleClicked();

    int m_nDirection = 0;       // 0 clockwise, 1 counterclockwise
    int m_nAngle = 0;           // 0 90°, 1 180°, 2 270°, 3 free
    double m_dFreeAngle = 0.0;  // degrees
    int m_nTurns = 0;           // out: quarter turns, 0 for a free angle
    double m_dAngle = 0.0;      // out: the free angle, clockwise
};
