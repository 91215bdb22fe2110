#pragma once
// The About box, dialog 100.

#include "platform/qt/dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};
