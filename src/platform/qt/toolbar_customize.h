#pragma once
// The toolbar customisation dialog: shows and hides toolbars, creates,
// renames and deletes user toolbars (as many as the frame reserved), and adds
// and removes command buttons. It is modeless and deletes itself when closed.

#include <string>

#include <QDialog>
#include <QPointer>

#include "platform/qt/dialog.h"

class QComboBox;
class QListWidget;
class QPushButton;
class CMDIFrameWndEx;
class CMFCToolBar;

// Asks for a toolbar's name.
class CToolbarNameDlg : public CDialog {
public:
    explicit CToolbarNameDlg(std::wstring name, QWidget* parent = nullptr);
    void DoDataExchange(CDataExchange* pDX) override;
    std::wstring m_strName;
};

class CToolbarCustomizeDialog : public QDialog {
    Q_OBJECT
public:
    explicit CToolbarCustomizeDialog(CMDIFrameWndEx* frame);

    CMFCToolBar* SelectedToolbar() const;
    void SelectToolbar(const CMFCToolBar* toolbar);
    int SelectedButton() const;
    void SelectButton(int index);

    // The dialog's operations, as its buttons run them.
    CMFCToolBar* NewToolbar();
    bool RenameToolbar();
    bool DeleteToolbar();
    bool AddCommand(unsigned command);
    bool AddSeparator();
    bool RemoveButton();
    bool MoveButton(int delta);
    bool SetButtonImage(int userImage);

private:
    void FillToolbars();
    void FillButtons();
    void UpdateButtons();

    QPointer<CMDIFrameWndEx> m_pFrame;
    QListWidget* m_pToolbars;
    QListWidget* m_pButtons;
    QListWidget* m_pCommands;
    QPushButton* m_pNew;
    QPushButton* m_pRename;
    QPushButton* m_pDelete;
    QPushButton* m_pAdd;
    QPushButton* m_pAddSeparator;
    QPushButton* m_pRemove;
    QPushButton* m_pUp;
    QPushButton* m_pDown;
    QComboBox* m_pImage;
    bool m_bFilling = false;
};
