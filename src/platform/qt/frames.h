#pragma once
// The frames: the main MDI frame over a QMdiArea with its menu bar, toolbars
// and status bar, and the child frames that hold one view each. The menu bar
// shows the menus of the active child's template (the frame's own with no
// child), the Window menu lists the children, and every command goes along
// the chain of command targets. The definitions sit by concern: frames.cpp
// (frames, status bar), frame_menus.cpp (menus, accelerators, command
// routing), toolbars.cpp (toolbars, pane menu, workspace), recent_file_menu.cpp.

#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QDialog>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <QStatusBar>
#include <QToolBar>

#include "platform/qt/cmd_target.h"
#include "platform/qt/resources.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QMenuBar;
class QSettings;
class QToolButton;
class CDocTemplate;
class CDocument;
class CWndView;
class CMDIFrameWndEx;

class CMDIChildWndEx : public QMdiSubWindow, public CCmdTarget {
    Q_OBJECT
public:
    CMDIChildWndEx();
    ~CMDIChildWndEx() override;

    // Puts `view` into the frame; the frame owns its widget from now on.
    void SetView(CWndView* view, CDocTemplate* tmpl);
    CWndView* GetActiveView() const { return m_pView; }
    CDocument* GetActiveDocument() const;
    CDocTemplate* GetTemplate() const { return m_pTemplate; }

    // The caption: the document's title, numbered when the document has
    // more than one window.
    void OnUpdateFrameTitle();
    int m_nWindow = 0;

    // The buttons of a maximised window, shown in the frame's menu bar.
    // A maximised window is minimised by way of its normal state: the
    // toolkit cannot lay out a window without a caption as an icon.
    void OnSysMinimize() {
        if (isMaximized()) showNormal();
        showMinimized();
    }
    void OnSysRestore() { showNormal(); }
    void OnSysClose() { close(); }

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CWndView* m_pView = nullptr;
    CDocTemplate* m_pTemplate = nullptr;
};

class CMFCMenuBar : public QToolBar {
    Q_OBJECT
public:
    CMFCMenuBar();
    QMenuBar* GetMenuBar() const { return m_pMenuBar; }

private:
    QMenuBar* m_pMenuBar;
};

// A toolbar of command buttons. Each button shows the command's image from the
// toolbar bitmap, or a user image, or the command's name when it has neither.
class CMFCToolBar : public QToolBar {
    Q_OBJECT
public:
    struct Button {
        unsigned command = 0;  // 0: a separator
        int userImage = -1;    // index into the frame's user images, -1 for the command's own
    };

    CMFCToolBar();
    bool CreateEx(CMDIFrameWndEx* frame, unsigned id);
    bool LoadToolBar(unsigned resourceId);
    void SetWindowText(const std::wstring& title);
    std::wstring GetWindowText() const;
    // The drop-down at the end of the toolbar with the customise command.
    void EnableCustomizeButton(bool enable, unsigned command, const std::wstring& label);
    bool HasCustomizeButton() const { return m_nCustomizeCmd != 0; }
    unsigned GetID() const { return m_nID; }
    bool IsUserDefined() const;
    unsigned GetBitmapID() const { return m_nBitmapID; }

    const std::vector<Button>& GetButtons() const { return m_buttons; }
    void SetButtons(std::vector<Button> buttons);
    void RebuildButtons();

private:
    CMDIFrameWndEx* m_pFrame = nullptr;
    unsigned m_nID = 0;
    unsigned m_nBitmapID = 0;
    std::vector<Button> m_buttons;
    unsigned m_nCustomizeCmd = 0;
    std::wstring m_strCustomizeLabel;
    QToolButton* m_pCustomizeButton = nullptr;
};

class CMFCStatusBar : public QStatusBar {
    Q_OBJECT
public:
    CMFCStatusBar();
    bool Create(CMDIFrameWndEx* frame, unsigned id);
    // ID_SEPARATOR is the message pane; every other id a fixed pane with its string.
    bool SetIndicators(const unsigned* ids, int count);
    QLabel* GetPane(unsigned id) const;
    QLabel* GetMessagePane() const { return m_pMessage; }

private:
    QLabel* m_pMessage = nullptr;
    std::map<unsigned, QLabel*> m_panes;
};

class CMDIFrameWndEx : public QMainWindow, public CCmdTarget {
    Q_OBJECT
public:
    CMDIFrameWndEx();
    ~CMDIFrameWndEx() override;

    // Creates the frame's panes (OnCreate), then restores the saved
    // workspace. False when OnCreate fails.
    virtual bool LoadFrame(unsigned resourceId);
    // The frame's creation step; -1 fails the load.
    virtual int OnCreate();

    QMdiArea* GetMdiArea() const { return m_pMdiArea; }
    CMDIChildWndEx* MDIGetActive() const;
    std::vector<CMDIChildWndEx*> GetChildFrames() const;
    void AddChildFrame(CMDIChildWndEx* child);
    void MDIActivate(CMDIChildWndEx* child);

    // The command chain: active view, its document, the child frame, this frame, the application.
    bool RouteCommand(unsigned id, CCmdUI* update);
    // Runs `id` if the chain enables it; true when something ran.
    bool SendCommand(unsigned id);
    // Brings every menu entry and toolbar button up to date (at once, or soon).
    void UpdateCommandUI();
    void RequestCommandUpdate();

    // The one action of a command id: its prompt, tooltip and image come from
    // the string table and the toolbar bitmap.
    QAction* GetCommandAction(unsigned id);
    QMenu* BuildPopup(const kv::MenuItem& popup, QWidget* parent);
    // The menus of menu resource `id` (built on first use).
    const std::vector<QMenu*>& GetMenus(unsigned id);
    unsigned GetShownMenu() const { return m_nShownMenu; }
    QMenuBar* GetMenuBarWidget() const;
    void LoadAccelTable(unsigned id);

    // The frame's title, with the active document's title after it.
    void OnUpdateFrameTitle();
    // A child was maximised, restored or minimised.
    void OnChildStateChanged();
    void UpdateRecentFileMenu();

    // Toolbars
    std::vector<CMFCToolBar*> GetToolbars() const;
    std::vector<CMFCToolBar*> GetUserToolbars() const;
    CMFCToolBar* GetUserToolbar(int index) const;  // index 0..9
    void InitUserToolbars(unsigned firstId, unsigned lastId);
    bool CanCreateUserToolbar() const;
    // The frame's handler of a request for a new user toolbar (the base creates it).
    virtual CMFCToolBar* OnToolbarCreateNew(const std::wstring& name);
    virtual bool OnToolbarDelete(CMFCToolBar* toolbar);
    const std::vector<QPixmap>& GetUserImages() const { return m_userImages; }
    bool HasUserImages() const { return !m_userImages.empty(); }
    void SetUserImages(std::vector<QPixmap> images) { m_userImages = std::move(images); }
    // The frame's pane menu: the toolbars with check marks, then the customise entry.
    void EnablePaneMenu(bool enable, unsigned customizeCmd, const std::wstring& label, unsigned viewToolbarsPlaceholder);
    QMenu* BuildPaneMenu(QWidget* parent);
    // The Window menu's entry for the windows dialog.
    void EnableWindowsDialog(unsigned command, const std::wstring& label);
    void ShowWindowsDialog();
    // Opens the customisation dialog (modeless; it deletes itself when closed).
    void ShowCustomizeDialog();
    QDialog* GetCustomizeDialog() const { return m_pCustomizeDlg; }

    // The commands the customisation dialog offers: id and name.
    std::vector<std::pair<unsigned, QString>> GetCommandList();
    bool IsKnownCommand(unsigned id) const;

    // Workspace state, under the application's settings.
    void SaveWorkspace();
    void LoadWorkspace();

    bool OnClose();

    // Caption of the frame (string 128 in the program).
    std::wstring m_strTitle;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QMenu* createPopupMenu() override;

    void OnActiveChildChanged();
    void PlaceChildFrame(CMDIChildWndEx* child, int n);
    void TileHorizontally();
    // Horizontally: the windows one above the other; else side by side.
    void Tile(bool horizontally);
    // The maximised child's system menu and buttons in the menu bar's corners.
    void UpdateMenuBarControls();
    void ShowMenu(unsigned id);
    void FillWindowMenu(QMenu* menu);
    void FillPaneMenu(QMenu* menu);
    CMFCToolBar* CreateUserToolbar(unsigned id, const std::wstring& name);
    void OnHelp();
    void OnWindowNew();

    unsigned m_nIDResource = 0;
    QMdiArea* m_pMdiArea;
    std::map<unsigned, QPointer<QAction>> m_actions;
    std::map<unsigned, std::vector<QMenu*>> m_menus;
    std::set<QMenu*> m_windowMenus;
    std::set<QMenu*> m_paneMenuHosts;
    unsigned m_nShownMenu = 0;
    QPointer<CMFCMenuBar> m_pMenuBarPane;
    std::vector<QPointer<QAction>> m_mruActions;
    unsigned m_nUserToolbarFirst = 0, m_nUserToolbarLast = 0;
    std::vector<QPixmap> m_userImages;
    bool m_bPaneMenu = false;
    unsigned m_nCustomizeCmd = 0;
    std::wstring m_strCustomizeLabel;
    unsigned m_nViewToolbarsPlaceholder = 0;
    unsigned m_nWindowsDialogCmd = 0;
    std::wstring m_strWindowsDialogLabel;
    QPointer<QDialog> m_pCustomizeDlg;
    bool m_bUpdatePending = false;
    bool m_bClosing = false;
    QPointer<QToolButton> m_pChildMenuButton;
    QPointer<QWidget> m_pChildButtons;
    // Windows added while the frame was hidden, with their creation numbers.
    std::vector<std::pair<QPointer<CMDIChildWndEx>, int>> m_unplaced;
};

// Lets the customisation dialog and the state code find the frame of a toolbar.
CMDIFrameWndEx* FrameOfToolbar(const CMFCToolBar* toolbar);

namespace kv {
// The document's own commands (Save, Save As, Close): true when `id` is one.
bool RouteDocumentCommand(CDocument* doc, unsigned id, CCmdUI* update);
}  // namespace kv
