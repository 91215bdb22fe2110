// Save and Save As through the real frame on files the user may not write,
// and archives opened through a symbolic link.

#include <sys/stat.h>

#include <filesystem>

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "app_fixture.h"
#include "platform/document.h"
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
