#include <gtest/gtest.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/document.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/text.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/ordinary_user.h"

namespace {

struct Update {
    CView* sender;
    std::intptr_t hint;
    std::intptr_t code;
};

class RecordingView : public CView {
public:
    void OnUpdate(CView* sender, std::intptr_t hint, std::intptr_t code) override {
        updates.push_back({sender, hint, code});
        if (onUpdate) onUpdate();
    }
    void OnTitleChanged() override { titles.push_back(GetDocument()->GetTitle()); }

    std::vector<Update> updates;
    std::vector<std::wstring> titles;
    std::function<void()> onUpdate;
};

// A document whose Serialize does whatever the test asks of it.
class ScriptedDocument : public CDocument {
public:
    void Serialize(CArchive& ar) override {
        if (ar.IsLoading()) {
            loadedName = ar.GetFileName();
            loadedLength = ar.GetLength();
        }
        if (serialize) serialize(ar);
    }
    std::function<void(CArchive&)> serialize;
    std::wstring loadedName;
    std::uint64_t loadedLength = 0;
};

std::wstring TempPath(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    return kv::Utf8ToWide(kvtest::WriteTempFile(name, bytes));
}

}  // namespace

TEST(Document, TitleModifiedFlagAndPath) {
    ScriptedDocument doc;
    RecordingView view;
    doc.AddView(&view);
    EXPECT_FALSE(doc.IsModified());
    doc.SetModifiedFlag(true);
    EXPECT_TRUE(doc.IsModified());
    doc.SetModifiedFlag(false);
    EXPECT_FALSE(doc.IsModified());

    doc.SetTitle(L"Report");
    doc.SetPathName(L"/some/folder/Houses.SC4Model");
    EXPECT_EQ(doc.GetPathName(), L"/some/folder/Houses.SC4Model");
    EXPECT_EQ(doc.GetTitle(), L"Houses.SC4Model");
    // Every title change reaches the views, so frames can follow it.
    EXPECT_EQ(view.titles, (std::vector<std::wstring>{L"Report", L"Houses.SC4Model"}));
}

TEST(Document, UpdateAllViewsReachesEveryViewButTheSenderWithHintAndCode) {
    ScriptedDocument doc;
    RecordingView list, report, other;
    doc.AddView(&list);
    doc.AddView(&report);
    doc.AddView(&list);  // added once only
    EXPECT_EQ(doc.GetViews().size(), 2u);
    EXPECT_EQ(list.GetDocument(), &doc);

    doc.UpdateAllViews(nullptr, 3, 10);  // change marks of model 3
    doc.UpdateAllViews(nullptr, 7, 9);   // number cell of model 7
    doc.UpdateAllViews(&list, 0, 0);
    ASSERT_EQ(list.updates.size(), 2u);
    ASSERT_EQ(report.updates.size(), 3u);
    EXPECT_EQ(list.updates[0].hint, 3);
    EXPECT_EQ(list.updates[0].code, 10);
    EXPECT_EQ(list.updates[1].hint, 7);
    EXPECT_EQ(list.updates[1].code, 9);
    EXPECT_EQ(report.updates[2].sender, &list);
    EXPECT_TRUE(other.updates.empty());

    doc.RemoveView(&report);
    EXPECT_EQ(report.GetDocument(), nullptr);
    doc.UpdateAllViews(nullptr, 1, 10);
    EXPECT_EQ(report.updates.size(), 3u);
    EXPECT_EQ(list.updates.size(), 3u);
}

TEST(Document, AViewThatClosesDuringAnUpdateDoesNotDisturbTheOthers) {
    ScriptedDocument doc;
    RecordingView first, second;
    doc.AddView(&first);
    doc.AddView(&second);
    first.onUpdate = [&] { doc.RemoveView(&first); };
    doc.UpdateAllViews(nullptr, 0, 10);
    EXPECT_EQ(first.updates.size(), 1u);
    EXPECT_EQ(second.updates.size(), 1u);
    EXPECT_EQ(doc.GetViews().size(), 1u);
}

TEST(Document, AViewThatClosesAnotherDuringAnUpdateIsSafe) {
    ScriptedDocument doc;
    RecordingView first;
    auto second = std::make_unique<RecordingView>();
    doc.AddView(&first);
    doc.AddView(second.get());
    first.onUpdate = [&] { second.reset(); };
    doc.UpdateAllViews(nullptr, 2, 9);
    EXPECT_EQ(first.updates.size(), 1u);
    EXPECT_EQ(doc.GetViews().size(), 1u);
}

TEST(Document, ViewsForgetADocumentThatIsDestroyed) {
    RecordingView view;
    {
        ScriptedDocument doc;
        doc.AddView(&view);
    }
    EXPECT_EQ(view.GetDocument(), nullptr);
}

TEST(Document, AViewClosedBeforeItsDocumentIsForgotten) {
    ScriptedDocument doc;
    RecordingView stays;
    doc.AddView(&stays);
    {
        RecordingView report;
        doc.AddView(&report);
        EXPECT_EQ(doc.GetViews().size(), 2u);
    }
    EXPECT_EQ(doc.GetViews(), (std::vector<CView*>{&stays}));
    doc.UpdateAllViews(nullptr, 0, 10);
    EXPECT_EQ(stays.updates.size(), 1u);
}

TEST(Document, OpenPassesTheFileNameAndLengthToSerialize) {
    std::vector<std::uint8_t> bytes(1234, 0x5A);
    std::wstring path = TempPath("Name With Spaces.dat", bytes);
    ScriptedDocument doc;
    std::vector<std::uint8_t> read;
    doc.serialize = [&](CArchive& ar) {
        read.resize(static_cast<std::size_t>(ar.GetLength()) + 10);
        read.resize(ar.Read(read.data(), read.size()));
    };
    kvtest::MessageRecorder rec;
    doc.SetModifiedFlag(true);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.loadedName, L"Name With Spaces.dat");
    EXPECT_EQ(doc.loadedLength, 1234u);
    EXPECT_EQ(read, bytes);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(rec.boxes().empty());
}

// What the user sees after Serialize refuses a file: the framework speaks for
// archive and memory failures, and stays silent after the document's own message.
TEST(Document, LoadFailuresAreReportedOnceByKind) {
    struct Case {
        const char* name;
        std::function<void()> thrower;
        std::vector<std::wstring> expected;
    };
    const std::vector<Case> cases = {
        {"archive", [] { throw CArchiveException(CArchiveException::badIndex); }, {L"Unexpected file format."}},
        {"memory", [] { throw CMemoryException(); }, {L"Failed to open document."}},
        {"bad_alloc", [] { throw std::bad_alloc(); }, {L"Failed to open document."}},
        {"user", [] {
             AfxMessageBox(L"x.dat is a zero-length file!!!");
             throw CUserException();
         },
         {L"x.dat is a zero-length file!!!"}},
    };
    std::wstring path = TempPath("load.dat", {1, 2, 3});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDocument doc;
        doc.serialize = [&](CArchive&) { c.thrower(); };
        kvtest::MessageRecorder rec;
        EXPECT_FALSE(doc.OnOpenDocument(path));
        EXPECT_EQ(rec.texts(), c.expected);
        for (const auto& box : rec.boxes()) EXPECT_EQ(kv::EffectiveIcon(box.type), static_cast<unsigned>(MB_ICONEXCLAMATION));
    }
}

TEST(Document, OpeningAMissingFileIsRefusedWithAMessage) {
    ScriptedDocument doc;
    bool called = false;
    doc.serialize = [&](CArchive&) { called = true; };
    kvtest::MessageRecorder rec;
    EXPECT_FALSE(doc.OnOpenDocument(L"/nonexistent/folder/none.dat"));
    EXPECT_FALSE(called);
    EXPECT_EQ(rec.boxes().size(), 1u);
}

TEST(Document, SaveModifiedAsksOnlyWhenModifiedAndFollowsTheAnswer) {
    std::wstring path = TempPath("prompt.dat", {9, 9});
    ScriptedDocument doc;
    doc.SetPathName(path);
    int saves = 0;
    doc.serialize = [&](CArchive& ar) {
        if (ar.IsStoring()) {
            ++saves;
            ar.Write("new", 3);
        }
    };
    kvtest::MessageRecorder rec;
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_TRUE(rec.boxes().empty());

    doc.SetModifiedFlag(true);
    rec.Answer(IDCANCEL);
    EXPECT_FALSE(doc.SaveModified());
    rec.Answer(IDNO);
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(doc.IsModified());
    rec.Answer(IDYES);
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(kvtest::ReadFileBytes(kv::WideToUtf8(path)), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
    ASSERT_EQ(rec.boxes().size(), 3u);
    EXPECT_EQ(rec.boxes()[0].text, L"Save changes to prompt.dat?");
    EXPECT_EQ(rec.boxes()[0].type & MB_TYPEMASK, static_cast<unsigned>(MB_YESNOCANCEL));
}

TEST(Document, SavingADocumentWithoutAPathAsksForOneAndCancelsOnAnEmptyAnswer) {
    ScriptedDocument doc;
    doc.SetTitle(L"Untitled");
    doc.serialize = [](CArchive& ar) {
        if (ar.IsStoring()) ar.Write("abc", 3);
    };
    std::wstring answer;
    CDocument::SetSaveAsPrompt([&](CDocument&) { return answer; });
    EXPECT_FALSE(doc.DoFileSave());
    answer = TempPath("chosen.dat", {});
    EXPECT_TRUE(doc.DoFileSave());
    EXPECT_EQ(doc.GetPathName(), answer);
    EXPECT_EQ(doc.GetTitle(), L"chosen.dat");
    EXPECT_EQ(kvtest::ReadFileBytes(kv::WideToUtf8(answer)).size(), 3u);
    CDocument::SetSaveAsPrompt(nullptr);
}

// Save writes over the document's own file only when the user could write
// that file; a read-only file, one that is not the user's to write, or one
// that is gone goes to Save As, and cancelling it leaves the file as it was.
TEST(Document, SaveGoesToSaveAsWhenTheFileIsReadOnlyNotTheUsersOrGone) {
    namespace fs = std::filesystem;
    struct Case {
        const char* name;
        fs::perms mode;   // none: the file is removed
        bool rootsFile;   // owned by the superuser, saved by an ordinary user
        bool saveAs;
    };
    const fs::perms rw = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
    const fs::perms ro = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const std::vector<Case> cases = {
        {"a file the user may write", rw, false, false},
        {"a read-only file", ro, false, true},
        {"a file that is gone", fs::perms::none, false, true},
        {"another user's file", rw, true, true},
    };
    const std::vector<std::uint8_t> old = {9, 9, 9};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.rootsFile && ::geteuid() != 0) continue;
        // A folder anyone may write, so that only the file's own rights count.
        const fs::path dir = fs::temp_directory_path() / ("korvane-save-as-" + std::to_string(::getpid()) + "-" +
                                                           std::to_string(&c - cases.data()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::all);
        const fs::path file = dir / "mine.dat";
        const std::wstring path = kv::WideFromPath(file);
        fs::copy_file(fs::path(kvtest::WriteTempFile("save-as-original.dat", old)), file);
        if (c.mode == fs::perms::none) fs::remove(file);
        else fs::permissions(file, c.mode);

        auto check = [&] {
            ScriptedDocument doc;
            doc.SetPathName(path);
            doc.SetModifiedFlag(true);
            doc.serialize = [](CArchive& ar) {
                if (ar.IsStoring()) ar.Write("new", 3);
            };
            int prompts = 0;
            std::wstring offered;
            CDocument::SetSaveAsPrompt([&](CDocument& d) {
                ++prompts;
                offered = d.GetPathName();
                return std::wstring();
            });
            kvtest::MessageRecorder rec;
            const bool saved = doc.DoFileSave();
            CDocument::SetSaveAsPrompt(nullptr);
            const bool untouched = c.mode == fs::perms::none ? !fs::exists(file) : kvtest::ReadFileBytes(file.string()) == old;
            if (c.saveAs)
                return !saved && prompts == 1 && offered == path && doc.IsModified() && untouched && rec.texts().empty();
            return saved && prompts == 0 && kvtest::ReadFileBytes(file.string()).size() == 3 && rec.texts().empty();
        };
        if (c.rootsFile) {
            const kvtest::AsUser r = kvtest::RunAsOrdinaryUser(check);
            if (r == kvtest::AsUser::CannotDropRights) continue;
            EXPECT_EQ(r, kvtest::AsUser::Passed);
        } else {
            EXPECT_TRUE(check());
        }
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
}

// Save As names the new file, which the document then carries and the
// recent-file list is told of; the file it came from stays as it was.
TEST(Document, SaveAsMovesTheDocumentToTheChosenFile) {
    const std::wstring from = TempPath("from.dat", {1, 2, 3});
    const std::wstring to = kv::Utf8ToWide(kvtest::WriteTempFile("to.dat", {}));
    ScriptedDocument doc;
    doc.SetPathName(from);
    doc.SetModifiedFlag(true);
    doc.serialize = [](CArchive& ar) {
        if (ar.IsStoring()) ar.Write("new", 3);
    };
    std::vector<std::wstring> recent;
    CDocument::SetSaveAsPrompt([&](CDocument&) { return to; });
    CDocument::SetRecentFileHook([&](const std::wstring& p) { recent.push_back(p); });
    kvtest::MessageRecorder rec;
    EXPECT_TRUE(doc.DoSave(std::wstring()));
    CDocument::SetSaveAsPrompt(nullptr);
    CDocument::SetRecentFileHook(nullptr);
    EXPECT_EQ(doc.GetPathName(), to);
    EXPECT_EQ(doc.GetTitle(), L"to.dat");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(recent, std::vector<std::wstring>{to});
    EXPECT_EQ(kvtest::ReadFileBytes(kv::WideToUtf8(to)), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(kvtest::ReadFileBytes(kv::WideToUtf8(from)), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_TRUE(rec.texts().empty());
}
