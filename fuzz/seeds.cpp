// Writes the seed corpora of the fuzz targets, one folder per target, from the
// same builders the tests use: real-looking models in every vertex layout,
// QFS streams of them, and archives with compressed entries, a DIR and a
// twenty-view set. Usage: korvane_fuzz_seeds <folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "archive/qfs.h"
#include "archive/qfs_corpus.h"
#include "support/dbpf_builder.h"
#include "support/s3d_builder.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

void Write(const fs::path& dir, const std::string& name, const Bytes& bytes) {
    fs::create_directories(dir);
    std::ofstream f(dir / name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", (dir / name).c_str());
        std::exit(1);
    }
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The QFS stream of an entry: its stored form without the size prefix.
Bytes Stream(const Bytes& raw) {
    Bytes entry = kvtest::CompressEntry(raw);
    return Bytes(entry.begin() + 4, entry.end());
}

std::vector<std::pair<std::string, Bytes>> Models() {
    std::vector<std::pair<std::string, Bytes>> models;
    models.emplace_back("realistic", kvtest::MakeRealisticS3D("Hotel_UserModel_Z5S", 4));
    models.emplace_back("realistic-40", kvtest::MakeRealisticS3D("0a1b2c3d_Tower_UserModel_Z1S", 40));

    // Every vertex format, in the newer layout and in the older one.
    for (bool old : {false, true}) {
        kvtest::S3DBuilder b = kvtest::RealisticS3D("Formats", 3);
        if (old) b.minor = 3;
        b.vert.clear();
        b.indx.clear();
        b.prim.clear();
        b.meshes.clear();
        for (std::uint32_t format : {kvtest::kFmtColour, kvtest::kFmtUv, kvtest::kFmtColourUv, kvtest::kFmtUvUv2,
                                     kvtest::kFmtColourUvUv2}) {
            kvtest::S3DVertBlock& v = b.vert.emplace_back();
            v.format = format;
            v.stride = static_cast<std::uint16_t>(kvtest::VertexSize(format));
            v.vertices.resize(3);
            for (std::size_t k = 0; k < 3; ++k) {
                v.vertices[k].x = static_cast<float>(k);
                v.vertices[k].colour = {0x00, 0x7F, 0x80, 0xFF};
                v.vertices[k].u = 0.5f;
            }
            b.indx.push_back({0, 2, std::nullopt, {0, 1, 2}});
            b.prim.push_back({std::nullopt, {{0, 0, 3}}});
        }
        const std::uint16_t blocks = static_cast<std::uint16_t>(b.vert.size());
        b.frameCount = 2;
        for (std::uint16_t k = 0; k < blocks; ++k)
            b.meshes.push_back({"mesh" + std::to_string(k), 0, {{k, k, k, 0}, {k, k, k, 0}}});
        b.props.push_back({1, 2, "key", "value"});
        b.regions.push_back({"region", std::nullopt, {{1, 2, 3, 4, 5, 6, 7}}});
        models.emplace_back(old ? "formats-old-layout" : "formats", b.Build());
    }

    // A model without materials, and one whose first material has no texture.
    kvtest::S3DBuilder bare = kvtest::RealisticS3D("Bare", 3);
    bare.mats.clear();
    models.emplace_back("no-materials", bare.Build());
    kvtest::S3DBuilder untextured = kvtest::RealisticS3D("Untextured", 3);
    untextured.mats[0].textures.clear();
    models.emplace_back("untextured", untextured.Build());
    return models;
}

Bytes Archive(const std::vector<kvtest::DbpfEntry>& entries, bool dir) {
    kvtest::DbpfBuilder b;
    for (const auto& e : entries) b.Add(e.type, e.group, e.instance, e.data);
    if (dir) b.AddDir();
    return b.Build();
}

// The twenty views of one set, every other one compressed.
template <class View>
std::vector<kvtest::DbpfEntry> TwentyViews(View view) {
    std::vector<kvtest::DbpfEntry> set;
    for (int h = 0; h < 20; ++h) {
        const auto instance = static_cast<std::uint32_t>(0x30000 + (h / 4) * 0x100 + (h % 4) * 0x10);
        const Bytes bytes = view(h);
        set.push_back({kTypeS3D, 0x1234, instance, h % 2 ? kvtest::CompressEntry(bytes) : bytes});
    }
    return set;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    const auto models = Models();

    // Raw inputs for the encoder: models, texts, runs and repeats at the
    // distances where the match forms change.
    std::vector<std::pair<std::string, Bytes>> raw = models;
    raw.emplace_back("empty", Bytes{});
    raw.emplace_back("abc", Text("abc"));
    raw.emplace_back("aaaaaaaaaa", Bytes(10, 'a'));
    raw.emplace_back("text", Text("The quick brown fox jumps over the lazy dog. The quick brown fox jumps again."));
    for (std::size_t distance : {1025u, 16385u, 70000u}) {
        Bytes b(distance + 8, 0);
        for (std::size_t k = 0; k < b.size(); ++k) b[k] = static_cast<std::uint8_t>(k * 2654435761u >> 13);
        for (std::size_t k = 0; k < 8; ++k) b[distance + k] = b[k];
        raw.emplace_back("repeat-" + std::to_string(distance), b);
    }
    // Views of twenty-view sets as the archives hold them, the smallest and
    // a few larger ones.
    {
        const std::vector<Bytes> views = kvtest::ModelShapedSets(2, 9);
        for (std::size_t k : {0u, 3u, 17u, 19u, 36u, 39u})
            if (k < views.size() && views[k].size() <= 60000) raw.emplace_back("view-" + std::to_string(k), views[k]);
    }
    for (const auto& [name, bytes] : raw) {
        Write(root / "qfs_roundtrip", name, bytes);
        Write(root / "qfs_decompress", name, Stream(bytes));
    }
    // Streams the encoder never writes: the long header, a cut stream, a
    // match reaching before the output, a stream that ends early.
    Write(root / "qfs_decompress", "long-header", {0x11, 0xFB, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0xFF, 'a', 'b', 'c'});
    Write(root / "qfs_decompress", "cut", {0x10, 0xFB, 0x00, 0x00, 0x0A, 0x19});
    Write(root / "qfs_decompress", "before-start", {0x10, 0xFB, 0x00, 0x00, 0x0A, 0x19, 0x05, 0x61, 0xFC});
    Write(root / "qfs_decompress", "ends-early", {0x10, 0xFB, 0x00, 0x01, 0x00, 0xFC});

    for (const auto& [name, bytes] : models) Write(root / "s3d_roundtrip", name, bytes);

    // Archives: plain and compressed models with their DIR, a twenty-view
    // set beside single models, opaque entries, an empty archive.
    const Bytes model = models[0].second;
    Write(root / "archive_load", "empty", Archive({}, false));
    Write(root / "archive_load", "plain",
          Archive({{kTypeS3D, 0xBADB0, 0x10000, model}, {0x6534284A, 1, 2, Text("opaque bytes")}}, false));
    Write(root / "archive_load", "compressed",
          Archive({{kTypeS3D, 0xBADB0, 0x10000, kvtest::CompressEntry(model)},
                   {kTypeS3D, 0xBADB0, 0x20010, models[1].second},
                   {0x6534284A, 1, 2, kvtest::CompressEntry(Text("opaque opaque opaque opaque"))}},
                  true));
    {
        std::vector<kvtest::DbpfEntry> set = TwentyViews([](int h) {
            return kvtest::MakeRealisticS3D("0a1b2c3d_Hotel_UserModel_Z" + std::to_string(h / 4) + "S", 3);
        });
        set.push_back({kTypeS3D, 0x1234, 0x40000, models[2].second});
        Write(root / "archive_load", "twenty-views", Archive(set, true));
    }
    {
        // A set small enough for the main run's input limit: only the first
        // view, which names the set, is a real model; the others are empty.
        const Bytes named = kvtest::MakeRealisticS3D("0a1b2c3d_Hotel_UserModel_Z0S", 3);
        const Bytes empty = kvtest::S3DBuilder{}.Build();
        Write(root / "archive_load", "twenty-views-small",
              Archive(TwentyViews([&](int h) { return h == 0 ? named : empty; }), true));
    }
    Write(root / "archive_load", "formats",
          Archive({{kTypeS3D, 7, 0x1000, kvtest::CompressEntry(models[3].second)},
                   {kTypeS3D, 7, 0x2000, models[4].second},
                   {kTypeS3D, 7, 0x3000, models[5].second}},
                  true));
    // Texture ID masks: instance and old ID (little-endian), then the mask.
    const std::vector<std::string> masks = {"????????", "########", "1234abcd", "ABCD####", "00##??ff",
                                            " 0x12?#", "-0000001", "12345678x", "#?#?"};
    for (std::size_t k = 0; k < masks.size(); ++k) {
        Bytes seed = {0x00, 0x10, 0x5E, 0x5A, 0xCD, 0xAB, 0x34, 0x12};
        seed.insert(seed.end(), masks[k].begin(), masks[k].end());
        Write(root / "id_mask", "mask-" + std::to_string(k), seed);
    }
    return 0;
}
