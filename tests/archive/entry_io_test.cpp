#include <gtest/gtest.h>

#include <random>

#include "archive/dat_doc.h"
#include "archive/qfs.h"
#include "platform/text.h"
#include "s3d/s3d_format.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/s3d_builder.h"

using namespace kvtest;

namespace {

std::vector<std::uint8_t> Encoded(const _s3d_model& m) {
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(EncodeS3D(m, out));
    return out;
}

// Adds one vertex to the first vertex block, which changes the model's size.
void GrowFirstBlock(_s3d_model& m, float x) {
    _s3d_work_block wb;
    ASSERT_TRUE(ExtractBlock(S3D_BLOCK_VERT, 0, &m, &wb));
    _s3d_vertex v;
    v.x = x;
    wb.vertices.push_back(v);
    ASSERT_TRUE(StoreBlock(&m, S3D_BLOCK_VERT, 0, &wb));
}

using kvtest::Load;
using kvtest::Loaded;

std::vector<std::uint8_t> BytesOf(const CDATDoc& doc, int row) {
    const auto bytes = doc.EntryBytes(static_cast<std::uint32_t>(row));
    return {bytes.begin(), bytes.end()};
}

// Row 0 plain, row 1 compressed, row 2 the DIR.
std::unique_ptr<CDATDoc> PlainAndCompressed() {
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x1010, MakeRealisticS3D("plain", 40));
    b.Add(kTypeS3D, 7, 0x2010, CompressEntry(MakeRealisticS3D("packed", 60)));
    b.AddDir();
    return OpenArchive(b.Build());
}

}  // namespace

TEST(EntryIo, UnchangedModelsStoreBackInPlaceAndTheImageStaysIdentical) {
    auto doc = PlainAndCompressed();
    ASSERT_TRUE(doc);
    const auto before = ImageOf(*doc);
    MessageRecorder rec;
    for (std::uint32_t row : {0u, 1u}) {
        Loaded l = Load(*doc, row);
        ASSERT_TRUE(l.model);
        EXPECT_EQ(l.compressed, row == 1);
        EXPECT_EQ(l.size, doc->IndexEntry(row).size);
        EXPECT_TRUE(doc->StoreModel(row, std::move(l.model), l.compressed, l.size));
    }
    EXPECT_FALSE(doc->AnyPending());
    EXPECT_EQ(ImageOf(*doc), before);
    EXPECT_TRUE(rec.boxes().empty());
}

TEST(EntryIo, ModelStoredAtAnotherSizeIsPendingAndLoadsBackAsStored) {
    auto doc = PlainAndCompressed();
    ASSERT_TRUE(doc);
    const auto before = ImageOf(*doc);
    for (std::uint32_t row : {0u, 1u}) {
        Loaded l = Load(*doc, row);
        ASSERT_TRUE(l.model);
        GrowFirstBlock(*l.model, 123.5f);
        const auto expected = Encoded(*l.model);
        ASSERT_TRUE(doc->StoreModel(row, std::move(l.model), l.compressed, l.size));
        EXPECT_TRUE(doc->HasPending(row));
        auto stored = doc->EntryBytes(row);
        EXPECT_EQ(doc->IndexEntry(row).size, stored.size());
        if (row == 1) {
            ASSERT_GE(stored.size(), 6u);
            EXPECT_EQ(ReadU32(std::vector<std::uint8_t>(stored.begin(), stored.begin() + 4), 0), stored.size());
            EXPECT_EQ(stored[4], 0x10);
            EXPECT_EQ(stored[5], 0xFB);
        }
        // Loading before the commit reads the pending bytes, not the old place.
        Loaded again = Load(*doc, row);
        ASSERT_TRUE(again.model);
        EXPECT_EQ(again.compressed, row == 1);
        EXPECT_EQ(Encoded(*again.model), expected);
        // A second store of the same new size replaces the pending bytes and
        // never writes the image's old, smaller place.
        GrowFirstBlock(*again.model, 1.0f);
        ASSERT_TRUE(doc->StoreModel(row, std::move(again.model), again.compressed, again.size));
    }
    // The image itself is untouched until the commit lays the entries out.
    std::vector<std::uint8_t> image(doc->m_pBuffer.begin(), doc->m_pBuffer.end());
    for (std::uint32_t row : {0u, 1u}) {
        std::size_t at = doc->m_pIndex + row * 20 + 16;
        std::copy_n(before.begin() + at, 4, image.begin() + at);  // only the sizes moved on
    }
    EXPECT_EQ(image, before);

    MessageRecorder rec;
    ASSERT_TRUE(doc->CommitReplacedEntries());
    EXPECT_TRUE(rec.boxes().empty());
    for (std::uint32_t row : {0u, 1u}) {
        Loaded l = Load(*doc, row);
        ASSERT_TRUE(l.model);
        _s3d_work_block wb;
        ASSERT_TRUE(ExtractBlock(S3D_BLOCK_VERT, 0, l.model.get(), &wb));
        ASSERT_GE(wb.vertices.size(), 2u);
        EXPECT_EQ(wb.vertices[wb.vertices.size() - 2].x, 123.5f);
        EXPECT_EQ(wb.vertices.back().x, 1.0f);
    }
}

TEST(EntryIo, IncompressibleModelsLargerThanTheOldAreaStillStore) {
    S3DBuilder b = RealisticS3D("noise", 12000);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> any(-1e6f, 1e6f);
    for (auto& vb : b.vert)
        for (auto& v : vb.vertices) v = {any(rng), any(rng), any(rng), {1, 2, 3, 4}, any(rng), any(rng), 0, 0};
    DbpfBuilder a;
    a.Add(kTypeS3D, 1, 0x10, CompressEntry(b.Build()));
    a.AddDir();
    auto doc = OpenArchive(a.Build());
    ASSERT_TRUE(doc);
    Loaded l = Load(*doc, 0);
    ASSERT_TRUE(l.model);
    GrowFirstBlock(*l.model, 5.0f);
    ASSERT_GT(Encoded(*l.model).size(), 222880u);
    MessageRecorder rec;
    EXPECT_TRUE(doc->StoreModel(0, std::move(l.model), l.compressed, l.size));
    EXPECT_TRUE(rec.boxes().empty());
}

TEST(EntryIo, DirFollowsACompressedEntryStoredInPlaceWithANewUncompressedSize) {
    // The old stream is padded after its end code to exactly the length the
    // grown model compresses to, so the store lands in place.
    S3DBuilder b = RealisticS3D("grow", 30);
    const auto raw = b.Build();
    DbpfBuilder probe;
    probe.Add(kTypeS3D, 1, 0x10, CompressEntry(raw));
    probe.AddDir();
    auto doc = OpenArchive(probe.Build());
    ASSERT_TRUE(doc);
    Loaded l = Load(*doc, 0);
    GrowFirstBlock(*l.model, 9.0f);
    const auto grown = Encoded(*l.model);
    const auto grownEntry = CompressEntry(grown);
    auto padded = CompressEntry(raw);
    ASSERT_LE(padded.size(), grownEntry.size());
    padded.resize(grownEntry.size(), 0);
    WriteU32(padded, 0, static_cast<std::uint32_t>(padded.size()));

    DbpfBuilder a;
    a.Add(kTypeS3D, 1, 0x10, padded);
    a.AddDir();
    const auto file = a.Build();
    // The same archive with its DIR inside the index: its records go to a
    // copy of their own, which the commit then lays out.
    std::vector<std::uint8_t> dirInIndex = file;
    WriteU32(dirInIndex, ReadU32(file, 40) + 20 + 12, ReadU32(file, 40));

    const std::vector<std::uint8_t>* archives[] = {&file, &dirInIndex};
    for (const std::vector<std::uint8_t>* archive : archives) {
        SCOPED_TRACE(archive == &file ? "DIR of its own" : "DIR inside the index");
        doc = OpenArchive(*archive);
        ASSERT_TRUE(doc);
        const auto before = ImageOf(*doc);
        l = Load(*doc, 0);
        GrowFirstBlock(*l.model, 9.0f);
        ASSERT_TRUE(doc->StoreModel(0, std::move(l.model), l.compressed, l.size));
        EXPECT_FALSE(doc->AnyPending());
        // Nothing is pending, yet the save rewrites the DIR first.
        MessageRecorder rec;
        const std::string path = WriteTempFile("stale-dir.dat", {});
        ASSERT_TRUE(doc->OnSaveDocument(kv::Utf8ToWide(path)));
        EXPECT_TRUE(rec.boxes().empty());
        const auto saved = ReadFileBytes(path);
        auto again = OpenArchive(saved);
        ASSERT_TRUE(again);
        EXPECT_EQ(ReadU32(BytesOf(*again, 1), 12), grown.size());
        EXPECT_EQ(BytesOf(*again, 0), BytesOf(*doc, 0));
        if (archive == &file) {
            // Stored in place: only the DIR record's size differs.
            auto expected = before;
            WriteU32(expected, doc->IndexEntry(1).offset + 12, static_cast<std::uint32_t>(grown.size()));
            std::copy_n(BytesOf(*doc, 0).begin(), doc->IndexEntry(0).size, expected.begin() + doc->IndexEntry(0).offset);
            EXPECT_EQ(saved, expected);
        }
    }
}

TEST(EntryIo, LoadRefusals) {
    std::vector<std::uint8_t> damaged = MakeRealisticS3D("x", 8);
    damaged.resize(damaged.size() / 2);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> data;
        std::vector<std::wstring> messages;
    } cases[] = {
        {"a compressed entry too short for its stream header",
         {7, 0, 0, 0, 0x10, 0xFB, 0},
         {L"Decompression Error!!!"}},
        {"an image the reader refuses",
         damaged,
         {L"S3D Decoding Error!!!\n\nThe model 0x5ad0e817 0x000001 0x000010 is damaged and is left as it is."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DbpfBuilder b;
        b.Add(kTypeS3D, 1, 0x10, c.data);
        if (IsCompressedData(c.data)) b.AddDir();
        MessageRecorder rec;
        auto doc = OpenArchive(b.Build());
        ASSERT_TRUE(doc);  // the archive opens; the entry is refused while names are derived
        EXPECT_EQ(rec.texts(), c.messages);
        rec.Clear();
        Loaded l = Load(*doc, 0);
        EXPECT_FALSE(l.model);
        EXPECT_EQ(rec.texts(), c.messages);
    }
}

TEST(EntryIo, StoreRefusals) {
    auto doc = PlainAndCompressed();
    ASSERT_TRUE(doc);
    const auto before = ImageOf(*doc);
    MessageRecorder rec;
    EXPECT_FALSE(doc->StoreModel(0, nullptr, false, doc->IndexEntry(0).size));
    Loaded l = Load(*doc, 0);
    l.model->vert.blockCount += 1;  // a count the writer cannot honour
    EXPECT_FALSE(doc->StoreModel(0, std::move(l.model), l.compressed, l.size));
    EXPECT_EQ(rec.texts(), (std::vector<std::wstring>{L"S3D Encoding Error!!!", L"S3D Encoding Error!!!"}));
    EXPECT_EQ(ImageOf(*doc), before);
    EXPECT_FALSE(doc->AnyPending());
}

// An entry is taken as compressed when its bytes 4 and 5 read 10 FB; in a
// plain model they are the low bytes of its length. A plain model grown to such
// a length is not stored, so that the archive still opens as it was; the same
// model of a compressed entry stores, and lengths beside it store plain.
TEST(EntryIo, APlainModelWhoseLengthWouldReadAsCompressedIsNotStored) {
    constexpr std::size_t kSignature = 0xFB10;  // 64,272 bytes
    struct Case {
        std::size_t grown;
        bool compressed;
        bool stores;
    };
    const Case cases[] = {
        {kSignature, false, false},
        {kSignature + 0x10000, false, false},
        {kSignature - 1, false, true},
        {kSignature + 1, false, true},
        {kSignature, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.grown << (c.compressed ? " compressed" : " plain"));
        // GrowFirstBlock adds one all-zero vertex of 24 bytes.
        const S3DBuilder model = SizedS3D(c.grown - VertexSize(kFmtColourUv));
        S3DBuilder grown = model;
        grown.vert[0].vertices.emplace_back().x = 9.0f;
        ASSERT_EQ(grown.Build().size(), c.grown);

        DbpfBuilder b;
        b.Add(kTypeS3D, 7, 0x1010, c.compressed ? CompressEntry(model.Build()) : model.Build());
        b.Add(kTypeS3D, 7, 0x2010, CompressEntry(MakeRealisticS3D("packed", 60)));
        b.AddDir();
        auto doc = OpenArchive(b.Build());
        ASSERT_TRUE(doc);
        const auto before = ImageOf(*doc);
        const std::uint64_t stores = doc->m_nStores;
        MessageRecorder rec;
        Loaded l = Load(*doc, 0);
        ASSERT_TRUE(l.model);
        GrowFirstBlock(*l.model, 9.0f);
        EXPECT_EQ(doc->StoreModel(0, std::move(l.model), l.compressed, l.size), c.stores);
        if (c.stores) {
            EXPECT_TRUE(rec.boxes().empty());
            EXPECT_EQ(BytesOf(*doc, 0), c.compressed ? CompressEntry(grown.Build()) : grown.Build());
        } else {
            EXPECT_EQ(rec.texts(),
                      std::vector<std::wstring>{kv::FormatW(
                          L"S3D Encoding Error!!!\n\nThe model 0x5ad0e817 0x000007 0x001010 would be stored as %u "
                          L"bytes, which the archive would take for a compressed entry; it is left as it is.",
                          static_cast<unsigned>(c.grown))});
            EXPECT_EQ(ImageOf(*doc), before);
            EXPECT_FALSE(doc->AnyPending());
            EXPECT_EQ(doc->m_nStores, stores);
        }

        // The commit's re-validation counts the compressed entries as the DIR
        // does, and the archive saved afterwards opens with the entry as stored.
        rec.Clear();
        ASSERT_TRUE(doc->CommitReplacedEntries());
        const std::string path = WriteTempFile("signature.dat", {});
        ASSERT_TRUE(doc->OnSaveDocument(kv::Utf8ToWide(path)));
        EXPECT_TRUE(rec.boxes().empty());
        auto again = OpenArchive(ReadFileBytes(path));
        ASSERT_TRUE(again);
        EXPECT_TRUE(rec.boxes().empty());
        EXPECT_EQ(again->IsCompressed(0), c.compressed);
        EXPECT_EQ(BytesOf(*again, 0), BytesOf(*doc, 0));
        EXPECT_TRUE(Load(*again, 0).model);
    }
}

// Hand-made archives may point several index rows at the same bytes. Such an
// entry is never written in place, so editing one leaves the others as they
// were.
TEST(EntryIo, EntriesThatShareBytesAreNeverWrittenThroughEachOther) {
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x1010, MakeRealisticS3D("shared", 20));
    b.Add(kTypeS3D, 7, 0x2010, MakeRealisticS3D("other", 20));
    b.Add(kTypeS3D, 7, 0x3010, CompressEntry(MakeRealisticS3D("packed", 20)));
    b.AddDir();
    auto image = b.Build();
    const std::size_t index = ReadU32(image, 40);
    // Row 1 names row 0's bytes; the DIR's bytes start inside row 2's.
    WriteU32(image, index + 20 + 12, ReadU32(image, index + 12));
    WriteU32(image, index + 20 + 16, ReadU32(image, index + 16));
    const std::uint32_t packedAt = ReadU32(image, index + 2 * 20 + 12);
    const std::uint32_t packedSize = ReadU32(image, index + 2 * 20 + 16);
    WriteU32(image, index + 3 * 20 + 12, packedAt + packedSize - 8);

    auto doc = OpenArchive(image);
    ASSERT_TRUE(doc);
    EXPECT_TRUE(doc->IsShared(0) && doc->IsShared(1) && doc->IsShared(2) && doc->IsShared(3));
    const auto before = ImageOf(*doc);
    Loaded l = Load(*doc, 0);
    ASSERT_TRUE(l.model);
    ASSERT_TRUE(doc->StoreModel(0, std::move(l.model), l.compressed, l.size));
    EXPECT_TRUE(doc->HasPending(0));
    MessageRecorder rec;
    EXPECT_TRUE(doc->RebuildDirectory());
    EXPECT_TRUE(doc->HasPending(3));  // the DIR's records went to a copy of its own
    EXPECT_EQ(ImageOf(*doc), before);
    ASSERT_TRUE(doc->CommitReplacedEntries());
    EXPECT_TRUE(rec.boxes().empty());
    for (std::uint32_t row = 0; row < 4; ++row) EXPECT_FALSE(doc->IsShared(row));
    auto packed = Load(*doc, 2);
    EXPECT_TRUE(packed.model);

    // A commit straight after the store leaves nothing pending either: the
    // laid-out DIR no longer shares its bytes.
    doc = OpenArchive(image);
    ASSERT_TRUE(doc);
    l = Load(*doc, 0);
    ASSERT_TRUE(doc->StoreModel(0, std::move(l.model), l.compressed, l.size));
    ASSERT_TRUE(doc->CommitReplacedEntries());
    EXPECT_FALSE(doc->AnyPending());
}

// Which entries share bytes does not depend on the order the index lists
// them in: each layout is checked against every pair of entries compared
// with each other.
TEST(EntryIo, EntriesThatShareBytesAreFoundInAnyIndexOrder) {
    struct Range {
        std::uint32_t at, size;  // from the start of the entries' data
    };
    const std::vector<std::vector<Range>> layouts = {
        {{0, 40}, {40, 40}, {60, 40}, {100, 40}, {140, 0}, {150, 90}},   // in order
        {{100, 40}, {0, 40}, {20, 10}, {40, 40}, {200, 40}, {140, 0}},   // the first row lies last
        {{50, 10}, {0, 100}, {110, 10}, {105, 6}, {230, 10}, {120, 5}},  // one range holds an earlier row's
        {{200, 40}, {160, 40}, {120, 40}, {80, 40}, {40, 41}, {0, 41}},  // backwards, each touching the next
    };
    for (std::size_t n = 0; n < layouts.size(); ++n) {
        SCOPED_TRACE(n);
        const std::vector<Range>& layout = layouts[n];
        DbpfBuilder b;
        for (std::uint32_t k = 0; k < 6; ++k) b.Add(0x12345678, 1, k, std::vector<std::uint8_t>(40, static_cast<std::uint8_t>(k)));
        auto image = b.Build();
        const std::uint32_t index = ReadU32(image, 40);
        for (std::size_t k = 0; k < layout.size(); ++k) {
            WriteU32(image, index + k * 20 + 12, 96 + layout[k].at);
            WriteU32(image, index + k * 20 + 16, layout[k].size);
        }
        auto doc = OpenArchive(image);
        ASSERT_TRUE(doc);
        for (std::size_t k = 0; k < layout.size(); ++k) {
            bool shared = false;
            for (std::size_t j = 0; j < layout.size(); ++j) {
                const Range a = layout[k], o = layout[j];
                shared = shared || (j != k && a.size && o.size && a.at < o.at + o.size && o.at < a.at + a.size);
            }
            EXPECT_EQ(doc->IsShared(static_cast<std::uint32_t>(k)), shared) << k;
        }
    }
}

// Entries whose bytes lie over the header or the index share them, and empty
// entries read nothing wherever they point: such an archive opens, saves
// unchanged byte for byte, and after an edit every entry keeps the bytes it
// had, although the index they lay over is rewritten.
TEST(EntryIo, EntriesOverTheHeaderOrTheIndexAndEmptyEntriesAnywhereOpenEditAndSave) {
    enum { kOverHeader, kPacked, kEmpty, kDir, kOverIndex, kWholeIndex, kRows };
    DbpfBuilder b;
    b.Add(0x11111111, 1, 1, {'h', 'e', 'a', 'd'});
    b.Add(kTypeS3D, 7, 0x2010, CompressEntry(MakeRealisticS3D("packed", 20)));
    b.Add(0x22222222, 1, 2, {});
    b.AddDir();
    b.Add(kTypeS3D, 7, 0x3010, MakeRealisticS3D("overindex", 20));  // laid out last, just before the index
    b.Add(0x33333333, 1, 3, {});
    auto file = b.Build();
    const std::uint32_t index = ReadU32(file, 40);
    auto at = [&](int row, int field) { return index + static_cast<std::size_t>(row) * 20 + field; };
    WriteU32(file, at(kOverHeader, 12), 0);  // the header and the first entry's bytes
    WriteU32(file, at(kOverHeader, 16), 100);
    WriteU32(file, at(kEmpty, 12), 0xFFFFFFF0u);
    WriteU32(file, at(kDir, 12), index + 100);  // one record's room inside the index
    WriteU32(file, at(kOverIndex, 16), ReadU32(file, at(kOverIndex, 16)) + 30);  // its last 30 bytes are the index's
    WriteU32(file, at(kWholeIndex, 12), index);
    WriteU32(file, at(kWholeIndex, 16), kRows * 20);
    const auto bytesAt = [&](const std::vector<std::uint8_t>& image, int row) {
        const std::size_t idx = ReadU32(image, 40) + static_cast<std::size_t>(row) * 20;
        const std::uint32_t offset = ReadU32(image, idx + 12), size = ReadU32(image, idx + 16);
        if (size == 0) return std::vector<std::uint8_t>();
        return std::vector<std::uint8_t>(image.begin() + offset, image.begin() + offset + size);
    };

    MessageRecorder rec;
    auto doc = OpenArchive(file, "over.dat");
    ASSERT_TRUE(doc);
    EXPECT_TRUE(rec.boxes().empty());
    ASSERT_EQ(doc->m_nModels, 2u);
    EXPECT_EQ(doc->m_pModels[1].szName, L"overindex");
    for (int row : {kOverHeader, kDir, kOverIndex, kWholeIndex}) EXPECT_TRUE(doc->IsShared(row)) << row;
    EXPECT_TRUE(doc->EntryBytes(kEmpty).empty());

    // Unchanged, it saves as it came.
    const std::wstring saved = kv::Utf8ToWide(WriteTempFile("over-saved.dat", {}));
    ASSERT_TRUE(doc->OnSaveDocument(saved));
    EXPECT_EQ(ReadFileBytes(kv::WideToUtf8(saved)), file);

    // An entry over the index is stored aside, never in place; the new size
    // written to the index leaves the entry that is the whole index as it was.
    const auto image = ImageOf(*doc);
    Loaded l = Load(*doc, kOverIndex);
    ASSERT_TRUE(l.model);
    GrowFirstBlock(*l.model, 42.0f);
    ASSERT_TRUE(doc->StoreModel(kOverIndex, std::move(l.model), l.compressed, l.size));
    EXPECT_TRUE(doc->HasPending(kOverIndex));
    EXPECT_NE(ImageOf(*doc), image);  // the index took the new size
    EXPECT_EQ(BytesOf(*doc, kWholeIndex), bytesAt(file, kWholeIndex));
    // The compressed entry is rewritten in place, so the DIR records follow.
    l = Load(*doc, kPacked);
    ASSERT_TRUE(doc->StoreModel(kPacked, std::move(l.model), l.compressed, l.size));

    ASSERT_TRUE(doc->OnSaveDocument(saved));
    EXPECT_TRUE(rec.boxes().empty());
    const auto after = ReadFileBytes(kv::WideToUtf8(saved));
    for (int row : {kOverHeader, kPacked, kWholeIndex}) EXPECT_EQ(bytesAt(after, row), bytesAt(file, row)) << row;
    EXPECT_TRUE(bytesAt(after, kEmpty).empty());
    // The DIR record names the compressed entry.
    const auto dir = bytesAt(after, kDir);
    ASSERT_EQ(dir.size(), 16u);
    EXPECT_EQ(ReadU32(dir, 0), kTypeS3D);
    EXPECT_EQ(ReadU32(dir, 8), 0x2010u);
    auto again = OpenArchive(after, "over-again.dat");
    ASSERT_TRUE(again);
    l = Load(*again, kOverIndex);
    ASSERT_TRUE(l.model);
    EXPECT_EQ(l.model->vert.blocks[0].vertices.back().x, 42.0f);
}
