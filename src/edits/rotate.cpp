// The rotate: every vertex turned about the vertical axis, +x toward +z, by
// quarter turns or by a free angle in degrees.

#include <cmath>
#include <vector>

#include "archive/dat_doc.h"
#include "edits/edit_frame.h"
#include "edits/entry_edit.h"

void RotateVertexXZ(int nTurns, float& x, float& z, double dAngle) {
    const float x1 = x;
    const float z1 = z;
    switch (nTurns) {
    case 1:
        x = -z1;
        z = x1;
        return;
    case 2:
        x = -x1;
        z = -z1;
        return;
    case 3:
        x = z1;
        z = -x1;
        return;
    default:
        break;
    }
    // The free turn goes through the polar form. The angle of the vertex is
    // kept as a 32-bit float before the turn is added, as it always has been,
    // so that the same model turns to the same bytes.
    const double r = std::hypot(static_cast<double>(x1), static_cast<double>(z1));
    const double theta = static_cast<float>(std::atan2(static_cast<double>(z1), static_cast<double>(x1)));
    const double phi = theta + dAngle * 3.141592653589793 / 180.0;
    x = static_cast<float>(r * std::cos(phi));
    z = static_cast<float>(r * std::sin(phi));
}

bool CDATDoc::RotateModel(int nRow, int nTurns, double dAngle) {
    return kv::edits::EditEntry(*this, nRow, [&](_s3d_model& model) {
        return kv::edits::EditVertexBlocks(model, [&](std::vector<_s3d_vertex>& vertices) {
            for (_s3d_vertex& v : vertices) RotateVertexXZ(nTurns, v.x, v.z, dAngle);
        });
    });
}
