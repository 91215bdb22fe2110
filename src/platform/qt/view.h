#pragma once
// A view as the frames see it: the document interface of the core, a command
// target, and the widget that shows it inside a child frame.

#include "platform/document.h"
#include "platform/qt/cmd_target.h"

class QWidget;
class CMDIChildWndEx;

class CWndView : public CView, public CCmdTarget {
public:
    ~CWndView() override;

    virtual QWidget* GetWidget() = 0;
    // Called once, after the view's frame is created and before it is shown.
    virtual void OnInitialUpdate() { OnUpdate(nullptr, 0, 0); }
    void OnTitleChanged() override;

    CMDIChildWndEx* GetParentFrame() const { return m_pFrame; }

private:
    friend class CMDIChildWndEx;
    CMDIChildWndEx* m_pFrame = nullptr;
};
