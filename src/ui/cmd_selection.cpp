// Select All, Copy Selection List and Select Clipboard List, and the enabling
// rules every Edit command of the list shares.

#include <string>
#include <unordered_map>

#include <QApplication>
#include <QClipboard>
#include <QItemSelection>
#include <QMimeData>

#include "archive/dat_doc.h"
#include "platform/message.h"
#include "platform/qt/std_ids.h"
#include "resources/resource.h"
#include "ui/command_driver.h"
#include "ui/dat_view.h"
#include "ui/selection_list_parse.h"

namespace kv {

namespace {

ClipboardOpenHook& OpenHook() {
    static ClipboardOpenHook hook;
    return hook;
}

// Opens the clipboard for one command, offering Retry while it is held
// elsewhere. False when the user cancelled.
bool OpenClipboardWithRetry() {
    for (;;) {
        const ClipboardOpenHook& hook = OpenHook();
        if (!hook || hook()) return true;
        if (AfxMessageBox(L"The Selection cannot be copied because the Clipboard is currently unavailable",
                          MB_RETRYCANCEL | MB_ICONQUESTION) != IDRETRY)
            return false;
    }
}

struct AddressHash {
    std::size_t operator()(const EntryAddress& a) const noexcept {
        std::uint64_t h = a.type;
        h = h * 0x9E3779B97F4A7C15ull ^ a.group;
        h = h * 0x9E3779B97F4A7C15ull ^ a.instance;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

}  // namespace

ClipboardOpenHook SetClipboardOpenHook(ClipboardOpenHook hook) {
    ClipboardOpenHook old = std::move(OpenHook());
    OpenHook() = std::move(hook);
    return old;
}

}  // namespace kv

void CDATView::MapSelectionCommands() {
    MapCommand(ID_EDIT_SELECT_ALL, [this] { OnEditSelectAll(); }, [this](CCmdUI* ui) { OnUpdateEditSelectAll(ui); });
    MapCommand(ID_EDIT_COPYSELECTIONLIST, [this] { OnEditCopySelectionList(); },
               [this](CCmdUI* ui) { OnUpdateNeedSelection(ui); });
    MapCommand(ID_EDIT_SELECTCLIPBOARDLIST, [this] { OnEditSelectClipboardList(); },
               [this](CCmdUI* ui) { OnUpdateEditSelectClipboardList(ui); });
}

void CDATView::OnUpdateNeedSelection(CCmdUI* pCmdUI) {
    CDATDoc* doc = GetDocument();
    pCmdUI->Enable(doc && doc->m_nModels != 0 && !IsEmptyForm() && GetSelectedCount() > 0);
}

namespace {

// True when every selected row's model has `views` views; the first row
// that has another number decides.
bool EverySelectedHasViews(CDATView& view, std::int32_t views) {
    CDATDoc* doc = view.GetDocument();
    return kv::ForEachSelectedModel(view, [&](int m) {
        return doc->m_pModels[static_cast<std::size_t>(m)].nViews == views;
    });
}

}  // namespace

void CDATView::OnUpdateNeed1ZRSelection(CCmdUI* pCmdUI) {
    OnUpdateNeedSelection(pCmdUI);
    if (pCmdUI->m_bEnabled) pCmdUI->Enable(EverySelectedHasViews(*this, 1));
}

void CDATView::OnUpdateNeed20ZRSelection(CCmdUI* pCmdUI) {
    OnUpdateNeedSelection(pCmdUI);
    if (pCmdUI->m_bEnabled) pCmdUI->Enable(EverySelectedHasViews(*this, 20));
}

void CDATView::OnUpdateEditSelectAll(CCmdUI* pCmdUI) {
    CDATDoc* doc = GetDocument();
    pCmdUI->Enable(doc && doc->m_nModels != 0);
}

void CDATView::OnEditSelectAll() {
    // The one line of an archive without models is no model to select.
    if (IsEmptyForm()) return;
    SelectAllItems();
}

void CDATView::OnEditCopySelectionList() {
    if (!kv::OpenClipboardWithRetry()) return;
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    std::wstring text;
    CDATDoc* doc = GetDocument();
    if (doc && !IsEmptyForm()) {
        kv::ForEachSelectedModel(*this, [&](int m) {
            _dbpf_index_entry e = doc->IndexEntry(static_cast<std::uint32_t>(doc->m_pModels[static_cast<std::size_t>(m)].nRow));
            text += kv::SelectionListLine({e.type, e.group, e.instance});
            return true;
        });
    }
    if (text.empty()) return;
    clipboard->setText(QString::fromStdWString(text));
}

void CDATView::OnUpdateEditSelectClipboardList(CCmdUI* pCmdUI) {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    pCmdUI->Enable(data && data->hasText());
}

void CDATView::OnEditSelectClipboardList() {
    ClearSelectedItems();
    if (!kv::OpenClipboardWithRetry()) return;
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasText()) {
        AfxMessageBox(L"The Clipbpard does not contain data in text format!");
        return;
    }
    // The clipboard's text ends at its first zero character, as the
    // programs that put it there meant it to.
    QString text = data->text();
    if (qsizetype nul = text.indexOf(QChar(u'\0')); nul >= 0) text.truncate(nul);
    const kv::SelectionListText list =
        kv::ParseSelectionList(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                   static_cast<std::size_t>(text.size())));

    // The first model, in table order, of each base-entry address: one look-up
    // per triple however long the list.
    CDATDoc* doc = GetDocument();
    std::unordered_map<kv::EntryAddress, int, kv::AddressHash> firstModel;
    if (doc) {
        const std::size_t n = std::min<std::size_t>(doc->m_nModels, doc->m_pModels.size());
        firstModel.reserve(n);
        for (std::size_t m = 0; m < n; ++m) {
            _dbpf_index_entry e = doc->IndexEntry(static_cast<std::uint32_t>(doc->m_pModels[m].nRow));
            firstModel.try_emplace(kv::EntryAddress{e.type, e.group, e.instance}, static_cast<int>(m));
        }
    }
    bool selectedAny = false, notFound = false;
    // Rows are gathered and selected at once: one selection change, not one per line.
    std::vector<bool> select(static_cast<std::size_t>(GetItemCount()), false);
    for (const kv::EntryAddress& a : list.triples) {
        auto it = firstModel.find(a);
        if (it == firstModel.end()) {
            notFound = true;
            continue;
        }
        int row = IsEmptyForm() ? -1 : GetListModel().RowOf(it->second);
        if (row < 0 || static_cast<std::size_t>(row) >= select.size()) {
            kv::ShowInternalError(kv::InternalError::kSelectionListRowMissing);
            continue;
        }
        select[static_cast<std::size_t>(row)] = true;
        selectedAny = true;
    }
    QItemSelection selection;
    for (std::size_t r = 0; r < select.size();) {
        if (!select[r]) {
            ++r;
            continue;
        }
        std::size_t end = r;
        while (end + 1 < select.size() && select[end + 1]) ++end;
        selection.select(GetListModel().index(static_cast<int>(r), 0), GetListModel().index(static_cast<int>(end), 0));
        r = end + 1;
    }
    if (!selection.isEmpty())
        selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);

    if (list.incomplete || list.invalid)
        AfxMessageBox(L"The Clipboard content is invalid or not properly formatted!");
    else if (!selectedAny)
        AfxMessageBox(L"None of the items in the Clipboard list was found in this archive!");
    else if (notFound)
        AfxMessageBox(L"Some of the items in the Clipboard list were not found in this archive!");
}
