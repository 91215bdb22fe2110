#pragma once
// Ids of the dialogs of the geometry commands (measure, scale, move, rotate,
// flip, re-orient) and of their controls. Control ids repeat between dialogs,
// as they always have; each dialog's block names its own.

enum : unsigned {
    IDD_SCALEPERC = 311,
    IDD_MOVEOFFSET = 318,
    IDD_ROTATION = 327,
    IDD_FLIPMODEL = 328,
    IDD_REORIENT = 329,
    IDD_MEASURE = 340,
};

// Model Dimensions
enum : int {
    IDC_MEASURE_WIDTH = 1000,
    IDC_MEASURE_HEIGHT = 1001,
    IDC_MEASURE_DEPTH = 1002,
    IDC_MEASURE_FROMX = 1003,
    IDC_MEASURE_FROMZ = 1004,
    IDC_MEASURE_FROMY = 1005,
    IDC_MEASURE_TOX = 1006,
    IDC_MEASURE_TOY = 1007,
    IDC_MEASURE_TOZ = 1008,
    IDC_MEASURE_OCCUPANT = 1040,
    IDC_MEASURE_RESIZEW = 1041,
    IDC_MEASURE_RESIZEH = 1042,
    IDC_MEASURE_RESIZED = 1043,
};

// Scaling Parmeters
enum : int {
    IDC_SCALE_FACTOR = 1000,
    IDC_SCALE_FRACTION = 1006,
    IDC_SCALE_DECIMAL = 1007,
    IDC_SCALE_NUMERATOR = 1008,
    IDC_SCALE_DENOMINATOR = 1009,
    IDC_SCALE_NUMERATOR_LABEL = 1010,
    IDC_SCALE_DENOMINATOR_LABEL = 1011,
    IDC_SCALE_FRACTION_NOTE = 1012,
    IDC_SCALE_FACTOR_LABEL = 1013,
    IDC_SCALE_FACTOR_NOTE = 1014,
    IDC_SCALE_WHAT = 1036,
};

// Coordinates' Offsets
enum : int {
    IDC_MOVE_X = 1000,
    IDC_MOVE_Y = 1001,
    IDC_MOVE_Z = 1002,
    IDC_MOVE_X_NOTE = 1019,
    IDC_MOVE_Y_NOTE = 1020,
    IDC_MOVE_Z_NOTE = 1021,
};

// Rotation Parameters and Re-Orientation Parameters
enum : int {
    IDC_ROTATE_FREEANGLE = 1000,
    IDC_ROTATE_CLOCKWISE = 1022,
    IDC_ROTATE_COUNTERCLOCKWISE = 1023,
    IDC_ROTATE_90 = 1024,
    IDC_ROTATE_180 = 1025,
    IDC_ROTATE_270 = 1026,
    IDC_ROTATE_FREE = 1027,
    IDC_ROTATE_FREE_NOTE = 1028,
};

// Flip/Mirror Options
enum : int {
    IDC_FLIP_FLIP = 1027,
    IDC_FLIP_MIRROR = 1008,
    IDC_FLIP_INVERT = 1035,
    IDC_FLIP_FLIP_ICON = 1029,
    IDC_FLIP_FLIP_NOTE = 1030,
    IDC_FLIP_MIRROR_ICON = 1031,
    IDC_FLIP_MIRROR_NOTE = 1032,
    IDC_FLIP_INVERT_ICON = 1033,
    IDC_FLIP_INVERT_NOTE = 1034,
    IDC_FLIP_REVERSE = 1037,
};

namespace kv {
// Registers the six dialog templates above; called from
// RegisterKorvaneResources.
void RegisterGeometryDialogs();
}  // namespace kv
