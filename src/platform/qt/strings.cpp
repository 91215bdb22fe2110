#include "platform/qt/strings.h"

#include <map>

#include "platform/qt/std_ids.h"

namespace {

std::map<unsigned, std::wstring>& Table() {
    static std::map<unsigned, std::wstring> table = {
        {AFX_IDS_APP_TITLE, L"Korvane"},
        {AFX_IDS_IDLEMESSAGE, L"For Help, press F1"},
        {AFX_IDP_FAILED_TO_LAUNCH_HELP, L"Failed to launch help."},
        {AFX_IDP_PARSE_INT, L"Enter an integer."},
        {AFX_IDP_PARSE_REAL, L"Enter a number."},
        {AFX_IDP_PARSE_INT_RANGE, L"Enter an integer between %1 and %2."},
        {AFX_IDP_PARSE_REAL_RANGE, L"Enter a number between %1 and %2."},
        {AFX_IDP_PARSE_STRING_SIZE, L"Enter no more than %1 characters."},
        {AFX_IDP_PARSE_RADIO_BUTTON, L"Please select a button."},
        {AFX_IDP_PARSE_BYTE, L"Enter an integer between 0 and 255."},
        {AFX_IDP_PARSE_UINT, L"Enter a positive integer."},
        {AFX_IDP_ASK_TO_SAVE, L"Save changes to %1?"},
        {AFX_IDS_WINDOWS_MANAGER, L"Windows"},
        {ID_FILE_OPEN, L"Open an existing document\nOpen"},
        {ID_FILE_CLOSE, L"Close the active document\nClose"},
        {ID_FILE_SAVE, L"Save the active document\nSave"},
        {ID_FILE_SAVE_AS, L"Save the active document with a new name\nSave As"},
        {ID_FILE_PRINT, L"Print the active document\nPrint"},
        {ID_FILE_MRU_FILE1, L"Open this document"},
        {ID_EDIT_COPY, L"Copy the selection and put it on the Clipboard\nCopy"},
        {ID_EDIT_CUT, L"Cut the selection and put it on the Clipboard\nCut"},
        {ID_EDIT_PASTE, L"Insert Clipboard contents\nPaste"},
        {ID_EDIT_SELECT_ALL, L"Select the entire document\nSelect All"},
        {ID_EDIT_UNDO, L"Undo the last action\nUndo"},
        {ID_WINDOW_NEW, L"Open another window for the active document\nNew Window"},
        {ID_WINDOW_ARRANGE, L"Arrange icons at the bottom of the window\nArrange Icons"},
        {ID_WINDOW_CASCADE, L"Arrange windows so they overlap\nCascade Windows"},
        {ID_WINDOW_TILE_HORZ, L"Arrange windows as non-overlapping tiles\nTile Windows"},
        {ID_APP_ABOUT, L"Display program information, version number and copyright\nAbout"},
        {ID_APP_EXIT, L"Quit the application; prompts to save documents\nExit"},
        {ID_HELP_FINDER, L"List Help topics\nHelp Topics"},
        {ID_CONTEXT_HELP, L"Display help for clicked on buttons, menus and windows\nHelp"},
        {ID_HELP, L"Display help for current task or command\nHelp"},
        {ID_DEFAULT_HELP, L"Display help for current task or command\nHelp"},
        {ID_NEXT_PANE, L"Switch to the next window pane\nNext Pane"},
        {ID_PREV_PANE, L"Switch back to the previous window pane\nPrevious Pane"},
        {ID_INDICATOR_CAPS, L"CAP"},
        {ID_INDICATOR_NUM, L"NUM"},
        {ID_INDICATOR_SCRL, L"SCRL"},
        {ID_VIEW_TOOLBAR, L"Show or hide the toolbar\nToggle ToolBar"},
        {ID_VIEW_STATUS_BAR, L"Show or hide the status bar\nToggle Status Bar"},
    };
    return table;
}

}  // namespace

namespace kv {

void RegisterStrings(std::initializer_list<std::pair<unsigned, const wchar_t*>> entries) {
    for (const auto& [id, text] : entries) Table()[id] = text;
}

std::wstring LoadStringW(unsigned id) {
    // The recent-file entries all share the prompt of the first one.
    if (id > ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_LAST) id = ID_FILE_MRU_FILE1;
    auto it = Table().find(id);
    return it == Table().end() ? std::wstring() : it->second;
}

bool HasString(unsigned id) { return !LoadStringW(id).empty(); }

std::wstring PromptText(unsigned id) {
    std::wstring s = LoadStringW(id);
    return s.substr(0, s.find(L'\n'));
}

std::wstring TipText(unsigned id) {
    std::wstring s = LoadStringW(id);
    auto nl = s.find(L'\n');
    return nl == std::wstring::npos ? std::wstring() : s.substr(nl + 1);
}

std::wstring FormatString2(const std::wstring& format, const std::wstring& a1, const std::wstring& a2) {
    std::wstring out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size() && (format[i + 1] == L'1' || format[i + 1] == L'2')) {
            out += format[i + 1] == L'1' ? a1 : a2;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

}  // namespace kv
