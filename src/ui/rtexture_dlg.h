#pragma once
// Texture Replace Parameters: the find and replace ID masks, each "0x" and
// eight characters (or the eight alone). The masks last pressed with OK are
// remembered until the program exits and shown again next time.

#include <string>

#include "platform/qt/dialog.h"

// The masks of the last OK, for all open archives; "0x????????" at start.
extern std::wstring g_strFindMask;
extern std::wstring g_strReplaceMask;

// Validates one mask when the dialog is read (OK pressed): eight characters
// get "0x" in front (in this copy only); the text must then be ten characters
// starting with "0x" or "0X", each of the eight after it one of
// "?#0123456789ABCDEFabcdef". A replace mask (bReplace) must also hold
// something other than "?". A refusal shows its message and fails the
// exchange.
void DDV_IDMask(CDataExchange* pDX, std::wstring strMask, bool bReplace);

// The eight mask characters the edit takes: the text itself when it has
// eight, the eight after "0x" when it has ten.
std::wstring MaskDigits(const std::wstring& strMask);

class CRTextureDialog : public CDialog {
public:
    explicit CRTextureDialog(QWidget* parent = nullptr);
    ~CRTextureDialog() override;

    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCtlColor(CCtlColor& c) override;

    std::wstring m_strFind;     // edit 1000, at most 10 characters, as typed
    std::wstring m_strReplace;  // edit 1002, likewise
};
