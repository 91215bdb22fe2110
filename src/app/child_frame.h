#pragma once
// The frame of every archive and report window: a plain MDI child.

#include "platform/qt/frames.h"

class CChildFrame : public CMDIChildWndEx {
    Q_OBJECT
public:
    CChildFrame() = default;
};
