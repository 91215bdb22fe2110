#pragma once
// Transparency Settings: for each of the five zoom levels of twenty-view
// models and for single-view models, whether to set transparency, remove it
// or leave it, and the depth function that transparent materials get.

#include "platform/qt/dialog.h"

class CTransparencyDlg : public CDialog {
public:
    // Values of the setting lists.
    enum : int { kNoChange = 0, kSet = 1, kRemove = 2 };
    // Entry of m_nSettings for single-view models; 0 to 4 are the zoom levels.
    static constexpr int k1ZR = 5;

    explicit CTransparencyDlg(QWidget* parent = nullptr);
    ~CTransparencyDlg() override;

    void DoDataExchange(CDataExchange* pDX) override;

    int m_nSettings[6] = {};  // zoom levels 1 to 5 of 20-Z/R models, then 1-Z/R models
    int m_nDepthFunc = 0;     // 0 less than or equal (default), 1 less than
};
