#pragma once
// What every Edit command of the model list shares: walking the selected rows
// through their item data (never the row numbers, the list may be re-sorted),
// the twenty entries of a twenty-view model, the stop at the first failure,
// the change mark with its hint, and the closing commit.
//
// A plain command (Scale, Move) is one call:
//
//     RunEntryEdits(*this, kMarkScale, InternalError::kScaleViewMissing, [&](int nRow, int nView) {
//         return doc->ScaleModel(nRow, ..., nView % 2 != 0, ...);
//     });
//
// A command that needs a step of its own for each model (measuring it before
// it is moved, say) gets the model from RunModelEdits and walks the model's
// entries itself:
//
//     RunModelEdits(*this, kMarkMove, [&](int nModel) {
//         _model_dimensions dims;
//         if (!doc->MeasureModel(nModel, &dims)) return false;
//         return ForEachModelEntry(*doc, nModel, ..., [&](int nRow, int nView) {
//             return doc->MoveModel(nRow, nView % 4, -dims.dMinX, ...);
//         });
//     });
//
// Commands that depart further from that shape build their own loop from the
// smaller pieces below.

#include <cstdint>
#include <functional>

#include "platform/internal_errors.h"

class CDATDoc;
class CDATView;

namespace kv {

// Positions of the change marks, one per kind of edit (letter k of
// kChangeLetters goes to position k).
enum MarkPosition : int {
    kMarkFlip = 0,
    kMarkMove = 1,
    kMarkRotate = 2,  // rotate and re-orient
    kMarkScale = 3,
    kMarkMerge = 4,
    kMarkTransparency = 5,
    kMarkTexture = 6,
};

// Calls fn with the model index (the row's item data) of every selected row,
// from the first row to the last in display order; the row count is asked
// anew after every row. Stops at the first fn that returns false and returns
// false then; true when every call succeeded (also when none was made). Rows
// whose item data names no model of the document are passed over.
bool ForEachSelectedModel(CDATView& view, const std::function<bool(int nModel)>& fn);

// Calls edit(nRow, nView) for every entry of model nModel: a single-view model
// once, with its base row and view 0; a twenty-view model for views 0 to 19 in
// order (zoom nView / 4, rotation nView % 4), each row found with
// CDATDoc::FindViewRow. With `wanted` given, a view it refuses is skipped
// without a lookup (single-view models are asked for view 0). A view missing
// from the index shows Internal Error #nInternalError and returns false; an
// edit that returns false (after its own message) returns false at once.
bool ForEachModelEntry(CDATDoc& doc, int nModel, InternalError nInternalError,
                       const std::function<bool(int nRow, int nView)>& edit,
                       const std::function<bool(int nView)>& wanted = {});

// Writes the letter of `position` into model nModel's change marks and sends
// HINT_MODEL_CHANGES for it to every view of the document.
void MarkModel(CDATDoc& doc, int nModel, MarkPosition position);

// For a command that stopped part-way: when it stored any entry since
// nStoresBefore (CDATDoc::m_nStores), the archive has changed, and the
// document is marked modified so that closing it asks before those are lost.
void MarkModifiedIfStored(CDATDoc& doc, std::uint64_t nStoresBefore);

// Commits the pending replacements and, when that succeeds, marks the
// document modified. False when the commit failed (it has shown why).
bool CommitAndSetModified(CDATDoc& doc);

// The loop under every batch command, after its dialog closed with OK:
// editModel(nModel) for every selected model, in display order, each model
// marked at `position` once its step succeeded, then CommitAndSetModified.
// A step that returns false (after its own message) ends the command: nothing
// is committed, and the document is marked modified only when something was
// stored. Returns false then, or when the commit failed.
bool RunModelEdits(CDATView& view, MarkPosition position, const std::function<bool(int nModel)>& editModel);

// The whole shape of a plain batch command, after its dialog closed with OK:
// every entry of every selected model through `edit` (as ForEachModelEntry),
// each model marked at `position` once all its entries succeeded, then
// CommitAndSetModified. Returns false when the command ended early (nothing
// committed; modified only when something was stored) or the commit failed.
bool RunEntryEdits(CDATView& view, MarkPosition position, InternalError nInternalError,
                   const std::function<bool(int nRow, int nView)>& edit);

// The shape of a command that works on single-view models only (Rotate,
// Flip): a selected model of another kind shows internal error
// `nInternalError` and ends the command; else as RunEntryEdits, with one
// call of `edit` per model on its entry's index row. Both are RunModelEdits
// with a step that walks the model's entries.
bool RunSingleViewEdits(CDATView& view, MarkPosition position, InternalError nInternalError,
                        const std::function<bool(int nRow)>& edit);

// Whether the clipboard can be opened now; the selection-list commands ask
// before each try and offer Retry while it says no. Always yes unless a test
// installs another answer. Returns the hook it replaces.
using ClipboardOpenHook = std::function<bool()>;
ClipboardOpenHook SetClipboardOpenHook(ClipboardOpenHook hook);

}  // namespace kv
