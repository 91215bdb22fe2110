// The wait cursor through the real widgets: shown while an archive is read
// and written, from the moment an Edit command's dialog is accepted to the
// end of its commit, and while a report window fills; the normal pointer
// while a message box shows in the middle of a wait; and no override cursor
// left once the wait is over, however it ended. Everything runs on the one
// thread, so the pointer is read at the moments the work itself reports:
// a further view of the document told of each marked model and of the
// title's change after the commit, the file layer's fault hook at each read
// and write, the modal hook while a box or dialog shows, and the report view
// as it shows and takes its text.

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QComboBox>

#include <gtest/gtest.h>

#include "archive/dat_doc.h"
#include "platform/file.h"
#include "platform/message.h"
#include "platform/qt/dialog.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/qt_message.h"
#include "resources/dialogs_geometry.h"
#include "resources/dialogs_material.h"
#include "resources/resource.h"
#include "support/ui_fixture.h"
#include "ui/dat_view.h"
#include "ui/merge_dlg.h"
#include "ui/report_view.h"
#include "ui/rpt_dlg.h"
#include "ui/transparency_dlg.h"

namespace {

using kvtest::ModelSpec;
using kvtest::Workspace;

constexpr int kWait = Qt::WaitCursor;
constexpr int kArrow = Qt::ArrowCursor;
constexpr int kNone = -1;  // no override cursor: every widget shows its own pointer

int Pointer() {
    const QCursor* c = QApplication::overrideCursor();
    return c ? static_cast<int>(c->shape()) : kNone;
}

// A further view of the document that notes the pointer whenever the
// document tells its views of a change: a model marked, the title changed
// (the "*" of a commit that marked it modified).
class PointerProbe : public CView {
public:
    explicit PointerProbe(CDocument* doc) { doc->AddView(this); }
    void OnUpdate(CView*, std::intptr_t, std::intptr_t) override {
        marks.push_back(Pointer());
        if (failing) throw std::runtime_error("a view failed");
    }
    void OnTitleChanged() override { titles.push_back(Pointer()); }

    std::vector<int> marks, titles;
    bool failing = false;
};

// Every modal window answered: message boxes with OK, the others by
// `dialog` (cancelled when none is given); the pointer noted as each shows.
class Answers {
public:
    explicit Answers(std::vector<std::function<int(QDialog&)>> steps = {}) : m_dialogs(std::move(steps)) {
        m_old = kv::SetModalHook([this](QDialog& w) -> int {
            w.show();
            if (auto* box = qobject_cast<QMessageBox*>(&w)) {
                boxes.push_back(Pointer());
                texts.push_back(box->text());
                return QMessageBox::Ok;
            }
            dialogs.push_back(Pointer());
            if (m_dialogs.empty()) return QDialog::Rejected;
            auto answer = std::move(m_dialogs.front());
            m_dialogs.erase(m_dialogs.begin());
            return answer(w);
        });
    }
    ~Answers() { kv::SetModalHook(std::move(m_old)); }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;

    std::vector<int> boxes, dialogs;
    std::vector<QString> texts;

private:
    std::vector<std::function<int(QDialog&)>> m_dialogs;
    kv::ModalHook m_old;
};

// The program's own Qt message boxes instead of the workspace's recorder.
class QtBoxes {
public:
    QtBoxes() : m_oldBox(kv::SetMessageBoxHandler(nullptr)), m_oldBeep(kv::SetBeepHandler(nullptr)) {
        kv::InstallQtMessageBoxes(false);
    }
    ~QtBoxes() {
        kv::SetMessageBoxHandler(std::move(m_oldBox));
        kv::SetBeepHandler(std::move(m_oldBeep));
    }
    QtBoxes(const QtBoxes&) = delete;
    QtBoxes& operator=(const QtBoxes&) = delete;

private:
    kv::MessageBoxHandler m_oldBox;
    kv::BeepHandler m_oldBeep;
};

CDialog& Dlg(QDialog& w) { return *CDialog::FromWindow(&w); }
int PressOk(QDialog& w) {
    Dlg(w).GetDlgItemAs<QPushButton>(IDOK)->click();
    return w.result();
}
std::function<int(QDialog&)> Ok() { return PressOk; }
std::function<int(QDialog&)> WithText(int id, const char* text) {
    return [id, text](QDialog& w) {
        Dlg(w).GetDlgItemAs<QLineEdit>(id)->setText(QString::fromUtf8(text));
        return PressOk(w);
    };
}
// The result dialog of the report commands, with its box as `report` says.
std::function<int(QDialog&)> Result(bool report) {
    return [report](QDialog& w) {
        Dlg(w).CheckDlgButton(IDC_RPT_DISPLAY, report ? 1 : 0);
        return PressOk(w);
    };
}

const ModelSpec kSingle{0x1000, 0x10000, false, "Single", true, true};
const ModelSpec kTwenty{0x2000, 0x20000, true, "Twenty", true, true};

// The archive of `models` with the second half of index row `row`'s entry
// overwritten, so that the entry no longer loads.
std::vector<std::uint8_t> Damaged(const std::vector<ModelSpec>& models, std::uint32_t row) {
    std::vector<std::uint8_t> bytes = kvtest::BuildArchive(models);
    const std::uint32_t entry = kvtest::ReadU32(bytes, 40) + row * 20;
    const std::uint32_t offset = kvtest::ReadU32(bytes, entry + 12), size = kvtest::ReadU32(bytes, entry + 16);
    for (std::uint32_t i = offset + size / 2; i < offset + size; ++i) bytes[i] = 0xEE;
    return bytes;
}

// ---------------------------------------------------------------- the commands

TEST(WaitCursor, EveryEditCommandWaitsFromItsAcceptedDialogToTheEndOfItsCommit) {
    struct Case {
        const char* name;
        unsigned id;
        ModelSpec model;
        std::vector<std::function<int(QDialog&)>> dialogs;
    };
    auto merge = [](QDialog& w) {
        Dlg(w).GetDlgItemAs<QListWidget>(IDC_MERGE_DATFILES)->setCurrentRow(1);
        Dlg(w).GetDlgItemAs<QListWidget>(IDC_MERGE_MODELS)->setCurrentRow(0);
        return PressOk(w);
    };
    auto transparency = [](QDialog& w) {
        Dlg(w).GetDlgItemAs<QComboBox>(IDC_TRANSP_1ZR)->setCurrentIndex(CTransparencyDlg::kSet);
        return PressOk(w);
    };
    auto texture = [](QDialog& w) {
        Dlg(w).GetDlgItemAs<QLineEdit>(IDC_RTEX_FIND)->setText(QStringLiteral("0x????????"));
        Dlg(w).GetDlgItemAs<QLineEdit>(IDC_RTEX_REPLACE)->setText(QStringLiteral("0x1111????"));
        return PressOk(w);
    };
    const Case cases[] = {
        {"Scale", ID_EDIT_SCALEMODELS, kSingle, {WithText(IDC_SCALE_NUMERATOR, "2")}},
        {"Move", ID_EDIT_MOVEMODELS, kSingle, {WithText(IDC_MOVE_X, "1")}},
        {"Rotate", ID_EDIT_ROTATEMODELS, kSingle, {Ok()}},
        {"Flip", ID_EDIT_FLIPMODELS, kSingle, {Ok()}},
        {"Re-Orient", ID_EDIT_REORIENT, kTwenty, {Ok()}},
        {"Merge", ID_EDIT_MERGEMODELS, kSingle, {merge}},
        {"Set Transparency", ID_EDIT_SETTRANSPARENCY, kSingle, {transparency, Result(false)}},
        {"Replace Texture", ID_EDIT_REPLACETEXTURE, kSingle, {texture, Result(false)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Workspace w;
        CDATDoc* doc = w.Open("waiting.dat", kvtest::BuildArchive({c.model}));
        ASSERT_TRUE(w.Open("source.dat", kvtest::BuildArchive({kSingle})));
        ASSERT_TRUE(doc);
        PointerProbe probe(doc);
        Workspace::Select(doc, {0});
        {
            Answers answers(c.dialogs);
            Workspace::Run(doc, c.id);
            // The parameter dialog comes before the wait, the result dialog after it.
            EXPECT_EQ(answers.dialogs, std::vector<int>(c.dialogs.size(), kNone));
        }
        ASSERT_FALSE(probe.marks.empty()) << "the command marked nothing";
        EXPECT_EQ(probe.marks, std::vector<int>(probe.marks.size(), kWait));
        // The title takes its "*" once the commit has succeeded.
        EXPECT_EQ(probe.titles, std::vector<int>{kWait});
        EXPECT_EQ(Pointer(), kNone);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_TRUE(w.messages.texts().empty());
    }
}

TEST(WaitCursor, AReportWindowWaitsWhileItFills) {
    // Notes the pointer as a report view shows and as its text goes in.
    struct ReportWatch : QObject {
        bool eventFilter(QObject* o, QEvent* e) override {
            auto* view = qobject_cast<CS3DReportView*>(o);
            if (view && e->type() == QEvent::Show) {
                seen.push_back(Pointer());
                connect(view, &QPlainTextEdit::textChanged, this, [this] { seen.push_back(Pointer()); });
            }
            return false;
        }
        std::vector<int> seen;
    } watch;
    Workspace w;
    CDATDoc* doc = w.Open("reported.dat", kvtest::BuildArchive({kSingle}));
    ASSERT_TRUE(doc);
    Workspace::Select(doc, {0});
    qApp->installEventFilter(&watch);
    Answers answers({[](QDialog& d) {
                         Dlg(d).GetDlgItemAs<QComboBox>(IDC_TRANSP_1ZR)->setCurrentIndex(CTransparencyDlg::kSet);
                         return PressOk(d);
                     },
                     Result(true)});
    Workspace::Run(doc, ID_EDIT_SETTRANSPARENCY);
    qApp->removeEventFilter(&watch);
    ASSERT_EQ(Workspace::ReportTexts(doc).size(), 1u);
    ASSERT_FALSE(watch.seen.empty());
    EXPECT_EQ(watch.seen, std::vector<int>(watch.seen.size(), kWait));
    EXPECT_EQ(answers.dialogs, (std::vector<int>{kNone, kNone}));
    EXPECT_EQ(Pointer(), kNone);
}

// A box in the middle of a wait shows the normal pointer, and the wait ends
// with the command whichever way it ends: a refusal after its message, or an
// exception out of the command.
TEST(WaitCursor, ABoxInTheMiddleShowsTheArrowAndNoWaitOutlivesItsCommand) {
    struct Case {
        const char* name;
        unsigned id;
        std::vector<std::uint8_t> archive;
        std::vector<std::function<int(QDialog&)>> dialogs;
        bool throws = false;
    };
    const Case cases[] = {
        // A view of the set cannot be loaded: the load's own messages end the command.
        {"a failed load", ID_EDIT_SCALEMODELS, Damaged({kTwenty}, 5), {WithText(IDC_SCALE_NUMERATOR, "2")}},
        {"a failed measure", ID_EDIT_MEASUREMODEL, Damaged({kTwenty}, 17), {}},
        // Nothing of the kind asked for is selected: a message, no commit.
        {"nothing to change",
         ID_EDIT_SETTRANSPARENCY,
         kvtest::BuildArchive({kSingle}),
         {[](QDialog& d) {
             Dlg(d).GetDlgItemAs<QComboBox>(IDC_TRANSP_ZOOM1)->setCurrentIndex(CTransparencyDlg::kSet);
             return PressOk(d);
         }}},
        {"an exception", ID_EDIT_MOVEMODELS, kvtest::BuildArchive({kSingle}), {WithText(IDC_MOVE_X, "1")}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Workspace w;
        QtBoxes qtBoxes;
        Answers answers(c.dialogs);
        CDATDoc* doc = w.Open("refused.dat", c.archive);
        ASSERT_TRUE(doc);
        ASSERT_TRUE(answers.boxes.empty());
        PointerProbe probe(doc);
        probe.failing = c.throws;
        Workspace::Select(doc, {0});
        if (c.throws)
            EXPECT_THROW(Workspace::Run(doc, c.id), std::runtime_error);
        else
            Workspace::Run(doc, c.id);
        if (c.throws) {
            EXPECT_EQ(probe.marks, std::vector<int>{kWait});
        } else {
            ASSERT_FALSE(answers.boxes.empty());
            EXPECT_EQ(answers.boxes, std::vector<int>(answers.boxes.size(), kArrow));
        }
        EXPECT_EQ(Pointer(), kNone);
    }
}

// ---------------------------------------------------------------- reading and writing

TEST(WaitCursor, ReadingAndWritingAnArchiveWait) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        kv::FileOp fault;  // the operation that fails (OpenRead: none of the reads)
        bool throws = false;
        bool opens = false;
    };
    const Case cases[] = {
        {"a good archive", kvtest::BuildArchive({kSingle}), kv::FileOp::OpenRead, false, true},
        {"not an archive", std::vector<std::uint8_t>(300, 0x41), kv::FileOp::OpenRead},
        {"a failed read", kvtest::BuildArchive({kSingle}), kv::FileOp::Read},
        {"an exception while reading", kvtest::BuildArchive({kSingle}), kv::FileOp::Read, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Workspace w;
        QtBoxes qtBoxes;
        Answers answers;
        const std::string path = kvtest::WriteTempFile("read.dat", c.file);
        std::vector<int> reads;
        kv::FileFaultHook old = kv::SetFileFaultHook([&](kv::FileOp op) {
            if (op != kv::FileOp::Read) return false;
            reads.push_back(Pointer());
            if (op == c.fault && c.throws) throw std::bad_alloc();
            return op == c.fault;
        });
        CDocument* doc = w.Archives()->OpenDocumentFile(QString::fromStdString(path).toStdWString(), false);
        kv::SetFileFaultHook(std::move(old));
        EXPECT_EQ(doc != nullptr, c.opens);
        ASSERT_FALSE(reads.empty());
        EXPECT_EQ(reads, std::vector<int>(reads.size(), kWait));
        EXPECT_EQ(answers.boxes, std::vector<int>(c.opens ? 0 : 1, kArrow)) << answers.texts.size();
        EXPECT_EQ(Pointer(), kNone);
    }

    // Saving: every write waits; a failed rename refuses with a message that
    // shows the normal pointer; neither a failed save nor a good one leaves the wait.
    for (const kv::FileOp fault : {kv::FileOp::Rename, kv::FileOp::OpenRead}) {
        const bool fails = fault == kv::FileOp::Rename;
        SCOPED_TRACE(fails ? "a failed save" : "a good save");
        Workspace w;
        QtBoxes qtBoxes;
        Answers answers;
        CDATDoc* doc = w.Open("written.dat", kvtest::BuildArchive({kSingle}));
        ASSERT_TRUE(doc);
        std::vector<int> writes;
        kv::FileFaultHook old = kv::SetFileFaultHook([&](kv::FileOp op) {
            if (op == kv::FileOp::Write) writes.push_back(Pointer());
            return op == fault;
        });
        EXPECT_EQ(doc->DoSave(QString::fromStdString(kvtest::WriteTempFile("saved.dat", {})).toStdWString()), !fails);
        kv::SetFileFaultHook(std::move(old));
        ASSERT_FALSE(writes.empty());
        EXPECT_EQ(writes, std::vector<int>(writes.size(), kWait));
        // The failure is told once the wait is over: the normal pointer.
        EXPECT_EQ(answers.boxes, std::vector<int>(fails ? 1 : 0, kNone));
        EXPECT_EQ(Pointer(), kNone);
    }
}

}  // namespace
