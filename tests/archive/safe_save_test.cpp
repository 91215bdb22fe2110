// Saving an edited archive. Whatever goes wrong while the new file is
// written (the disk refuses a write, fills up part-way, cannot flush or
// rename), the archive on disk stays byte for byte as it was, nothing is left
// beside it, the user is told, and the document keeps its edits so that a
// later save can succeed. A save that succeeds has every byte on disk before
// the new file takes the archive's name. Where a new file cannot take its
// place (other names, a folder the user may not write, an owner the new file
// could not keep, a rename the system refuses) the archive is written in
// place, and a failure there says that the file may be incomplete.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "archive/dat_doc.h"
#include "platform/file.h"
#include "platform/text.h"
#include "s3d/s3d_model.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/open_files.h"
#include "support/ordinary_user.h"
#include "support/s3d_builder.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ValidArchive() {
    kvtest::DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x1000, kvtest::MakeRealisticS3D("Plain", 300));
    b.Add(kTypeS3D, 7, 0x2000, kvtest::CompressEntry(kvtest::MakeRealisticS3D("Packed", 2000)));
    b.Add(0x6534284A, 1, 2, Bytes(5000, 0x5A));
    b.AddDir();
    return b.Build();
}

class SafeSave : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / ("korvane-save-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        original = ValidArchive();
        path = dir / "test.dat";
        WriteOriginal();
    }
    void TearDown() override {
        kv::SetFileFaultHook(nullptr);
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }

    void WriteOriginal() {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(original.data(), 1, original.size(), f);
        std::fclose(f);
    }
    std::wstring Path() const { return kv::WideFromPath(path); }

    // Opens the archive on disk and edits both models: the plain one in place,
    // the compressed one at a new size, so a save has a pending entry to lay
    // out first.
    std::unique_ptr<CDATDoc> OpenAndEdit() {
        auto doc = std::make_unique<CDATDoc>();
        kvtest::MessageRecorder rec;
        if (!doc->OnOpenDocument(Path())) return nullptr;
        doc->SetPathName(Path());
        for (std::uint32_t row : {0u, 1u}) {
            bool compressed = false;
            std::uint32_t size = 0;
            auto model = doc->LoadModel(row, compressed, size);
            if (!model) return nullptr;
            for (auto& v : model->vert.blocks[0].vertices) v.x = 1.25f;
            if (!doc->StoreModel(row, std::move(model), compressed, size)) return nullptr;
        }
        doc->SetModifiedFlag(true);
        EXPECT_TRUE(doc->HasPending(1));
        EXPECT_TRUE(rec.texts().empty());
        return doc;
    }

    Bytes OnDisk() const { return kvtest::ReadFileBytes(path.string()); }
    std::set<std::string> Listing() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
        return names;
    }

    // What a failed save must leave: the old file, alone, and a message that
    // says the save failed and the file was not touched.
    void ExpectUntouched(const kvtest::MessageRecorder& rec, const wchar_t* reason) {
        EXPECT_EQ(OnDisk(), original);
        EXPECT_EQ(Listing(), (std::set<std::string>{"test.dat"}));
        const std::vector<std::wstring> texts = rec.texts();
        ASSERT_EQ(texts.size(), 1u);
        const std::wstring& text = texts[0];
        EXPECT_EQ(text.rfind(L"Failed to save document.", 0), 0u) << kv::WideToUtf8(text);
        EXPECT_NE(text.find(reason), std::wstring::npos) << kv::WideToUtf8(text);
    }

    // After a failure the document still holds its edits: a second save,
    // with the disk behaving, writes them, and the result opens again.
    void ExpectASecondSaveSucceeds(CDATDoc& doc) {
        EXPECT_TRUE(doc.IsModified());
        kv::SetFileFaultHook(nullptr);
        kvtest::MessageRecorder rec;
        ASSERT_TRUE(doc.OnSaveDocument(Path()));
        EXPECT_TRUE(rec.texts().empty());
        EXPECT_EQ(OnDisk(), kvtest::ImageOf(doc));
        ExpectEditsOnDisk();
    }

    void ExpectEditsOnDisk() {
        kvtest::MessageRecorder rec;
        CDATDoc again;
        ASSERT_TRUE(again.OnOpenDocument(Path()));
        ASSERT_EQ(again.m_nModels, 2u);
        for (std::uint32_t row : {0u, 1u}) {
            bool compressed = false;
            std::uint32_t size = 0;
            auto model = again.LoadModel(row, compressed, size);
            ASSERT_TRUE(model);
            EXPECT_EQ(compressed, row == 1);
            EXPECT_EQ(model->vert.blocks[0].vertices.back().x, 1.25f);
        }
        EXPECT_TRUE(rec.texts().empty());
    }

    fs::path dir, path;
    Bytes original;
};

// Lowers the largest file this process may write, as a full disk would stop
// it: writes past the limit come back short, then fail.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = m_old;
        lower.rlim_cur = bytes;
        m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

}  // namespace

TEST_F(SafeSave, AFailingStepLeavesTheArchiveOnDiskAsItWas) {
    struct Case {
        const char* name;
        kv::FileOp op;
        const wchar_t* reason;
    };
    // Each message names the step that failed.
    const std::vector<Case> cases = {
        {"write error", kv::FileOp::Write, L"An error occurred while writing"},
        {"flush fails", kv::FileOp::Flush, L"could not be flushed to the disk"},
        {"rename fails", kv::FileOp::Rename, L"The new file could not take the place of"},
        {"neither a new file nor the file itself can be opened", kv::FileOp::OpenInPlace, L"for writing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteOriginal();
        auto doc = OpenAndEdit();
        ASSERT_TRUE(doc);
        kv::SetFileFaultHook([&](kv::FileOp op) {
            return op == c.op || (c.op == kv::FileOp::OpenInPlace && op == kv::FileOp::CreateTemp);
        });
        kvtest::MessageRecorder rec;
        EXPECT_FALSE(doc->OnSaveDocument(Path()));
        kv::SetFileFaultHook(nullptr);
        ExpectUntouched(rec, c.reason);
        ExpectASecondSaveSucceeds(*doc);
    }
}

// The disk fills up part-way through the archive: some of its bytes are
// written, then the writes fail.
TEST_F(SafeSave, ADiskThatFillsUpPartWayLeavesTheArchiveAsItWas) {
    auto doc = OpenAndEdit();
    ASSERT_TRUE(doc);
    const std::size_t partWay = original.size() / 2;
    std::vector<std::uintmax_t> tempSizes;
    kv::SetFileFaultHook([&](kv::FileOp op) {
        if (op == kv::FileOp::Write)
            for (std::uint64_t size : kvtest::UnnamedFileSizesIn(dir)) tempSizes.push_back(size);
        return false;
    });
    kvtest::MessageRecorder rec;
    {
        FileSizeLimit full(partWay);
        ASSERT_TRUE(full.ok());
        EXPECT_FALSE(doc->OnSaveDocument(Path()));
    }
    kv::SetFileFaultHook(nullptr);
    // The write really went part of the way before the disk refused it.
    ASSERT_GE(tempSizes.size(), 2u);
    EXPECT_EQ(tempSizes.back(), partWay);
    ExpectUntouched(rec, L"The file on disk was not changed.");
    ExpectASecondSaveSucceeds(*doc);
}

// A file its user could not have written is never replaced, although the
// folder would let the new file take its name: the save is refused with the
// access-denied message and the archive stays as it was. A file that nobody
// may write is read-only for the superuser too.
TEST_F(SafeSave, AFileItsUserMayNotWriteIsNeverReplaced) {
    struct Case {
        const char* name;
        fs::perms mode;
        bool usersOwn;     // else the superuser's
        bool asSuperuser;  // else as an ordinary user
    };
    const fs::perms rw = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
    const fs::perms ro = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const std::vector<Case> cases = {
        {"the user's own read-only file", ro, true, false},
        {"another user's file", rw, false, false},
        {"a read-only file, saved by the superuser", ro, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool root = ::geteuid() == 0;
        if ((c.asSuperuser || !c.usersOwn) && !root) continue;  // needs the superuser to set up
        WriteOriginal();
        auto doc = OpenAndEdit();
        ASSERT_TRUE(doc);
        // Anyone may create files in the folder.
        fs::permissions(dir, fs::perms::all);
        if (root) {
            const unsigned owner = c.usersOwn ? kvtest::kNobody : 0;
            ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
        }
        fs::permissions(path, c.mode);
        const std::wstring denied = L"Access to " + Path() + L" was denied.";
        auto refused = [&] {
            kvtest::MessageRecorder rec;
            const bool saved = doc->OnSaveDocument(Path());
            return !saved && rec.texts() == std::vector<std::wstring>{denied};
        };
        if (c.asSuperuser) {
            EXPECT_TRUE(refused());
        } else {
            const kvtest::AsUser r = kvtest::RunAsOrdinaryUser(refused);
            if (r == kvtest::AsUser::CannotDropRights) {
                GTEST_SKIP() << "cannot give up the superuser's rights here";
            }
            EXPECT_EQ(r, kvtest::AsUser::Passed) << "the save was not refused with the access-denied message";
        }
        EXPECT_EQ(OnDisk(), original);
        EXPECT_EQ(Listing(), (std::set<std::string>{"test.dat"}));
        EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, c.mode);
        fs::permissions(path, rw);
    }
}

// The superuser saving an archive that belongs to someone else leaves it
// theirs: the new file has the old one's owner, group and mode.
TEST_F(SafeSave, TheSuperuserSavingAnotherUsersArchiveLeavesItTheirs) {
    if (::geteuid() != 0) GTEST_SKIP() << "only the superuser can give a file away";
    auto doc = OpenAndEdit();
    ASSERT_TRUE(doc);
    ASSERT_EQ(::chown(path.c_str(), kvtest::kNobody, kvtest::kNobody - 1), 0);
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::group_write;
    fs::permissions(path, mode);
    kvtest::MessageRecorder rec;
    ASSERT_TRUE(doc->OnSaveDocument(Path()));
    EXPECT_TRUE(rec.texts().empty());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kvtest::kNobody);
    EXPECT_EQ(st.st_gid, kvtest::kNobody - 1);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    EXPECT_EQ(OnDisk(), kvtest::ImageOf(*doc));
    EXPECT_EQ(Listing(), (std::set<std::string>{"test.dat"}));
}

// At the moment the new file takes the archive's name, it already holds the
// whole new archive and has been flushed; until then the old archive stands.
TEST_F(SafeSave, ASuccessfulSaveIsCompleteOnDiskBeforeTheRename) {
    auto doc = OpenAndEdit();
    ASSERT_TRUE(doc);
    std::vector<kv::FileOp> ops;
    Bytes tempAtRename, targetAtRename;
    kv::SetFileFaultHook([&](kv::FileOp op) {
        ops.push_back(op);
        if (op == kv::FileOp::Rename) {
            // By now the new file has a name beside the archive.
            for (const auto& e : fs::directory_iterator(dir))
                if (e.path().filename() != "test.dat") tempAtRename = kvtest::ReadFileBytes(e.path().string());
            targetAtRename = OnDisk();
        }
        return false;
    });
    kvtest::MessageRecorder rec;
    ASSERT_TRUE(doc->OnSaveDocument(Path()));
    kv::SetFileFaultHook(nullptr);

    EXPECT_TRUE(rec.texts().empty());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_FALSE(doc->AnyPending());
    const Bytes saved = kvtest::ImageOf(*doc);
    EXPECT_EQ(tempAtRename, saved);
    EXPECT_EQ(targetAtRename, original);
    EXPECT_EQ(OnDisk(), saved);
    EXPECT_EQ(Listing(), (std::set<std::string>{"test.dat"}));
    ASSERT_GE(ops.size(), 3u);
    EXPECT_EQ(ops[ops.size() - 2], kv::FileOp::Flush);
    EXPECT_EQ(ops.back(), kv::FileOp::Rename);
    ExpectEditsOnDisk();
}

// An archive reached through a symbolic link (a game folder that links to the
// modder's working copy): the save replaces the file the link names and
// leaves the link in place.
TEST_F(SafeSave, SavingThroughASymbolicLinkReplacesTheFileItNames) {
    const fs::path real = path;
    path = dir / "link.dat";
    fs::create_symlink("test.dat", path);
    auto doc = OpenAndEdit();
    ASSERT_TRUE(doc);
    kvtest::MessageRecorder rec;
    ASSERT_TRUE(doc->OnSaveDocument(Path()));
    EXPECT_TRUE(rec.texts().empty());
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(kvtest::ReadFileBytes(real.string()), kvtest::ImageOf(*doc));
    EXPECT_EQ(Listing(), (std::set<std::string>{"link.dat", "test.dat"}));
    ExpectEditsOnDisk();
}

// A name as long as the file system allows still leaves room for the
// temporary file beside it.
TEST_F(SafeSave, AnArchiveWithTheLongestNameSaves) {
    const std::string name = std::string(251, 'a') + ".dat";
    fs::rename(path, dir / name);
    path = dir / name;
    auto doc = OpenAndEdit();
    ASSERT_TRUE(doc);
    kvtest::MessageRecorder rec;
    ASSERT_TRUE(doc->OnSaveDocument(Path()));
    EXPECT_TRUE(rec.texts().empty());
    EXPECT_EQ(OnDisk(), kvtest::ImageOf(*doc));
    EXPECT_EQ(Listing(), (std::set<std::string>{name}));
}

namespace {

struct FileState {
    ino_t inode = 0;
    nlink_t links = 0;
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
};
FileState StateOf(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return {};
    return {st.st_ino, st.st_nlink, st.st_uid, st.st_gid, static_cast<mode_t>(st.st_mode & 07777)};
}

}  // namespace

// Where a new file could not stand in the archive's place, the archive is
// written in place as an ordinary user saves it: it keeps its inode, its
// other names, owner, group and mode, the folder holds nothing new, the
// document is saved and the edits are on disk. Each case is set up as the
// superuser and saved by an ordinary user (as "nobody" in a child process).
TEST_F(SafeSave, WhereANewFileCannotTakeTheArchivesPlaceItIsWrittenInPlace) {
    if (::geteuid() != 0) GTEST_SKIP() << "setting up another user's files needs the superuser";
    const unsigned nobody = kvtest::kNobody;
    struct Case {
        const char* name;
        mode_t folderMode;
        unsigned folderOwner;
        unsigned fileOwner, fileGroup;
        mode_t fileMode;
        bool secondName;  // a hard link beside the archive
    };
    const std::vector<Case> cases = {
        // The class library's save writes in place when it cannot make its
        // file beside the target.
        {"a folder the user may not write", 0755, 0, nobody, nobody, 0644, false},
        // Desktop editors write in place to keep every name of a file on the
        // same contents ...
        {"an archive with a second name", 0777, 0, nobody, nobody, 0644, true},
        // ... and to keep a file's owner where a new file could not take it:
        // in a sticky folder the rename itself would be refused.
        {"another user's archive in a sticky folder", 01777, 0, 0, 0, 0666, false},
        {"another user's group-writable archive", 0777, 0, 0, nobody, 0664, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::permissions(dir, fs::perms::all);
        fs::remove_all(dir);
        fs::create_directories(dir);
        WriteOriginal();
        auto doc = OpenAndEdit();
        ASSERT_TRUE(doc);
        const fs::path second = dir / "second name.dat";
        if (c.secondName) fs::create_hard_link(path, second);
        ASSERT_EQ(::chown(path.c_str(), c.fileOwner, c.fileGroup), 0);
        ASSERT_EQ(::chmod(path.c_str(), c.fileMode), 0);
        ASSERT_EQ(::chown(dir.c_str(), c.folderOwner, c.folderOwner), 0);
        ASSERT_EQ(::chmod(dir.c_str(), c.folderMode), 0);
        const FileState before = StateOf(path);
        const std::set<std::string> listing = Listing();

        const kvtest::AsUser r = kvtest::RunAsOrdinaryUser([&] {
            kvtest::MessageRecorder rec;
            return doc->OnSaveDocument(Path()) && rec.texts().empty() && !doc->IsModified();
        });
        if (r == kvtest::AsUser::CannotDropRights) GTEST_SKIP() << "cannot give up the superuser's rights here";
        EXPECT_EQ(r, kvtest::AsUser::Passed) << "the save failed or said something";

        const FileState after = StateOf(path);
        EXPECT_EQ(after.inode, before.inode);
        EXPECT_EQ(after.links, before.links);
        EXPECT_EQ(after.owner, before.owner);
        EXPECT_EQ(after.group, before.group);
        EXPECT_EQ(after.mode, before.mode);
        EXPECT_EQ(Listing(), listing);
        EXPECT_NE(OnDisk(), original);
        if (c.secondName) {
            EXPECT_EQ(kvtest::ReadFileBytes(second.string()), OnDisk());
        }
        ExpectEditsOnDisk();
        ::chmod(dir.c_str(), 0700);
    }
}

// The file system refuses the rename of the new file over the archive (here
// because the archive's name is a mount point): the new archive, whole, is
// copied over the old one in place, and the file under that name has it.
TEST_F(SafeSave, ARefusedRenameIsFollowedByAnInPlaceCopy) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting needs the superuser";
    const fs::path source = dir / "mounted source.dat";
    fs::copy_file(path, source);
    if (::mount(source.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0) GTEST_SKIP() << "cannot bind-mount here";
    struct Unmount {
        fs::path p;
        ~Unmount() { ::umount2(p.c_str(), MNT_DETACH); }
    } unmount{path};
    auto doc = OpenAndEdit();
    ASSERT_TRUE(doc);
    kvtest::MessageRecorder rec;
    ASSERT_TRUE(doc->OnSaveDocument(Path()));
    EXPECT_TRUE(rec.texts().empty());
    EXPECT_EQ(OnDisk(), kvtest::ImageOf(*doc));
    EXPECT_EQ(kvtest::ReadFileBytes(source.string()), kvtest::ImageOf(*doc));
    EXPECT_EQ(Listing(), (std::set<std::string>{"mounted source.dat", "test.dat"}));
    ExpectEditsOnDisk();
}

// An in-place write that the disk stops part-way: the user is told that the
// file on disk may be incomplete, the document keeps its edits, and a Save As
// to another name keeps the work.
TEST_F(SafeSave, AnInPlaceWriteThatFailsPartWaySaysTheFileMayBeIncomplete) {
    auto doc = OpenAndEdit();
    ASSERT_TRUE(doc);
    fs::create_hard_link(path, dir / "second.dat");  // written in place
    kvtest::MessageRecorder rec;
    {
        FileSizeLimit full(original.size() / 2);
        ASSERT_TRUE(full.ok());
        EXPECT_FALSE(doc->OnSaveDocument(Path()));
    }
    const std::vector<std::wstring> texts = rec.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind(L"Failed to save document.", 0), 0u);
    EXPECT_NE(texts[0].find(L"An error occurred while writing " + Path()), std::wstring::npos) << kv::WideToUtf8(texts[0]);
    EXPECT_NE(texts[0].find(L"The file on disk may be incomplete"), std::wstring::npos) << kv::WideToUtf8(texts[0]);
    EXPECT_TRUE(doc->IsModified());
    const fs::path elsewhere = dir / "kept.dat";
    rec.Clear();
    ASSERT_TRUE(doc->OnSaveDocument(kv::WideFromPath(elsewhere)));
    EXPECT_TRUE(rec.texts().empty());
    EXPECT_EQ(kvtest::ReadFileBytes(elsewhere.string()), kvtest::ImageOf(*doc));
}

// A full disk stops an in-place write before it touches the archive: the room
// the new bytes need is asked for first, so the archive is as it was.
TEST_F(SafeSave, AnInPlaceWriteWithoutRoomOnTheDiskLeavesTheArchiveAsItWas) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small disk needs the superuser";
    const fs::path disk = dir / "disk";
    fs::create_directories(disk);
    if (::mount("korvane-test", disk.c_str(), "tmpfs", 0, "size=256k") != 0) GTEST_SKIP() << "cannot mount here";
    struct Unmount {
        fs::path p;
        ~Unmount() { ::umount2(p.c_str(), MNT_DETACH); }
    } unmount{disk};
    // An archive that fills most of the disk, edited to grow by more than
    // the room that is left.
    kvtest::DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x1000, kvtest::MakeRealisticS3D("Plain", 300));
    b.Add(0x6534284A, 1, 2, Bytes(150 * 1024, 0x5A));
    const Bytes small = b.Build();
    path = disk / "full.dat";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(small.data(), 1, small.size(), f);
        std::fclose(f);
    }
    fs::create_hard_link(path, disk / "second.dat");  // written in place
    auto doc = std::make_unique<CDATDoc>();
    {
        kvtest::MessageRecorder quiet;
        ASSERT_TRUE(doc->OnOpenDocument(Path()));
    }
    bool compressed = false;
    std::uint32_t size = 0;
    auto model = doc->LoadModel(0, compressed, size);
    ASSERT_TRUE(model);
    auto& vertices = model->vert.blocks[0].vertices;
    while (vertices.size() < 8000) vertices.push_back(vertices.front());
    model->vert.blocks[0].vertexCount = static_cast<std::uint16_t>(vertices.size());
    ASSERT_TRUE(doc->StoreModel(0, std::move(model), compressed, size));
    doc->SetModifiedFlag(true);
    ASSERT_TRUE(doc->CommitReplacedEntries());
    ASSERT_GT(kvtest::ImageOf(*doc).size(), std::size_t{256} << 10);

    kvtest::MessageRecorder rec;
    EXPECT_FALSE(doc->OnSaveDocument(Path()));
    const std::vector<std::wstring> texts = rec.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find(L"There is not enough room on the disk for " + Path()), std::wstring::npos)
        << kv::WideToUtf8(texts[0]);
    EXPECT_NE(texts[0].find(L"The file on disk was not changed."), std::wstring::npos) << kv::WideToUtf8(texts[0]);
    EXPECT_EQ(kvtest::ReadFileBytes(path.string()), small);
    EXPECT_TRUE(doc->IsModified());
}
