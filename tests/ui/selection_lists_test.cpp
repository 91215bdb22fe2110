// Select All, Copy Selection List and Select Clipboard List through the real
// list and the in-process clipboard, and the reader of selection-list text.

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include <gtest/gtest.h>

#include "archive/dat_doc.h"
#include "platform/qt/std_ids.h"
#include "resources/resource.h"
#include "support/archive_fixture.h"
#include "support/message_recorder.h"
#include "support/ui_fixture.h"
#include "ui/command_driver.h"
#include "ui/dat_view.h"
#include "ui/selection_list_parse.h"

namespace {

using kvtest::ModelSpec;
using namespace std::literals;

const wchar_t* const kInvalid = L"The Clipboard content is invalid or not properly formatted!";
const wchar_t* const kNoneFound = L"None of the items in the Clipboard list was found in this archive!";
const wchar_t* const kSomeNotFound = L"Some of the items in the Clipboard list were not found in this archive!";
const wchar_t* const kRetry = L"The Selection cannot be copied because the Clipboard is currently unavailable";

// Four models: three single-view, one twenty-view set, in this table order.
const std::vector<ModelSpec> kModels = {
    {0x1000, 0x10000, false, "Alpha"},
    {0x2000, 0x20000, true, "Bravo"},
    {0x3000, 0x30000, false, "Charlie"},
    {0x0500, 0x40000, false, "Delta"},
};

struct ListWindow {
    explicit ListWindow(const std::vector<ModelSpec>& models, const char* name = "lists.dat")
        : ListWindow(kvtest::OpenArchive(kvtest::BuildArchive(models), name)) {}
    explicit ListWindow(std::unique_ptr<CDATDoc> d) : doc(std::move(d)) {
        EXPECT_TRUE(doc);
        if (!doc) return;
        view = AddView();
    }
    ~ListWindow() {
        views.clear();
        doc.reset();
    }
    CDATView* AddView() {
        views.push_back(std::make_unique<CDATView>());
        CDATView* v = views.back().get();
        doc->AddView(v);
        v->OnInitialUpdate();
        v->resize(900, 300);
        v->show();
        kvtest::Settle();
        return v;
    }
    bool Enabled(unsigned id, CDATView* v = nullptr) {
        CCmdUI ui(id);
        (v ? v : view)->OnCmdMsg(id, &ui);
        return ui.m_bEnabled;
    }
    void Run(unsigned id, CDATView* v = nullptr) { (v ? v : view)->OnCmdMsg(id, nullptr); }
    // Model indices of the selected rows, top to bottom.
    std::vector<std::intptr_t> Selected(CDATView* v = nullptr) const {
        v = v ? v : view;
        std::vector<std::intptr_t> out;
        for (int r = 0; r < v->GetItemCount(); ++r)
            if (v->IsItemSelected(r)) out.push_back(v->GetItemData(r));
        return out;
    }
    void SelectModels(const std::vector<int>& models) {
        view->ClearSelectedItems();
        for (int m : models) view->SetItemSelected(view->GetListModel().RowOf(m), true);
    }

    std::unique_ptr<CDATDoc> doc;
    std::vector<std::unique_ptr<CDATView>> views;
    CDATView* view = nullptr;
};

// An archive with one entry that is no model.
std::vector<std::uint8_t> NoModels() {
    kvtest::DbpfBuilder b;
    b.Add(0x12345678, 1, 2, std::vector<std::uint8_t>(8, 0));
    return b.Build();
}

void SetClipboard(const QString& text) { QApplication::clipboard()->setText(text); }
QString ClipboardText() { return QApplication::clipboard()->text(); }

// ------------------------------------------------------------------ the reader

std::u16string U(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }

TEST(SelectionListParse, ReadsTokensAsTheLenientFormatAllows) {
    struct Case {
        const char* text;
        std::vector<kv::EntryAddress> triples;
        bool invalid, incomplete;
    };
    const kv::EntryAddress a{0x5AD0E817, 0x1000, 0x10000};
    const kv::EntryAddress b{0x5AD0E817, 0x0, 0xFFFFFFFF};
    const Case cases[] = {
        {"0x5ad0e817 0x001000 0x010000\r\n", {a}, false, false},
        {"0x5AD0E817,0x1000;0x10000", {a}, false, false},
        {"5ad0e817 1000 10000", {a}, false, false},
        {" ,;\t\r\n5AD0E817\t\t1000,,;;10000\n\n", {a}, false, false},
        {"0X5AD0E817 00000000 0xffffffff", {b}, false, false},
        // "%X" stops at the first other character; a lone "0x" prefix reads as 0.
        {"0x5ad0e817zz 1000g 10000.5", {a}, false, false},
        {"5ad0e817 0xg 0xffffffff", {b}, false, false},
        {"", {}, false, false},
        {",;  \r\n\t", {}, false, false},
        {"0x5ad0e817 0x1000", {}, false, true},
        {"0x5ad0e817 0x1000 0x10000 0x5ad0e817 7", {a}, false, true},
        {"0x12345678 1 2", {}, true, false},
        {"0x5ad0e817 1000 10000 0x12345678 1 2 0x5ad0e817 1000 10000", {a}, true, false},
        // A bad token inside a triple also leaves it unfinished.
        {"0x5ad0e817 zz 10000", {}, true, true},
        {"0x5ad0e817 1000 -", {}, true, true},
        // Wider than 32 bits: refused rather than cut to some other address.
        {"0x5ad0e817 1000 0x100010000", {}, true, true},
        {"15ad0e817 1000 10000", {}, true, false},
        {"0x5ad0e817 1000 00000000000000000000000010000", {a}, false, false},
    };
    for (const Case& c : cases) {
        kv::SelectionListText r = kv::ParseSelectionList(U(c.text));
        EXPECT_EQ(r.triples, c.triples) << c.text;
        EXPECT_EQ(r.invalid, c.invalid) << c.text;
        EXPECT_EQ(r.incomplete, c.incomplete) << c.text;
    }
}

TEST(SelectionListParse, WritesLinesAsTheListShowsAddresses) {
    EXPECT_EQ(kv::SelectionListLine({0x5AD0E817, 0x10, 0}), L"0x5ad0e817 0x000010 00000000\r\n");
    EXPECT_EQ(kv::SelectionListLine({0x5AD0E817, 0xABCDEF, 0x1234567}), L"0x5ad0e817 0xabcdef 0x1234567\r\n");
    // What it writes, it reads back.
    kv::SelectionListText r = kv::ParseSelectionList(U("0x5ad0e817 0x000010 00000000\r\n"));
    ASSERT_EQ(r.triples.size(), 1u);
    EXPECT_EQ(r.triples[0], (kv::EntryAddress{0x5AD0E817, 0x10, 0}));
}

TEST(SelectionListParse, CharactersOutsideAsciiAreNoDigits) {
    // Full-width digits and a lone surrogate are plain non-digits, not numbers.
    std::u16string t = u"0x5ad0e817 \xFF11\xFF10 10000";
    EXPECT_TRUE(kv::ParseSelectionList(t).invalid);
    t = u"0x5ad0e817 1000 \xD800";
    EXPECT_TRUE(kv::ParseSelectionList(t).invalid);
}

// ------------------------------------------------------------------ the commands

TEST(SelectionLists, SelectAllIsEnabledByModelsAndSelectsEveryRow) {
    kvtest::MessageRecorder messages;
    ListWindow w(kModels);
    ASSERT_TRUE(w.doc);
    EXPECT_TRUE(w.Enabled(ID_EDIT_SELECT_ALL));
    w.view->setCurrentIndex(w.view->GetListModel().index(2, 0));
    w.view->ClearSelectedItems();
    w.Run(ID_EDIT_SELECT_ALL);
    EXPECT_EQ(w.view->GetSelectedCount(), 4);
    EXPECT_EQ(w.view->currentIndex().row(), 2);  // the focus row stays

    ListWindow empty(kvtest::OpenArchive(NoModels(), "none.dat"));
    ASSERT_TRUE(empty.doc);
    EXPECT_FALSE(empty.Enabled(ID_EDIT_SELECT_ALL));
    EXPECT_FALSE(empty.Enabled(ID_EDIT_COPYSELECTIONLIST));
    EXPECT_TRUE(messages.boxes().empty());
}

TEST(SelectionLists, CopyPutsTheSelectedBaseEntriesInDisplayOrder) {
    kvtest::MessageRecorder messages;
    ListWindow w(kModels);
    ASSERT_TRUE(w.doc);
    // Group, descending: Charlie, Bravo, Alpha, Delta.
    w.view->OnHeaderItemClick(CDATListModel::kColGroup);
    w.view->OnHeaderItemClick(CDATListModel::kColGroup);
    w.SelectModels({0, 1, 2});
    EXPECT_TRUE(w.Enabled(ID_EDIT_COPYSELECTIONLIST));
    SetClipboard(QStringLiteral("old"));
    w.Run(ID_EDIT_COPYSELECTIONLIST);
    EXPECT_EQ(ClipboardText(), QStringLiteral("0x5ad0e817 0x003000 0x030000\r\n"
                                              "0x5ad0e817 0x002000 0x020000\r\n"
                                              "0x5ad0e817 0x001000 0x010000\r\n"));
    EXPECT_TRUE(messages.boxes().empty());

    // Nothing selected: the command is disabled, and run anyway it leaves the
    // clipboard empty.
    w.view->ClearSelectedItems();
    EXPECT_FALSE(w.Enabled(ID_EDIT_COPYSELECTIONLIST));
    w.Run(ID_EDIT_COPYSELECTIONLIST);
    const QMimeData* data = QApplication::clipboard()->mimeData();
    EXPECT_FALSE(data && data->hasText());
}

TEST(SelectionLists, CopyThenSelectInAnotherWindowSelectsTheSameModels) {
    kvtest::MessageRecorder messages;
    ListWindow w(kModels);
    ASSERT_TRUE(w.doc);
    CDATView* second = w.AddView();
    second->OnHeaderItemClick(CDATListModel::kColName);  // by name: another display order
    w.SelectModels({3, 1});
    w.Run(ID_EDIT_COPYSELECTIONLIST);
    EXPECT_TRUE(w.Enabled(ID_EDIT_SELECTCLIPBOARDLIST, second));
    w.Run(ID_EDIT_SELECTCLIPBOARDLIST, second);
    std::vector<std::intptr_t> got = w.Selected(second);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::intptr_t>{1, 3}));
    EXPECT_TRUE(messages.boxes().empty());
}

TEST(SelectionLists, SelectReadsTheClipboardAndReportsWhatItCouldNotUse) {
    struct Case {
        std::string_view text;
        std::vector<std::intptr_t> selected;  // model indices, in table order
        const wchar_t* message;               // null: no message
    };
    const Case cases[] = {
        {"0x5ad0e817 0x001000 0x010000\r\n0x5ad0e817 0x000500 0x040000\r\n", {0, 3}, nullptr},
        {"5ad0e817,2000;20000", {1}, nullptr},
        {"0x5ad0e817 0x3000 0x30000 0x5ad0e817 0x3000 0x30000", {2}, nullptr},  // named twice
        {"0x5ad0e817 0x1000 0x10000 0x12345678 0x1000 0x10000 0x5ad0e817 0x3000 0x30000", {0}, kInvalid},
        {"0x5ad0e817 0x1000 0x10000 0x5ad0e817 0x3000", {0}, kInvalid},
        {"0x5ad0e817 0x1000 0x10000 0x5ad0e817 0x3000 0x1000000030000", {0}, kInvalid},
        {"", {}, kNoneFound},
        {" \r\n,;\t", {}, kNoneFound},
        {"0x5ad0e817 0x2000 0x20010", {}, kNoneFound},  // a view of the set, not its base
        {"0x5ad0e817 0x1000 0x10000 0x5ad0e817 0x9999 0x10000", {0}, kSomeNotFound},
        {"Hello, world", {}, kInvalid},
        {"0x5ad0e817 0x1000 0x10000\0 garbage"sv, {0}, nullptr},  // the text ends at its zero
    };
    for (const Case& c : cases) {
        kvtest::MessageRecorder messages;
        ListWindow w(kModels);
        ASSERT_TRUE(w.doc);
        w.SelectModels({1, 2});  // cleared first, whatever the text says
        SetClipboard(QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size())));
        w.Run(ID_EDIT_SELECTCLIPBOARDLIST);
        EXPECT_EQ(w.Selected(), c.selected) << c.text;
        std::vector<std::wstring> expected;
        if (c.message) expected.push_back(c.message);
        EXPECT_EQ(messages.texts(), expected) << c.text;
    }
}

TEST(SelectionLists, SelectOnAnArchiveWithoutModelsFindsNothing) {
    kvtest::MessageRecorder messages;
    ListWindow w(kvtest::OpenArchive(NoModels(), "nomodels.dat"));
    ASSERT_TRUE(w.doc);
    SetClipboard(QStringLiteral("0x5ad0e817 0x1000 0x10000"));
    EXPECT_TRUE(w.Enabled(ID_EDIT_SELECTCLIPBOARDLIST));
    w.Run(ID_EDIT_SELECTCLIPBOARDLIST);
    EXPECT_EQ(messages.texts(), std::vector<std::wstring>{kNoneFound});
    EXPECT_EQ(w.view->GetSelectedCount(), 0);
}

TEST(SelectionLists, SelectNeedsTextOnTheClipboard) {
    kvtest::MessageRecorder messages;
    ListWindow w(kModels);
    ASSERT_TRUE(w.doc);
    auto* data = new QMimeData;  // the clipboard takes it
    data->setData(QStringLiteral("application/x-korvane-test"), QByteArray("0x5ad0e817 0x1000 0x10000"));
    QApplication::clipboard()->setMimeData(data);
    EXPECT_FALSE(w.Enabled(ID_EDIT_SELECTCLIPBOARDLIST));
    w.SelectModels({0});
    w.Run(ID_EDIT_SELECTCLIPBOARDLIST);
    EXPECT_EQ(messages.texts(), std::vector<std::wstring>{L"The Clipbpard does not contain data in text format!"});
    EXPECT_EQ(w.view->GetSelectedCount(), 0);
}

TEST(SelectionLists, AClipboardHeldElsewhereOffersRetry) {
    ListWindow w(kModels);
    ASSERT_TRUE(w.doc);
    int busy = 0;
    auto old = kv::SetClipboardOpenHook([&] { return busy-- <= 0; });

    // Copy: Retry twice while it is held, then it copies.
    {
        kvtest::MessageRecorder messages;
        messages.Answer(IDRETRY);
        messages.Answer(IDRETRY);
        busy = 2;
        w.SelectModels({2});
        w.Run(ID_EDIT_COPYSELECTIONLIST);
        ASSERT_EQ(messages.boxes().size(), 2u);
        EXPECT_EQ(messages.boxes()[0].text, kRetry);
        EXPECT_EQ(messages.boxes()[0].type, MB_RETRYCANCEL | MB_ICONQUESTION);
        EXPECT_EQ(ClipboardText(), QStringLiteral("0x5ad0e817 0x003000 0x030000\r\n"));
    }
    // Copy, Cancel: the clipboard keeps what it had.
    {
        kvtest::MessageRecorder messages;
        messages.Answer(IDCANCEL);
        busy = 1;
        SetClipboard(QStringLiteral("kept"));
        w.Run(ID_EDIT_COPYSELECTIONLIST);
        EXPECT_EQ(messages.texts(), std::vector<std::wstring>{kRetry});
        EXPECT_EQ(ClipboardText(), QStringLiteral("kept"));
    }
    // Select, Cancel: the selection stays cleared and nothing is read.
    {
        kvtest::MessageRecorder messages;
        messages.Answer(IDCANCEL);
        busy = 1;
        SetClipboard(QStringLiteral("0x5ad0e817 0x1000 0x10000"));
        w.SelectModels({1, 3});
        w.Run(ID_EDIT_SELECTCLIPBOARDLIST);
        EXPECT_EQ(messages.texts(), std::vector<std::wstring>{kRetry});
        EXPECT_EQ(w.view->GetSelectedCount(), 0);
    }
    kv::SetClipboardOpenHook(std::move(old));
}

TEST(SelectionLists, ALongListSelectsEveryModelItNames) {
    // A thousand single-view models and a list naming every other one, plus
    // a few thousand lines of models that are not there.
    std::vector<ModelSpec> many;
    for (std::uint32_t i = 0; i < 1000; ++i) many.push_back({0x100 + i, 0x10000 + i * 0x1000, false, "M"});
    kvtest::MessageRecorder messages;
    ListWindow w(many, "many.dat");
    ASSERT_TRUE(w.doc);
    std::wstring text;
    for (std::uint32_t i = 0; i < 1000; i += 2) text += kv::SelectionListLine({0x5AD0E817, 0x100 + i, 0x10000 + i * 0x1000});
    for (std::uint32_t i = 0; i < 5000; ++i) text += kv::SelectionListLine({0x5AD0E817, 0xBAD, i});
    SetClipboard(QString::fromStdWString(text));
    w.Run(ID_EDIT_SELECTCLIPBOARDLIST);
    EXPECT_EQ(w.view->GetSelectedCount(), 500);
    EXPECT_TRUE(w.view->IsItemSelected(w.view->GetListModel().RowOf(998)));
    EXPECT_FALSE(w.view->IsItemSelected(w.view->GetListModel().RowOf(999)));
    EXPECT_EQ(messages.texts(), std::vector<std::wstring>{kSomeNotFound});
}

}  // namespace
