// Flip, mirror and invert: one coordinate of every vertex negated, and on
// request every triangle's winding reversed so that mirrored faces face out.

#include <cstdint>
#include <utility>
#include <vector>

#include "archive/dat_doc.h"
#include "edits/entry_edit.h"
#include "platform/message.h"

bool CDATDoc::FlipModel(int nRow, int nMode, bool bReverseTriangles) {
    return kv::edits::EditEntry(*this, nRow, [&](_s3d_model& model) {
        const bool vertsOk = kv::edits::EditVertexBlocks(model, [&](std::vector<_s3d_vertex>& vertices) {
            for (_s3d_vertex& v : vertices) {
                switch (nMode) {
                case 0: v.z = -v.z; break;  // Flip: the vertical plane of x and y
                case 1: v.x = -v.x; break;  // Mirror: the vertical plane of z and y
                case 2: v.y = -v.y; break;  // Invert: the ground plane
                default: break;
                }
            }
        });
        if (!vertsOk) return false;
        if (!bReverseTriangles) return true;

        const std::uint32_t count = model.indx.blockCount;
        for (std::uint32_t k = 0; k < count; ++k) {
            _s3d_work_block block;
            ExtractBlock(S3D_BLOCK_INDX, static_cast<int>(k), &model, &block);
            std::vector<std::uint16_t>& ix = block.indices;
            // A list that is not whole triangles has no third corner to swap
            // with; the entry is refused as the bad argument it is, and
            // nothing of it is stored.
            if (ix.size() % 3 != 0) {
                AfxMessageBox(L"Encountered an improper argument.");
                return false;
            }
            for (std::size_t t = 0; t + 2 < ix.size(); t += 3) std::swap(ix[t], ix[t + 2]);
            if (!StoreBlock(&model, S3D_BLOCK_INDX, static_cast<int>(k), &block))
                return kv::edits::ReportUnstorableBlock();
        }
        return true;
    });
}
