// Running out of memory on the way in and out of an archive: each report the
// user sees, and that neither the document nor the file on disk changes. The
// allocation seam makes one chosen allocation fail; the counts below follow
// the order in which each path allocates.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "platform/text.h"
#include "s3d/allocation_seam.h"
#include "s3d/s3d_format.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/s3d_builder.h"

using namespace kvtest;
using Texts = std::vector<std::wstring>;

namespace {

// Disarms the seam however a test ends.
struct Seam {
    explicit Seam(std::uint64_t n = 0) { kv::AllocationSeam::FailNth(n); }
    ~Seam() { kv::AllocationSeam::Reset(); }
    Seam(const Seam&) = delete;
    Seam& operator=(const Seam&) = delete;
};

constexpr std::uint32_t kPlain = 0, kPacked = 1;

std::vector<std::uint8_t> Archive() {
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x1010, MakeRealisticS3D("plain", 40));
    b.Add(kTypeS3D, 7, 0x2010, CompressEntry(MakeRealisticS3D("packed", 60)));
    b.AddDir();
    return b.Build();
}

using kvtest::Load;
using kvtest::Loaded;

void Grow(_s3d_model& m) {
    _s3d_work_block wb;
    ExtractBlock(S3D_BLOCK_VERT, 0, &m, &wb);
    wb.vertices.emplace_back();
    StoreBlock(&m, S3D_BLOCK_VERT, 0, &wb);
}

// The document saved to a file of its own, or nothing when the save failed.
std::optional<std::vector<std::uint8_t>> Saved(CDATDoc& doc, const std::string& name) {
    const std::string path = WriteTempFile(name, {'o', 'l', 'd'});
    if (!doc.OnSaveDocument(kv::Utf8ToWide(path))) {
        EXPECT_EQ(ReadFileBytes(path), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << "the failed save changed the file";
        return std::nullopt;
    }
    return ReadFileBytes(path);
}

}  // namespace

TEST(OutOfMemory, OpeningAnArchive) {
    const auto file = Archive();
    const struct {
        const char* name;
        std::uint64_t nth;
        Texts messages;
        bool opens;
    } cases[] = {
        {"the image", 1, {L"Failed to open document."}, false},
        {"the table of shared entries", 2, {L"Unexpected file format."}, false},
        {"the model table", 3, {L"Unexpected file format."}, false},
        {"the pending table", 4, {L"Unexpected file format."}, false},
        // Names are derived by loading each model: that model is refused and
        // listed without a name, the archive opens.
        {"the first model while names are derived", 5, {L"INVALID S3D HANDLE!!!"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MessageRecorder rec;
        Seam seam(c.nth);
        auto doc = OpenArchive(file);
        EXPECT_TRUE(kv::AllocationSeam::Fired());
        EXPECT_EQ(rec.texts(), c.messages);
        ASSERT_EQ(doc != nullptr, c.opens);
        if (!doc) continue;
        EXPECT_EQ(doc->m_pModels[0].szName, L"");
        EXPECT_EQ(doc->m_pModels[1].szName, L"packed");
        EXPECT_EQ(ImageOf(*doc), file);
    }
}

TEST(OutOfMemory, LoadingAnEntry) {
    const struct {
        const char* name;
        std::uint32_t row;
        std::uint64_t nth;
        Texts messages;
    } cases[] = {
        {"the decoder's output", kPacked, 1, {L"Insufficient memory.", L"Decompression Error!!!"}},
        {"the model", kPlain, 1, {L"INVALID S3D HANDLE!!!"}},
        {"the model of a decoded entry", kPacked, 2, {L"INVALID S3D HANDLE!!!"}},
        {"the reader's copy of a chunk", kPlain, 2, {L"Insufficient memory!!!"}},
        {"the reader's last chunk", kPacked, 10, {L"Insufficient memory!!!"}},
    };
    const auto file = Archive();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto doc = OpenArchive(file);
        ASSERT_TRUE(doc);
        MessageRecorder rec;
        Seam seam(c.nth);
        EXPECT_FALSE(Load(*doc, c.row).model);
        EXPECT_TRUE(kv::AllocationSeam::Fired());
        EXPECT_EQ(rec.texts(), c.messages);
        EXPECT_EQ(ImageOf(*doc), file);
        EXPECT_FALSE(doc->AnyPending());
        // The next load has the memory it needs.
        EXPECT_TRUE(Load(*doc, c.row).model);
    }
}

TEST(OutOfMemory, StoringAnEntry) {
    const struct {
        const char* name;
        std::uint32_t row;
        bool grow;
        std::uint64_t nth;
        Texts messages;
    } cases[] = {
        {"the encoder's buffer", kPlain, false, 1, {L"Internal error #61! This should never occur!!!"}},
        {"the encoder's buffer, compressed", kPacked, true, 1, {L"Internal error #61! This should never occur!!!"}},
        {"the compression area", kPacked, false, 2, {L"Insufficient memory!!!"}},
        {"the pending bytes", kPlain, true, 2, {L"Insufficient memory!!!"}},
        {"the pending bytes, compressed", kPacked, true, 3, {L"Insufficient memory!!!"}},
    };
    const auto file = Archive();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto doc = OpenArchive(file);
        ASSERT_TRUE(doc);
        Loaded l = Load(*doc, c.row);
        ASSERT_TRUE(l.model);
        if (c.grow) Grow(*l.model);
        MessageRecorder rec;
        {
            Seam seam(c.nth);
            EXPECT_FALSE(doc->StoreModel(c.row, std::move(l.model), l.compressed, l.size));
            EXPECT_TRUE(kv::AllocationSeam::Fired());
        }
        EXPECT_EQ(rec.texts(), c.messages);
        EXPECT_EQ(ImageOf(*doc), file);
        EXPECT_FALSE(doc->AnyPending());
        EXPECT_EQ(doc->m_nStores, 0u);
        EXPECT_EQ(Saved(*doc, "store.dat"), file);
    }
}

// The 24-bit size of a QFS stream holds less than 16 MiB: a compressed entry
// that grows past that cannot be compressed again.
TEST(OutOfMemory, AModelTooLargeToCompressIsACompressionError) {
    const auto file = Archive();
    auto doc = OpenArchive(file);
    ASSERT_TRUE(doc);
    Loaded l = Load(*doc, kPacked);
    ASSERT_TRUE(l.model);
    _s3d_work_block big;
    big.format = 0x80008101;  // 32 bytes a vertex
    big.vertices.resize(65535);
    const int blocks = static_cast<int>(l.model->vert.blocks.size());
    for (int k = 0; k < 9; ++k) ASSERT_TRUE(StoreBlock(l.model.get(), S3D_BLOCK_VERT, blocks + k, &big));
    MessageRecorder rec;
    EXPECT_FALSE(doc->StoreModel(kPacked, std::move(l.model), l.compressed, l.size));
    EXPECT_EQ(rec.texts(), Texts{L"Compression Error!!!"});
    EXPECT_EQ(ImageOf(*doc), file);
    EXPECT_FALSE(doc->AnyPending());
}

TEST(OutOfMemory, CommittingAndSaving) {
    const auto file = Archive();
    auto doc = OpenArchive(file);
    ASSERT_TRUE(doc);
    Loaded l = Load(*doc, kPacked);
    Grow(*l.model);
    ASSERT_TRUE(doc->StoreModel(kPacked, std::move(l.model), l.compressed, l.size));
    ASSERT_TRUE(doc->HasPending(kPacked));
    const auto before = ImageOf(*doc);
    const auto pending = doc->EntryBytes(kPacked);
    const std::vector<std::uint8_t> pendingBytes(pending.begin(), pending.end());

    MessageRecorder rec;
    {
        Seam seam(1);
        EXPECT_FALSE(doc->CommitReplacedEntries());
        EXPECT_TRUE(kv::AllocationSeam::Fired());
    }
    EXPECT_EQ(rec.texts(), Texts{L"Insufficient memory!!!"});
    EXPECT_EQ(ImageOf(*doc), before);
    ASSERT_TRUE(doc->HasPending(kPacked));
    EXPECT_EQ(std::vector<std::uint8_t>(doc->EntryBytes(kPacked).begin(), doc->EntryBytes(kPacked).end()), pendingBytes);

    // A save lays the pending entry out first; when that fails, the file on
    // disk is not touched.
    rec.Clear();
    {
        Seam seam(1);
        EXPECT_FALSE(Saved(*doc, "commit.dat"));
    }
    EXPECT_EQ(rec.texts(), Texts{L"Insufficient memory!!!"});
    EXPECT_EQ(ImageOf(*doc), before);

    // With the memory back, the same document commits and saves.
    rec.Clear();
    const auto saved = Saved(*doc, "commit.dat");
    ASSERT_TRUE(saved);
    EXPECT_TRUE(rec.boxes().empty());
    auto again = OpenArchive(*saved);
    ASSERT_TRUE(again);
    EXPECT_EQ(std::vector<std::uint8_t>(again->EntryBytes(kPacked).begin(), again->EntryBytes(kPacked).end()), pendingBytes);
}

// The header's offsets are 32-bit: a layout of 4 GiB or more cannot be
// described, and the commit says so as it does when the memory is not there.
// Here 257 index rows name the same 16 MiB, which the layout would copy once
// for each.
TEST(OutOfMemory, ALayoutOfFourGigabytesIsRefusedAsInsufficientMemory) {
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x1010, MakeRealisticS3D("small", 4));
    b.Add(0x12345678, 1, 0, std::vector<std::uint8_t>(std::size_t{16} << 20, 0xAB));
    for (std::uint32_t k = 1; k < 257; ++k) b.Add(0x12345678, 1, k, {});
    auto file = b.Build();
    const std::uint32_t index = ReadU32(file, 40);
    for (std::uint32_t k = 1; k < 257; ++k) {
        WriteU32(file, index + (1 + k) * 20 + 12, ReadU32(file, index + 20 + 12));
        WriteU32(file, index + (1 + k) * 20 + 16, std::uint32_t{16} << 20);
    }
    auto doc = OpenArchive(file);
    ASSERT_TRUE(doc);
    Loaded l = Load(*doc, 0);
    ASSERT_TRUE(l.model);
    Grow(*l.model);
    ASSERT_TRUE(doc->StoreModel(0, std::move(l.model), l.compressed, l.size));
    const auto before = ImageOf(*doc);
    MessageRecorder rec;
    EXPECT_FALSE(doc->CommitReplacedEntries());
    EXPECT_EQ(rec.texts(), Texts{L"Insufficient memory!!!"});
    EXPECT_EQ(ImageOf(*doc), before);
    EXPECT_TRUE(doc->HasPending(0));
    rec.Clear();
    EXPECT_FALSE(Saved(*doc, "huge.dat"));
    EXPECT_EQ(rec.texts(), Texts{L"Insufficient memory!!!"});
}

// Every allocation of a whole edit, from the load to the saved file, made to
// fail in turn: each failure is reported, and whatever was done before it
// stays as it was; the first run with memory enough for all of them ends
// with the edit saved.
TEST(OutOfMemory, EveryAllocationOfAnEditFailsCleanly) {
    const auto file = Archive();
    const Texts known = {L"Insufficient memory.", L"Decompression Error!!!", L"INVALID S3D HANDLE!!!",
                         L"Insufficient memory!!!", L"Internal error #61! This should never occur!!!"};
    bool completed = false;
    for (std::uint64_t nth = 1; nth < 100 && !completed; ++nth) {
        SCOPED_TRACE(nth);
        auto doc = OpenArchive(file);
        ASSERT_TRUE(doc);
        MessageRecorder rec;
        Seam seam(nth);
        Loaded l = Load(*doc, kPacked);
        bool ok = l.model != nullptr;
        if (ok) {
            Grow(*l.model);
            ok = doc->StoreModel(kPacked, std::move(l.model), l.compressed, l.size);
        }
        const bool stored = ok;
        std::optional<std::vector<std::uint8_t>> saved;
        if (ok) saved = Saved(*doc, "sweep.dat");
        if (!kv::AllocationSeam::Fired()) {
            ASSERT_TRUE(saved);
            EXPECT_TRUE(rec.boxes().empty());
            completed = true;
            break;
        }
        ASSERT_FALSE(rec.texts().empty());
        for (const std::wstring& t : rec.texts())
            EXPECT_NE(std::find(known.begin(), known.end(), t), known.end()) << kv::WideToUtf8(t);
        EXPECT_FALSE(saved);
        if (!stored) {
            EXPECT_EQ(ImageOf(*doc), file);
            EXPECT_FALSE(doc->AnyPending());
        }
    }
    EXPECT_TRUE(completed);
}
