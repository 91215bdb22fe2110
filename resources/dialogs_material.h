#pragma once
// Ids of the dialogs of the material commands (merge, transparency, texture
// replacement) and of their controls. Control ids repeat between dialogs, as
// they always have; each dialog's block names its own.

enum : unsigned {
    IDD_TRANSPARENCY = 312,
    IDD_RTEXTURE = 337,
    IDD_MERGE = 339,
};

// Merge Models
enum : int {
    IDC_MERGE_NOTE_DATFILE = 1019,
    IDC_MERGE_NOTE_MODEL = 1020,
    IDC_MERGE_TIP = 1021,
    IDC_MERGE_DATFILES = 1038,
    IDC_MERGE_MODELS = 1039,
};

// Transparency Settings: one drop-down list per zoom level of twenty-view
// models (1015 to 1019), one for single-view models, and the depth function.
enum : int {
    IDC_TRANSP_ZOOM1 = 1015,
    IDC_TRANSP_ZOOM2 = 1016,
    IDC_TRANSP_ZOOM3 = 1017,
    IDC_TRANSP_ZOOM4 = 1018,
    IDC_TRANSP_ZOOM5 = 1019,
    IDC_TRANSP_1ZR = 1020,
    IDC_TRANSP_DEPTHFUNC = 1021,
};

// Texture Replace Parameters
enum : int {
    IDC_RTEX_FIND = 1000,
    IDC_RTEX_REPLACE = 1002,
    IDC_RTEX_FIND_HINT = 1019,
    IDC_RTEX_REPLACE_HINT = 1020,
};

namespace kv {
// Registers the three dialog templates above; called from
// RegisterKorvaneResources.
void RegisterMaterialDialogs();
}  // namespace kv
