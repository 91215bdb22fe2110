// The shape every Edit command shares: which selections enable a command, the
// walk over the selected rows in display order and over a twenty-view set's
// entries, the stop at the first failure, the marks with their hints, and the
// commit with the modified flag.

#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "archive/dat_doc.h"
#include "edits/edit_frame.h"
#include "support/archive_fixture.h"
#include "support/message_recorder.h"
#include "support/ui_fixture.h"
#include "ui/command_driver.h"
#include "ui/dat_view.h"

namespace {

using kvtest::ModelSpec;

// Records the hints that reach a further view of the document.
struct HintSpy : CView {
    void OnUpdate(CView*, std::intptr_t hint, std::intptr_t code) override { hints.emplace_back(hint, code); }
    std::vector<std::pair<std::intptr_t, std::intptr_t>> hints;
};

// Five models: single, twenty, single, twenty, single.
const std::vector<ModelSpec> kFive = {
    {0x1000, 0x10000, false, "A"}, {0x2000, 0x20000, true, "B"}, {0x3000, 0x30000, false, "C"},
    {0x4000, 0x40000, true, "D"},  {0x5000, 0x50000, false, "E"},
};

struct DriverWindow {
    explicit DriverWindow(const std::vector<ModelSpec>& models) : DriverWindow(kvtest::BuildArchive(models)) {}
    explicit DriverWindow(const std::vector<std::uint8_t>& bytes) {
        doc = kvtest::OpenArchive(bytes, "driver.dat");
        EXPECT_TRUE(doc);
        if (!doc) return;
        view = std::make_unique<CDATView>();
        doc->AddView(view.get());
        doc->AddView(&spy);
        view->OnInitialUpdate();
        view->resize(900, 300);
        view->show();
        kvtest::Settle();
    }
    ~DriverWindow() {
        if (doc) doc->RemoveView(&spy);
        view.reset();
        doc.reset();
    }
    void Select(const std::vector<int>& models) {
        view->ClearSelectedItems();
        for (int m : models) view->SetItemSelected(view->GetListModel().RowOf(m), true);
    }
    bool Enabled(void (CDATView::*update)(CCmdUI*)) {
        CCmdUI ui(0);
        (view.get()->*update)(&ui);
        return ui.m_bEnabled;
    }
    std::wstring Marks(int m) const { return std::wstring(doc->m_pModels[static_cast<std::size_t>(m)].szStatus.data(), 7); }
    QString ChangesCell(int m) const { return view->GetItemText(view->GetListModel().RowOf(m), CDATListModel::kColChanges); }

    std::unique_ptr<CDATDoc> doc;
    std::unique_ptr<CDATView> view;
    HintSpy spy;
};

const std::wstring kUnmarked(7, kUnchangedMark);

std::wstring WithMark(int position) {
    std::wstring s = kUnmarked;
    s[static_cast<std::size_t>(position)] = kChangeLetters[position];
    return s;
}

TEST(CommandDriver, UpdateHandlersFollowTheSelection) {
    DriverWindow w(kFive);
    ASSERT_TRUE(w.doc);
    struct Case {
        std::vector<int> selected;
        bool any, single, twenty;
    };
    const Case cases[] = {
        {{}, false, false, false},
        {{0}, true, true, false},
        {{0, 2, 4}, true, true, false},
        {{1}, true, false, true},
        {{1, 3}, true, false, true},
        {{0, 1}, true, false, false},  // mixed: only the plain rule holds
        {{3, 4}, true, false, false},
    };
    for (const Case& c : cases) {
        w.Select(c.selected);
        EXPECT_EQ(w.Enabled(&CDATView::OnUpdateNeedSelection), c.any) << c.selected.size();
        EXPECT_EQ(w.Enabled(&CDATView::OnUpdateNeed1ZRSelection), c.single) << c.selected.size();
        EXPECT_EQ(w.Enabled(&CDATView::OnUpdateNeed20ZRSelection), c.twenty) << c.selected.size();
    }

    // No models: nothing is enabled, whatever the list shows.
    kvtest::DbpfBuilder b;
    b.Add(0x12345678, 1, 2, std::vector<std::uint8_t>(8, 0));
    DriverWindow empty(b.Build());
    ASSERT_TRUE(empty.doc);
    empty.view->SelectAllItems();
    EXPECT_FALSE(empty.Enabled(&CDATView::OnUpdateNeedSelection));
    EXPECT_FALSE(empty.Enabled(&CDATView::OnUpdateNeed1ZRSelection));
    EXPECT_FALSE(empty.Enabled(&CDATView::OnUpdateNeed20ZRSelection));
}

TEST(CommandDriver, WalksSelectedModelsInDisplayOrderAndTwentyViewsInViewOrder) {
    kvtest::MessageRecorder messages;
    DriverWindow w(kFive);
    ASSERT_TRUE(w.doc);
    w.view->OnHeaderItemClick(CDATListModel::kColGroup);
    w.view->OnHeaderItemClick(CDATListModel::kColGroup);  // group descending: E D C B A
    w.Select({0, 1, 3});
    std::vector<std::pair<int, int>> calls;
    EXPECT_TRUE(kv::RunEntryEdits(*w.view, kv::kMarkMove, kv::InternalError::kMoveViewMissing, [&](int row, int v) {
        calls.emplace_back(row, v);
        return true;
    }));
    std::vector<std::pair<int, int>> expected;
    for (int model : {3, 1}) {
        const int base = w.doc->m_pModels[static_cast<std::size_t>(model)].nRow;
        for (int v = 0; v < 20; ++v) expected.emplace_back(w.doc->FindViewRow(base, v), v);
    }
    expected.emplace_back(w.doc->m_pModels[0].nRow, 0);
    EXPECT_EQ(calls, expected);
    // Each twenty-view entry is its own row, whose instance follows the numbering.
    const _dbpf_index_entry base = w.doc->IndexEntry(static_cast<std::uint32_t>(w.doc->m_pModels[3].nRow));
    EXPECT_EQ(w.doc->IndexEntry(static_cast<std::uint32_t>(calls[7].first)).instance, base.instance + 0x100 + 0x30);

    for (int m : {0, 1, 3}) EXPECT_EQ(w.Marks(m), WithMark(kv::kMarkMove)) << m;
    for (int m : {2, 4}) EXPECT_EQ(w.Marks(m), kUnmarked) << m;
    EXPECT_EQ(w.ChangesCell(3), QString::fromStdWString(WithMark(kv::kMarkMove)));
    // One hint per model as it completes, in the order the models were done.
    EXPECT_EQ(w.spy.hints, (std::vector<std::pair<std::intptr_t, std::intptr_t>>{
                               {3, HINT_MODEL_CHANGES}, {1, HINT_MODEL_CHANGES}, {0, HINT_MODEL_CHANGES}}));
    EXPECT_TRUE(w.doc->IsModified());
    EXPECT_TRUE(messages.boxes().empty());
}

TEST(CommandDriver, AStepPerModelGetsEachModelOnceBeforeItsEntries) {
    // Measure, then move the model along x until it starts at 0: the
    // measure must come once per model, before its entries.
    kvtest::MessageRecorder messages;
    DriverWindow w(kFive);
    ASSERT_TRUE(w.doc);
    w.Select({1, 4});
    std::vector<int> stepped;
    EXPECT_TRUE(kv::RunModelEdits(*w.view, kv::kMarkMove, [&](int m) {
        stepped.push_back(m);
        _model_dimensions dims;
        if (!w.doc->MeasureModel(m, &dims)) return false;
        return kv::ForEachModelEntry(*w.doc, m, kv::InternalError::kMoveViewMissing, [&](int row, int v) {
            return w.doc->MoveModel(row, v % 4, static_cast<float>(-dims.dMinX), 0.0f, 0.0f);
        });
    }));
    EXPECT_EQ(stepped, (std::vector<int>{1, 4}));
    for (int m : {1, 4}) {
        _model_dimensions dims;
        ASSERT_TRUE(w.doc->MeasureModel(m, &dims));
        EXPECT_NEAR(dims.dMinX, 0.0, 1e-4) << m;
        EXPECT_EQ(w.Marks(m), WithMark(kv::kMarkMove)) << m;
    }
    EXPECT_EQ(w.Marks(0), kUnmarked);
    EXPECT_FALSE(w.doc->AnyPending());
    EXPECT_TRUE(w.doc->IsModified());
    EXPECT_TRUE(messages.boxes().empty());
}

TEST(CommandDriver, AFailureEndsTheCommandBeforeTheCommit) {
    kvtest::MessageRecorder messages;
    DriverWindow w(kFive);
    ASSERT_TRUE(w.doc);
    w.view->SelectAllItems();
    // Real moves for every entry until view 2 of the twenty-view set B, the
    // second model shown.
    const int bBase = w.doc->m_pModels[1].nRow;
    auto bytesOf = [&](int row) {
        auto b = w.doc->EntryBytes(static_cast<std::uint32_t>(row));
        return std::vector<std::uint8_t>(b.begin(), b.end());
    };
    const auto view1Before = bytesOf(w.doc->FindViewRow(bBase, 1));
    const auto view2Before = bytesOf(w.doc->FindViewRow(bBase, 2));
    int calls = 0;
    auto edit = [&](int row, int v) {
        if (row == w.doc->FindViewRow(w.doc->m_pModels[1].nRow, 2)) return false;
        ++calls;
        return w.doc->MoveModel(row, v % 4, 1.0f, 2.0f, 3.0f);
    };
    EXPECT_FALSE(kv::RunEntryEdits(*w.view, kv::kMarkMove, kv::InternalError::kMoveViewMissing, edit));
    EXPECT_EQ(calls, 1 + 2);
    // The entries before the failing one are edited, the failing one is not.
    EXPECT_NE(bytesOf(w.doc->FindViewRow(bBase, 1)), view1Before);
    EXPECT_EQ(bytesOf(w.doc->FindViewRow(bBase, 2)), view2Before);
    EXPECT_EQ(w.Marks(0), WithMark(kv::kMarkMove));
    for (int m : {1, 2, 3, 4}) EXPECT_EQ(w.Marks(m), kUnmarked) << m;
    EXPECT_EQ(w.spy.hints.size(), 1u);
    // Model A and two views of B were stored: closing must ask before they go.
    EXPECT_TRUE(w.doc->IsModified());
    EXPECT_TRUE(messages.boxes().empty());  // the edit has said why, not the driver
    w.doc->SetModifiedFlag(false);

    // The next command that completes marks the document modified, though
    // every entry went back in place at its old size.
    w.Select({2});
    EXPECT_TRUE(kv::RunEntryEdits(*w.view, kv::kMarkScale, kv::InternalError::kScaleViewMissing,
                                  [&](int row, int v) { return w.doc->MoveModel(row, v, 0.5f, 0.0f, 0.0f); }));
    EXPECT_FALSE(w.doc->AnyPending());
    EXPECT_TRUE(w.doc->IsModified());
    EXPECT_EQ(w.Marks(2), WithMark(kv::kMarkScale));

    // The single-view shape stops the same way after a model it has flipped.
    w.doc->SetModifiedFlag(false);
    messages.Clear();
    w.Select({0, 1});
    EXPECT_FALSE(kv::RunSingleViewEdits(*w.view, kv::kMarkFlip, kv::InternalError::kFlipNotSingleView,
                                        [&](int row) { return w.doc->FlipModel(row, 0, false); }));
    EXPECT_EQ(messages.texts(), std::vector<std::wstring>{L"Internal Error #5! This should never occur!!!"});
    EXPECT_TRUE(w.doc->IsModified());
}

TEST(CommandDriver, AMissingViewIsTheCommandsInternalError) {
    kvtest::MessageRecorder messages;
    DriverWindow w(kFive);
    ASSERT_TRUE(w.doc);
    // Renumber view 5 of set B away after the table was built.
    const int row5 = w.doc->FindViewRow(w.doc->m_pModels[1].nRow, 5);
    _dbpf_index_entry e = w.doc->IndexEntry(static_cast<std::uint32_t>(row5));
    e.instance = 0x77777777;
    w.doc->SetIndexEntry(static_cast<std::uint32_t>(row5), e);

    w.Select({0, 1, 2});
    std::vector<int> views;
    EXPECT_FALSE(kv::RunEntryEdits(*w.view, kv::kMarkScale, kv::InternalError::kScaleViewMissing, [&](int, int v) {
        views.push_back(v);
        return true;
    }));
    EXPECT_EQ(messages.texts(), std::vector<std::wstring>{L"Internal Error #1! This should never occur!!!"});
    EXPECT_EQ(kv::EffectiveIcon(messages.boxes()[0].type), unsigned{MB_ICONEXCLAMATION});
    // Model A, then views 0 to 4 of B; C is never reached.
    EXPECT_EQ(views, (std::vector<int>{0, 0, 1, 2, 3, 4}));
    EXPECT_EQ(w.Marks(0), WithMark(kv::kMarkScale));
    EXPECT_EQ(w.Marks(1), kUnmarked);
    EXPECT_FALSE(w.doc->IsModified());

    // A view the command does not want is not looked up at all.
    messages.Clear();
    w.Select({1});
    views.clear();
    EXPECT_TRUE(kv::ForEachModelEntry(
        *w.doc, 1, kv::InternalError::kTransparencyViewMissing,
        [&](int, int v) {
            views.push_back(v);
            return true;
        },
        [](int v) { return v / 4 != 1; }));
    EXPECT_EQ(views.size(), 16u);
    EXPECT_TRUE(messages.boxes().empty());
}

TEST(CommandDriver, InternalErrorsReadAsTheProgramAlwaysWroteThem) {
    kvtest::MessageRecorder messages;
    kv::ShowInternalError(kv::InternalError::kReorientNotTwentyView);
    kv::ShowInternalError(kv::InternalError::kSelectionListRowMissing);
    EXPECT_EQ(messages.texts(), (std::vector<std::wstring>{L"Internal Error #6! This should never occur!!!",
                                                           L"Internal Error #37! This should never occur!!!"}));
    EXPECT_EQ(messages.boxes()[0].type & MB_TYPEMASK, unsigned{MB_OK});
}

}  // namespace
