#pragma once
// The shapes of the program's resources: menus, accelerator tables, toolbars
// and dialog templates, written as tables in code and looked up by id.

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

// One menu entry: a command (id != 0), a separator (id 0, no text, no items)
// or a popup (items not empty).
struct MenuItem {
    std::wstring text;
    unsigned id = 0;
    std::vector<MenuItem> items = {};
    bool grayed = false;

    bool IsSeparator() const { return id == 0 && text.empty() && items.empty(); }
    bool IsPopup() const { return !items.empty(); }
};

struct MenuResource {
    unsigned id = 0;
    std::vector<MenuItem> popups;  // the top-level popups, in order
};

// Modifier flags of an accelerator entry.
enum : unsigned { FSHIFT = 0x04, FCONTROL = 0x08, FALT = 0x10 };

struct AccelEntry {
    unsigned modifiers = 0;
    int key = 0;  // a Qt::Key value
    unsigned command = 0;
};

struct AccelResource {
    unsigned id = 0;
    std::vector<AccelEntry> entries;
};

// Buttons of a toolbar; 0 is a separator.
struct ToolbarResource {
    unsigned id = 0;
    std::vector<unsigned> buttons;
};

// Controls of a dialog template. Positions and sizes are dialog units.
enum class Ctl {
    PushButton,
    DefPushButton,
    GroupBox,
    Static,       // left-aligned text
    StaticCenter,
    StaticRight,
    HorzLine,     // an etched line
    Edit,
    DropList,     // a drop-down list (no edit field)
    AutoRadio,
    AutoCheck,
    ListBox,
    Icon,         // a static icon, from the resource named in `image`
    Bitmap,       // a static picture, from the resource named in `image`
};

// Style flags of a control.
enum : unsigned {
    CS_HIDDEN = 0x0001,
    CS_DISABLED = 0x0002,
    CS_GROUP = 0x0004,      // starts a group (radio groups end at the next one)
    CS_TABSTOP = 0x0008,
    CS_READONLY = 0x0010,
    CS_NUMBER = 0x0020,     // digits only
    CS_RIGHT = 0x0040,      // right-aligned text
    CS_BORDER = 0x0080,
    CS_AUTOHSCROLL = 0x0100,
    CS_VSCROLL = 0x0200,
    CS_HSCROLL = 0x0400,
    CS_MULTILINE = 0x0800,
    CS_NOTIFY = 0x1000,
    CS_REALSIZE = 0x2000,   // icons and pictures keep their own size
};

struct ControlTemplate {
    Ctl kind = Ctl::Static;
    int id = -1;  // -1: a control without an id of its own
    std::wstring text;
    int x = 0, y = 0, cx = 0, cy = 0;
    unsigned style = 0;
    std::vector<std::wstring> items = {};  // initial strings of a list
    unsigned image = 0;               // icon or bitmap resource
};

struct DialogTemplate {
    unsigned id = 0;
    std::wstring caption;
    int cx = 0, cy = 0;
    std::wstring fontName = L"MS Shell Dlg";
    int pointSize = 8;
    std::vector<ControlTemplate> controls;  // in tab order
};

// A dialog template in the dialog font.
DialogTemplate MakeDialog(unsigned id, std::wstring caption, int cx, int cy, std::vector<ControlTemplate> controls);

// The program registers its resources once; the frames and dialogs find them by id.
void RegisterMenu(MenuResource menu);
void RegisterAccelerators(AccelResource table);
void RegisterToolbar(ToolbarResource toolbar);
void RegisterDialog(DialogTemplate dialog);

const MenuResource* FindMenu(unsigned id);
const AccelResource* FindAccelerators(unsigned id);
const ToolbarResource* FindToolbar(unsigned id);
const DialogTemplate* FindDialog(unsigned id);

}  // namespace kv
