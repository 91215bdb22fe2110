// The geometry commands of the model list: Measure, Scale, Move, Rotate,
// Flip/Mirror and Re-Orient. Each asks for its parameters (Measure shows its
// result instead), runs its edit over the selected models and, except
// Measure, commits the archive and marks the document modified once all
// models are done. The wait cursor shows from the moment the parameters are
// accepted to the end of the commit (for Measure, while it measures).

#include "archive/dat_doc.h"
#include "edits/edit_frame.h"
#include "platform/message.h"
#include "platform/wait_cursor.h"
#include "resources/resource.h"
#include "ui/command_driver.h"
#include "ui/dat_view.h"
#include "ui/flip_dlg.h"
#include "ui/measure_dlg.h"
#include "ui/move_dlg.h"
#include "ui/reorient_dlg.h"
#include "ui/rotation_dlg.h"
#include "ui/scale_dlg.h"

namespace {


}  // namespace

void CDATView::MapGeometryCommands() {
    auto needSelection = [this](CCmdUI* ui) { OnUpdateNeedSelection(ui); };
    auto need1ZR = [this](CCmdUI* ui) { OnUpdateNeed1ZRSelection(ui); };
    MapCommand(ID_EDIT_MEASUREMODEL, [this] { OnEditMeasureModel(); },
               [this](CCmdUI* ui) { OnUpdateEditMeasureModel(ui); });
    MapCommand(ID_EDIT_SCALEMODELS, [this] { OnEditScaleModels(); }, needSelection);
    MapCommand(ID_EDIT_MOVEMODELS, [this] { OnEditMoveModels(); }, needSelection);
    MapCommand(ID_EDIT_ROTATEMODELS, [this] { OnEditRotateModels(); }, need1ZR);
    MapCommand(ID_EDIT_FLIPMODELS, [this] { OnEditFlipModels(); }, need1ZR);
    MapCommand(ID_EDIT_REORIENT, [this] { OnEditReorient(); }, [this](CCmdUI* ui) { OnUpdateNeed20ZRSelection(ui); });
}

void CDATView::OnUpdateEditMeasureModel(CCmdUI* pCmdUI) {
    CDATDoc* doc = GetDocument();
    pCmdUI->Enable(doc && doc->m_nModels != 0 && !IsEmptyForm() && GetSelectedCount() == 1);
}

void CDATView::OnEditMeasureModel() {
    CDATDoc* doc = GetDocument();
    if (!doc || GetSelectedCount() != 1) return;
    int nModel = -1;
    kv::ForEachSelectedModel(*this, [&](int m) {
        nModel = m;
        return false;  // the first selected row is the one
    });
    if (nModel < 0) return;

    _model_dimensions dims;
    {
        CWaitCursor wait;
        if (!doc->MeasureModel(nModel, &dims)) return;
    }

    CMeasureDlg dlg;
    dlg.m_dWidth = dims.dWidth;
    dlg.m_dDepth = dims.dDepth;
    dlg.m_dHeight = dims.dHeight;
    // The dialog's Y is the model's z and its vertical Z the model's y.
    dlg.m_dFromX = dims.dMinX;
    dlg.m_dToX = dims.dMaxX;
    dlg.m_dFromY = dims.dMinZ;
    dlg.m_dToY = dims.dMaxZ;
    dlg.m_dFromZ = dims.dMinY;
    dlg.m_dToZ = dims.dMaxY;
    dlg.DoModal();
}

void CDATView::OnEditScaleModels() {
    CScalePercDlg dlg(this);
    if (dlg.DoModal() != IDOK) return;
    CWaitCursor wait;
    CDATDoc* doc = GetDocument();
    if (!doc) return;
    const double dFactor = dlg.m_dFactor;
    const bool bUseRatio = dlg.m_nFactorType == 0;
    const int nNumerator = dlg.m_nNumerator;
    const int nDenominator = dlg.m_nDenominator;
    const int nScaleWhat = dlg.m_nScaleWhat;
    kv::RunEntryEdits(*this, kv::kMarkScale, kv::InternalError::kScaleViewMissing, [&](int nRow, int nView) {
        // Rotations 1 and 3 hold the model a quarter turn round, so their x
        // and z trade places.
        return doc->ScaleModel(nRow, nScaleWhat, bUseRatio, nNumerator, nDenominator, nView % 2 != 0, dFactor);
    });
}

void CDATView::OnEditMoveModels() {
    CMoveOffsetDlg dlg;
    if (dlg.DoModal() != IDOK) return;
    CWaitCursor wait;
    CDATDoc* doc = GetDocument();
    if (!doc) return;
    const float fX = dlg.m_fOffsetX, fY = dlg.m_fOffsetY, fZ = dlg.m_fOffsetZ;
    kv::RunEntryEdits(*this, kv::kMarkMove, kv::InternalError::kMoveViewMissing, [&](int nRow, int nView) {
        return doc->MoveModel(nRow, nView % 4, fX, fY, fZ);
    });
}

void CDATView::OnEditRotateModels() {
    CRotationDlg dlg;
    if (dlg.DoModal() != IDOK) return;
    CWaitCursor wait;
    CDATDoc* doc = GetDocument();
    if (!doc) return;
    kv::RunSingleViewEdits(*this, kv::kMarkRotate, kv::InternalError::kRotateNotSingleView,
                           [&](int nRow) { return doc->RotateModel(nRow, dlg.m_nTurns, dlg.m_dAngle); });
}

void CDATView::OnEditFlipModels() {
    CFlipModelDlg dlg;
    if (dlg.DoModal() != IDOK) return;
    CWaitCursor wait;
    CDATDoc* doc = GetDocument();
    if (!doc) return;
    kv::RunSingleViewEdits(*this, kv::kMarkFlip, kv::InternalError::kFlipNotSingleView, [&](int nRow) {
        return doc->FlipModel(nRow, dlg.m_nMode, dlg.m_bReverseTriangles != 0);
    });
}

void CDATView::OnEditReorient() {
    CReorientDlg dlg;
    if (dlg.DoModal() != IDOK) return;
    CWaitCursor wait;
    CDATDoc* doc = GetDocument();
    if (!doc) return;
    bool anyRenumbered = false;
    const bool completed = kv::ForEachSelectedModel(*this, [&](int m) {
        if (doc->m_pModels[static_cast<std::size_t>(m)].nViews != 20) {
            kv::ShowInternalError(kv::InternalError::kReorientNotTwentyView);
            return false;
        }
        // A model whose views are not all there stays as it was, with the
        // edit's message; the others still turn.
        if (doc->ReorientModel(m, dlg.m_nTurns)) {
            kv::MarkModel(*doc, m, kv::kMarkRotate);
            anyRenumbered = true;
        }
        return true;
    });
    // Renumbering changes only index fields inside the image, so there is
    // nothing to commit; the DIR entry must follow the new instances. Models
    // renumbered before a stop are kept in step as well, so the DIR never
    // disagrees with the index and the change is not lost unasked.
    if (!completed && !anyRenumbered) return;
    doc->RebuildDirectory();
    doc->SetModifiedFlag(true);
}
