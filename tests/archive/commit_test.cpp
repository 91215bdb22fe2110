#include <gtest/gtest.h>

#include "archive/dat_doc.h"
#include "platform/text.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"

using namespace kvtest;

namespace {

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 7);
    return v;
}

// Two compressed S3D entries, one plain one, an opaque entry and the DIR,
// with gaps between the entries and their data laid out last entry first.
DbpfBuilder MixedArchive() {
    DbpfBuilder b;
    b.gap = 13;
    b.reverseData = true;
    b.Add(kTypeS3D, 1, 0x100, CompressEntry(Bytes(300, 1)));
    b.Add(kTypeS3D, 1, 0x200, Bytes(40, 2));
    b.Add(0x12345678, 1, 0x300, Bytes(17, 3));
    b.Add(kTypeS3D, 1, 0x400, CompressEntry(Bytes(500, 4)));
    b.AddDir();
    return b;
}

std::vector<std::uint8_t> WithHeaderFiller(std::vector<std::uint8_t> image) {
    for (std::size_t i = 12; i < 32; ++i) image[i] = static_cast<std::uint8_t>(0xA0 + i);
    for (std::size_t i = 48; i < 96; ++i) image[i] = static_cast<std::uint8_t>(0x40 + i);
    return image;
}

// Puts bytes in place of an entry the way a store of another size does.
void MakePending(CDATDoc& doc, std::uint32_t row, std::vector<std::uint8_t> bytes) {
    _dbpf_index_entry e = doc.IndexEntry(row);
    e.size = static_cast<std::uint32_t>(bytes.size());
    doc.SetIndexEntry(row, e);
    doc.m_ppReplaced.Set(row, bytes);
}

}  // namespace

TEST(Commit, WithNothingPendingKeepsTheImageAndLeavesTheDirAlone) {
    DbpfBuilder b = MixedArchive();
    auto image = b.Build();
    // A stale uncompressed size in the first DIR record shows whether the DIR was rewritten.
    const std::uint32_t dirAt = ReadU32(image, ReadU32(image, 40) + 4 * 20 + 12);
    WriteU32(image, dirAt + 12, 0xBAD);
    auto doc = OpenArchive(image);
    ASSERT_TRUE(doc);
    const std::uint8_t* before = doc->m_pBuffer.data();
    MessageRecorder rec;
    EXPECT_TRUE(doc->CommitReplacedEntries());
    EXPECT_EQ(doc->m_pBuffer.data(), before);
    EXPECT_EQ(ImageOf(*doc), image);
    EXPECT_TRUE(rec.boxes().empty());
}

TEST(Commit, LaysEntriesOutInIndexOrderAndRebuildsIndexAndDir) {
    auto original = WithHeaderFiller(MixedArchive().Build());
    auto doc = OpenArchive(original);
    ASSERT_TRUE(doc);
    const std::uint32_t count = doc->IndexCount();
    std::vector<std::vector<std::uint8_t>> expected;
    for (std::uint32_t row = 0; row < count; ++row) {
        auto bytes = doc->EntryBytes(row);
        expected.emplace_back(bytes.begin(), bytes.end());
    }
    expected[3] = CompressEntry(Bytes(900, 9));  // compressed entry grows
    expected[1] = Bytes(12, 8);                  // plain entry shrinks
    MakePending(*doc, 3, expected[3]);
    MakePending(*doc, 1, expected[1]);

    MessageRecorder rec;
    ASSERT_TRUE(doc->CommitReplacedEntries());
    EXPECT_TRUE(rec.boxes().empty());
    EXPECT_FALSE(doc->AnyPending());

    auto image = ImageOf(*doc);
    std::uint32_t at = 96;
    for (std::uint32_t row = 0; row < count; ++row) {
        _dbpf_index_entry e = doc->IndexEntry(row);
        EXPECT_EQ(e.offset, at) << "row " << row;
        at += e.size;
        EXPECT_EQ(e.size, expected[row].size());
        if (row == 4) continue;  // the DIR, checked below
        EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + e.offset, image.begin() + e.offset + e.size), expected[row]);
    }
    EXPECT_EQ(ReadU32(image, 40), at);
    EXPECT_EQ(image.size(), at + count * 20);
    EXPECT_EQ(doc->m_nFileSize, image.size());
    for (std::size_t i = 0; i < 96; ++i) {
        if (i >= 40 && i < 44) continue;  // the index offset
        ASSERT_EQ(image[i], original[i]) << "header byte " << i;
    }

    // The DIR lists the compressed entries in index order with their current sizes.
    _dbpf_index_entry dir = doc->IndexEntry(4);
    ASSERT_EQ(dir.size, 32u);
    EXPECT_EQ(ReadU32(image, dir.offset + 8), 0x100u);
    EXPECT_EQ(ReadU32(image, dir.offset + 12), 300u);
    EXPECT_EQ(ReadU32(image, dir.offset + 16 + 8), 0x400u);
    EXPECT_EQ(ReadU32(image, dir.offset + 16 + 12), 900u);
    EXPECT_TRUE(doc->ParseArchive(L"again", 1));

    // The committed image opens as an archive of its own.
    EXPECT_TRUE(OpenArchive(image, "committed.dat"));
}

TEST(Commit, ReportsADirThatNoLongerMatchesAndAdvisesAgainstSaving) {
    auto doc = OpenArchive(MixedArchive().Build(), "mixed.dat");
    ASSERT_TRUE(doc);
    // An entry that was compressed and now is not leaves the DIR one record short.
    MakePending(*doc, 0, Bytes(10, 5));
    MessageRecorder rec;
    EXPECT_FALSE(doc->CommitReplacedEntries());
    EXPECT_EQ(rec.texts(), (std::vector<std::wstring>{
                               L"Unable to rebuild the Directory (DIR) File for mixed.dat!\r\n\r\nPlease fix this archive using the Reader.",
                               L"The Direrctory (DIR) File for mixed.dat appears outdated!\r\n\r\nPlease fix this archive using the Reader.",
                               L"mixed.dat appears corrupted!\nIt is suggested that you don't save this file",
                           }));
    EXPECT_FALSE(doc->AnyPending());
}

TEST(Commit, ArchiveWithoutDirOrCompressedEntries) {
    DbpfBuilder b;
    b.Add(kTypeS3D, 2, 0x10, Bytes(30, 1));
    b.Add(kTypeS3D, 2, 0x20, Bytes(30, 2));
    auto doc = OpenArchive(b.Build());
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->m_nDirRow, -1);
    MakePending(*doc, 1, Bytes(31, 3));
    MessageRecorder rec;
    EXPECT_TRUE(doc->CommitReplacedEntries());
    EXPECT_TRUE(rec.boxes().empty());
    EXPECT_EQ(doc->IndexEntry(1).offset, 96u + 30u);
}

TEST(Commit, SavingWithEntriesPendingWritesAConsistentFile) {
    auto doc = OpenArchive(MixedArchive().Build(), "pending.dat");
    ASSERT_TRUE(doc);
    auto replacement = CompressEntry(Bytes(777, 6));
    MakePending(*doc, 3, replacement);
    std::string out = WriteTempFile("saved.dat", {});
    MessageRecorder rec;
    ASSERT_TRUE(doc->OnSaveDocument(kv::Utf8ToWide(out)));
    EXPECT_TRUE(rec.boxes().empty());
    auto saved = OpenArchive(ReadFileBytes(out), "saved-again.dat");
    ASSERT_TRUE(saved);
    auto bytes = saved->EntryBytes(3);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), replacement);
}
