#pragma once
// Dialogs built from a resource table: the controls are placed at their
// dialog-unit positions (converted with the metrics of the dialog's font),
// found by their ids, and filled and read back through data exchange. Every
// modal dialog of the program runs through RunModal, so that a test can fill
// a dialog and press its buttons without a modal loop. A dialog is owned by
// the main window (or the window of the parent it is given) and opens
// centred over it; at the start the focus goes to the first tab stop, an
// edit with its text selected, and Enter presses the default button even
// when it is hidden.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>
#include <QListWidget>
#include <QPointer>
#include <QRect>

#include "platform/qt/cmd_target.h"
#include "platform/qt/resources.h"

class QFont;
class QListWidget;
class CDialog;

using COLORREF = std::uint32_t;
constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>(r & 0xFF) | (static_cast<COLORREF>(g & 0xFF) << 8) |
           (static_cast<COLORREF>(b & 0xFF) << 16);
}

namespace kv {

// Runs a modal dialog: the installed hook when there is one, else the dialog's
// own modal loop. The hook answers with the dialog's result.
using ModalHook = std::function<int(QDialog& dialog)>;
ModalHook SetModalHook(ModalHook hook);
int RunModal(QDialog& dialog);

// The horizontal and vertical base units of a dialog font (a dialog unit is a
// quarter of the first and an eighth of the second).
QSize DialogBaseUnits(const QFont& font);
QFont DialogFont(const std::wstring& name, int pointSize);

}  // namespace kv

// Notifications a dialog's message map can name.
enum class Notify { Clicked, SelChange, Change };

// What OnCtlColor is asked for one control as the dialog builds it.
struct CCtlColor {
    int id = -1;
    kv::Ctl kind = kv::Ctl::Static;
    std::optional<COLORREF> textColor;
    void SetTextColor(COLORREF c) { textColor = c; }
};

// A list box bound to its control by DDX_Control.
class CListBox {
public:
    int AddString(const std::wstring& text);
    int GetCount() const;
    int GetCurSel() const;  // -1 when nothing is selected
    void SetCurSel(int index);  // sends no selection-change notification
    void SetItemData(int index, std::intptr_t data);
    std::intptr_t GetItemData(int index) const;
    std::wstring GetText(int index) const;
    void ResetContent();
    void SetFont(const QFont& font);
    QListWidget* GetControl() const { return m_pList; }
    void Attach(QListWidget* list) { m_pList = list; }

private:
    QPointer<QListWidget> m_pList;
};

class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    // Remembers the control that a failure puts the focus back into.
    QWidget* PrepareCtrl(int id);
    QWidget* PrepareEditCtrl(int id);
    // Ends the exchange as failed: the focus goes to the last prepared control.
    [[noreturn]] void Fail();

    bool m_bSaveAndValidate;
    CDialog* m_pDlgWnd;
    int m_idLastControl = -1;
    bool m_bEditLastControl = false;
};

// The exception Fail throws; UpdateData catches it.
struct CDataExchangeFailure {};

class CDialog : public CCmdTarget {
public:
    CDialog(unsigned templateId, QWidget* parent = nullptr);
    ~CDialog() override;

    // Builds the window, runs OnInitDialog and the modal loop; IDOK or IDCANCEL
    // (or whatever EndDialog was given).
    virtual int DoModal();
    // Builds a modeless window and shows it.
    bool Create(QWidget* parent = nullptr);

    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnCtlColor(CCtlColor&) {}

    // Fills the controls (false) or reads and validates them (true).
    bool UpdateData(bool saveAndValidate = true);
    void EndDialog(int result);

    QDialog* GetWindow() const { return m_pWnd; }
    QWidget* GetDlgItem(int id) const;
    template <typename W>
    W* GetDlgItemAs(int id) const {
        return qobject_cast<W*>(GetDlgItem(id));
    }
    std::wstring GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const std::wstring& text);
    int IsDlgButtonChecked(int id) const;
    void CheckDlgButton(int id, int check);
    void EnableDlgItem(int id, bool enable);
    // The radio buttons of the group that starts at `firstId`, in order.
    std::vector<QWidget*> RadioGroup(int firstId) const;
    // Dialog units to pixels of this dialog.
    QRect MapDialogRect(const QRect& dlu) const;
    const kv::DialogTemplate& Template() const { return m_template; }
    int GetResult() const { return m_nResult; }

    // The dialog that built `window`, if any.
    static CDialog* FromWindow(QDialog* window);

    // The control that takes the focus when the dialog opens: the first tab
    // stop in template order that shows and is enabled (an automatic radio
    // button while it is checked); nullptr when there is none.
    QWidget* FirstTabStop() const;
    // The control a mnemonic on a group box moves to: the first tab stop after
    // it in template order that shows and is enabled.
    QWidget* ControlAfter(QWidget* label) const;

protected:
    // Message-map entries for the dialog's controls.
    void MapNotify(int id, Notify code, std::function<void()> handler);

private:
    friend class CDialogWindow;
    void Build(QWidget* parent);
    void OnControlCommand(int id, Notify code);
    // After OnInitDialog asked for it: the focus to the first tab stop, an
    // edit's whole text selected.
    void SetDefaultFocus();
    // Enter outside a push button: the default button's command (IDOK when
    // the template names none), unless that button is disabled.
    void OnEnter();
    bool IsTabStop(std::size_t index) const;

    kv::DialogTemplate m_template;
    QWidget* m_pParent;
    QPointer<QDialog> m_pWnd;
    std::vector<std::pair<int, QPointer<QWidget>>> m_controls;
    std::vector<std::pair<std::pair<int, Notify>, std::function<void()>>> m_notify;
    QSize m_baseUnits;
    int m_nResult = 0;
    bool m_bEnded = false;
    bool m_bModeless = false;
};

// Data exchange between members and controls. Saving reads the control and
// validates; loading shows the member. A failed read shows the framework's
// message and fails the exchange.
void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, unsigned& value);
void DDX_Text(CDataExchange* pDX, int id, long& value);
void DDX_Text(CDataExchange* pDX, int id, double& value);
void DDX_Text(CDataExchange* pDX, int id, float& value);
void DDX_Text(CDataExchange* pDX, int id, std::wstring& value);
void DDX_Radio(CDataExchange* pDX, int firstId, int& value);
void DDX_Check(CDataExchange* pDX, int id, int& value);
void DDX_CBIndex(CDataExchange* pDX, int id, int& index);
void DDX_LBIndex(CDataExchange* pDX, int id, int& index);
void DDX_Control(CDataExchange* pDX, int id, CListBox& control);

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
void DDV_MinMaxUInt(CDataExchange* pDX, unsigned value, unsigned minVal, unsigned maxVal);
void DDV_MinMaxDouble(CDataExchange* pDX, double value, double minVal, double maxVal);
void DDV_MinMaxFloat(CDataExchange* pDX, float value, float minVal, float maxVal);
void DDV_MaxChars(CDataExchange* pDX, const std::wstring& value, int nChars);

namespace kv {
// The framework's number texts and parsers, shared with dialogs that
// exchange numbers in their own forms.
std::wstring FormatDoubleForEdit(double value, int digits);  // "%.*g"
bool ParseInt(const std::wstring& text, long& value);         // whole text, blanks around allowed
bool ParseUInt(const std::wstring& text, unsigned long& value);
bool ParseDouble(const std::wstring& text, double& value);
}  // namespace kv
