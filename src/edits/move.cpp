// The move: an offset east, towards the prop arrow and up in the frame of
// rotation 0, turned into the frame of the entry's own rotation.

#include <vector>

#include "archive/dat_doc.h"
#include "edits/edit_frame.h"
#include "edits/entry_edit.h"

bool CDATDoc::MoveModel(int nRow, int nRotation, float fOffsetX, float fOffsetY, float fOffsetZ) {
    // The turned offsets are exact copies or negations, the same for every vertex.
    const double dx = ViewAxisValue(nRotation, true, fOffsetX, fOffsetY);
    const double dz = ViewAxisValue(nRotation, false, fOffsetX, fOffsetY);
    const double dy = fOffsetZ;

    return kv::edits::EditEntry(*this, nRow, [&](_s3d_model& model) {
        return kv::edits::EditVertexBlocks(model, [&](std::vector<_s3d_vertex>& vertices) {
            for (_s3d_vertex& v : vertices) {
                v.x = static_cast<float>(v.x + dx);
                v.y = static_cast<float>(v.y + dy);
                v.z = static_cast<float>(v.z + dz);
            }
        });
    });
}
