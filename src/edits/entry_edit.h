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

// What a material edit does with the block it was handed.
enum class BlockOutcome {
    Keep,   // the block stays as it was
    Store,  // the work block is written back
    Stop,   // the edit ends here (it has said why); nothing is stored
};

// Loads the entry at index row nRow and hands each of its material blocks in
// turn, copied out into a work block, to change(nBlock, work, entry), where
// entry is the row's index entry. The entry is stored only when some block was
// written back: one none of whose blocks changed keeps its bytes exactly,
// neither re-encoded nor recompressed.
template <class Change>
bool EditMaterialBlocks(CDATDoc& doc, int nRow, Change&& change) {
    if (nRow < 0 || static_cast<std::uint32_t>(nRow) >= doc.IndexCount()) {
        AfxMessageBox(L"Encountered an improper argument.");
        return false;
    }
    const auto row = static_cast<std::uint32_t>(nRow);
    bool compressed = false;
    std::uint32_t size = 0;
    std::unique_ptr<_s3d_model> model = doc.LoadModel(row, compressed, size);
    if (!model) return false;

    const _dbpf_index_entry entry = doc.IndexEntry(row);
    bool changed = false;
    const int blocks = static_cast<int>(model->mats.blockCount);
    for (int k = 0; k < blocks; ++k) {
        _s3d_work_block work;
        ExtractBlock(S3D_BLOCK_MATS, k, model.get(), &work);
        const BlockOutcome outcome = change(k, work, entry);
        if (outcome == BlockOutcome::Stop) return false;
        if (outcome == BlockOutcome::Keep) continue;
        // A block copied out of a parsed model always fits back; if one ever
        // did not, storing the entry would lose the change.
        if (!StoreBlock(model.get(), S3D_BLOCK_MATS, k, &work)) return ReportUnstorableBlock();
        changed = true;
    }
    if (!changed) return true;
    return doc.StoreModel(row, std::move(model), compressed, size);
}

}  // namespace kv::edits
