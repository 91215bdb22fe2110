#pragma once
// The program's resource and command ids. The ids of the framework's own
// commands are in platform/qt/std_ids.h.

#include "platform/qt/std_ids.h"

enum : unsigned {
    IDD_ABOUTBOX = 100,
    IDR_POPUP_EDIT = 119,
    IDS_TOOLBAR_STANDARD = 124,
    IDS_TOOLBAR_CUSTOMIZE = 125,
    ID_VIEW_CUSTOMIZE = 126,
    IDR_MAINFRAME = 128,         // menu, accelerators, icon, 16-colour toolbar, frame title
    IDR_MAINFRAME_256 = 129,     // the high-colour toolbar
    IDR_DATFILETYPE = 130,       // archive windows: menu, icon, document string
    ID_WINDOW_MANAGER = 131,
    IDS_WINDOWS_MANAGER = 132,
    IDS_EDIT_MENU = 306,
    IDR_REPORTTYPE = 315,        // report windows: menu, icon, document string

    // Pictures of the command dialogs
    IDB_LIGHTBULB = 325,
    IDI_INVERT = 330,
    IDI_MIRROR = 333,
    IDI_FLIP = 334,

    // Edit commands
    ID_EDIT_SCALEMODELS = 32776,
    ID_EDIT_SETTRANSPARENCY = 32779,
    ID_EDIT_MOVEMODELS = 32790,
    ID_EDIT_ROTATEMODELS = 32794,
    ID_EDIT_FLIPMODELS = 32798,
    ID_EDIT_REORIENT = 32802,
    ID_EDIT_REPLACETEXTURE = 32805,
    ID_EDIT_MERGEMODELS = 32808,
    ID_EDIT_SELECTCLIPBOARDLIST = 32815,
    ID_EDIT_COPYSELECTIONLIST = 32816,
    ID_EDIT_MEASUREMODEL = 32820,
};

constexpr int IDC_STATIC = -1;

namespace kv {
// Registers the program's strings, menus, accelerators, toolbars, dialogs
// and artwork. Safe to call more than once.
void RegisterKorvaneResources();
}  // namespace kv
