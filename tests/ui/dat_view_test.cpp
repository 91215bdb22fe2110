// The model list through the real widget: its rows, widths, sorting and
// arrows, hints, tooltips and the empty-archive form.

#include <cstdio>
#include <memory>

#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include "archive/dat_doc.h"
#include "support/archive_fixture.h"
#include "support/message_recorder.h"
#include "support/ui_fixture.h"
#include "ui/dat_view.h"

namespace {

using kvtest::ModelSpec;
using enum CDATListModel::Column;

// A document opened the way the program opens files, and its list.
struct ListFixture {
    explicit ListFixture(const std::vector<ModelSpec>& models) {
        doc = kvtest::OpenArchive(kvtest::BuildArchive(models), "list.dat");
        EXPECT_TRUE(doc);
        if (!doc) return;
        view = std::make_unique<CDATView>();
        doc->AddView(view.get());
        view->OnInitialUpdate();
        view->resize(900, 400);
        view->show();
        kvtest::Settle();
    }
    ~ListFixture() {
        view.reset();
        doc.reset();
    }
    void ClickHeader(int c) {
        QHeaderView* h = view->header();
        QPoint p(h->sectionViewportPosition(c) + h->sectionSize(c) / 2, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, p);
    }
    std::vector<std::intptr_t> Order() const {
        std::vector<std::intptr_t> out;
        for (int r = 0; r < view->GetItemCount(); ++r) out.push_back(view->GetItemData(r));
        return out;
    }
    // The pointer moves onto a cell and comes to rest there; the tip's text
    // afterwards (empty when none shows, or when the one showing is closing).
    QString HoverTip(int row, int column) {
        QRect rect = view->visualRect(view->model()->index(row, column));
        QPoint pos = rect.center();
        QTest::mouseMove(view->viewport(), pos);
        QHelpEvent e(QEvent::ToolTip, pos, view->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(view->viewport(), &e);
        // A closing tip lingers for a moment (300 ms) before it goes.
        QTest::qWait(350);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
    kvtest::MessageRecorder messages;
    std::unique_ptr<CDATDoc> doc;
    std::unique_ptr<CDATView> view;
};

std::vector<ModelSpec> ThreeGroups() {
    return {{0x80000000, 0x100, false, "bravo"}, {0x7fffffff, 0x200, false, "alpha"}, {0x00000001, 0x300, false, "Charlie"}};
}

TEST(DatView, FreshListShowsModelTableOrderWithArrowOnNum) {
    ListFixture f({{0x10, 0x1000, false, "one"}, {0x20, 0x20000, true, "0a1b2c3d_Hotel_UserModel_Z1S"}, {0x30, 0x3000, false, "three"}});
    ASSERT_TRUE(f.view);
    ASSERT_EQ(f.view->GetItemCount(), 3);
    EXPECT_EQ(f.Order(), (std::vector<std::intptr_t>{0, 1, 2}));
    // Row texts as the columns define them; the set lists once, under its base row.
    EXPECT_EQ(f.view->GetItemText(1, kColNum), "1");
    EXPECT_EQ(f.view->GetItemText(1, kColEntry), "S3D file");
    EXPECT_EQ(f.view->GetItemText(1, kColType), "0x5ad0e817");
    EXPECT_EQ(f.view->GetItemText(1, kColGroup), "0x000020");
    EXPECT_EQ(f.view->GetItemText(1, kColInstance), "0x020000");
    EXPECT_EQ(f.view->GetItemText(1, kColViews), "20");
    EXPECT_EQ(f.view->GetItemText(1, kColChanges), QString(7, QChar(0x2013)));
    EXPECT_EQ(f.view->GetItemText(1, kColName), "Hotel");
    EXPECT_EQ(f.view->GetItemText(2, kColNum), "21");
    EXPECT_EQ(f.view->GetColumnFormat(kColNum), CDATView::LVCFMT_RIGHT | CDATView::HDF_SORTUP);
    EXPECT_EQ(f.view->GetColumnFormat(kColViews), CDATView::LVCFMT_RIGHT);
    EXPECT_EQ(f.view->header()->sortIndicatorSection(), kColNum);
    EXPECT_FALSE(f.view->isHeaderHidden());
    EXPECT_TRUE(f.messages.boxes().empty());
}

TEST(DatView, HexCellsFollowThePrintfForm) {
    for (std::uint32_t v : {0u, 1u, 0x10u, 0xABCDEFu, 0x1000000u, 0x5AD0E817u, 0xFFFFFFFFu}) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%#08x", v);
        EXPECT_EQ(CDATListModel::HexText(v), QString::fromLatin1(buf)) << v;
    }
}

TEST(DatView, HeaderClicksSortAndEachColumnRemembersItsDirection) {
    ListFixture f(ThreeGroups());
    ASSERT_TRUE(f.view);
    f.ClickHeader(kColNum);
    EXPECT_EQ(f.Order(), (std::vector<std::intptr_t>{2, 1, 0}));
    EXPECT_EQ(f.view->GetColumnFormat(kColNum), CDATView::LVCFMT_RIGHT | CDATView::HDF_SORTDOWN);
    f.ClickHeader(kColGroup);  // Group, ascending, as unsigned numbers
    EXPECT_EQ(f.Order(), (std::vector<std::intptr_t>{2, 1, 0}));
    EXPECT_EQ(f.view->GetColumnFormat(kColNum), CDATView::LVCFMT_RIGHT);
    EXPECT_EQ(f.view->GetColumnFormat(kColGroup), CDATView::HDF_SORTUP);
    EXPECT_EQ(f.view->header()->sortIndicatorSection(), kColGroup);
    f.ClickHeader(kColGroup);
    EXPECT_EQ(f.Order(), (std::vector<std::intptr_t>{0, 1, 2}));
    EXPECT_EQ(f.view->GetColumnFormat(kColGroup), CDATView::HDF_SORTDOWN);
    f.ClickHeader(kColNum);  // Num comes back descending, as it was left
    EXPECT_EQ(f.Order(), (std::vector<std::intptr_t>{2, 1, 0}));
    EXPECT_EQ(f.view->GetColumnFormat(kColNum), CDATView::LVCFMT_RIGHT | CDATView::HDF_SORTDOWN);
    EXPECT_EQ(f.view->GetColumnFormat(kColGroup), 0);
    f.ClickHeader(kColNum);
    EXPECT_EQ(f.Order(), (std::vector<std::intptr_t>{0, 1, 2}));
}

TEST(DatView, NamesSortByTheLocaleAndEqualRowsKeepTheirOrder) {
    ListFixture f({{1, 0x10, false, "b"}, {1, 0x20, false, "A"}, {1, 0x30, false, "a"}, {1, 0x40, false, "B"},
                   {1, 0x50, false, "a"}});
    ASSERT_TRUE(f.view);
    f.ClickHeader(kColName);
    EXPECT_EQ(f.Order(), (std::vector<std::intptr_t>{2, 4, 1, 0, 3}));
    f.ClickHeader(kColViews);  // all one view: nothing moves
    EXPECT_EQ(f.Order(), (std::vector<std::intptr_t>{2, 4, 1, 0, 3}));
    f.ClickHeader(kColEntry);  // every row equal
    EXPECT_EQ(f.Order(), (std::vector<std::intptr_t>{2, 4, 1, 0, 3}));
}

TEST(DatView, NamesSortAsWordsWhereHyphensAndApostrophesWeighNextToNothing) {
    // Model-table order on the left, the expected order by name on the right.
    const std::vector<std::string> names = {"a-c", "it's", "ab", "co-op", "itr", "coop", "a_c", "Co-op"};
    std::vector<ModelSpec> models;
    for (std::size_t i = 0; i < names.size(); ++i) models.push_back({1, static_cast<std::uint32_t>(0x10 * (i + 1)), false, names[i]});
    ListFixture f(models);
    ASSERT_TRUE(f.view);
    f.ClickHeader(kColName);
    QStringList shown;
    for (int r = 0; r < f.view->GetItemCount(); ++r) shown << f.view->GetItemText(r, kColName);
    const QStringList ascending{"a_c", "ab", "a-c", "coop", "co-op", "Co-op", "itr", "it's"};
    EXPECT_EQ(shown, ascending);
    // Descending is the exact reverse: equal rows would keep their order, so
    // no two of these names compare equal.
    f.ClickHeader(kColName);
    shown.clear();
    for (int r = 0; r < f.view->GetItemCount(); ++r) shown << f.view->GetItemText(r, kColName);
    EXPECT_EQ(shown, QStringList(ascending.rbegin(), ascending.rend()));
}

TEST(DatView, SortingReadsTheRecordsNotTheCellTexts) {
    ListFixture f(ThreeGroups());
    ASSERT_TRUE(f.view);
    // A mark set without a hint: the cell keeps its old text, the sort sees the mark.
    f.doc->m_pModels[2].szStatus[1] = L'M';
    f.ClickHeader(kColChanges);
    int first = f.view->GetListModel().RowOf(2);
    EXPECT_TRUE(first == 0 || first == 2) << "the marked model sorts apart from the unmarked ones";
    f.ClickHeader(kColChanges);
    EXPECT_EQ(f.view->GetListModel().RowOf(2), 2 - first);
    EXPECT_EQ(f.view->GetItemText(f.view->GetListModel().RowOf(2), 6), QString(7, QChar(0x2013)));
}

TEST(DatView, HintsRewriteOneCellWithoutResorting) {
    ListFixture f(ThreeGroups());
    ASSERT_TRUE(f.view);
    f.ClickHeader(kColChanges);  // sorted on Changes
    std::vector<std::intptr_t> before = f.Order();
    CDATDoc& doc = *f.doc;
    doc.m_pModels[1].szStatus[3] = L'S';
    doc.m_pModels[1].nRow = 2;  // as a re-orientation would leave it
    doc.UpdateAllViews(nullptr, 1, HINT_MODEL_CHANGES);
    int row = f.view->GetListModel().RowOf(1);
    EXPECT_EQ(f.view->GetItemText(row, kColChanges), QString::fromWCharArray(L"\u2013\u2013\u2013S\u2013\u2013\u2013"));
    EXPECT_EQ(f.view->GetItemText(row, kColNum), "1") << "hint 10 leaves the Num cell alone";
    EXPECT_EQ(f.Order(), before);
    doc.UpdateAllViews(nullptr, 1, HINT_MODEL_ROW);
    EXPECT_EQ(f.view->GetItemText(row, kColNum), "2");
    EXPECT_EQ(f.Order(), before);
    // A hint for a model that has no row changes nothing.
    doc.UpdateAllViews(nullptr, 77, HINT_MODEL_CHANGES);
    doc.UpdateAllViews(nullptr, -1, HINT_MODEL_ROW);
    EXPECT_EQ(f.Order(), before);
    // Num sorts by model-table position, whatever the cell says.
    f.ClickHeader(kColNum);
    EXPECT_EQ(f.Order(), (std::vector<std::intptr_t>{0, 1, 2}));
    doc.m_pModels[1].nRow = 1;
}

TEST(DatView, SelectionTravelsWithItsRows) {
    ListFixture f(ThreeGroups());
    ASSERT_TRUE(f.view);
    f.view->SetItemSelected(0, true);
    f.ClickHeader(kColNum);  // model 0 is now the last row
    EXPECT_EQ(f.view->GetSelectedCount(), 1);
    EXPECT_TRUE(f.view->IsItemSelected(2));
    EXPECT_FALSE(f.view->IsItemSelected(0));
    f.view->SelectAllItems();
    EXPECT_EQ(f.view->GetSelectedCount(), 3);
}

TEST(DatView, ColumnsFitTheirTitlePlus32AndTheirWidestCellWhole) {
    // Names as real archives have them, each set with another widest cell;
    // the widest by characters need not be the widest drawn.
    const std::vector<std::vector<ModelSpec>> lists = {
        {{1, 0x10, false, "a rather long texture name for the last column"}, {0xFFFFFFFF, 0xABCDEF12, false, "x"}},
        {{2, 0x20, false, "NYBT_Gracie_Manor01"}, {3, 0x30, false, "NYBT_Gracie_Manor02"}},
        {{4, 0x40, false, "WWWW_MMMM_Tower_Office_Block_Mill_07"}, {5, 0x50, false, "x"}},
        {{5, 0x50, false, "iiiillll_llll_iiii_jjjj_ffff_tttt_rrrr_1111"}, {6, 0x60, false, "NYBT_Gracie_Manor01"}},
    };
    for (const auto& models : lists) {
        ListFixture f(models);
        ASSERT_TRUE(f.view);
        QFontMetrics titles(f.view->header()->font());
        for (int c = 0; c < CDATListModel::kColumns; ++c) {
            int width = f.view->GetColumnWidth(c);
            EXPECT_GE(width, titles.horizontalAdvance(QString::fromWCharArray(CDATListModel::kColumnSpecs[c].title)) + 32) << c;
            // The width the view's own delegate asks for to draw the cell unelided.
            for (int r = 0; r < f.view->GetItemCount(); ++r)
                EXPECT_GE(width, f.view->sizeHintForIndex(f.view->model()->index(r, c)).width())
                    << c << " row " << r << " " << f.view->GetItemText(r, c).toStdString();
        }
    }
}

TEST(DatView, ChangesTipWordsTheMarksOfTheRowUnderThePointer) {
    ListFixture f({{1, 0x10, false, "single"}, {2, 0x20000, true, "set"}});
    ASSERT_TRUE(f.view);
    f.doc->m_pModels[0].szStatus[1] = L'M';
    f.doc->m_pModels[0].szStatus[3] = L'S';
    f.doc->m_pModels[1].szStatus[2] = L'R';
    CDATView::s_nLastTipItem = -1;
    EXPECT_EQ(f.HoverTip(0, kColChanges), "Moved, Scaled");
    // Onto another row: the pointer's move closes the old tip, its rest opens the new one.
    EXPECT_EQ(f.HoverTip(1, kColChanges), "Reoriented");
    EXPECT_EQ(f.HoverTip(1, kColChanges), "Reoriented");
    // Other columns have no tip.
    EXPECT_EQ(f.HoverTip(1, kColName), "");
    EXPECT_EQ(CDATView::s_nLastTipItem, -1);
    EXPECT_EQ(f.HoverTip(0, kColChanges), "Moved, Scaled");
    QToolTip::hideText();
}

TEST(DatView, AnArchiveWithoutModelsShowsOneLineUnderAHiddenHeader) {
    kvtest::MessageRecorder messages;
    kvtest::DbpfBuilder b;
    b.Add(0x12345678, 1, 2, std::vector<std::uint8_t>(8, 0));
    auto doc = kvtest::OpenArchive(b.Build(), "empty.dat");
    ASSERT_TRUE(doc);
    auto view = std::make_unique<CDATView>();
    doc->AddView(view.get());
    view->OnInitialUpdate();
    view->show();
    kvtest::Settle();
    EXPECT_TRUE(view->isHeaderHidden());
    EXPECT_TRUE(view->IsEmptyForm());
    ASSERT_EQ(view->GetItemCount(), 1);
    EXPECT_EQ(view->GetItemText(0, 0), "This archive contains no S3D files!");
    EXPECT_EQ(view->model()->columnCount(), 1);
    EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "---");
    EXPECT_GE(view->GetColumnWidth(0), QFontMetrics(view->font()).horizontalAdvance(view->GetItemText(0, 0)));
    // The keys of Select All and Copy do nothing by themselves.
    QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(view->IsItemSelected(0));
    // Nothing to sort, no hint to apply (there is no model 0), no tip.
    view->OnHeaderItemClick(0);
    doc->UpdateAllViews(nullptr, 0, HINT_MODEL_CHANGES);
    doc->UpdateAllViews(nullptr, 0, HINT_MODEL_ROW);
    EXPECT_EQ(view->GetItemText(0, 0), "This archive contains no S3D files!");
    QRect cell = view->visualRect(view->model()->index(0, 0));
    QHelpEvent e(QEvent::ToolTip, cell.center(), view->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(view->viewport(), &e);
    EXPECT_FALSE(QToolTip::isVisible());
    view.reset();
}

}  // namespace
