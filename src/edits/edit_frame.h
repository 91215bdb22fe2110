#pragma once
// What the model edits share: the turn between the horizontal frames of the
// four view rotations, the quarter and free turns of a vertex, the change
// marks and their wording, and the record the measure fills.
//
// Axes: the dialogs' X ("Width", east) is the vertex's x, their Y ("Depth",
// towards the prop arrow) its z and their Z ("Height") its y, all in the frame
// of rotation 0. The entry of rotation r holds the model turned r quarter
// turns about y, each turn taking +x toward +z.

#include <cstddef>

#include "archive/dat_doc.h"

// Letter k marks position k of _dat_model::szStatus: flip, move, rotate or
// re-orient, scale, merge, transparency, texture.
inline constexpr wchar_t kChangeLetters[] = L"FMRSGTX";

// Room for the longest wording (all seven marks on a twenty-view model, 72
// characters) and its terminating zero.
constexpr std::size_t kChangesTextSize = 100;

// The last wording CDATDoc::FormatChanges built. The list's tooltip shows the
// buffer itself, so it stays valid until the next call.
extern wchar_t g_szChangesText[kChangesTextSize];

// The x component (bX) or the z component (!bX), in the frame of rotation
// nRotation, of the horizontal vector with fA along x and fB along z in the
// frame of rotation 0. Only the two low bits of nRotation count; the result
// is fA or fB, copied or negated. The way back from rotation r is rotation
// (4 - r) mod 4.
float ViewAxisValue(int nRotation, bool bX, float fA, float fB);

// Turns (x, z) about the vertical axis, +x toward +z: nTurns 1, 2 or 3 quarter
// turns exactly; any other nTurns turns by dAngle degrees through the polar
// form, each result rounded to the nearest 32-bit float.
void RotateVertexXZ(int nTurns, float& x, float& z, double dAngle);

// The box, aligned with the axes of rotation 0, that holds every vertex of a
// model: dWidth along x, dDepth along z, dHeight along y.
struct _model_dimensions {
    double dWidth = 0;
    double dDepth = 0;
    double dHeight = 0;
    double dMinX = 0;
    double dMaxX = 0;
    double dMinZ = 0;
    double dMaxZ = 0;
    double dMinY = 0;
    double dMaxY = 0;
};
