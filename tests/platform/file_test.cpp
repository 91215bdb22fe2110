#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "platform/document.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/text.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/open_files.h"
#include "support/ordinary_user.h"

namespace fs = std::filesystem;

namespace {

// A fresh, empty folder per test, removed afterwards.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / ("korvane-file-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        kv::SetFileFaultHook(nullptr);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::wstring Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        fs::path p = dir / name;
        std::FILE* f = std::fopen(p.c_str(), "wb");
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return kv::WideFromPath(p);
    }
    std::set<std::string> Listing() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
        return names;
    }
    fs::path dir;
};

// Writes the given chunks one Write call each, and can look around while it does.
class ChunkDocument : public CDocument {
public:
    void Serialize(CArchive& ar) override {
        for (const auto& c : chunks) {
            ar.Write(c.data(), c.size());
            if (afterWrite) afterWrite();
        }
        if (thenThrow) thenThrow();
    }
    std::vector<std::vector<std::uint8_t>> chunks;
    std::function<void()> afterWrite;
    std::function<void()> thenThrow;
};

const std::vector<std::uint8_t> kOld = {'o', 'l', 'd', ' ', 'b', 'y', 't', 'e', 's', 0, 0xFF};

}  // namespace

TEST_F(FileTest, ReadsByNameWithLengthAndStopsAtTheEnd) {
    std::wstring path = Write("Models.SC4Model", {1, 2, 3, 4, 5});
    kv::CFile f;
    ASSERT_TRUE(f.OpenForRead(path));
    EXPECT_EQ(f.GetFileName(), L"Models.SC4Model");
    EXPECT_EQ(f.GetFilePath(), path);
    EXPECT_EQ(f.GetLength(), 5u);
    std::uint8_t buf[8] = {};
    EXPECT_EQ(f.Read(buf, 3), 3u);
    EXPECT_EQ(f.Read(buf + 3, 5), 2u);
    EXPECT_EQ(buf[4], 5);
    EXPECT_EQ(f.Read(buf, 1), 0u);
}

TEST_F(FileTest, RefusesMissingFilesAndFolders) {
    kv::CFile f;
    EXPECT_FALSE(f.OpenForRead(kv::WideFromPath(dir / "missing.dat")));
    EXPECT_FALSE(f.OpenForRead(kv::WideFromPath(dir)));
    EXPECT_EQ(f.GetLength(), 0u);
    std::uint8_t b;
    EXPECT_EQ(f.Read(&b, 1), 0u);
}

TEST_F(FileTest, LengthIsSixtyFourBits) {
    fs::path p = dir / "huge.dat";
    Write("huge.dat", {});
    std::error_code ec;
    fs::resize_file(p, (std::uint64_t{1} << 32) + 5, ec);  // sparse: takes no space
    if (ec) GTEST_SKIP() << "no sparse files here: " << ec.message();
    kv::CFile f;
    ASSERT_TRUE(f.OpenForRead(kv::WideFromPath(p)));
    EXPECT_EQ(f.GetLength(), (std::uint64_t{1} << 32) + 5);
}

TEST_F(FileTest, NonAsciiNamesSurviveTheRoundTrip) {
    std::wstring path = Write("H\xC3\xA4user \xE2\x80\x93 Paket.dat", {7});
    kv::CFile f;
    ASSERT_TRUE(f.OpenForRead(path));
    EXPECT_EQ(f.GetFileName(), L"H\u00e4user \u2013 Paket.dat");
}

TEST_F(FileTest, InjectedReadFailureGivesAShortRead) {
    std::wstring path = Write("a.dat", std::vector<std::uint8_t>(100, 1));
    kv::CFile f;
    ASSERT_TRUE(f.OpenForRead(path));
    kv::SetFileFaultHook([](kv::FileOp op) { return op == kv::FileOp::Read; });
    std::vector<std::uint8_t> buf(100);
    EXPECT_LT(f.Read(buf.data(), buf.size()), 100u);
    kv::SetFileFaultHook([](kv::FileOp op) { return op == kv::FileOp::OpenRead; });
    EXPECT_FALSE(f.OpenForRead(path));
}

TEST_F(FileTest, SaveWritesATemporaryFileBesideTheTargetAndRenamesItLast) {
    std::wstring target = Write("archive.dat", kOld);
    ChunkDocument doc;
    doc.chunks = {{'n', 'e', 'w'}, {' ', 'c', 'o', 'n', 't', 'e', 'n', 't'}};
    std::vector<std::set<std::string>> listings;
    std::vector<std::vector<std::uint8_t>> targetDuringWrite;
    std::vector<std::vector<std::uint64_t>> unnamedDuringWrite;
    doc.afterWrite = [&] {
        listings.push_back(Listing());
        targetDuringWrite.push_back(kvtest::ReadFileBytes(kv::WideToUtf8(target)));
        unnamedDuringWrite.push_back(kvtest::UnnamedFileSizesIn(dir));
    };
    std::vector<kv::FileOp> ops;
    kv::SetFileFaultHook([&](kv::FileOp op) {
        ops.push_back(op);
        return false;
    });
    doc.SetModifiedFlag(true);
    kvtest::MessageRecorder rec;
    ASSERT_TRUE(doc.OnSaveDocument(target));

    EXPECT_TRUE(rec.boxes().empty());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(kvtest::ReadFileBytes(kv::WideToUtf8(target)),
              (std::vector<std::uint8_t>{'n', 'e', 'w', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'}));
    // While writing, the old file stood untouched and the new bytes went to a
    // second file in the same folder, one without a name there: a save that
    // is killed part-way leaves nothing behind.
    ASSERT_EQ(listings.size(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(targetDuringWrite[k], kOld);
        EXPECT_EQ(listings[k], (std::set<std::string>{"archive.dat"}));
    }
    EXPECT_EQ(unnamedDuringWrite[0], std::vector<std::uint64_t>{3});
    EXPECT_EQ(unnamedDuringWrite[1], std::vector<std::uint64_t>{11});
    EXPECT_TRUE(kvtest::UnnamedFileSizesIn(dir).empty());
    EXPECT_EQ(Listing(), (std::set<std::string>{"archive.dat"}));
    // The rename is the last step, after every write and the flush.
    ASSERT_GE(ops.size(), 4u);
    EXPECT_EQ(ops.front(), kv::FileOp::CreateTemp);
    EXPECT_EQ(ops[ops.size() - 2], kv::FileOp::Flush);
    EXPECT_EQ(ops.back(), kv::FileOp::Rename);
    for (std::size_t k = 1; k + 2 < ops.size(); ++k) EXPECT_EQ(ops[k], kv::FileOp::Write);
}

TEST_F(FileTest, SaveKeepsThePermissionsOfTheFileItReplaces) {
    std::wstring target = Write("perm.dat", kOld);
    fs::permissions(dir / "perm.dat", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ChunkDocument doc;
    doc.chunks = {{1}};
    ASSERT_TRUE(doc.OnSaveDocument(target));
    EXPECT_EQ(fs::status(dir / "perm.dat").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileTest, SavingThroughALinkReplacesTheFileItNamesAndKeepsTheLink) {
    Write("real.dat", kOld);
    fs::create_symlink(dir / "real.dat", dir / "link.dat");
    ChunkDocument doc;
    doc.chunks = {{'n', 'e', 'w'}};
    ASSERT_TRUE(doc.OnSaveDocument(kv::WideFromPath(dir / "link.dat")));
    EXPECT_TRUE(fs::is_symlink(dir / "link.dat"));
    EXPECT_EQ(fs::file_size(dir / "real.dat"), 3u);
    EXPECT_EQ(Listing(), (std::set<std::string>{"link.dat", "real.dat"}));
}

// Whatever step fails, the file on disk is the one that was there before,
// byte for byte, nothing is left beside it, and the document stays modified.
// (A file that exists and cannot get a new file beside it is written in
// place: see the tests of that below.)
TEST_F(FileTest, AFailedSaveLeavesTheTargetAsItWas) {
    struct Case {
        const char* name;
        kv::FileOp op;
        int failAt;  // fail the n-th time the operation is asked for (1-based)
        bool newFileOnly;
    };
    const std::vector<Case> cases = {
        {"create", kv::FileOp::CreateTemp, 1, true}, {"first write", kv::FileOp::Write, 1, false},
        {"later write", kv::FileOp::Write, 3, false}, {"flush", kv::FileOp::Flush, 1, false},
        {"rename", kv::FileOp::Rename, 1, false},
    };
    for (bool exists : {true, false}) {
        for (const Case& c : cases) {
            if (exists && c.newFileOnly) continue;
            SCOPED_TRACE(std::string(c.name) + (exists ? " over an existing file" : " to a new file"));
            fs::remove(dir / "target.dat");
            std::wstring target = exists ? Write("target.dat", kOld) : kv::WideFromPath(dir / "target.dat");
            ChunkDocument doc;
            doc.chunks = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10}};
            doc.SetModifiedFlag(true);
            int seen = 0;
            kv::SetFileFaultHook([&](kv::FileOp op) { return op == c.op && ++seen == c.failAt; });
            kvtest::MessageRecorder rec;
            EXPECT_FALSE(doc.OnSaveDocument(target));
            kv::SetFileFaultHook(nullptr);

            EXPECT_EQ(seen, c.failAt);
            EXPECT_TRUE(doc.IsModified());
            ASSERT_EQ(rec.boxes().size(), 1u);
            EXPECT_EQ(rec.boxes()[0].text.rfind(L"Failed to save document.", 0), 0u) << kv::WideToUtf8(rec.boxes()[0].text);
            if (exists) {
                EXPECT_EQ(kvtest::ReadFileBytes(kv::WideToUtf8(target)), kOld);
                EXPECT_EQ(Listing(), (std::set<std::string>{"target.dat"}));
            } else {
                EXPECT_TRUE(Listing().empty());
            }
        }
    }
}

TEST_F(FileTest, ASerializeThatRefusesToStoreLeavesTheTargetAsItWas) {
    std::wstring target = Write("target.dat", kOld);
    struct Case {
        const char* name;
        std::function<void()> thrower;
        std::vector<std::wstring> expected;
    };
    const std::vector<Case> cases = {
        {"archive", [] { throw CArchiveException(CArchiveException::genericException); }, {L"Failed to save document."}},
        {"user", [] { throw CUserException(); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChunkDocument doc;
        doc.chunks = {{1, 2, 3}};
        doc.thenThrow = c.thrower;
        kvtest::MessageRecorder rec;
        EXPECT_FALSE(doc.OnSaveDocument(target));
        EXPECT_EQ(rec.texts(), c.expected);
        EXPECT_EQ(kvtest::ReadFileBytes(kv::WideToUtf8(target)), kOld);
        EXPECT_EQ(Listing(), (std::set<std::string>{"target.dat"}));
    }
}

TEST_F(FileTest, SavingIntoAFolderThatDoesNotExistFailsWithAMessage) {
    ChunkDocument doc;
    doc.chunks = {{1}};
    kvtest::MessageRecorder rec;
    EXPECT_FALSE(doc.OnSaveDocument(kv::WideFromPath(dir / "no such folder" / "x.dat")));
    EXPECT_EQ(rec.boxes().size(), 1u);
}
