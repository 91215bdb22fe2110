// Save and Save As through the real frame on files the user may not write,
// and archives opened through a symbolic link.

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "app_fixture.h"
#include "platform/document.h"
#include "platform/message.h"
#include "platform/qt/std_ids.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace {

using kvtest::AppRun;

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override { kvtest::ClearKorvaneSettings(); }
    void TearDown() override { kvtest::ClearKorvaneSettings(); }

    static QString Archive(const std::string& name) {
        return kvtest::WriteArchive(name, {{0x10, 0x1000, false, "Shed"}, {0x20, 0x2000, false, "Barn", true}});
    }
    static ino_t Inode(const QString& path) {
        struct stat st {};
        return ::stat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_ino : 0;
    }
    static std::vector<std::uint8_t> Bytes(const QString& path) { return kvtest::ReadFileBytes(path.toStdString()); }
};

// Save on a read-only archive goes to Save As, which offers the archive's own
// path; cancelling it, or choosing that same file, leaves the archive as it
// was (the second with the access-denied message). A new name saves there
// and the window follows it.
TEST_F(FileCommands, SaveOnAReadOnlyArchiveGoesToSaveAs) {
    const QString path = Archive("readonly.dat");
    const auto original = Bytes(path);
    fs::permissions(path.toStdString(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const ino_t inode = Inode(path);
    AppRun run({path});
    ASSERT_TRUE(run.started);
    CMDIChildWndEx* child = run.frame()->MDIGetActive();
    ASSERT_TRUE(child);
    CDocument* doc = child->GetActiveDocument();
    doc->SetModifiedFlag(true);
    kvtest::FilePromptScript prompts;

    EXPECT_TRUE(run.frame()->SendCommand(ID_FILE_SAVE));
    ASSERT_EQ(prompts.prompts().size(), 1u);
    EXPECT_FALSE(prompts.prompts()[0].open);
    EXPECT_EQ(prompts.prompts()[0].title, L"Save As");
    EXPECT_EQ(prompts.prompts()[0].initialName, path.toStdWString());
    EXPECT_TRUE(run.messages.texts().empty());
    EXPECT_TRUE(doc->IsModified());

    prompts.Answer(path);
    EXPECT_TRUE(run.frame()->SendCommand(ID_FILE_SAVE));
    EXPECT_EQ(run.messages.texts(), std::vector<std::wstring>{L"Access to " + path.toStdWString() + L" was denied."});
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(Bytes(path), original);
    EXPECT_EQ(Inode(path), inode);

    const QString copy = QFileInfo(path).dir().filePath(QStringLiteral("readonly-copy.dat"));
    QFile::remove(copy);
    prompts.Answer(copy);
    run.messages.Clear();
    EXPECT_TRUE(run.frame()->SendCommand(ID_FILE_SAVE));
    EXPECT_TRUE(run.messages.texts().empty());
    EXPECT_EQ(prompts.prompts().size(), 3u);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetPathName(), copy.toStdWString());
    kvtest::Settle();
    EXPECT_EQ(child->windowTitle(), "readonly-copy.dat");
    EXPECT_EQ(run.app->GetRecentFileList()->GetEntries().front(), copy.toStdWString());
    EXPECT_EQ(Bytes(copy), original);
    EXPECT_EQ(Bytes(path), original);
    EXPECT_EQ(Inode(path), inode);
    fs::permissions(path.toStdString(), fs::perms::owner_read | fs::perms::owner_write);
}

// An archive opened through a link is known by the link's name: in its
// window's title, in the recent-file list and in the messages about it. Its
// save still replaces the file the link names and leaves the link a link;
// opening that file by its own name finds the window already open.
TEST_F(FileCommands, AnArchiveOpenedThroughALinkKeepsTheLinksName) {
    const QString real = Archive("linked-real.dat");
    const QString link = QFileInfo(real).dir().filePath(QStringLiteral("linked-name.dat"));
    QFile::remove(link);
    fs::create_symlink(real.toStdString(), link.toStdString());
    const ino_t inode = Inode(real);
    AppRun run({link});
    ASSERT_TRUE(run.started);
    CMDIChildWndEx* child = run.frame()->MDIGetActive();
    ASSERT_TRUE(child);
    CDocument* doc = child->GetActiveDocument();
    EXPECT_EQ(child->windowTitle(), "linked-name.dat");
    EXPECT_EQ(doc->GetPathName(), link.toStdWString());
    EXPECT_EQ(run.app->GetRecentFileList()->GetEntries().front(), link.toStdWString());
    EXPECT_NE(run.app->GetRecentFileList()->GetDisplayName(0).find(L"linked-name.dat"), std::wstring::npos);

    EXPECT_EQ(run.app->OpenDocumentFile(real.toStdWString()), doc);
    EXPECT_EQ(run.frame()->GetChildFrames().size(), 1u);

    doc->SetModifiedFlag(true);
    kvtest::FilePromptScript prompts;
    EXPECT_TRUE(run.frame()->SendCommand(ID_FILE_SAVE));
    EXPECT_TRUE(prompts.prompts().empty());
    EXPECT_TRUE(run.messages.texts().empty());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(fs::is_symlink(link.toStdString()));
    EXPECT_NE(Inode(real), inode);
    kvtest::Settle();
    EXPECT_EQ(child->windowTitle(), "linked-name.dat");

    // The messages about a file name it as the link does.
    const QString empty = QString::fromStdString(kvtest::WriteTempFile("linked-empty-real.dat", {}));
    const QString emptyLink = QFileInfo(empty).dir().filePath(QStringLiteral("linked-empty.dat"));
    QFile::remove(emptyLink);
    fs::create_symlink(empty.toStdString(), emptyLink.toStdString());
    EXPECT_EQ(run.app->OpenDocumentFile(emptyLink.toStdWString()), nullptr);
    EXPECT_EQ(run.messages.texts(), std::vector<std::wstring>{L"linked-empty.dat is a zero-length file!!!"});
}

}  // namespace

namespace {

// Writes `bytes` to `path` as another program would replace a file: a new
// file renamed over the old one.
void ReplaceByRename(const QString& path, const std::vector<std::uint8_t>& bytes) {
    const std::string tmp = path.toStdString() + ".other-program";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    fs::rename(tmp, path.toStdString());
}

// Rewrites `path` where it is, as an editor that writes in place does.
void RewriteInPlace(const QString& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.toStdString().c_str(), "r+b");
    ASSERT_TRUE(f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

}  // namespace

// A named pipe (or a socket, or a device) is refused at once, from File Open
// with another archive open: opening it must not wait for a writer that
// never comes. The archive already open stays as it was.
TEST_F(FileCommands, ANamedPipeIsRefusedAtOnce) {
    const QString archive = Archive("beside-the-pipe.dat");
    const QString pipe = QFileInfo(archive).dir().filePath(QStringLiteral("a-pipe.dat"));
    QFile::remove(pipe);
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0644), 0);
    AppRun run({archive});
    ASSERT_TRUE(run.started);
    CDocument* doc = run.frame()->MDIGetActive()->GetActiveDocument();
    doc->SetModifiedFlag(true);

    // Should the open wait on the pipe, a writer comes after two seconds to
    // set it free, and the test knows.
    std::atomic<bool> returned{false}, hung{false};
    std::thread watchdog([&] {
        for (int k = 0; k < 200 && !returned; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (returned) return;
        hung = true;
        const int fd = ::open(pipe.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    });
    CDocument* opened = run.app->OpenDocumentFile(pipe.toStdWString());
    returned = true;
    watchdog.join();

    EXPECT_FALSE(hung) << "opening the pipe waited for a writer";
    EXPECT_EQ(opened, nullptr);
    EXPECT_EQ(run.messages.texts(), std::vector<std::wstring>{L"Cannot open " + pipe.toStdWString() + L"."});
    ASSERT_EQ(run.frame()->GetChildFrames().size(), 1u);
    EXPECT_TRUE(doc->IsModified());
    QFile::remove(pipe);
}

// One file reached by a second name (a hard link, a folder mounted at a
// second place) is one document: opening it by the other name activates the
// window already open, so two windows can never save over each other's edits.
TEST_F(FileCommands, OneFileByTwoNamesIsOpenOnce) {
    const QString path = Archive("two-names.dat");
    const QDir folder = QFileInfo(path).dir();
    const QString hardLink = folder.filePath(QStringLiteral("two-names-link.dat"));
    QFile::remove(hardLink);
    fs::create_hard_link(path.toStdString(), hardLink.toStdString());
    AppRun run({path});
    ASSERT_TRUE(run.started);
    CDocument* doc = run.frame()->MDIGetActive()->GetActiveDocument();

    EXPECT_EQ(run.app->OpenDocumentFile(hardLink.toStdWString()), doc);
    EXPECT_EQ(run.frame()->GetChildFrames().size(), 1u);

    if (::geteuid() == 0) {
        const QString mounted = folder.filePath(QStringLiteral("two-names-mount"));
        QDir().mkpath(mounted);
        if (::mount(folder.absolutePath().toLocal8Bit().constData(), mounted.toLocal8Bit().constData(), nullptr,
                    MS_BIND, nullptr) == 0) {
            const QString again = QDir(mounted).filePath(QStringLiteral("two-names.dat"));
            EXPECT_EQ(run.app->OpenDocumentFile(again.toStdWString()), doc);
            EXPECT_EQ(run.frame()->GetChildFrames().size(), 1u);
            ::umount2(mounted.toLocal8Bit().constData(), MNT_DETACH);
        }
        QDir().rmdir(mounted);
    }
    EXPECT_TRUE(run.messages.texts().empty());
    QFile::remove(hardLink);
}

// Save over a file that another program has replaced or rewritten since it
// was opened or last saved asks first, naming the file. No leaves the file
// on disk and the document, still modified, as they are; Yes saves. A save
// of the program's own last save asks nothing, and Save As to another name
// is not concerned.
TEST_F(FileCommands, SaveAsksBeforeReplacingAFileAnotherProgramChanged) {
    const QString path = Archive("changed-elsewhere.dat");
    const auto original = Bytes(path);
    AppRun run({path});
    ASSERT_TRUE(run.started);
    CDocument* doc = run.frame()->MDIGetActive()->GetActiveDocument();
    const std::wstring question = path.toStdWString() +
                                  L"\n\nThis file has been changed by another program since it was opened or last "
                                  L"saved here.\n\nDo you want to replace it with this document?";
    std::vector<std::uint8_t> theirs = original;
    theirs[20] ^= 0xFF;  // a header byte the program does not read

    struct Case {
        const char* name;
        void (*change)(const QString&, const std::vector<std::uint8_t>&);
    };
    for (const Case& c : {Case{"renamed over it", ReplaceByRename}, Case{"rewritten in place", RewriteInPlace}}) {
        SCOPED_TRACE(c.name);
        // The coarse clock of file times moves on before the other program writes.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        c.change(path, theirs);
        doc->SetModifiedFlag(true);
        run.messages.Clear();
        run.messages.Answer(IDNO);
        EXPECT_TRUE(run.frame()->SendCommand(ID_FILE_SAVE));
        ASSERT_EQ(run.messages.boxes().size(), 1u);
        EXPECT_EQ(run.messages.boxes()[0].text, question);
        EXPECT_EQ(run.messages.boxes()[0].type & MB_TYPEMASK, unsigned{MB_YESNO});
        EXPECT_EQ(Bytes(path), theirs);
        EXPECT_TRUE(doc->IsModified());

        run.messages.Clear();
        run.messages.Answer(IDYES);
        EXPECT_TRUE(run.frame()->SendCommand(ID_FILE_SAVE));
        EXPECT_EQ(run.messages.texts(), std::vector<std::wstring>{question});
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(Bytes(path), original);

        // The program's own save is what it remembers now.
        doc->SetModifiedFlag(true);
        run.messages.Clear();
        EXPECT_TRUE(run.frame()->SendCommand(ID_FILE_SAVE));
        EXPECT_TRUE(run.messages.texts().empty());
        EXPECT_FALSE(doc->IsModified());
    }

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ReplaceByRename(path, theirs);
    const QString copy = QFileInfo(path).dir().filePath(QStringLiteral("changed-elsewhere-copy.dat"));
    QFile::remove(copy);
    kvtest::FilePromptScript prompts;
    prompts.Answer(copy);
    doc->SetModifiedFlag(true);
    run.messages.Clear();
    EXPECT_TRUE(run.frame()->SendCommand(ID_FILE_SAVE_AS));
    EXPECT_TRUE(run.messages.texts().empty());
    EXPECT_EQ(Bytes(copy), original);
    EXPECT_EQ(Bytes(path), theirs);
}
