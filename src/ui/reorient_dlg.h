#pragma once
// Re-Orientation Parameters: the direction and the quarter turns by which a
// twenty-view model's views are renumbered.

#include "platform/qt/dialog.h"

class CReorientDlg : public CDialog {
public:
    explicit CReorientDlg(QWidget* pParent = nullptr);
    ~CReorientDlg() override = default;

    void DoDataExchange(CDataExchange* pDX) override;
    // Reads the dialog back and closes it, then works out the number added
    // to every view's rotation.
    void OnOK() override;

    int m_nDirection = 0;  // 0 clockwise, 1 counterclockwise
    int m_nAngle = 0;      // 0 90°, 1 180°, 2 270°
    int m_nTurns = 0;      // out: 1 to 3
};
