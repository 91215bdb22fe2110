// The program's resources: the string table, the menus, the accelerator
// table, the toolbars and the about box. Texts are exactly as the program
// has always shown them.

#include <Qt>

#include "platform/message.h"
#include "platform/qt/resources.h"
#include "platform/qt/strings.h"
#include "resources/resource.h"
#include "resources/version.h"

namespace kv {
void RegisterKorvaneArtwork();  // artwork.cpp
void RegisterGeometryDialogs();  // dialogs_geometry.cpp
void RegisterMaterialDialogs();  // dialogs_material.cpp
}

namespace {

using kv::MenuItem;

MenuItem Cmd(const wchar_t* text, unsigned id) { return MenuItem{text, id}; }
MenuItem Sep() { return MenuItem{}; }
MenuItem Popup(const wchar_t* text, std::vector<MenuItem> items) { return MenuItem{text, 0, std::move(items)}; }

MenuItem FileMenu(bool archive) {
    std::vector<MenuItem> items = {Cmd(L"&Open...\tCtrl+O", ID_FILE_OPEN), Cmd(L"&Close", ID_FILE_CLOSE)};
    if (archive) {
        items.push_back(Cmd(L"&Save\tCtrl+S", ID_FILE_SAVE));
        items.push_back(Cmd(L"Save &As...", ID_FILE_SAVE_AS));
    }
    items.push_back(Sep());
    MenuItem recent = Cmd(L"Recent File", ID_FILE_MRU_FILE1);
    recent.grayed = true;
    items.push_back(recent);
    items.push_back(Sep());
    items.push_back(Cmd(L"E&xit", ID_APP_EXIT));
    return Popup(L"&File", std::move(items));
}

MenuItem ViewMenu() {
    return Popup(L"&View", {Popup(L"&Toolbars and Docking Windows", {Cmd(L"<placeholder>", ID_VIEW_TOOLBAR)}),
                            Cmd(L"&Status Bar", ID_VIEW_STATUS_BAR)});
}

MenuItem WindowMenu() {
    return Popup(L"&Window", {Cmd(L"&New Window", ID_WINDOW_NEW), Cmd(L"&Cascade", ID_WINDOW_CASCADE),
                              Cmd(L"&Tile", ID_WINDOW_TILE_HORZ), Cmd(L"&Arrange Icons", ID_WINDOW_ARRANGE)});
}

MenuItem HelpMenu() {
    return Popup(L"&Help", {Cmd(L"&Help Topics", ID_HELP_FINDER), Sep(), Cmd(L"&About Korvane...", ID_APP_ABOUT)});
}

std::vector<MenuItem> EditItems(bool contextMenu) {
    return {
        Cmd(L"F&lip/Mirror Model(s)\tAlt+L", ID_EDIT_FLIPMODELS),
        Cmd(L"&Move Model(s)\tAlt+M", ID_EDIT_MOVEMODELS),
        Cmd(contextMenu ? L"Re-&Orientate\tAlt+O" : L"Re-&Orient\tAlt+O", ID_EDIT_REORIENT),
        Cmd(L"&Rotate Model(s)\tAlt+R", ID_EDIT_ROTATEMODELS),
        Cmd(L"Mea&sure Model\tAlt+S", ID_EDIT_MEASUREMODEL),
        Cmd(L"S&cale Model(s)\tAlt+C", ID_EDIT_SCALEMODELS),
        Cmd(L"Mer&ge Model(s)\tAlt+G", ID_EDIT_MERGEMODELS),
        Cmd(L"Set &Transparency\tAlt+T", ID_EDIT_SETTRANSPARENCY),
        Cmd(L"Replace Te&xture\tAlt+X", ID_EDIT_REPLACETEXTURE),
        Sep(),
        Cmd(L"Copy S&election List\tCtr+E", ID_EDIT_COPYSELECTIONLIST),
        Cmd(L"Select Clip&board List\tCtrl+L", ID_EDIT_SELECTCLIPBOARDLIST),
        Cmd(L"Select &All\tCtrl+A", ID_EDIT_SELECT_ALL),
    };
}

void RegisterStringTable() {
    kv::RegisterStrings({
        {IDS_TOOLBAR_STANDARD, L"Standard"},
        {IDS_TOOLBAR_CUSTOMIZE, L"Customize..."},
        {IDR_MAINFRAME, L"Korvane"},
        {IDR_DATFILETYPE,
         L"\nSC4Model\nSC4Model\nSC4 Model Files (*.SC4Model,*.dat)\n.SC4Model;.dat\nDBPFDAT.Document\nKorvane.Document"},
        {IDS_WINDOWS_MANAGER, L"&Windows..."},
        {IDS_EDIT_MENU, L"Edit"},
        {IDR_REPORTTYPE, L"\nReport\nReport"},
        {ID_EDIT_SCALEMODELS, L"Scale the selected model(s)\nScale"},
        {ID_EDIT_SETTRANSPARENCY, L"Set/remove transparency for the selected model(s)\nTransparency"},
        {ID_EDIT_MOVEMODELS, L"Move the selected model(s)\nMove"},
        {ID_EDIT_ROTATEMODELS, L"Rotate the selected model(s)\nRotate"},
        {ID_EDIT_FLIPMODELS, L"Flip or Mirror the selected model(s)\nFlip"},
        {ID_EDIT_REORIENT, L"Reorient the selected model(s)\nReorient"},
        {ID_EDIT_REPLACETEXTURE, L"Change textures (materials) for the selected model(s)\nTexture"},
        {ID_EDIT_MERGEMODELS, L"Append models to the ones selected\nMerge"},
        {ID_EDIT_SELECTCLIPBOARDLIST, L"Select items listed on the Clipboard\nSelect Clipboard List"},
        {ID_EDIT_COPYSELECTIONLIST, L"Copy TGI addresses of selected items to Clipboard\nCopy Selection List"},
        {ID_EDIT_MEASUREMODEL, L"Measure model's dimensions\nMeasure"},
        {AFX_IDS_APP_TITLE, L"Korvane"},
    });
}

void RegisterMenus() {
    kv::RegisterMenu({IDR_MAINFRAME, {FileMenu(false), ViewMenu(), HelpMenu()}});
    kv::RegisterMenu(
        {IDR_DATFILETYPE, {FileMenu(true), Popup(L"&Edit", EditItems(false)), ViewMenu(), WindowMenu(), HelpMenu()}});
    kv::RegisterMenu({IDR_POPUP_EDIT, {Popup(L"Edit", EditItems(true))}});
    kv::RegisterMenu({IDR_REPORTTYPE,
                      {FileMenu(true),
                       Popup(L"&Edit", {Cmd(L"Copy\tCtrl+C", ID_EDIT_COPY), Sep(),
                                        Cmd(L"Select &All\tCtrl+A", ID_EDIT_SELECT_ALL)}),
                       ViewMenu(), WindowMenu(), HelpMenu()}});
}

void RegisterAcceleratorTable() {
    using kv::FALT;
    using kv::FCONTROL;
    using kv::FSHIFT;
    kv::RegisterAccelerators({IDR_MAINFRAME,
                              {
                                  {FSHIFT, Qt::Key_F1, ID_CONTEXT_HELP},
                                  {FCONTROL, Qt::Key_C, ID_EDIT_COPY},
                                  {FCONTROL, Qt::Key_E, ID_EDIT_COPYSELECTIONLIST},
                                  {FALT, Qt::Key_L, ID_EDIT_FLIPMODELS},
                                  {FALT, Qt::Key_G, ID_EDIT_MERGEMODELS},
                                  {FALT, Qt::Key_M, ID_EDIT_MOVEMODELS},
                                  {FALT, Qt::Key_O, ID_EDIT_REORIENT},
                                  {FALT, Qt::Key_R, ID_EDIT_ROTATEMODELS},
                                  {FALT, Qt::Key_C, ID_EDIT_SCALEMODELS},
                                  {FCONTROL, Qt::Key_A, ID_EDIT_SELECT_ALL},
                                  {FCONTROL, Qt::Key_L, ID_EDIT_SELECTCLIPBOARDLIST},
                                  {FALT, Qt::Key_T, ID_EDIT_SETTRANSPARENCY},
                                  {FALT, Qt::Key_X, ID_EDIT_REPLACETEXTURE},
                                  {FCONTROL, Qt::Key_O, ID_FILE_OPEN},
                                  {FCONTROL, Qt::Key_S, ID_FILE_SAVE},
                                  {0, Qt::Key_F1, ID_HELP},
                                  {0, Qt::Key_F6, ID_NEXT_PANE},
                                  {FSHIFT, Qt::Key_F6, ID_PREV_PANE},
                                  {FALT, Qt::Key_S, ID_EDIT_MEASUREMODEL},
                              }});
}

void RegisterToolbars() {
    kv::RegisterToolbar({IDR_MAINFRAME_256,
                         {ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_COPY, 0, ID_EDIT_FLIPMODELS, ID_EDIT_MOVEMODELS,
                          ID_EDIT_REORIENT, ID_EDIT_ROTATEMODELS, ID_EDIT_MEASUREMODEL, ID_EDIT_SCALEMODELS,
                          ID_EDIT_MERGEMODELS, ID_EDIT_SETTRANSPARENCY, ID_EDIT_REPLACETEXTURE, 0, ID_APP_ABOUT,
                          ID_CONTEXT_HELP}});
    kv::RegisterToolbar({IDR_MAINFRAME,
                         {ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_COPY, 0, ID_EDIT_FLIPMODELS, ID_EDIT_MOVEMODELS,
                          ID_EDIT_REORIENT, ID_EDIT_ROTATEMODELS, ID_EDIT_SCALEMODELS, ID_EDIT_SETTRANSPARENCY,
                          ID_EDIT_REPLACETEXTURE, 0, ID_APP_ABOUT, ID_CONTEXT_HELP}});
}

void RegisterAboutBox() {
    kv::DialogTemplate t;
    t.id = IDD_ABOUTBOX;
    t.caption = L"About Korvane";
    t.cx = 203;
    t.cy = 68;
    t.controls = {
        {kv::Ctl::Icon, IDC_STATIC, L"", 14, 14, 20, 20, 0, {}, IDR_MAINFRAME},
        {kv::Ctl::Static, IDC_STATIC, L"Korvane, Version " KORVANE_ABOUT_VERSION, 46, 14, 150, 8},
        {kv::Ctl::Static, IDC_STATIC, L"Bulk edits for the S3D models of DBPF archives", 46, 26, 150, 8},
        {kv::Ctl::DefPushButton, IDOK, L"OK", 146, 47, 50, 14, kv::CS_GROUP | kv::CS_TABSTOP},
    };
    kv::RegisterDialog(std::move(t));
}

}  // namespace

namespace kv {

void RegisterKorvaneResources() {
    static const bool done = [] {
        RegisterStringTable();
        RegisterMenus();
        RegisterAcceleratorTable();
        RegisterToolbars();
        RegisterAboutBox();
        RegisterKorvaneArtwork();
        RegisterGeometryDialogs();
        RegisterMaterialDialogs();
        return true;
    }();
    (void)done;
}

}  // namespace kv
