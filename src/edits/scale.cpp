// The scale: vertex positions multiplied about the model's own origin, along
// all axes or chosen ones, by a factor or by a fraction of two whole numbers.

#include <vector>

#include "archive/dat_doc.h"
#include "edits/entry_edit.h"

bool CDATDoc::ScaleModel(int nRow, int nScaleWhat, bool bUseRatio, int nNumerator, int nDenominator, bool bSwapXZ,
                         double dFactor) {
    // In an entry of an odd rotation the width of rotation 0 lies along z.
    int choice = nScaleWhat;
    if (bSwapXZ && choice == 1) choice = 2;
    else if (bSwapXZ && choice == 2) choice = 1;

    const bool sx = choice == 0 || choice == 1 || choice == 4;
    const bool sy = choice == 0 || choice == 3;
    const bool sz = choice == 0 || choice == 2 || choice == 4;

    const double num = nNumerator;
    const double den = nDenominator;
    // Multiply first, divide second: 1/3 is (c * 1) / 3, never c * (1/3).
    auto scaled = [&](float c) {
        const double w = c;
        return static_cast<float>(bUseRatio ? w * num / den : w * dFactor);
    };

    return kv::edits::EditEntry(*this, nRow, [&](_s3d_model& model) {
        return kv::edits::EditVertexBlocks(model, [&](std::vector<_s3d_vertex>& vertices) {
            for (_s3d_vertex& v : vertices) {
                if (sx) v.x = scaled(v.x);
                if (sy) v.y = scaled(v.y);
                if (sz) v.z = scaled(v.z);
            }
        });
    });
}
