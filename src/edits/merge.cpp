// Merging one listed model into another, view by view.

#include <array>
#include <memory>
#include <vector>

#include "archive/dat_doc.h"
#include "edits/edit_frame.h"
#include "edits/entry_edit.h"
#include "platform/internal_errors.h"
#include "platform/message.h"
#include "platform/text.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"

namespace {

constexpr int kViews = 20;

// Turns every vertex of a source copy in memory, the way the rotate edit turns
// an entry, so that it lines up with a view of rotation nTurns.
bool TurnCopy(_s3d_model& model, int nTurns) {
    return kv::edits::EditVertexBlocks(model, [nTurns](std::vector<_s3d_vertex>& vertices) {
        for (_s3d_vertex& v : vertices) RotateVertexXZ(nTurns, v.x, v.z, 0.0);
    });
}

// Says why AppendS3DModel refused: the result could not be read back as it
// would be written.
void ShowAppendRefused(const _dbpf_index_entry& target, const _s3d_model& targetModel, const _s3d_model& source) {
    bool framesDiffer = false;
    if (!source.anim.meshes.empty()) {
        framesDiffer = source.anim.frameCount != targetModel.anim.frameCount;
        for (const _s3danim_mesh& mesh : source.anim.meshes)
            if (mesh.frames.size() != targetModel.anim.frameCount) framesDiffer = true;
    }
    if (framesDiffer) {
        AfxMessageBox(kv::FormatW(L"Merge Error!!!\n\nThe model %#08x %#08x %#08x cannot take in the source model: "
                                  L"the source is animated with %u frames, the model with %u.",
                                  target.type, target.group, target.instance,
                                  static_cast<unsigned>(source.anim.frameCount),
                                  static_cast<unsigned>(targetModel.anim.frameCount)));
    } else {
        AfxMessageBox(kv::FormatW(L"Merge Error!!!\n\nThe model %#08x %#08x %#08x cannot take in the source model: "
                                  L"together they would need more than 65535 meshes or blocks.",
                                  target.type, target.group, target.instance));
    }
}

// Appends the source copy (when there is one) to one loaded target entry.
bool AppendCopy(const CDATDoc& doc, int row, _s3d_model& target, const _s3d_model* copy) {
    if (copy == nullptr) return true;
    if (AppendS3DModel(&target, copy)) return true;
    ShowAppendRefused(doc.IndexEntry(static_cast<std::uint32_t>(row)), target, *copy);
    return false;
}

}  // namespace

bool CDATDoc::MergeModel(int nModel, CDATDoc* pSrcDoc, int nSrcModel) {
    if (pSrcDoc == nullptr || nModel < 0 || static_cast<std::size_t>(nModel) >= m_pModels.size() || nSrcModel < 0 ||
        static_cast<std::size_t>(nSrcModel) >= pSrcDoc->m_pModels.size()) {
        AfxMessageBox(L"Encountered an improper argument.");
        return false;
    }
    const _dat_model& source = pSrcDoc->m_pModels[static_cast<std::size_t>(nSrcModel)];
    const _dat_model& target = m_pModels[static_cast<std::size_t>(nModel)];
    if (source.nRow < 0 || target.nRow < 0) {
        AfxMessageBox(L"Encountered an improper argument.");
        return false;
    }
    const bool sourceTwenty = source.nViews == kViews;
    const bool targetTwenty = target.nViews == kViews;

    // Every source copy is loaded before the first target entry is, so a
    // model merged into itself takes in its content as it was before the
    // call. Copies are separate models, never the target object itself. A
    // source entry stored earlier at another size is read from its pending
    // bytes by the load. The table frees the copies on every way out.
    std::array<std::unique_ptr<_s3d_model>, kViews> copies;
    bool compressed = false;
    std::uint32_t size = 0;
    if (sourceTwenty) {
        for (int j = 0; j < kViews; ++j) {
            const int row = pSrcDoc->FindViewRow(source.nRow, j);
            if (row < 0) {
                kv::ShowInternalError(kv::InternalError::kMergeSourceViewMissing);
                return false;
            }
            copies[j] = pSrcDoc->LoadModel(static_cast<std::uint32_t>(row), compressed, size);
            if (!copies[j]) {
                kv::ShowInternalError(kv::InternalError::kMergeSourceViewNotLoaded);
                return false;
            }
        }
    } else {
        for (int r = 0; r < 4; ++r) {
            copies[r] = pSrcDoc->LoadModel(static_cast<std::uint32_t>(source.nRow), compressed, size);
            if (!copies[r]) {
                kv::ShowInternalError(kv::InternalError::kMergeSourceNotLoaded);
                return false;
            }
            if (r == 0 && !targetTwenty) break;
            if (r > 0 && !TurnCopy(*copies[r], r)) return false;
        }
    }

    if (!targetTwenty) {
        const auto row = static_cast<std::uint32_t>(target.nRow);
        std::unique_ptr<_s3d_model> model = LoadModel(row, compressed, size);
        if (!model) return false;
        if (!AppendCopy(*this, target.nRow, *model, copies[0].get())) return false;
        return StoreModel(row, std::move(model), compressed, size);
    }

    for (int v = 0; v < kViews; ++v) {
        const int row = FindViewRow(target.nRow, v);
        if (row < 0) {
            kv::ShowInternalError(kv::InternalError::kMergeTargetViewMissing);
            return false;
        }
        std::unique_ptr<_s3d_model> model = LoadModel(static_cast<std::uint32_t>(row), compressed, size);
        if (!model) {
            kv::ShowInternalError(kv::InternalError::kMergeTargetViewNotLoaded);
            return false;
        }
        const _s3d_model* copy = copies[static_cast<std::size_t>(sourceTwenty ? v : (v & 3))].get();
        if (!AppendCopy(*this, row, *model, copy)) return false;
        if (!StoreModel(static_cast<std::uint32_t>(row), std::move(model), compressed, size)) {
            kv::ShowInternalError(kv::InternalError::kMergeTargetViewNotStored);
            return false;
        }
    }
    return true;
}
