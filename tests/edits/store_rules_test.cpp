// When an edit stores its entry and when it leaves it alone, seen on entries
// that another encoder wrote: storing one always changes its bytes (the
// program writes its own QFS stream and its own canonical image), so a store
// that should not happen, or one that is skipped, shows in the file.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "frame_fixture.h"
#include "support/message_recorder.h"

using namespace kvtest;
using namespace kvtest::frame;

namespace {

struct Edit {
    const char* name;
    std::function<bool(CDATDoc&)> run;
};

// Each of these leaves every coordinate as it was, and each stores the entry.
const Edit kStoringEdits[] = {
    {"scale by a factor of 1", [](CDATDoc& d) { return d.ScaleModel(0, 0, false, 1, 1, false, 1.0); }},
    {"scale by 3/3", [](CDATDoc& d) { return d.ScaleModel(0, 4, true, 3, 3, true, 2.0); }},
    {"scale of no coordinate", [](CDATDoc& d) { return d.ScaleModel(0, 9, false, 1, 1, false, 2.0); }},
    {"move by zero", [](CDATDoc& d) { return d.MoveModel(0, 1, 0.0f, 0.0f, 0.0f); }},
    {"rotate by two half turns", [](CDATDoc& d) { return d.RotateModel(0, 2, 0) && d.RotateModel(0, 2, 0); }},
    {"flip of no coordinate", [](CDATDoc& d) { return d.FlipModel(0, 7, false); }},
};

// Entries that nothing is done to: an edit that stores them anyway, or a
// model without vertex blocks that is not stored again, shows.
struct Model {
    const char* name;
    S3DBuilder model;
};

std::vector<Model> Models() {
    return {{"a model", ModelOf({{1, 2, 3}, {-4, 5, 0.25f}, {7, -8, 9}})}, {"a model without vertex blocks", EmptyModel()}};
}

std::unique_ptr<CDATDoc> OpenForeign(const S3DBuilder& model, bool compressed) {
    DbpfBuilder b;
    b.Add(kTypeS3D, 7, 0x5000, ForeignEntryOf(model, compressed));
    return Open(b);
}

}  // namespace

TEST(StoreRules, GeometryEditsStoreTheEntryEvenWhenNothingMoves) {
    for (bool compressed : {true, false}) {
        for (const Model& m : Models()) {
            // What a store of the unchanged model writes: the builder's
            // canonical image, in the program's own stream when compressed.
            const std::vector<std::uint8_t> canonical = EntryOf(m.model, compressed);
            for (const Edit& edit : kStoringEdits) {
                SCOPED_TRACE(std::string(edit.name) + " of " + m.name + (compressed ? ", compressed" : ", plain"));
                auto doc = OpenForeign(m.model, compressed);
                ASSERT_TRUE(doc);
                ASSERT_NE(BytesOf(*doc, 0), canonical);
                const std::uint64_t stores = doc->m_nStores;
                MessageRecorder rec;
                ASSERT_TRUE(edit.run(*doc));
                EXPECT_TRUE(rec.boxes().empty());
                EXPECT_GT(doc->m_nStores, stores);
                EXPECT_EQ(BytesOf(*doc, 0), canonical);
                EXPECT_EQ(doc->IsCompressed(0), compressed);
            }
        }
    }
}

namespace {

// One opaque material block with one texture.
S3DBuilder OpaqueModel(std::uint32_t textureId) {
    S3DBuilder b = ModelOf({{1, 2, 3}});
    b.mats.assign(1, {});
    b.mats[0].flags = 0x2B;
    b.mats[0].settings = {0x04, 0x03, 0x01, 0x00};
    b.mats[0].textures.push_back({textureId, {3, 3, 0, 0}, 0, 0, "opaque", true, {}});
    return b;
}

struct MaterialRun {
    const char* name;
    S3DBuilder model;
    std::function<bool(CDATDoc&, std::wstring&)> run;
    bool stores;
};

bool Transparency(CDATDoc& d, std::wstring& report, bool set, int depth) {
    int changed = 0, noAction = 0;
    return d.SetTransparency(0, set, depth, report, &changed, &noAction);
}

bool Texture(CDATDoc& d, std::wstring& report, const wchar_t* find, const wchar_t* replace) {
    int changed = 0, unchanged = 0;
    return d.ReplaceTexture(0, find, replace, report, &changed, &unchanged);
}

}  // namespace

TEST(StoreRules, MaterialEditsStoreOnlyWhatTheyChange) {
    S3DBuilder unknown = OpaqueModel(0x1234);
    unknown.mats[0].flags = 0x01;
    S3DBuilder noMaterials = EmptyModel();
    noMaterials.mats.clear();
    const MaterialRun runs[] = {
        {"transparency removed from an opaque block", OpaqueModel(0x1234),
         [](CDATDoc& d, std::wstring& r) { return Transparency(d, r, false, 0); }, false},
        {"transparency of an unrecognisable block", unknown,
         [](CDATDoc& d, std::wstring& r) { return Transparency(d, r, true, 1); }, false},
        {"transparency of a model without materials", noMaterials,
         [](CDATDoc& d, std::wstring& r) { return Transparency(d, r, true, 0); }, false},
        {"texture IDs of a model without materials", noMaterials,
         [](CDATDoc& d, std::wstring& r) { return Texture(d, r, L"????????", L"0000abcd"); }, false},
        {"texture IDs that do not match", OpaqueModel(0x1234),
         [](CDATDoc& d, std::wstring& r) { return Texture(d, r, L"9999????", L"00000000"); }, false},
        {"texture IDs rebuilt as they were", OpaqueModel(0x1234),
         [](CDATDoc& d, std::wstring& r) { return Texture(d, r, L"????????", L"????????"); }, false},
        {"transparency set", OpaqueModel(0x1234), [](CDATDoc& d, std::wstring& r) { return Transparency(d, r, true, 0); },
         true},
        {"texture ID replaced", OpaqueModel(0x1234),
         [](CDATDoc& d, std::wstring& r) { return Texture(d, r, L"????????", L"0000abcd"); }, true},
    };
    for (bool compressed : {true, false}) {
        for (const MaterialRun& run : runs) {
            SCOPED_TRACE(std::string(run.name) + (compressed ? ", compressed" : ", plain"));
            auto doc = OpenForeign(run.model, compressed);
            ASSERT_TRUE(doc);
            const auto image = ImageOf(*doc);
            const auto foreign = BytesOf(*doc, 0);
            std::wstring report;
            MessageRecorder rec;
            ASSERT_TRUE(run.run(*doc, report));
            EXPECT_TRUE(rec.boxes().empty());
            EXPECT_EQ(doc->m_nStores, run.stores ? 1u : 0u);
            if (run.stores) {
                EXPECT_NE(BytesOf(*doc, 0), foreign);
            } else {
                EXPECT_EQ(ImageOf(*doc), image);
                EXPECT_FALSE(doc->AnyPending());
            }
        }
    }
}
