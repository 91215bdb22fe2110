#include "sample_archive.h"

#include <array>
#include <string>

#include "support/dbpf_builder.h"
#include "support/s3d_builder.h"

namespace kvsample {

namespace {

// A box standing on the ground, centred on the origin: width along x, depth
// along z, height along y; one material with one texture.
std::vector<std::uint8_t> Box(const std::string& texture, float width, float depth, float height, int rotation,
                              std::uint32_t textureId) {
    kvtest::S3DBuilder b = kvtest::RealisticS3D(texture, 8);
    kvtest::S3DVertBlock& vb = b.vert.front();
    vb.vertices.resize(8);
    for (int k = 0; k < 8; ++k) {
        float x = (k & 1 ? 0.5f : -0.5f) * width;
        float z = (k & 2 ? 0.5f : -0.5f) * depth;
        kvtest::S3DVertex& v = vb.vertices[static_cast<std::size_t>(k)];
        // Each view rotation holds the model turned a quarter more: x' = -z, z' = x.
        for (int r = 0; r < rotation; ++r) {
            float t = x;
            x = -z;
            z = t;
        }
        v.x = x;
        v.z = z;
        v.y = k & 4 ? height : 0.0f;
        v.colour = {0xC0, 0xC0, 0xC0, 0xFF};
        v.u = k & 1 ? 1.0f : 0.0f;
        v.v = k & 4 ? 1.0f : 0.0f;
    }
    static constexpr std::array<std::uint16_t, 36> faces = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                                                            2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3};
    b.indx.front().indices.assign(faces.begin(), faces.end());
    b.prim.front().prims = {{0, 0, static_cast<std::uint32_t>(faces.size())}};
    b.mats.front().textures.front().id = textureId;
    return b.Build();
}

}  // namespace

std::vector<std::uint8_t> BuildSampleArchive() {
    kvtest::DbpfBuilder archive;
    struct Single {
        std::uint32_t group, instance;
        const char* texture;
        float w, d, h;
        bool compressed;
    };
    const Single singles[] = {
        {0x1A2B0001, 0x00030000, "Garden_Shed", 4.0f, 3.0f, 2.5f, false},
        {0x1A2B0001, 0x00030010, "Water_Tower", 6.0f, 6.0f, 18.0f, true},
        {0x1A2B0002, 0x00031000, "Bus_Stop", 3.5f, 1.5f, 2.8f, false},
        {0x7FFFFFFF, 0x00032000, "Billboard", 12.5f, 8.0f, 3.0f, true},
    };
    for (const Single& s : singles) {
        auto bytes = Box(s.texture, s.w, s.d, s.h, 0, 0x5A000000 + s.instance);
        archive.Add(kTypeS3D, s.group, s.instance, s.compressed ? kvtest::CompressEntry(bytes) : bytes);
    }
    struct Set {
        std::uint32_t group, base;
        const char* texture;
        float w, d, h;
        bool compressed;
    };
    const Set sets[] = {
        {0x80000001, 0x00040000, "0a1b2c3d_Corner_Shop_UserModel_Z5S", 16.0f, 12.0f, 9.0f, false},
        {0x80000001, 0x00050000, "4f3e2d1c_Office_Block_UserModel_Z5S", 24.0f, 24.0f, 60.0f, true},
    };
    for (const Set& s : sets) {
        for (int z = 0; z < 5; ++z)
            for (int r = 0; r < 4; ++r) {
                auto bytes = Box(s.texture, s.w, s.d, s.h, r, 0x5B000000 + s.base);
                std::uint32_t instance = s.base + static_cast<std::uint32_t>(z) * 0x100 + static_cast<std::uint32_t>(r) * 0x10;
                archive.Add(kTypeS3D, s.group, instance, s.compressed ? kvtest::CompressEntry(bytes) : bytes);
            }
    }
    // An entry of another kind, carried as it is.
    archive.Add(0x6534284A, 0x1A2B0001, 0x00000001, std::vector<std::uint8_t>{'K', 'o', 'r', 'v', 'a', 'n', 'e'});
    archive.AddDir();
    return archive.Build();
}

}  // namespace kvsample
