#pragma once
// Model Dimensions: the read-only result of the Measure command. Every field
// shows six decimals; the Resize buttons are there but hidden and do nothing.

#include <string>

#include "platform/qt/dialog.h"

// Exchanges a double with an edit control as "%.6f". Reading back takes the
// first number of the text ("%lf"; whatever follows it is ignored) and
// refuses a text without one with the framework's "Enter a number.".
void DDX_TextDouble6(CDataExchange* pDX, int nIDC, double& value);

class CMeasureDlg : public CDialog {
public:
    explicit CMeasureDlg(QWidget* pParent = nullptr);
    ~CMeasureDlg() override = default;

    // Builds the occupant size from the three extents, then runs the dialog.
    int DoModal() override;
    void DoDataExchange(CDataExchange* pDX) override;

    double m_dWidth = 0.0;
    double m_dDepth = 0.0;
    double m_dHeight = 0.0;
    std::wstring m_strOccupant;
    double m_dFromX = 0.0;
    double m_dToX = 0.0;
    double m_dFromY = 0.0;
    double m_dToY = 0.0;
    double m_dFromZ = 0.0;
    double m_dToZ = 0.0;
};
