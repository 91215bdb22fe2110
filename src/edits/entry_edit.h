#pragma once
// The shape every per-entry edit shares: load the entry, copy each block it
// changes out into a work block, change it, write it back, store the entry.
// Only the edits include this.

#include <cstdint>
#include <memory>
#include <utility>

#include "archive/dat_doc.h"
#include "platform/message.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"

namespace kv::edits {

// A block written back that the model cannot hold (past 65535 blocks or
// elements, which no frame or count could describe): the entry is not stored.
inline bool ReportUnstorableBlock() {
    AfxMessageBox(L"S3D Encoding Error!!!");
    return false;
}

// Runs `change` over every vertex block of `model`, one fresh work block per
// block, writing each back. `change` gets the work block's vertices.
template <class Change>
bool EditVertexBlocks(_s3d_model& model, Change&& change) {
    const std::uint32_t count = model.vert.blockCount;
    for (std::uint32_t k = 0; k < count; ++k) {
        _s3d_work_block block;
        ExtractBlock(S3D_BLOCK_VERT, static_cast<int>(k), &model, &block);
        change(block.vertices);
        if (!StoreBlock(&model, S3D_BLOCK_VERT, static_cast<int>(k), &block)) return ReportUnstorableBlock();
    }
    return true;
}

// Loads entry `nRow`, lets `change` edit the model, and stores it again. When
// `change` fails (it has spoken) the model is dropped and nothing is stored.
template <class Change>
bool EditEntry(CDATDoc& doc, int nRow, Change&& change) {
    // A row outside the index loads as no entry, which the load reports.
    bool compressed = false;
    std::uint32_t size = 0;
    std::unique_ptr<_s3d_model> model = doc.LoadModel(static_cast<std::uint32_t>(nRow), compressed, size);
    if (!model) return false;
    if (!change(*model)) return false;
    return doc.StoreModel(static_cast<std::uint32_t>(nRow), std::move(model), compressed, size);
}

}  // namespace kv::edits
