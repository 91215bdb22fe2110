// Archives as they arrive from the outside: cut downloads, indexes patched by
// hand, entries written by other tools. Each damage is made from one valid
// generated archive. The archive is refused with its message, or it opens
// with the damaged entry refused and every other model intact; nothing
// crashes, hangs or reads outside the file, and the file on disk is never
// changed.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "platform/file.h"
#include "platform/text.h"
#include "s3d/s3d_model.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/s3d_builder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using kvtest::ReadU32;
using kvtest::WriteU32;

constexpr std::uint32_t kGroup = 0x0BADB0;
constexpr std::uint32_t kOpaque = 0x6534284A;

const std::wstring kUnexpected = L"Unexpected file format.";
const std::wstring kDirOutdated =
    L"The Direrctory (DIR) File for test.dat appears outdated!\r\n\r\nPlease fix this archive using the Reader.";

// The rows of the valid archive: two compressed models and a plain one, an
// opaque entry between them and the DIR last.
enum Row { kPlain, kPacked, kOpaqueRow, kThird, kDirRow, kRows };

Bytes PlainModel() { return kvtest::MakeRealisticS3D("Plain", 6); }
Bytes PackedModel() { return kvtest::MakeRealisticS3D("Packed", 40); }
Bytes ThirdModel() { return kvtest::MakeRealisticS3D("Third", 5); }

// The valid archive, with the data of one row replaced (the DIR is written
// from the entries as they then are).
Bytes Archive(int row = -1, const Bytes& data = {}) {
    std::vector<Bytes> entries = {PlainModel(), kvtest::CompressEntry(PackedModel()), {'o', 'p', 'a', 'q', 'u', 'e'},
                                  kvtest::CompressEntry(ThirdModel())};
    if (row >= 0) entries[static_cast<std::size_t>(row)] = data;
    kvtest::DbpfBuilder b;
    b.Add(kTypeS3D, kGroup, 0x1000, entries[kPlain]);
    b.Add(kTypeS3D, kGroup, 0x2000, entries[kPacked]);
    b.Add(kOpaque, 1, 2, entries[kOpaqueRow]);
    b.Add(kTypeS3D, kGroup, 0x3000, entries[kThird]);
    b.AddDir();
    return b.Build();
}

std::size_t IndexAt(const Bytes& a, int row) { return ReadU32(a, 40) + static_cast<std::size_t>(row) * 20; }

std::wstring DecodingError(std::uint32_t instance) {
    return kv::FormatW(L"S3D Decoding Error!!!\n\nThe model %#08x %#08x %#08x is damaged and is left as it is.", kTypeS3D,
                       kGroup, instance);
}

bool IsLengthWarning(const std::wstring& text) { return text.rfind(L"Warning: bad length ? ", 0) == 0; }

// The QFS stream of a model with some of its codes replaced.
Bytes WithCodes(const Bytes& model, const Bytes& codes) {
    Bytes entry = kvtest::CompressEntry(model);
    entry.resize(9);
    entry.insert(entry.end(), codes.begin(), codes.end());
    return entry;
}

Bytes Cut(Bytes b, std::size_t keep) {
    b.resize(keep);
    return b;
}

// A model image with two of its chunks swapped, or one cut short inside.
Bytes SwappedChunks(kvtest::S3DChunk first, kvtest::S3DChunk second) {
    kvtest::S3DLayout lay;
    Bytes image = kvtest::RealisticS3D("Plain", 6).Build(&lay);
    Bytes out(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(lay.offset[first]));
    auto chunk = [&](kvtest::S3DChunk c) {
        return Bytes(image.begin() + static_cast<std::ptrdiff_t>(lay.offset[c]),
                     image.begin() + static_cast<std::ptrdiff_t>(lay.offset[c] + lay.length[c]));
    };
    const Bytes a = chunk(first), b = chunk(second);
    out.insert(out.end(), b.begin(), b.end());
    out.insert(out.end(), a.begin(), a.end());
    out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(lay.offset[second] + lay.length[second]), image.end());
    return out;
}

Bytes ChunkCutShort(kvtest::S3DChunk c, std::size_t bytes) {
    kvtest::S3DLayout lay;
    Bytes image = kvtest::RealisticS3D("Plain", 6).Build(&lay);
    const std::size_t end = lay.offset[c] + lay.length[c];
    image.erase(image.begin() + static_cast<std::ptrdiff_t>(end - bytes), image.begin() + static_cast<std::ptrdiff_t>(end));
    return image;
}

// The model image with the first occurrence of each tag `from` renamed `to`.
Bytes Renamed(std::vector<std::pair<const char*, const char*>> renames) {
    Bytes image = PlainModel();
    for (const auto& [from, to] : renames) {
        const std::size_t at = kvtest::FindTag(image, from);
        std::copy(to, to + 4, image.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return image;
}

}  // namespace

// Every cut of a valid archive, down to nothing, is refused: the empty file
// with its own message, everything else as an unexpected format.
TEST(DamagedArchive, CutAtEveryLengthIsRefused) {
    const Bytes valid = Archive();
    for (std::size_t length = 0; length < valid.size(); ++length) {
        kvtest::MessageRecorder rec;
        auto doc = kvtest::OpenArchive(Cut(valid, length));
        const std::vector<std::wstring> expected = {length == 0 ? L"test.dat is a zero-length file!!!" : kUnexpected};
        if (doc || rec.texts() != expected) {
            ADD_FAILURE() << "cut to " << length << " of " << valid.size() << " bytes";
            break;
        }
    }
}

// Damage to the header, the index or the DIR refuses the whole archive.
TEST(DamagedArchive, BrokenHeaderIndexOrDirIsRefused) {
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        std::vector<std::wstring> messages;
    };
    const std::vector<Case> cases = {
        {"index moved past the end", [](Bytes& a) { WriteU32(a, 40, static_cast<std::uint32_t>(a.size())); }, {kUnexpected}},
        {"index moved one byte on", [](Bytes& a) { WriteU32(a, 40, ReadU32(a, 40) + 1); }, {kUnexpected}},
        {"index offset that wraps", [](Bytes& a) { WriteU32(a, 40, 0xFFFFFFF0u); }, {kUnexpected}},
        {"index size that disagrees with the count", [](Bytes& a) { WriteU32(a, 44, ReadU32(a, 44) + 1); }, {kUnexpected}},
        {"one entry more than the index holds", [](Bytes& a) { WriteU32(a, 36, ReadU32(a, 36) + 1); }, {kUnexpected}},
        {"entry offset past the end",
         [](Bytes& a) { WriteU32(a, IndexAt(a, kPacked) + 12, static_cast<std::uint32_t>(a.size())); }, {kUnexpected}},
        {"entry offset that wraps", [](Bytes& a) { WriteU32(a, IndexAt(a, kPlain) + 12, 0xFFFFFF00u); }, {kUnexpected}},
        {"entry size one byte past the end",
         [](Bytes& a) {
             const std::size_t at = IndexAt(a, kThird);
             WriteU32(a, at + 16, static_cast<std::uint32_t>(a.size() - ReadU32(a, at + 12) + 1));
         },
         {kUnexpected}},
        {"entry size of 4 GB", [](Bytes& a) { WriteU32(a, IndexAt(a, kOpaqueRow) + 16, 0xFFFFFFFFu); }, {kUnexpected}},
        {"DIR entry past the end", [](Bytes& a) { WriteU32(a, IndexAt(a, kDirRow) + 12, 0xFFFFFFF0u); }, {kUnexpected}},
        {"DIR one record short", [](Bytes& a) { WriteU32(a, IndexAt(a, kDirRow) + 16, 16); }, {kDirOutdated, kUnexpected}},
        {"DIR without a whole record", [](Bytes& a) { WriteU32(a, IndexAt(a, kDirRow) + 16, 15); }, {kDirOutdated, kUnexpected}},
        {"DIR one record long",
         [](Bytes& a) {
             // The bytes after the DIR are the index, so this DIR lies over
             // it, which is allowed; its count is not.
             WriteU32(a, IndexAt(a, kDirRow) + 16, 48);
         },
         {kDirOutdated, kUnexpected}},
        {"DIR gone", [](Bytes& a) { WriteU32(a, IndexAt(a, kDirRow), kOpaque); }, {kDirOutdated, kUnexpected}},
        {"a compressed entry no longer marked",
         [](Bytes& a) { a[ReadU32(a, IndexAt(a, kPacked) + 12) + 5] = 0xFA; }, {kDirOutdated, kUnexpected}},
        {"an opaque entry that looks compressed",
         [](Bytes& a) {
             const std::size_t at = ReadU32(a, IndexAt(a, kOpaqueRow) + 12);
             a[at + 4] = 0x10;
             a[at + 5] = 0xFB;
         },
         {kDirOutdated, kUnexpected}},
    };
    const Bytes valid = Archive();
    ASSERT_TRUE(kvtest::OpenArchive(valid));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes damaged = valid;
        c.damage(damaged);
        kvtest::MessageRecorder rec;
        EXPECT_FALSE(kvtest::OpenArchive(damaged));
        EXPECT_EQ(rec.texts(), c.messages);
    }
}

// A damaged model entry opens with the archive; only that model is refused:
// it is listed without a name, its load says why and returns nothing, every
// other model loads, and saving writes the file back exactly as it was.
TEST(DamagedArchive, DamagedEntryIsRefusedAndTheRestLoads) {
    enum Outcome { kRefused, kRefusedAfterWarning, kLoadsAfterWarning };
    struct Case {
        const char* name;
        Row row;
        Bytes data;
        Outcome outcome;
    };
    const Bytes packed = kvtest::CompressEntry(PackedModel());
    const std::uint32_t packedSize = static_cast<std::uint32_t>(PackedModel().size());
    auto withSize = [&](std::uint32_t size) {
        Bytes e = packed;
        e[6] = static_cast<std::uint8_t>(size >> 16);
        e[7] = static_cast<std::uint8_t>(size >> 8);
        e[8] = static_cast<std::uint8_t>(size);
        return e;
    };
    const std::vector<Case> cases = {
        // QFS streams.
        {"stream cut to its header", kPacked, Cut(packed, 9), kRefusedAfterWarning},
        {"stream cut in half", kPacked, Cut(packed, packed.size() / 2), kRefusedAfterWarning},
        {"stream cut before its last codes", kPacked, Cut(packed, packed.size() - 12), kRefusedAfterWarning},
        {"2-byte match before the output's start", kPacked, WithCodes(PackedModel(), {0x00, 0x05, 0xFC}), kRefusedAfterWarning},
        {"3-byte match before the output's start", kPacked, WithCodes(PackedModel(), {0xE0, '3', 'D', 'M', 'D', 0x80, 0x3F, 0xFF}),
         kRefusedAfterWarning},
        {"4-byte match 128 KB back", kPacked, WithCodes(PackedModel(), {0xD0, 0xFF, 0xFF, 0x00}), kRefusedAfterWarning},
        {"uncompressed size of half the model", kPacked, withSize(packedSize / 2), kRefused},
        {"no uncompressed size", kPacked, withSize(0), kRefused},
        // The model ends inside its last chunk; the zeros after it are
        // bytes after the last block, which the reader passes over.
        {"uncompressed size of 16 MB", kPacked, withSize(0xFFFFFF), kLoadsAfterWarning},
        // S3D images, plain and compressed.
        {"VERT and INDX swapped", kPlain, SwappedChunks(kvtest::kChunkVert, kvtest::kChunkIndx), kRefused},
        {"PROP and REGP swapped", kPlain, SwappedChunks(kvtest::kChunkProp, kvtest::kChunkRegp), kRefused},
        {"MATS and ANIM swapped, compressed", kThird,
         kvtest::CompressEntry(SwappedChunks(kvtest::kChunkMats, kvtest::kChunkAnim)), kRefused},
        {"VERT cut by one vertex", kPlain, ChunkCutShort(kvtest::kChunkVert, 24), kRefused},
        {"INDX cut by one index", kPlain, ChunkCutShort(kvtest::kChunkIndx, 2), kRefused},
        {"MATS cut inside the texture name", kPlain, ChunkCutShort(kvtest::kChunkMats, 3), kRefused},
        {"ANIM cut by one frame, compressed", kThird, kvtest::CompressEntry(ChunkCutShort(kvtest::kChunkAnim, 8)), kRefused},
        {"REGP cut inside its header", kPlain, Cut(PlainModel(), PlainModel().size() - 2), kRefused},
        {"PRIM tag missing", kPlain, Renamed({{"PRIM", "PRIX"}}), kRefused},
        {"VERT where HEAD should be", kPlain, Renamed({{"VERT", "VERX"}, {"HEAD", "VERT"}}), kRefused},
        {"image of four bytes", kPlain, {'3', 'D', 'M', 'D'}, kRefused},
        {"empty entry", kPlain, {}, kRefused},
    };

    const std::uint32_t instances[kRows] = {0x1000, 0x2000, 0, 0x3000, 0};
    const std::vector<std::pair<Row, std::wstring>> models = {{kPlain, L"Plain"}, {kPacked, L"Packed"}, {kThird, L"Third"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = Archive(c.row, c.data);
        kvtest::MessageRecorder rec;
        auto doc = kvtest::OpenArchive(file);
        ASSERT_TRUE(doc);
        ASSERT_EQ(doc->m_nModels, 3u);

        std::vector<std::wstring> opening = rec.texts();
        if (c.outcome == kRefused) {
            EXPECT_EQ(opening, (std::vector<std::wstring>{DecodingError(instances[c.row])}));
        } else {
            ASSERT_FALSE(opening.empty());
            EXPECT_TRUE(IsLengthWarning(opening[0])) << kv::WideToUtf8(opening[0]);
            if (c.outcome == kRefusedAfterWarning)
                EXPECT_EQ(opening, (std::vector<std::wstring>{opening[0], DecodingError(instances[c.row])}));
            else
                EXPECT_EQ(opening.size(), 1u);
        }

        for (std::size_t k = 0; k < models.size(); ++k) {
            const auto& [row, name] = models[k];
            const bool refused = row == c.row && c.outcome != kLoadsAfterWarning;
            EXPECT_EQ(doc->m_pModels[k].szName, refused ? L"" : name);
            rec.Clear();
            bool compressed = false;
            std::uint32_t size = 0;
            std::unique_ptr<_s3d_model> model = doc->LoadModel(static_cast<std::uint32_t>(row), compressed, size);
            EXPECT_EQ(model == nullptr, refused);
            if (row != c.row) {
                EXPECT_TRUE(rec.texts().empty());
            }
            if (refused) {
                ASSERT_FALSE(rec.texts().empty());
                EXPECT_EQ(rec.texts().back(), DecodingError(instances[row]));
            }
        }

        // Nothing was changed, so a save writes back what was read.
        rec.Clear();
        const std::wstring path = kv::Utf8ToWide(kvtest::WriteTempFile("saved.dat", {}));
        ASSERT_TRUE(doc->OnSaveDocument(path));
        EXPECT_TRUE(rec.texts().empty());
        EXPECT_EQ(kvtest::ReadFileBytes(kv::WideToUtf8(path)), file);
    }
}

// Counts that promise more than the file holds are refused before anything is
// reserved for them: an allocation of that size would fail (and, under the
// address sanitizer, end the test).
TEST(DamagedArchive, HugeCountsAreRefusedBeforeAnythingIsAllocatedForThem) {
    struct IndexCase {
        const char* name;
        std::uint32_t count, indexSize;
    };
    // Index counts whose size wraps in 32 bits, or that the file could not hold.
    const std::vector<IndexCase> indexCases = {
        {"count times 20 wraps to 4", 0x0CCCCCCD, 4},
        {"4 billion entries", 0xFFFFFFFF, 0xFFFFFFEC},
        {"a million entries", 1000000, 20000000},
    };
    for (const IndexCase& c : indexCases) {
        SCOPED_TRACE(c.name);
        Bytes a = Archive();
        WriteU32(a, 36, c.count);
        WriteU32(a, 44, c.indexSize);
        WriteU32(a, 40, static_cast<std::uint32_t>(a.size()) - c.indexSize);
        kvtest::MessageRecorder rec;
        EXPECT_FALSE(kvtest::OpenArchive(a));
        EXPECT_EQ(rec.texts(), (std::vector<std::wstring>{kUnexpected}));
    }

    // Block, element and record counts inside a model.
    struct ModelCase {
        const char* name;
        std::function<void(kvtest::S3DBuilder&)> inflate;
    };
    const std::vector<ModelCase> modelCases = {
        {"4 billion vertex blocks", [](kvtest::S3DBuilder& b) { b.chunk[kvtest::kChunkVert].countField = 0xFFFFFFFF; }},
        {"65535 vertices", [](kvtest::S3DBuilder& b) { b.vert[0].countField = 0xFFFF; }},
        {"4 billion index blocks", [](kvtest::S3DBuilder& b) { b.chunk[kvtest::kChunkIndx].countField = 0xFFFFFFFF; }},
        {"65535 indices", [](kvtest::S3DBuilder& b) { b.indx[0].countField = 0xFFFF; }},
        {"65535 primitives", [](kvtest::S3DBuilder& b) { b.prim[0].countField = 0xFFFF; }},
        {"4 billion materials", [](kvtest::S3DBuilder& b) { b.chunk[kvtest::kChunkMats].countField = 0xFFFFFFFF; }},
        {"255 textures", [](kvtest::S3DBuilder& b) { b.mats[0].countField = 0xFF; }},
        {"65535 meshes of 65535 frames",
         [](kvtest::S3DBuilder& b) {
             b.meshCountField = 0xFFFF;
             b.frameCount = 0xFFFF;
         }},
        {"4 billion properties", [](kvtest::S3DBuilder& b) { b.chunk[kvtest::kChunkProp].countField = 0xFFFFFFFF; }},
        {"4 billion regions", [](kvtest::S3DBuilder& b) { b.chunk[kvtest::kChunkRegp].countField = 0xFFFFFFFF; }},
        {"65535 transforms",
         [](kvtest::S3DBuilder& b) { b.regions.push_back({"region", 0xFFFF, {{1, 2, 3, 4, 5, 6, 7}}}); }},
    };
    for (const ModelCase& c : modelCases) {
        SCOPED_TRACE(c.name);
        kvtest::S3DBuilder b = kvtest::RealisticS3D("Plain", 6);
        c.inflate(b);
        for (bool compressed : {false, true}) {
            const Bytes image = b.Build();
            const Row row = compressed ? kPacked : kPlain;
            kvtest::MessageRecorder rec;
            auto doc = kvtest::OpenArchive(Archive(row, compressed ? kvtest::CompressEntry(image) : image));
            ASSERT_TRUE(doc);
            EXPECT_EQ(rec.texts(), (std::vector<std::wstring>{DecodingError(row == kPlain ? 0x1000 : 0x2000)}));
            EXPECT_EQ(doc->m_pModels[row == kPlain ? 0 : 1].szName, L"");
        }
    }
}

// A file that delivers fewer bytes than its length promised (a download still
// being written, a disk error) is refused with the document's own message.
TEST(DamagedArchive, AShortReadIsRefused) {
    struct Restore {
        ~Restore() { kv::SetFileFaultHook(nullptr); }
    } restore;
    kv::SetFileFaultHook([](kv::FileOp op) { return op == kv::FileOp::Read; });
    kvtest::MessageRecorder rec;
    EXPECT_FALSE(kvtest::OpenArchive(Archive()));
    EXPECT_EQ(rec.texts(), (std::vector<std::wstring>{L"Error reading test.dat"}));
}
