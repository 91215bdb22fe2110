#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "frame_fixture.h"
#include "platform/text.h"
#include "s3d/s3d_model.h"
#include "support/message_recorder.h"

using namespace kvtest;
using namespace kvtest::frame;

namespace {

constexpr std::uint32_t kGroup = 0x7000;
constexpr std::uint32_t kTargetBase = 0x10000;
constexpr std::uint32_t kSourceBase = 0x20000;
constexpr std::uint32_t kSingle = 0x30000;
constexpr std::uint32_t kOtherSingle = 0x40000;

// Three vertices whose x tells where they came from.
S3DBuilder Tagged(float tag) { return ModelOf({{tag, 0, 0}, {tag, 1, 0}, {tag, 2, 0}}); }

// A single-view model whose one vertex shows how it was turned.
S3DBuilder Pointer() { return ModelOf({{1, 5, 0}}); }

std::uint32_t ViewInstance(std::uint32_t base, int v) {
    return base + static_cast<std::uint32_t>(v / 4) * 0x100u + static_cast<std::uint32_t>(v % 4) * 0x10u;
}

// Target set (views tagged 100 + v), source set (200 + v), a pointer model
// and a plain single-view model (tag 7).
DbpfBuilder Archive() {
    DbpfBuilder b;
    AddSet(b, kGroup, kTargetBase, [](int z, int r) { return Tagged(static_cast<float>(100 + z * 4 + r)); });
    AddSet(b, kGroup, kSourceBase, [](int z, int r) { return Tagged(static_cast<float>(200 + z * 4 + r)); }, false);
    b.Add(kTypeS3D, kGroup, kSingle, EntryOf(Pointer(), true));
    b.Add(kTypeS3D, kGroup, kOtherSingle, EntryOf(Tagged(7), false));
    return b;
}

int ModelIndex(const CDATDoc& doc, std::uint32_t instance) {
    for (std::size_t i = 0; i < doc.m_pModels.size(); ++i)
        if (doc.IndexEntry(static_cast<std::uint32_t>(doc.m_pModels[i].nRow)).instance == instance)
            return static_cast<int>(i);
    ADD_FAILURE() << "no model with instance " << instance;
    return -1;
}

std::vector<float> Xs(CDATDoc& doc, int row) {
    std::vector<float> xs;
    for (const _s3d_vertex& v : VerticesOf(doc, row)) xs.push_back(v.x);
    return xs;
}

std::vector<float> Tags(float a, float b) { return {a, a, a, b, b, b}; }

// Gives an entry bytes that do not parse, the way a store of another size
// would hold them.
void Damage(CDATDoc& doc, int row) {
    std::vector<std::uint8_t> junk(40, 0x5A);
    _dbpf_index_entry e = doc.IndexEntry(static_cast<std::uint32_t>(row));
    e.size = static_cast<std::uint32_t>(junk.size());
    doc.SetIndexEntry(static_cast<std::uint32_t>(row), e);
    doc.m_ppReplaced.Set(static_cast<std::uint32_t>(row), junk);
}

std::wstring Internal(int n) { return L"Internal Error #" + std::to_wstring(n) + L"! This should never occur!!!"; }

struct MergeTest : testing::Test {
    std::unique_ptr<CDATDoc> doc = Open(Archive());
    MessageRecorder rec;
    int target = ModelIndex(*doc, kTargetBase);
    int source = ModelIndex(*doc, kSourceBase);
    int single = ModelIndex(*doc, kSingle);
    int other = ModelIndex(*doc, kOtherSingle);
    int TargetRow(int v) { return RowOf(*doc, ViewInstance(kTargetBase, v)); }
};

}  // namespace

TEST_F(MergeTest, SingleViewSourceIsTurnedToEachRotationOfATwentyViewTarget) {
    ASSERT_EQ(doc->m_pModels[static_cast<std::size_t>(target)].nViews, 20);
    const auto sourceBytes = BytesOf(*doc, RowOf(*doc, kSingle));
    ASSERT_TRUE(doc->MergeModel(target, doc.get(), single));
    EXPECT_TRUE(rec.boxes().empty());
    const float expected[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    for (int v = 0; v < 20; ++v) {
        SCOPED_TRACE(v);
        const auto vertices = VerticesOf(*doc, TargetRow(v));
        ASSERT_EQ(vertices.size(), 4u);
        EXPECT_FLOAT_EQ(vertices[0].x, static_cast<float>(100 + v));  // the view's own content comes first
        EXPECT_FLOAT_EQ(vertices[3].x, expected[v % 4][0]);
        EXPECT_FLOAT_EQ(vertices[3].y, 5);
        EXPECT_FLOAT_EQ(vertices[3].z, expected[v % 4][1]);
        bool compressed = false;
        std::uint32_t size = 0;
        auto m = doc->LoadModel(static_cast<std::uint32_t>(TargetRow(v)), compressed, size);
        EXPECT_TRUE(compressed);
        // The appended mesh names the appended blocks.
        ASSERT_EQ(m->anim.meshes.size(), 2u);
        EXPECT_EQ(m->anim.meshes[1].frames[0].vertBlock, 1);
        EXPECT_EQ(m->mats.blockCount, 2u);
    }
    // Source entries are only read.
    EXPECT_EQ(BytesOf(*doc, RowOf(*doc, kSingle)), sourceBytes);
}

TEST_F(MergeTest, TwentyViewSourcePairsTheViewsOneToOneAcrossDocuments) {
    auto srcDoc = Open(Archive());
    const int src = ModelIndex(*srcDoc, kSourceBase);
    ASSERT_TRUE(doc->MergeModel(target, srcDoc.get(), src));
    EXPECT_TRUE(rec.boxes().empty());
    for (int v = 0; v < 20; ++v)
        EXPECT_EQ(Xs(*doc, TargetRow(v)), Tags(static_cast<float>(100 + v), static_cast<float>(200 + v))) << v;
    EXPECT_FALSE(srcDoc->AnyPending());
}

TEST_F(MergeTest, SingleViewTargetTakesTheFirstViewOrTheUnturnedSource) {
    const int row = RowOf(*doc, kOtherSingle);
    ASSERT_TRUE(doc->MergeModel(other, doc.get(), source));
    EXPECT_EQ(Xs(*doc, row), Tags(7, 200));
    ASSERT_TRUE(doc->MergeModel(other, doc.get(), single));
    auto vertices = VerticesOf(*doc, row);
    ASSERT_EQ(vertices.size(), 7u);
    EXPECT_FLOAT_EQ(vertices[6].x, 1);
    EXPECT_FLOAT_EQ(vertices[6].z, 0);
    EXPECT_TRUE(rec.boxes().empty());
}

TEST_F(MergeTest, AModelMergedIntoItselfDoublesItsOwnContent) {
    ASSERT_TRUE(doc->MergeModel(target, doc.get(), target));
    for (int v = 0; v < 20; ++v) {
        const float tag = static_cast<float>(100 + v);
        EXPECT_EQ(Xs(*doc, TargetRow(v)), Tags(tag, tag)) << v;
    }
    const int row = RowOf(*doc, kOtherSingle);
    ASSERT_TRUE(doc->MergeModel(other, doc.get(), other));
    EXPECT_EQ(Xs(*doc, row), Tags(7, 7));
    // Again: the source is now read from the bytes the first merge left pending.
    ASSERT_TRUE(doc->HasPending(static_cast<std::uint32_t>(row)));
    ASSERT_TRUE(doc->MergeModel(other, doc.get(), other));
    EXPECT_EQ(Xs(*doc, row).size(), 12u);
    EXPECT_TRUE(rec.boxes().empty());
}

TEST_F(MergeTest, ASourceStoredEarlierInTheCommandIsReadFromItsPendingBytes) {
    ASSERT_TRUE(doc->MergeModel(other, doc.get(), source));  // the plain model grows: pending
    ASSERT_TRUE(doc->HasPending(static_cast<std::uint32_t>(RowOf(*doc, kOtherSingle))));
    ASSERT_TRUE(doc->MergeModel(target, doc.get(), other));
    // View 4 has rotation 0, so the single-view source lands unturned.
    auto xs = Xs(*doc, TargetRow(4));
    EXPECT_EQ(xs, (std::vector<float>{104, 104, 104, 7, 7, 7, 200, 200, 200}));
    // And the archive still commits to what was merged.
    ASSERT_TRUE(doc->CommitReplacedEntries());
    EXPECT_EQ(Xs(*doc, TargetRow(4)), xs);
}

TEST_F(MergeTest, AMissingTargetViewStopsThereWithTheViewsBeforeItStored) {
    const int row7 = TargetRow(7);
    _dbpf_index_entry e = doc->IndexEntry(static_cast<std::uint32_t>(row7));
    e.instance += 1;
    doc->SetIndexEntry(static_cast<std::uint32_t>(row7), e);
    EXPECT_FALSE(doc->MergeModel(target, doc.get(), single));
    EXPECT_EQ(rec.texts(), std::vector<std::wstring>{Internal(33)});
    for (int v = 0; v < 7; ++v) EXPECT_EQ(VerticesOf(*doc, TargetRow(v)).size(), 4u) << v;
    EXPECT_EQ(VerticesOf(*doc, row7).size(), 3u);
    for (int v = 8; v < 20; ++v) EXPECT_EQ(VerticesOf(*doc, TargetRow(v)).size(), 3u) << v;
}

TEST_F(MergeTest, SourceFailuresTouchNoTargetEntry) {
    struct Case {
        const char* what;
        std::function<void(MergeTest&)> spoil;
        int sourceModel;  // 0 the set, 1 the pointer
        std::vector<std::wstring> messages;
    };
    const std::wstring decoding = L"S3D Decoding Error!!!";
    const Case cases[] = {
        {"source view missing",
         [](MergeTest& t) {
             const int row = RowOf(*t.doc, ViewInstance(kSourceBase, 12));
             _dbpf_index_entry e = t.doc->IndexEntry(static_cast<std::uint32_t>(row));
             e.group += 1;
             t.doc->SetIndexEntry(static_cast<std::uint32_t>(row), e);
         },
         0, {Internal(37)}},
        {"source view does not load", [](MergeTest& t) { Damage(*t.doc, RowOf(*t.doc, ViewInstance(kSourceBase, 19))); },
         0, {decoding, Internal(38)}},
        {"single-view source does not load", [](MergeTest& t) { Damage(*t.doc, RowOf(*t.doc, kSingle)); }, 1,
         {decoding, Internal(36)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MergeTest& t = *this;
        doc = Open(Archive());
        c.spoil(t);
        std::vector<std::vector<std::uint8_t>> before;
        for (int v = 0; v < 20; ++v) before.push_back(BytesOf(*doc, TargetRow(v)));
        rec.Clear();
        EXPECT_FALSE(doc->MergeModel(target, doc.get(), c.sourceModel == 0 ? source : single));
        const auto texts = rec.texts();
        ASSERT_EQ(texts.size(), c.messages.size());
        for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(texts[i].rfind(c.messages[i], 0), 0u) << i;
        for (int v = 0; v < 20; ++v) EXPECT_EQ(BytesOf(*doc, TargetRow(v)), before[v]) << v;
        EXPECT_FALSE(doc->m_ppReplaced.Has(static_cast<std::uint32_t>(TargetRow(0))));
    }
}

TEST_F(MergeTest, TargetsThatDoNotLoad) {
    // A view of a set: its own message, then #34; the views before it are merged.
    Damage(*doc, TargetRow(3));
    EXPECT_FALSE(doc->MergeModel(target, doc.get(), single));
    ASSERT_EQ(rec.texts().size(), 2u);
    EXPECT_EQ(rec.texts()[0].rfind(L"S3D Decoding Error!!!", 0), 0u);
    EXPECT_EQ(rec.texts()[1], Internal(34));
    EXPECT_EQ(VerticesOf(*doc, TargetRow(2)).size(), 4u);
    EXPECT_EQ(VerticesOf(*doc, TargetRow(4)).size(), 3u);

    // A single-view target: the load's message alone.
    rec.Clear();
    Damage(*doc, RowOf(*doc, kOtherSingle));
    EXPECT_FALSE(doc->MergeModel(other, doc.get(), single));
    ASSERT_EQ(rec.texts().size(), 1u);
    EXPECT_EQ(rec.texts()[0].rfind(L"S3D Decoding Error!!!", 0), 0u);
}

TEST_F(MergeTest, AnAppendTheFormatCannotHoldIsRefusedWithItsReason) {
    // An animated source (two frames) cannot join models of one frame.
    S3DBuilder animated = Tagged(9);
    animated.frameCount = 2;
    animated.meshes[0].frames.push_back(animated.meshes[0].frames[0]);
    DbpfBuilder b = Archive();
    b.Add(kTypeS3D, kGroup, 0x50000, EntryOf(animated, false));
    doc = Open(b);
    const int anim = ModelIndex(*doc, 0x50000);
    const auto before = BytesOf(*doc, RowOf(*doc, kOtherSingle));
    EXPECT_FALSE(doc->MergeModel(other, doc.get(), anim));
    EXPECT_EQ(rec.texts(), std::vector<std::wstring>{L"Merge Error!!!\n\nThe model 0x5ad0e817 0x007000 0x040000 cannot take "
                                                     L"in the source model: the source is animated with 2 frames, the "
                                                     L"model with 1."});
    EXPECT_EQ(BytesOf(*doc, RowOf(*doc, kOtherSingle)), before);
    // A set stops at its first view, before anything is stored.
    rec.Clear();
    EXPECT_FALSE(doc->MergeModel(target, doc.get(), anim));
    EXPECT_EQ(rec.texts().size(), 1u);
    EXPECT_FALSE(doc->AnyPending());
}

TEST_F(MergeTest, AnAppendPastTheSixteenBitReferencesIsRefused) {
    // A frame naming block 65535 would name 65536 once moved past the target's one block.
    S3DBuilder far = Tagged(9);
    far.meshes[0].frames[0].vert = 65535;
    DbpfBuilder b = Archive();
    b.Add(kTypeS3D, kGroup, 0x50000, EntryOf(far, false));
    doc = Open(b);
    EXPECT_FALSE(doc->MergeModel(other, doc.get(), ModelIndex(*doc, 0x50000)));
    EXPECT_EQ(rec.texts(), std::vector<std::wstring>{L"Merge Error!!!\n\nThe model 0x5ad0e817 0x007000 0x040000 cannot take "
                                                     L"in the source model: together they would need more than 65535 "
                                                     L"meshes or blocks."});
    EXPECT_FALSE(doc->AnyPending());
}

// A plain entry whose length reads 10 FB at its bytes 4 and 5 would open as
// a compressed one. A merge that would grow a plain entry to such a length is
// refused as a failed store; what the command stored before it commits, and
// the archive saved then opens.
TEST(MergeSignature, AMergeThatWouldMakeAPlainEntryReadAsCompressedIsRefused) {
    const S3DBuilder source = Tagged(9);
    // What the merge makes of a target, written by the builder: the source's
    // blocks after the target's, its mesh naming them where they landed.
    auto merged = [&source](S3DBuilder t) {
        const auto lv = static_cast<std::uint16_t>(t.vert.size()), li = static_cast<std::uint16_t>(t.indx.size()),
                   lp = static_cast<std::uint16_t>(t.prim.size()), lm = static_cast<std::uint16_t>(t.mats.size());
        t.vert.insert(t.vert.end(), source.vert.begin(), source.vert.end());
        t.indx.insert(t.indx.end(), source.indx.begin(), source.indx.end());
        t.prim.insert(t.prim.end(), source.prim.begin(), source.prim.end());
        t.mats.insert(t.mats.end(), source.mats.begin(), source.mats.end());
        for (S3DMesh mesh : source.meshes) {
            for (S3DFrame& f : mesh.frames) {
                f.vert = static_cast<std::uint16_t>(f.vert + lv);
                f.indx = static_cast<std::uint16_t>(f.indx + li);
                f.prim = static_cast<std::uint16_t>(f.prim + lp);
                f.mats = static_cast<std::uint16_t>(f.mats + lm);
            }
            t.meshes.push_back(mesh);
        }
        return t;
    };
    constexpr std::size_t kSignature = 0xFB10;  // 64,272 bytes
    const std::size_t added = merged(Tagged(1)).Build().size() - Tagged(1).Build().size();
    const S3DBuilder refused = SizedS3D(kSignature - added);
    const S3DBuilder taken = SizedS3D(kSignature - added + 1);
    ASSERT_EQ(merged(refused).Build().size(), kSignature);

    DbpfBuilder b;
    b.Add(kTypeS3D, kGroup, kSingle, EntryOf(taken, false));
    b.Add(kTypeS3D, kGroup, kOtherSingle, EntryOf(refused, false));
    b.Add(kTypeS3D, kGroup, 0x50000, EntryOf(source, false));
    b.Add(kTypeS3D, kGroup, 0x60000, EntryOf(Tagged(5), true));  // counted by the DIR
    auto doc = Open(b);
    ASSERT_TRUE(doc);
    MessageRecorder rec;
    const int src = ModelIndex(*doc, 0x50000);
    const int takenRow = RowOf(*doc, kSingle), refusedRow = RowOf(*doc, kOtherSingle);
    const auto before = BytesOf(*doc, refusedRow);

    EXPECT_TRUE(doc->MergeModel(ModelIndex(*doc, kSingle), doc.get(), src));
    EXPECT_EQ(BytesOf(*doc, takenRow), merged(taken).Build());
    EXPECT_FALSE(doc->MergeModel(ModelIndex(*doc, kOtherSingle), doc.get(), src));
    EXPECT_EQ(rec.texts(), std::vector<std::wstring>{L"S3D Encoding Error!!!\n\nThe model 0x5ad0e817 0x007000 0x040000 "
                                                     L"would be stored as 64272 bytes, which the archive would take for a "
                                                     L"compressed entry; it is left as it is."});
    EXPECT_EQ(BytesOf(*doc, refusedRow), before);
    EXPECT_FALSE(doc->HasPending(static_cast<std::uint32_t>(refusedRow)));

    rec.Clear();
    ASSERT_TRUE(doc->CommitReplacedEntries());
    const std::string path = WriteTempFile("merge-signature.dat", {});
    ASSERT_TRUE(doc->OnSaveDocument(kv::Utf8ToWide(path)));
    auto again = OpenArchive(ReadFileBytes(path));
    ASSERT_TRUE(again);
    EXPECT_TRUE(rec.boxes().empty());
    EXPECT_EQ(BytesOf(*again, takenRow), merged(taken).Build());
    EXPECT_EQ(BytesOf(*again, refusedRow), before);
    EXPECT_FALSE(again->IsCompressed(static_cast<std::uint32_t>(refusedRow)));
}

TEST_F(MergeTest, ModelIndicesOutsideTheTablesAreRefused) {
    EXPECT_FALSE(doc->MergeModel(-1, doc.get(), single));
    EXPECT_FALSE(doc->MergeModel(target, doc.get(), static_cast<int>(doc->m_pModels.size())));
    EXPECT_FALSE(doc->MergeModel(target, nullptr, 0));
    EXPECT_EQ(rec.texts(), std::vector<std::wstring>(3, L"Encountered an improper argument."));
    EXPECT_FALSE(doc->AnyPending());
}
