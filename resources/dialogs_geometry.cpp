// The dialogs of the geometry commands: Model Dimensions, Scaling Parmeters,
// Coordinates' Offsets, Rotation Parameters, Flip/Mirror Options and
// Re-Orientation Parameters. Positions are dialog units; controls are listed
// in tab order.

#include "platform/message.h"
#include "platform/qt/resources.h"
#include "resources/dialogs_geometry.h"
#include "resources/resource.h"

namespace {

using kv::Ctl;
using kv::CS_AUTOHSCROLL;
using kv::CS_BORDER;
using kv::CS_DISABLED;
using kv::CS_GROUP;
using kv::CS_HIDDEN;
using kv::CS_NUMBER;
using kv::CS_READONLY;
using kv::CS_REALSIZE;
using kv::CS_RIGHT;
using kv::CS_TABSTOP;
using kv::CS_VSCROLL;

constexpr unsigned kReadOnlyEdit = CS_READONLY | CS_BORDER | CS_AUTOHSCROLL | CS_TABSTOP;
constexpr unsigned kEdit = CS_BORDER | CS_AUTOHSCROLL | CS_TABSTOP;

using kv::MakeDialog;

kv::DialogTemplate MeasureDialog() {
    return MakeDialog(IDD_MEASURE, L"Model Dimensions", 229, 242,
                  {
                      {Ctl::PushButton, IDCANCEL, L"Close", 172, 221, 50, 14, CS_TABSTOP},
                      {Ctl::GroupBox, IDC_STATIC, L"Dimensions", 7, 7, 215, 104},
                      {Ctl::Static, IDC_STATIC, L"&Width", 16, 22, 33, 8},
                      {Ctl::Edit, IDC_MEASURE_WIDTH, L"", 54, 19, 61, 14, kReadOnlyEdit},
                      {Ctl::PushButton, IDC_MEASURE_RESIZEW, L"&Resize", 152, 19, 50, 14, CS_HIDDEN | CS_DISABLED | CS_TABSTOP},
                      {Ctl::Static, IDC_STATIC, L"&Depth", 16, 43, 33, 8},
                      {Ctl::Edit, IDC_MEASURE_DEPTH, L"", 54, 40, 61, 14, kReadOnlyEdit},
                      {Ctl::PushButton, IDC_MEASURE_RESIZED, L"&Resize", 152, 40, 50, 14, CS_HIDDEN | CS_DISABLED | CS_TABSTOP},
                      {Ctl::Static, IDC_STATIC, L"&Height", 16, 64, 33, 8},
                      {Ctl::Edit, IDC_MEASURE_HEIGHT, L"", 54, 61, 61, 14, kReadOnlyEdit},
                      {Ctl::PushButton, IDC_MEASURE_RESIZEH, L"&Resize", 152, 61, 50, 14, CS_HIDDEN | CS_DISABLED | CS_TABSTOP},
                      {Ctl::Static, IDC_STATIC, L"&Occupant Size (W,H,D)", 16, 90, 79, 8},
                      {Ctl::Edit, IDC_MEASURE_OCCUPANT, L"", 98, 87, 115, 14, kReadOnlyEdit},
                      {Ctl::GroupBox, IDC_STATIC, L"Span", 7, 117, 215, 97},
                      {Ctl::Static, IDC_STATIC, L"From", 58, 130, 31, 8},
                      {Ctl::Static, IDC_STATIC, L"To", 156, 130, 31, 8},
                      {Ctl::Static, IDC_STATIC, L"&X", 16, 150, 33, 8},
                      {Ctl::Edit, IDC_MEASURE_FROMX, L"", 54, 147, 61, 14, kReadOnlyEdit},
                      {Ctl::Edit, IDC_MEASURE_TOX, L"", 152, 147, 61, 14, kReadOnlyEdit},
                      {Ctl::Static, IDC_STATIC, L"&Y", 16, 171, 33, 8},
                      {Ctl::Edit, IDC_MEASURE_FROMY, L"", 54, 168, 61, 14, kReadOnlyEdit},
                      {Ctl::Edit, IDC_MEASURE_TOY, L"", 152, 168, 61, 14, kReadOnlyEdit},
                      {Ctl::Static, IDC_STATIC, L"&Z (Vert)", 16, 192, 33, 8},
                      {Ctl::Edit, IDC_MEASURE_FROMZ, L"", 54, 189, 61, 14, kReadOnlyEdit},
                      {Ctl::Edit, IDC_MEASURE_TOZ, L"", 152, 189, 61, 14, kReadOnlyEdit},
                      {Ctl::DefPushButton, IDOK, L"OK", 109, 221, 50, 14, CS_HIDDEN | CS_TABSTOP},
                  });
}

kv::DialogTemplate ScaleDialog() {
    return MakeDialog(IDD_SCALEPERC, L"Scaling Parmeters", 266, 249,
                  {
                      {Ctl::GroupBox, IDC_STATIC, L"&Scale what", 7, 7, 252, 40, CS_GROUP},
                      {Ctl::DropList, IDC_SCALE_WHAT, L"", 23, 22, 162, 30, CS_VSCROLL | CS_TABSTOP,
                       {L"All three dimensions (uniform)", L"Width (X) only", L"Depth (Y) only", L"Height (Z) only",
                        L"Width and Depth (X & Y)"}},
                      {Ctl::GroupBox, IDC_STATIC, L"Scaling Factor", 7, 56, 252, 163},
                      {Ctl::GroupBox, IDC_STATIC, L"", 15, 68, 235, 59},
                      {Ctl::GroupBox, IDC_STATIC, L"", 15, 132, 235, 75},
                      {Ctl::AutoRadio, IDC_SCALE_FRACTION, L"Use a &fractional factor", 23, 68, 87, 10, CS_GROUP | CS_TABSTOP},
                      {Ctl::AutoRadio, IDC_SCALE_DECIMAL, L"Use a &decimal facor", 23, 148, 78, 10},
                      {Ctl::Static, IDC_SCALE_NUMERATOR_LABEL, L"&Numerator", 23, 84, 35, 8},
                      {Ctl::Edit, IDC_SCALE_NUMERATOR, L"", 69, 82, 28, 14, CS_NUMBER | CS_RIGHT | kEdit},
                      {Ctl::Static, IDC_SCALE_DENOMINATOR_LABEL, L"&Denominator", 23, 107, 42, 8},
                      {Ctl::Edit, IDC_SCALE_DENOMINATOR, L"", 69, 105, 28, 14, CS_NUMBER | CS_RIGHT | kEdit},
                      {Ctl::HorzLine, IDC_STATIC, L"", 23, 100, 76, 1},
                      {Ctl::Static, IDC_SCALE_FRACTION_NOTE,
                       L"The model(s) will be scaled by a factor expressed as this fraction", 113, 91, 129, 19},
                      {Ctl::Static, IDC_SCALE_FACTOR_LABEL, L"&Scaling Factor", 23, 162, 46, 8, CS_DISABLED},
                      {Ctl::Edit, IDC_SCALE_FACTOR, L"", 23, 173, 41, 14, kEdit | CS_DISABLED},
                      {Ctl::Static, IDC_SCALE_FACTOR_NOTE,
                       L"This is a factor (not percentage) and may contain a decimal point", 23, 192, 208, 8, CS_DISABLED},
                      {Ctl::DefPushButton, IDOK, L"OK", 153, 228, 50, 14, CS_GROUP | CS_TABSTOP},
                      {Ctl::PushButton, IDCANCEL, L"Cancel", 209, 228, 50, 14, CS_TABSTOP},
                  });
}

kv::DialogTemplate MoveDialog() {
    return MakeDialog(
        IDD_MOVEOFFSET, L"Coordinates' Offsets", 244, 236,
        {
            {Ctl::Static, IDC_STATIC, L"&X - Axis", 20, 88, 25, 8},
            {Ctl::Edit, IDC_MOVE_X, L"", 54, 86, 40, 14, kEdit},
            {Ctl::Static, IDC_MOVE_X_NOTE, L"A positive value moves the model eastwards", 54, 105, 183, 8},
            {Ctl::Static, IDC_STATIC, L"&Y - Axis", 19, 130, 25, 8},
            {Ctl::Edit, IDC_MOVE_Y, L"", 53, 128, 40, 14, kEdit},
            {Ctl::Static, IDC_MOVE_Y_NOTE,
             L"A positive value moves the model towards the direction pointed by the prop arrow", 53, 147, 183, 21},
            {Ctl::Static, IDC_STATIC, L"&Z - Axis", 19, 171, 25, 8},
            {Ctl::Edit, IDC_MOVE_Z, L"", 53, 169, 40, 14, kEdit},
            {Ctl::Static, IDC_MOVE_Z_NOTE, L"A positive value moves the model upwards", 53, 189, 183, 8},
            {Ctl::Bitmap, IDC_STATIC, L"", 7, 51, 13, 16, CS_REALSIZE, {}, IDB_LIGHTBULB},
            {Ctl::DefPushButton, IDOK, L"OK", 131, 215, 50, 14, CS_TABSTOP},
            {Ctl::PushButton, IDCANCEL, L"Cancel", 187, 215, 50, 14, CS_TABSTOP},
            {Ctl::Static, IDC_STATIC, L"TIP: One game tile equals 16 meters", 29, 56, 208, 8},
            {Ctl::Static, IDC_STATIC,
             L"Enter the offsets by which you wish to move the model(s). They are specified separately for each of "
             L"the three axes. The values are in meters. The numbers you enter may be positive or negative, and may "
             L"contain a decimal point too.",
             7, 15, 230, 35},
        });
}

// The two turning dialogs share their direction and quarter-turn groups; the
// rotation adds a free angle below the quarter turns.
kv::DialogTemplate RotationDialog() {
    return MakeDialog(IDD_ROTATION, L"Rotation Parameters", 186, 134,
                  {
                      {Ctl::GroupBox, IDC_STATIC, L"Direction", 7, 7, 80, 44, CS_GROUP},
                      {Ctl::AutoRadio, IDC_ROTATE_CLOCKWISE, L"&Clockwise", 15, 20, 66, 10, CS_GROUP | CS_TABSTOP},
                      {Ctl::AutoRadio, IDC_ROTATE_COUNTERCLOCKWISE, L"C&ounterclockwise", 15, 34, 70, 10},
                      {Ctl::GroupBox, IDC_STATIC, L"Angle", 95, 7, 84, 99, CS_GROUP},
                      {Ctl::AutoRadio, IDC_ROTATE_90, L"&90\u00b0", 103, 20, 50, 10, CS_GROUP | CS_TABSTOP},
                      {Ctl::AutoRadio, IDC_ROTATE_180, L"&180\u00b0", 103, 33, 50, 10},
                      {Ctl::AutoRadio, IDC_ROTATE_270, L"&270\u00b0", 103, 46, 50, 10},
                      {Ctl::AutoRadio, IDC_ROTATE_FREE, L"&Free", 103, 59, 50, 10},
                      {Ctl::Edit, IDC_ROTATE_FREEANGLE, L"", 115, 72, 50, 14, kEdit | CS_GROUP | CS_DISABLED},
                      {Ctl::Static, IDC_ROTATE_FREE_NOTE, L"(0.01-359.99)", 115, 89, 58, 8, CS_DISABLED},
                      {Ctl::DefPushButton, IDOK, L"OK", 73, 113, 50, 14, CS_GROUP | CS_TABSTOP},
                      {Ctl::PushButton, IDCANCEL, L"Cancel", 129, 113, 50, 14, CS_TABSTOP},
                  });
}

kv::DialogTemplate FlipDialog() {
    return MakeDialog(IDD_FLIPMODEL, L"Flip/Mirror Options", 250, 173,
                  {
                      {Ctl::GroupBox, IDC_STATIC, L"", 7, 7, 150, 36},
                      {Ctl::Icon, IDC_FLIP_FLIP_ICON, L"", 13, 14, 21, 20, CS_REALSIZE, {}, IDI_FLIP},
                      {Ctl::Static, IDC_FLIP_FLIP_NOTE, L"Mirror the model(s) with respect to the XZ plane", 42, 17, 110, 18},
                      {Ctl::GroupBox, IDC_STATIC, L"", 7, 47, 150, 36},
                      {Ctl::Icon, IDC_FLIP_MIRROR_ICON, L"", 13, 54, 21, 20, CS_REALSIZE, {}, IDI_MIRROR},
                      {Ctl::Static, IDC_FLIP_MIRROR_NOTE, L"Mirror the model(s) with respect to the YZ plane", 42, 57, 110, 18},
                      {Ctl::GroupBox, IDC_STATIC, L"", 7, 87, 150, 36},
                      {Ctl::Icon, IDC_FLIP_INVERT_ICON, L"", 13, 94, 21, 20, CS_REALSIZE, {}, IDI_INVERT},
                      {Ctl::Static, IDC_FLIP_INVERT_NOTE, L"Mirror the model(s) with respect to the XY plane", 42, 97, 110, 18},
                      {Ctl::GroupBox, IDC_STATIC, L"Flip or Mirror", 165, 7, 78, 116, CS_GROUP},
                      {Ctl::AutoRadio, IDC_FLIP_FLIP, L"&Flip", 177, 20, 56, 10, CS_GROUP | CS_TABSTOP},
                      {Ctl::AutoRadio, IDC_FLIP_MIRROR, L"&Mirror", 177, 60, 56, 10},
                      {Ctl::AutoRadio, IDC_FLIP_INVERT, L"&Invert", 177, 100, 56, 10},
                      {Ctl::AutoCheck, IDC_FLIP_REVERSE, L"&Reverse triangles' drawing direction (normally check)", 7,
                       131, 236, 10, CS_GROUP | CS_TABSTOP},
                      {Ctl::DefPushButton, IDOK, L"OK", 137, 152, 50, 14, CS_GROUP | CS_TABSTOP},
                      {Ctl::PushButton, IDCANCEL, L"Cancel", 193, 152, 50, 14, CS_TABSTOP},
                  });
}

kv::DialogTemplate ReorientDialog() {
    return MakeDialog(IDD_REORIENT, L"Re-Orientation Parameters", 186, 93,
                  {
                      {Ctl::GroupBox, IDC_STATIC, L"Direction", 7, 7, 80, 57, CS_GROUP},
                      {Ctl::AutoRadio, IDC_ROTATE_CLOCKWISE, L"&Clockwise", 15, 20, 66, 10, CS_GROUP | CS_TABSTOP},
                      {Ctl::AutoRadio, IDC_ROTATE_COUNTERCLOCKWISE, L"C&ounterclockwise", 15, 34, 70, 10},
                      {Ctl::GroupBox, IDC_STATIC, L"Angle", 95, 7, 84, 57, CS_GROUP},
                      {Ctl::AutoRadio, IDC_ROTATE_90, L"&90\u00b0", 103, 20, 50, 10, CS_GROUP | CS_TABSTOP},
                      {Ctl::AutoRadio, IDC_ROTATE_180, L"&180\u00b0", 103, 33, 50, 10},
                      {Ctl::AutoRadio, IDC_ROTATE_270, L"&270\u00b0", 103, 46, 50, 10},
                      {Ctl::DefPushButton, IDOK, L"OK", 73, 72, 50, 14, CS_GROUP | CS_TABSTOP},
                      {Ctl::PushButton, IDCANCEL, L"Cancel", 129, 72, 50, 14, CS_TABSTOP},
                  });
}

}  // namespace

namespace kv {

void RegisterGeometryDialogs() {
    RegisterDialog(MeasureDialog());
    RegisterDialog(ScaleDialog());
    RegisterDialog(MoveDialog());
    RegisterDialog(RotationDialog());
    RegisterDialog(FlipDialog());
    RegisterDialog(ReorientDialog());
}

}  // namespace kv
