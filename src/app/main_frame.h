#pragma once
// The main frame: menu bar, the standard toolbar, the status bar, user
// toolbars with their images, and the frame's own commands.

#include <string>
#include <vector>

#include "platform/qt/frames.h"

class CMainFrame : public CMDIFrameWndEx {
    Q_OBJECT
public:
    CMainFrame();

    bool LoadFrame(unsigned resourceId) override;
    int OnCreate() override;
    CMFCToolBar* OnToolbarCreateNew(const std::wstring& name) override;

    void OnViewCustomize();
    void OnWindowManager();

    CMFCMenuBar* m_menuBar = nullptr;
    CMFCToolBar* m_toolBar = nullptr;
    CMFCStatusBar* m_statusBar = nullptr;

    // Reads ".\UserImages.bmp" of the working folder into 16 x 16 images;
    // nothing when it is missing, too large or not a picture.
    static std::vector<QPixmap> LoadUserImages();
};
