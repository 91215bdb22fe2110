#pragma once
// The program's internal errors: states its own code should never reach,
// each reported as "Internal Error #<number>! This should never occur!!!"
// in an OK box. Every place that reports one names its entry here, in the
// order of the numbers; a new place takes a number no entry uses. Places
// that share a number report the same fault of the same edit or of its
// kind, and keep the number the program has always shown for it.

namespace kv {

enum class InternalError : int {
    // The Edit commands: a view of a twenty-view model is not in the index.
    kScaleViewMissing = 1,
    kTransparencyViewMissing = 2,
    kTextureViewMissing = 2,
    kMoveViewMissing = 3,
    // The Edit commands: a model with the wrong number of views reached the command.
    kRotateNotSingleView = 4,
    kFlipNotSingleView = 5,
    kReorientNotTwentyView = 6,
    // Replace Texture edited no entry of the selection.
    kTextureNothingProcessed = 8,
    // Measure and Merge's target: a view of a twenty-view model is not in
    // the index; it does not load (Merge: or its store fails).
    kMeasureViewMissing = 33,
    kMergeTargetViewMissing = 33,
    kMeasureViewNotLoaded = 34,
    kMergeTargetViewNotLoaded = 34,
    kMergeTargetViewNotStored = 34,
    // Merge's source: a single-view source does not load; a view of a
    // twenty-view source is not in the index, or does not load.
    kMergeSourceNotLoaded = 36,
    kMergeSourceViewMissing = 37,
    // Select Clipboard List: a model found in the table has no row in the list.
    kSelectionListRowMissing = 37,
    kMergeSourceViewNotLoaded = 38,
    // Storing a model: the encoder gave no bytes. This one has always read
    // "Internal error #61!", with a small "e".
    kStoreEncodedNothing = 61,
};

// Shows the internal error of `site` in an OK box.
void ShowInternalError(InternalError site);

}  // namespace kv
