#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "archive/dat_doc.h"
#include "platform/file.h"
#include "platform/text.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint32_t kOpaque = 0x6534284A;  // an entry type the archive only carries
const std::wstring kBadFormat = L"Unexpected file format.";
const std::wstring kOutdatedDir =
    L"The Direrctory (DIR) File for test.dat appears outdated!\r\n\r\nPlease fix this archive using the Reader.";

// A stored compressed entry: size prefix, then 10 FB and a stream.
Bytes Compressed(std::uint8_t fill) { return kvtest::CompressEntry(Bytes(64, fill)); }
Bytes Plain(std::size_t n = 16) { return Bytes(n, 0x33); }

struct Opened {
    std::unique_ptr<CDATDoc> doc;
    std::vector<std::wstring> messages;
};

Opened OpenBytes(const Bytes& bytes, const std::string& name = "test.dat") {
    kvtest::MessageRecorder rec;
    Opened o;
    o.doc = kvtest::OpenArchive(bytes, name);
    o.messages = rec.texts();
    return o;
}

// The index entry of row `row` in a built archive.
std::size_t IndexAt(const Bytes& image, std::uint32_t row) { return kvtest::ReadU32(image, 40) + row * 20u; }

}  // namespace

TEST(ArchiveLoad, AZeroLengthFileShowsOnlyItsOwnMessage) {
    Opened o = OpenBytes({}, "empty.SC4Model");
    EXPECT_FALSE(o.doc);
    EXPECT_EQ(o.messages, (std::vector<std::wstring>{L"empty.SC4Model is a zero-length file!!!"}));
}

TEST(ArchiveLoad, AFileOfFourGigabytesOrMoreShowsOnlyItsOwnMessage) {
    std::string path = kvtest::WriteTempFile("huge.dat", {});
    std::error_code ec;
    std::filesystem::resize_file(path, std::uint64_t{1} << 32, ec);  // sparse: takes no space
    if (ec) GTEST_SKIP() << "no sparse files here: " << ec.message();
    CDATDoc doc;
    kvtest::MessageRecorder rec;
    EXPECT_FALSE(doc.OnOpenDocument(kv::Utf8ToWide(path)));
    EXPECT_EQ(rec.texts(), (std::vector<std::wstring>{L"File huge.dat is too large!!!"}));
    EXPECT_TRUE(doc.m_pBuffer.empty());
    std::filesystem::remove(path, ec);
}

TEST(ArchiveLoad, AShortReadShowsOnlyItsOwnMessage) {
    kvtest::DbpfBuilder b;
    b.Add(kOpaque, 1, 1, Plain());
    std::string path = kvtest::WriteTempFile("short.dat", b.Build());
    CDATDoc doc;
    kvtest::MessageRecorder rec;
    kv::SetFileFaultHook([](kv::FileOp op) { return op == kv::FileOp::Read; });
    EXPECT_FALSE(doc.OnOpenDocument(kv::Utf8ToWide(path)));
    kv::SetFileFaultHook(nullptr);
    EXPECT_EQ(rec.texts(), (std::vector<std::wstring>{L"Error reading short.dat"}));
}

TEST(ArchiveLoad, CompressedEntriesWithoutADirShowTheDirMessageThenTheFormatMessage) {
    kvtest::DbpfBuilder b;
    b.Add(kOpaque, 1, 1, Compressed(1));
    b.Add(kOpaque, 1, 2, Plain());
    Opened o = OpenBytes(b.Build());
    EXPECT_FALSE(o.doc);
    EXPECT_EQ(o.messages, (std::vector<std::wstring>{kOutdatedDir, kBadFormat}));
}

// Header and index variants: each is either opened without a word or refused
// with the framework's format message alone.
TEST(ArchiveLoad, HeaderAndIndexRules) {
    using Edit = std::function<void(kvtest::DbpfBuilder&)>;
    using Patch = std::function<void(Bytes&)>;
    struct Case {
        const char* name;
        Edit edit;
        Patch patch;
        bool opens;
    };
    const Edit none = [](kvtest::DbpfBuilder&) {};
    const Patch as_built = [](Bytes&) {};
    const std::vector<Case> cases = {
        {"two entries", none, as_built, true},
        {"magic", none, [](Bytes& f) { f[0] = 'd'; }, false},
        {"major version 2", [](kvtest::DbpfBuilder& b) { b.major = 2; }, as_built, false},
        {"minor version 1", [](kvtest::DbpfBuilder& b) { b.minor = 1; }, as_built, false},
        {"index major version 6", [](kvtest::DbpfBuilder& b) { b.indexMajor = 6; }, as_built, false},
        {"index major version 8", [](kvtest::DbpfBuilder& b) { b.indexMajor = 8; }, as_built, false},
        {"index size 41 for two entries",
         [](kvtest::DbpfBuilder& b) {
             b.indexSizeOverride = 41;
             b.trailer = {0};
         },
         as_built, false},
        {"index size 39 for two entries", [](kvtest::DbpfBuilder& b) { b.indexSizeOverride = 39; },
         [](Bytes& f) { f.pop_back(); }, false},
        {"one byte after the index", [](kvtest::DbpfBuilder& b) { b.trailer = {0}; }, as_built, false},
        {"index ends one byte early", none, [](Bytes& f) { kvtest::WriteU32(f, 40, kvtest::ReadU32(f, 40) - 1); }, false},
        {"index offset past the end", none, [](Bytes& f) { kvtest::WriteU32(f, 40, 0xFFFFFFF0); }, false},
        // Sizes whose 32-bit products or sums would wrap round to look right.
        {"entry count times 20 wraps", none,
         [](Bytes& f) {
             kvtest::WriteU32(f, 36, 0x0CCCCCCD);  // x 20 = 0x1'0000'0004
             kvtest::WriteU32(f, 44, 4);
             kvtest::WriteU32(f, 40, static_cast<std::uint32_t>(f.size() - 4));
         },
         false},
        {"index offset plus size wraps", none,
         [](Bytes& f) {
             kvtest::WriteU32(f, 36, 0x0C000000);
             kvtest::WriteU32(f, 44, 0xF0000000);
             kvtest::WriteU32(f, 40, static_cast<std::uint32_t>(0x10000000 + f.size()));  // + size = 2^32 + file size
         },
         false},
        {"empty data at the very end of the image", [](kvtest::DbpfBuilder& b) { b.entries[1].data.clear(); },
         [](Bytes& f) { kvtest::WriteU32(f, IndexAt(f, 1) + 12, static_cast<std::uint32_t>(f.size())); }, true},
        {"empty data far past the end", [](kvtest::DbpfBuilder& b) { b.entries[1].data.clear(); },
         [](Bytes& f) { kvtest::WriteU32(f, IndexAt(f, 1) + 12, 0xFFFFFFFFu); }, true},
        // Data may share its bytes with the header or the index.
        {"entry data over the header", none, [](Bytes& f) { kvtest::WriteU32(f, IndexAt(f, 0) + 12, 0); }, true},
        {"entry data over the index", none,
         [](Bytes& f) { kvtest::WriteU32(f, IndexAt(f, 1) + 12, kvtest::ReadU32(f, 40) + 4); }, true},
        // Entry data must lie wholly inside the image.
        {"entry data one byte past the end", none,
         [](Bytes& f) { kvtest::WriteU32(f, IndexAt(f, 1) + 16, static_cast<std::uint32_t>(f.size()) - kvtest::ReadU32(f, IndexAt(f, 1) + 12) + 1); },
         false},
        {"entry offset past the end", none, [](Bytes& f) { kvtest::WriteU32(f, IndexAt(f, 0) + 12, static_cast<std::uint32_t>(f.size()) + 1); },
         false},
        {"entry offset plus size wraps", none,
         [](Bytes& f) {
             kvtest::WriteU32(f, IndexAt(f, 0) + 12, 0xFFFFFFF0);
             kvtest::WriteU32(f, IndexAt(f, 0) + 16, 0x20);
         },
         false},
        {"model entry outside the image", [](kvtest::DbpfBuilder& b) { b.entries[0].type = kTypeS3D; },
         [](Bytes& f) { kvtest::WriteU32(f, IndexAt(f, 0) + 16, 0x7FFFFFFF); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kvtest::DbpfBuilder b;
        b.Add(kOpaque, 1, 1, Plain(24));
        b.Add(kOpaque, 1, 2, Plain(8));
        c.edit(b);
        Bytes file = b.Build();
        c.patch(file);
        Opened o = OpenBytes(file);
        if (c.opens) {
            ASSERT_TRUE(o.doc);
            EXPECT_TRUE(o.messages.empty());
            EXPECT_EQ(o.doc->m_nFileSize, file.size());
            EXPECT_EQ(kvtest::ImageOf(*o.doc), file);
        } else {
            EXPECT_FALSE(o.doc);
            EXPECT_EQ(o.messages, (std::vector<std::wstring>{kBadFormat}));
        }
    }
}

TEST(ArchiveLoad, TheSmallestArchiveOpensEmptyAndNinetyFiveBytesDoNot) {
    kvtest::DbpfBuilder b;
    Bytes file = b.Build();
    ASSERT_EQ(file.size(), 96u);
    Opened o = OpenBytes(file);
    ASSERT_TRUE(o.doc);
    EXPECT_TRUE(o.messages.empty());
    EXPECT_EQ(o.doc->m_nModels, 0u);
    EXPECT_EQ(o.doc->m_nDirRow, -1);
    EXPECT_EQ(o.doc->m_nCompressed, 0u);

    file.pop_back();
    o = OpenBytes(file);
    EXPECT_FALSE(o.doc);
    EXPECT_EQ(o.messages, (std::vector<std::wstring>{kBadFormat}));
}

// The DIR lists one record per compressed entry; the last DIR in the index is
// the one that counts.
TEST(ArchiveLoad, DirRecordsMustMatchTheCompressedEntries) {
    struct Case {
        const char* name;
        int compressed;         // compressed entries besides the DIRs
        std::uint32_t dirSize;  // stored size of the (last) DIR
        bool earlierDir;        // a DIR before it too
        bool earlierDirSigned;  // ... whose data carries the compression signature
        bool opens;
    };
    const std::vector<Case> cases = {
        {"three records in 50 bytes", 3, 50, false, false, true},
        {"three records in 48 bytes", 3, 48, false, false, true},
        {"two records in 47 bytes for three", 3, 47, false, false, false},
        {"three records for two", 2, 48, false, false, false},
        {"a DIR with no record and nothing compressed", 0, 15, false, false, true},
        {"only the later DIR counts", 2, 32, true, false, true},
        {"an earlier DIR is counted when it looks compressed", 2, 32, true, true, false},
        {"... and then the later DIR lists it", 2, 48, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kvtest::DbpfBuilder b;
        b.Add(kOpaque, 9, 9, Plain());
        if (c.earlierDir) {
            Bytes d(16 * 7, 0);  // seven records: would never match
            if (c.earlierDirSigned) {
                d[4] = 0x10;
                d[5] = 0xFB;
            }
            b.Add(kTypeDir, kTypeDir, 0x286B1F03, d);
        }
        for (int k = 0; k < c.compressed; ++k) b.Add(k % 2 ? kTypeS3D : kOpaque, 2, 0x10 + k, Compressed(static_cast<std::uint8_t>(k)));
        const std::uint32_t dirRow = static_cast<std::uint32_t>(b.entries.size());
        b.Add(kTypeDir, kTypeDir, 0x286B1F03, Bytes(c.dirSize, 0));
        b.Add(kOpaque, 9, 10, Plain());
        Opened o = OpenBytes(b.Build());
        if (c.opens) {
            ASSERT_TRUE(o.doc);
            EXPECT_EQ(o.doc->m_nDirRow, static_cast<std::int32_t>(dirRow));
            EXPECT_EQ(o.doc->m_nCompressed, static_cast<std::uint32_t>(c.compressed + (c.earlierDirSigned ? 1 : 0)));
        } else {
            EXPECT_FALSE(o.doc);
            EXPECT_EQ(o.messages, (std::vector<std::wstring>{kOutdatedDir, kBadFormat}));
        }
    }
}

TEST(ArchiveLoad, OnlyEntriesOfAtLeastSixBytesCanBeCompressed) {
    // Entry 0 holds five bytes ending in 0x10 and the next entry begins with
    // 0xFB, so the image has 10 FB at entry 0's offsets 4 and 5; still it is
    // not compressed, and an archive without a DIR is fine.
    kvtest::DbpfBuilder b;
    b.Add(kOpaque, 1, 1, {0, 0, 0, 0, 0x10});
    b.Add(kOpaque, 1, 2, {0xFB, 0, 0, 0, 0, 0});
    b.Add(kOpaque, 1, 3, {0, 0, 0, 0, 0x10, 0xFB});  // six bytes with the signature: compressed
    b.Add(kTypeDir, kTypeDir, 1, Bytes(16, 0));
    Bytes file = b.Build();
    ASSERT_EQ(file[96 + 4], 0x10);
    ASSERT_EQ(file[96 + 5], 0xFB);
    Opened o = OpenBytes(file);
    ASSERT_TRUE(o.doc);
    EXPECT_EQ(o.doc->m_nCompressed, 1u);
    EXPECT_FALSE(o.doc->IsCompressed(0));
    EXPECT_TRUE(o.doc->IsCompressed(2));
}

// Re-validation after a commit: it refreshes the derived fields but keeps the
// model table, never changes the image, and names what it is given.
TEST(ArchiveLoad, RevalidationKeepsTheTableAndNeverChangesTheImage) {
    kvtest::DbpfBuilder b;
    b.Add(kTypeS3D, 1, 0x10, Plain());
    b.Add(kTypeS3D, 1, 0x20, Compressed(7));
    b.Add(kTypeDir, kTypeDir, 1, Bytes(16, 0));
    Opened o = OpenBytes(b.Build());
    ASSERT_TRUE(o.doc);
    CDATDoc& doc = *o.doc;
    const auto before = kvtest::ImageOf(doc);
    const std::uint32_t models = doc.m_nModels;
    ASSERT_EQ(models, 2u);

    kvtest::MessageRecorder rec;
    EXPECT_TRUE(doc.ParseArchive(L"Title", 1));
    EXPECT_EQ(doc.m_nModels, models);
    EXPECT_EQ(doc.m_pModels.size(), models);
    EXPECT_EQ(doc.m_nDirRow, 2);
    EXPECT_EQ(doc.m_nCompressed, 1u);

    // A DIR that no longer matches: the message names what the caller gave.
    std::size_t dirSizeAt = doc.m_pIndex + 2 * 20 + 16;
    kvtest::WriteU32(doc.m_pBuffer, dirSizeAt, 0);
    auto changed = kvtest::ImageOf(doc);
    EXPECT_FALSE(doc.ParseArchive(L"Title*", 1));
    EXPECT_EQ(rec.texts(), (std::vector<std::wstring>{
                               L"The Direrctory (DIR) File for Title* appears outdated!\r\n\r\nPlease fix this archive using the Reader."}));
    EXPECT_EQ(kvtest::ImageOf(doc), changed);
    EXPECT_EQ(doc.m_nModels, models);
    kvtest::WriteU32(doc.m_pBuffer, dirSizeAt, 16);
    EXPECT_EQ(kvtest::ImageOf(doc), before);

    rec.Clear();
    doc.m_pBuffer[8] = 1;  // minor version
    EXPECT_FALSE(doc.ParseArchive(L"Title", 1));
    EXPECT_TRUE(rec.texts().empty());
}
