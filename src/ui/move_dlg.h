#pragma once
// Coordinates' Offsets: how far to move the models, in metres, east, towards
// the prop arrow and up.

#include "platform/qt/dialog.h"

class CMoveOffsetDlg : public CDialog {
public:
    explicit CMoveOffsetDlg(QWidget* pParent = nullptr);
    ~CMoveOffsetDlg() override = default;

    void DoDataExchange(CDataExchange* pDX) override;
    void OnCtlColor(CCtlColor& ctl) override;

    float m_fOffsetX = 0.0f;  // east: the model's x in the frame of rotation 0
    float m_fOffsetY = 0.0f;  // towards the prop arrow: the model's z
    float m_fOffsetZ = 0.0f;  // up: the model's y
};
