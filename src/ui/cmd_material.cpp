// Merge Model(s), Set Transparency and Replace Texture: the commands that
// work on the materials and content of the selected models rather than on
// their geometry. The wait cursor shows from the moment the parameters are
// accepted to the end of the commit; the result dialog that follows is not
// part of the wait, and filling a report window is a wait of its own.

#include <optional>
#include <string>
#include <utility>

#include "archive/dat_doc.h"
#include "platform/message.h"
#include "platform/wait_cursor.h"
#include "resources/resource.h"
#include "ui/command_driver.h"
#include "ui/dat_view.h"
#include "ui/merge_dlg.h"
#include "ui/rpt_dlg.h"
#include "ui/rtexture_dlg.h"
#include "ui/transparency_dlg.h"

void CDATView::MapMaterialCommands() {
    auto needSelection = [this](CCmdUI* ui) { OnUpdateNeedSelection(ui); };
    MapCommand(ID_EDIT_MERGEMODELS, [this] { OnEditMergeModels(); }, needSelection);
    MapCommand(ID_EDIT_SETTRANSPARENCY, [this] { OnEditSetTransparency(); }, needSelection);
    MapCommand(ID_EDIT_REPLACETEXTURE, [this] { OnEditReplaceTexture(); }, needSelection);
}

void CDATView::OnEditMergeModels() {
    CDATDoc* doc = GetDocument();
    if (!doc) return;

    // A selection that holds any single-view model can only take a
    // single-view source.
    bool bOnly1ZR = false;
    kv::ForEachSelectedModel(*this, [&](int m) {
        bOnly1ZR = doc->m_pModels[static_cast<std::size_t>(m)].nViews == 1;
        return !bOnly1ZR;
    });

    CMergeDlg dlg(bOnly1ZR, this);
    if (dlg.DoModal() != IDOK || !dlg.m_pSrcDoc) return;
    CWaitCursor wait;

    const bool merged = kv::ForEachSelectedModel(*this, [&](int m) {
        if (!doc->MergeModel(m, dlg.m_pSrcDoc, dlg.m_nSrcModel)) return false;
        kv::MarkModel(*doc, m, kv::kMarkMerge);
        return true;
    });
    if (!merged) {
        AfxMessageBox(L"Merging of Models Failed!!!\n\nIt is recommended that you exit without saving this file!",
                      MB_OK | MB_ICONSTOP);
        // What was stored before the failure goes into the image at once; the
        // archive is not marked modified, so closing it asks nothing.
        doc->CommitReplacedEntries();
        return;
    }
    kv::CommitAndSetModified(*doc);
}

void CDATView::OnEditSetTransparency() {
    CTransparencyDlg dlg(this);
    if (dlg.DoModal() != IDOK) return;
    std::optional<CWaitCursor> wait(std::in_place);
    CDATDoc* doc = GetDocument();
    if (!doc) return;

    int settings[6];
    for (int i = 0; i < 6; ++i) settings[i] = dlg.m_nSettings[i];
    const int nDepthFunc = dlg.m_nDepthFunc;

    std::wstring report = ReportHeading(L"Transparency Settings Report for ", *doc);
    bool bAttempted = false, bAnyChanged = false;
    int bNoAction = 0;
    const std::uint64_t stores = doc->m_nStores;
    const bool completed = kv::ForEachSelectedModel(*this, [&](int m) {
        const bool twenty = doc->m_pModels[static_cast<std::size_t>(m)].nViews == 20;
        // The setting that applies to view j: its zoom level's for a
        // twenty-view model, the single-view one otherwise.
        auto setting = [&](int j) { return twenty ? settings[j / 4] : settings[CTransparencyDlg::k1ZR]; };
        bool bModelChanged = false;
        const bool ok = kv::ForEachModelEntry(
            *doc, m, kv::InternalError::kTransparencyViewMissing,
            [&](int nRow, int nView) {
                int bChanged = 0;
                if (!doc->SetTransparency(nRow, setting(nView) == CTransparencyDlg::kSet, nDepthFunc, report, &bChanged,
                                          &bNoAction))
                    return false;
                if (bChanged) bModelChanged = bAnyChanged = true;
                bAttempted = true;
                return true;
            },
            [&](int nView) { return setting(nView) != CTransparencyDlg::kNoChange; });
        if (!ok) return false;
        if (bModelChanged) kv::MarkModel(*doc, m, kv::kMarkTransparency);
        return true;
    });
    if (!completed) {
        kv::MarkModifiedIfStored(*doc, stores);
        return;
    }

    if (!bAttempted) {
        AfxMessageBox(settings[CTransparencyDlg::k1ZR] != CTransparencyDlg::kNoChange
                          ? L"You have requested changes only for 1-Z/R models, but your current selection does not "
                            L"contain such models."
                          : L"You have requested changes only for 20-Z/R models, but your current selection does not "
                            L"contain such models.",
                      MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!doc->CommitReplacedEntries()) return;
    if (bAnyChanged) doc->SetModifiedFlag(true);
    wait.reset();

    CRptDlg rpt;
    SetRptOutcome(rpt, bAnyChanged, bNoAction != 0,
                  L"The operations requested were not carried-out for some of the selected S3D files!",
                  L"The operations requested were not carried-out for any of the selected S3D files!");
    ShowResultAndReport(rpt, *doc, std::move(report));
}

void CDATView::OnEditReplaceTexture() {
    CRTextureDialog dlg(this);
    if (dlg.DoModal() != IDOK) return;
    std::optional<CWaitCursor> wait(std::in_place);
    CDATDoc* doc = GetDocument();
    if (!doc) return;

    const std::wstring strFind = MaskDigits(dlg.m_strFind);
    const std::wstring strReplace = MaskDigits(dlg.m_strReplace);

    std::wstring report = ReportHeading(L"Texture Replacement Report for ", *doc);
    bool bProcessed = false, bAnyChanged = false;
    int bUnchanged = 0;
    const std::uint64_t stores = doc->m_nStores;
    const bool completed = kv::ForEachSelectedModel(*this, [&](int m) {
        bool bModelChanged = false;
        const bool ok = kv::ForEachModelEntry(*doc, m, kv::InternalError::kTextureViewMissing, [&](int nRow, int) {
            int bChanged = 0;
            if (!doc->ReplaceTexture(nRow, strFind, strReplace, report, &bChanged, &bUnchanged)) return false;
            if (bChanged) bModelChanged = bAnyChanged = true;
            bProcessed = true;
            return true;
        });
        if (!ok) return false;
        if (bModelChanged) kv::MarkModel(*doc, m, kv::kMarkTexture);
        return true;
    });
    if (!completed) {
        kv::MarkModifiedIfStored(*doc, stores);
        return;
    }

    if (!bProcessed) {
        kv::ShowInternalError(kv::InternalError::kTextureNothingProcessed);
        return;
    }
    if (!doc->CommitReplacedEntries()) return;
    if (bAnyChanged) doc->SetModifiedFlag(true);
    wait.reset();

    CRptDlg rpt;
    rpt.m_strTitle = L"Texture Replace Operation";
    SetRptOutcome(rpt, bAnyChanged, bUnchanged != 0,
                  L"The operations requested were not carried-out for some of the selected S3D files/textures!",
                  L"The operations requested were not carried-out for any of the selected S3D files/textures!");
    ShowResultAndReport(rpt, *doc, std::move(report));
}
