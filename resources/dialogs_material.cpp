// The dialogs of the material commands: Merge Models, Transparency Settings
// and Texture Replace Parameters. Positions are dialog units; controls are
// listed in tab order.

#include "platform/message.h"
#include "platform/qt/resources.h"
#include "resources/dialogs_material.h"
#include "resources/resource.h"

namespace {

using kv::Ctl;
using kv::CS_AUTOHSCROLL;
using kv::CS_BORDER;
using kv::CS_GROUP;
using kv::CS_HSCROLL;
using kv::CS_NOTIFY;
using kv::CS_REALSIZE;
using kv::CS_TABSTOP;
using kv::CS_VSCROLL;

constexpr unsigned kEdit = CS_BORDER | CS_AUTOHSCROLL | CS_TABSTOP;
constexpr unsigned kDropList = CS_VSCROLL | CS_TABSTOP;

using kv::MakeDialog;

// The open archives above, the models of the one picked below; the tip at
// the foot is rewritten when the dialog opens.
kv::DialogTemplate MergeDialog() {
    return MakeDialog(IDD_MERGE, L"Merge Models", 340, 270,
                  {
                      {Ctl::DefPushButton, IDOK, L"OK", 226, 249, 50, 14, CS_GROUP | CS_TABSTOP},
                      {Ctl::PushButton, IDCANCEL, L"Cancel", 283, 249, 50, 14, CS_TABSTOP},
                      {Ctl::Static, IDC_STATIC,
                       L"Select the model you wish to append to the one(s) you have selected in the main list", 7, 7,
                       326, 10},
                      {Ctl::ListBox, IDC_MERGE_DATFILES, L"", 21, 44, 298, 38,
                       CS_NOTIFY | CS_VSCROLL | CS_BORDER | CS_TABSTOP},
                      {Ctl::ListBox, IDC_MERGE_MODELS, L"", 21, 112, 298, 98,
                       CS_NOTIFY | CS_VSCROLL | CS_HSCROLL | CS_BORDER | CS_TABSTOP},
                      {Ctl::GroupBox, IDC_STATIC, L"Model to Append", 7, 20, 326, 210},
                      {Ctl::GroupBox, IDC_STATIC, L"Currently Open Datfiles", 14, 32, 312, 64},
                      {Ctl::GroupBox, IDC_STATIC, L"S3D Models", 14, 100, 312, 124},
                      {Ctl::Static, IDC_MERGE_NOTE_DATFILE, L"Only one datfile may be selected", 21, 85, 200, 8},
                      {Ctl::Static, IDC_MERGE_NOTE_MODEL, L"Only one model may be selected", 21, 213, 200, 8},
                      {Ctl::Bitmap, IDC_STATIC, L"", 7, 238, 13, 16, CS_REALSIZE, {}, IDB_LIGHTBULB},
                      {Ctl::Static, IDC_MERGE_TIP, L"TIP: ", 24, 237, 192, 26},
                  });
}

kv::ControlTemplate SettingList(int id, int x, int y) {
    return {Ctl::DropList, id, L"", x, y, 72, 30, kDropList, {L"No Change", L"Set", L"Remove"}};
}

kv::DialogTemplate TransparencyDialog() {
    return MakeDialog(IDD_TRANSPARENCY, L"Transparency Settings", 198, 311,
                  {
                      {Ctl::GroupBox, IDC_STATIC, L"Transparency Settings for 20-Z/R models", 7, 7, 184, 179},
                      {Ctl::Static, IDC_STATIC, L"Zoom Level &1 - Instance IDs 0x-----0-- (LOD3)", 20, 22, 148, 8},
                      SettingList(IDC_TRANSP_ZOOM1, 20, 34),
                      {Ctl::Static, IDC_STATIC, L"Zoom Level &2 - Instance IDs 0x-----1-- (LOD3)", 20, 54, 148, 8},
                      SettingList(IDC_TRANSP_ZOOM2, 20, 66),
                      {Ctl::Static, IDC_STATIC, L"Zoom Level &3 - Instance IDs 0x-----2-- (LOD3)", 20, 86, 148, 8},
                      SettingList(IDC_TRANSP_ZOOM3, 20, 98),
                      {Ctl::Static, IDC_STATIC, L"Zoom Level &4 - Instance IDs 0x-----3-- (LOD4)", 20, 118, 148, 8},
                      SettingList(IDC_TRANSP_ZOOM4, 20, 130),
                      {Ctl::Static, IDC_STATIC, L"Zoom Level &5 - Instance IDs 0x-----4-- (LOD5)", 20, 150, 148, 8},
                      SettingList(IDC_TRANSP_ZOOM5, 20, 162),
                      {Ctl::GroupBox, IDC_STATIC, L"Transparency &Settings for 1-Z/R models", 7, 194, 184, 40},
                      SettingList(IDC_TRANSP_1ZR, 20, 209),
                      {Ctl::GroupBox, IDC_STATIC, L"&Depth Func for transparent models", 7, 242, 184, 40},
                      {Ctl::DropList, IDC_TRANSP_DEPTHFUNC, L"", 20, 257, 111, 30, kDropList,
                       {L"less than or equal (default)", L"less than"}},
                      {Ctl::DefPushButton, IDOK, L"OK", 86, 290, 50, 14, CS_TABSTOP},
                      {Ctl::PushButton, IDCANCEL, L"Cancel", 141, 290, 50, 14, CS_TABSTOP},
                  });
}

kv::DialogTemplate TextureDialog() {
    return MakeDialog(IDD_RTEXTURE, L"Texture Replace Parameters", 199, 213,
                  {
                      {Ctl::GroupBox, IDC_STATIC, L"&Find what", 7, 7, 185, 84},
                      {Ctl::Edit, IDC_RTEX_FIND, L"", 14, 40, 60, 14, kEdit},
                      {Ctl::Static, IDC_RTEX_FIND_HINT,
                       L"0..F\t: Match literal value\n#\t: Match values equal to S3D's IID\n?\t: Match any value", 15, 59,
                       172, 27},
                      {Ctl::GroupBox, IDC_STATIC, L"&Replace with", 7, 97, 185, 84},
                      {Ctl::Edit, IDC_RTEX_REPLACE, L"", 14, 130, 60, 14, kEdit},
                      {Ctl::Static, IDC_RTEX_REPLACE_HINT,
                       L"0..F\t: Replace with literal value\n#\t: Replace with S3D's IID\n?\t: Leave unchanged", 15, 149,
                       172, 27},
                      {Ctl::DefPushButton, IDOK, L"OK", 85, 192, 50, 14, CS_TABSTOP},
                      {Ctl::PushButton, IDCANCEL, L"Cancel", 142, 192, 50, 14, CS_TABSTOP},
                      {Ctl::Static, IDC_STATIC,
                       L"In the selected S3D files, find the material IDs that match the following specification", 14,
                       19, 170, 19},
                      {Ctl::Static, IDC_STATIC, L"Replace matching material IDs with the following ID specification", 14,
                       109, 170, 19},
                  });
}

}  // namespace

namespace kv {

void RegisterMaterialDialogs() {
    kv::RegisterDialog(MergeDialog());
    kv::RegisterDialog(TransparencyDialog());
    kv::RegisterDialog(TextureDialog());
}

}  // namespace kv
