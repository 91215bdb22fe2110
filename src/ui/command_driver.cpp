#include "ui/command_driver.h"

#include <string>
#include <vector>

#include <QItemSelectionModel>

#include "archive/dat_doc.h"
#include "edits/edit_frame.h"
#include "platform/message.h"
#include "ui/dat_view.h"

namespace kv {

namespace {

bool IsModelOf(const CDATDoc& doc, std::intptr_t m) {
    return m >= 0 && static_cast<std::size_t>(m) < doc.m_pModels.size() && static_cast<std::uint32_t>(m) < doc.m_nModels;
}

}  // namespace

bool ForEachSelectedModel(CDATView& view, const std::function<bool(int nModel)>& fn) {
    CDATDoc* doc = view.GetDocument();
    if (!doc || doc->m_nModels == 0 || view.IsEmptyForm()) return true;
    // The selection is read once: asking the selection model row by row costs
    // a walk over its ranges each time, and nothing re-selects during a command.
    std::vector<bool> selected(static_cast<std::size_t>(view.GetItemCount()), false);
    for (const QItemSelectionRange& r : view.selectionModel()->selection()) {
        if (r.left() != 0) continue;
        for (int row = r.top(); row <= r.bottom(); ++row)
            if (row >= 0 && static_cast<std::size_t>(row) < selected.size()) selected[static_cast<std::size_t>(row)] = true;
    }
    for (int row = 0; row < view.GetItemCount(); ++row) {
        if (static_cast<std::size_t>(row) >= selected.size() || !selected[static_cast<std::size_t>(row)]) continue;
        std::intptr_t m = view.GetItemData(row);
        if (!IsModelOf(*doc, m)) continue;
        if (!fn(static_cast<int>(m))) return false;
    }
    return true;
}

bool ForEachModelEntry(CDATDoc& doc, int nModel, InternalError nInternalError, const std::function<bool(int nRow, int nView)>& edit,
                       const std::function<bool(int nView)>& wanted) {
    if (!IsModelOf(doc, nModel)) return false;
    const _dat_model& model = doc.m_pModels[static_cast<std::size_t>(nModel)];
    if (model.nViews != 20) {
        if (wanted && !wanted(0)) return true;
        return edit(model.nRow, 0);
    }
    const int base = model.nRow;
    for (int j = 0; j < 20; ++j) {
        if (wanted && !wanted(j)) continue;
        int row = doc.FindViewRow(base, j);
        if (row < 0) {
            ShowInternalError(nInternalError);
            return false;
        }
        if (!edit(row, j)) return false;
    }
    return true;
}

void MarkModel(CDATDoc& doc, int nModel, MarkPosition position) {
    if (!IsModelOf(doc, nModel) || position < 0 || position > 6) return;
    doc.m_pModels[static_cast<std::size_t>(nModel)].szStatus[static_cast<std::size_t>(position)] =
        kChangeLetters[position];
    doc.UpdateAllViews(nullptr, nModel, HINT_MODEL_CHANGES);
}

void MarkModifiedIfStored(CDATDoc& doc, std::uint64_t nStoresBefore) {
    if (doc.m_nStores != nStoresBefore) doc.SetModifiedFlag(true);
}

bool CommitAndSetModified(CDATDoc& doc) {
    if (!doc.CommitReplacedEntries()) return false;
    doc.SetModifiedFlag(true);
    return true;
}

bool RunModelEdits(CDATView& view, MarkPosition position, const std::function<bool(int nModel)>& editModel) {
    CDATDoc* doc = view.GetDocument();
    if (!doc) return false;
    const std::uint64_t stores = doc->m_nStores;
    bool completed = ForEachSelectedModel(view, [&](int m) {
        if (!editModel(m)) return false;
        MarkModel(*doc, m, position);
        return true;
    });
    if (!completed) {
        MarkModifiedIfStored(*doc, stores);
        return false;
    }
    return CommitAndSetModified(*doc);
}

bool RunEntryEdits(CDATView& view, MarkPosition position, InternalError nInternalError,
                   const std::function<bool(int nRow, int nView)>& edit) {
    CDATDoc* doc = view.GetDocument();
    if (!doc) return false;
    return RunModelEdits(view, position, [&](int m) { return ForEachModelEntry(*doc, m, nInternalError, edit); });
}

bool RunSingleViewEdits(CDATView& view, MarkPosition position, InternalError nInternalError,
                        const std::function<bool(int nRow)>& edit) {
    CDATDoc* doc = view.GetDocument();
    if (!doc) return false;
    return RunModelEdits(view, position, [&](int m) {
        const _dat_model& model = doc->m_pModels[static_cast<std::size_t>(m)];
        if (model.nViews != 1) {
            ShowInternalError(nInternalError);
            return false;
        }
        return edit(model.nRow);
    });
}

}  // namespace kv
