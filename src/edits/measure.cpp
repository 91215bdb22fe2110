// The measure: the box, in the frame of rotation 0, that holds every vertex of
// a model. Reads only; nothing is written back or stored.

#include <memory>

#include "archive/dat_doc.h"
#include "edits/edit_frame.h"
#include "platform/internal_errors.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"

bool CDATDoc::MeasureModel(int nModel, _model_dimensions* pResult) {
    if (pResult == nullptr || nModel < 0 || static_cast<std::size_t>(nModel) >= m_pModels.size()) return false;
    const _dat_model& model = m_pModels[static_cast<std::size_t>(nModel)];
    _model_dimensions& d = *pResult;

    d.dMinX = d.dMinZ = d.dMinY = 10000.0;
    d.dMaxX = d.dMaxZ = d.dMaxY = -10000.0;

    // A twenty-view set is measured on its most detailed zoom, all four
    // rotations turned back into the frame of rotation 0.
    const bool twenty = model.nViews == 20;
    const int first = twenty ? 16 : 0;
    const int last = twenty ? 19 : model.nViews - 1;
    for (int i = first; i <= last; ++i) {
        int row = model.nRow;
        if (twenty) {
            row = FindViewRow(model.nRow, i);
            if (row < 0) {
                kv::ShowInternalError(kv::InternalError::kMeasureViewMissing);
                return false;
            }
        }
        bool compressed = false;
        std::uint32_t size = 0;
        const std::unique_ptr<_s3d_model> loaded = LoadModel(static_cast<std::uint32_t>(row), compressed, size);
        if (!loaded) {
            kv::ShowInternalError(kv::InternalError::kMeasureViewNotLoaded);
            return false;
        }
        const int back = (4 - i % 4) % 4;
        const std::uint32_t blocks = loaded->vert.blockCount;
        for (std::uint32_t k = 0; k < blocks; ++k) {
            _s3d_work_block block;
            ExtractBlock(S3D_BLOCK_VERT, static_cast<int>(k), loaded.get(), &block);
            for (const _s3d_vertex& v : block.vertices) {
                const float x0 = ViewAxisValue(back, true, v.x, v.z);
                const float z0 = ViewAxisValue(back, false, v.x, v.z);
                // Strict tests: a bound is never moved by an equal value or a NaN.
                if (x0 < d.dMinX) d.dMinX = x0;
                if (x0 > d.dMaxX) d.dMaxX = x0;
                if (z0 < d.dMinZ) d.dMinZ = z0;
                if (z0 > d.dMaxZ) d.dMaxZ = z0;
                if (v.y < d.dMinY) d.dMinY = v.y;
                if (v.y > d.dMaxY) d.dMaxY = v.y;
            }
        }
    }
    d.dWidth = d.dMaxX - d.dMinX;
    d.dDepth = d.dMaxZ - d.dMinZ;
    d.dHeight = d.dMaxY - d.dMinY;
    return true;
}
