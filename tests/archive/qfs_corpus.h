#pragma once
// Byte images that look like the model entries the codec meets in archives:
// a chunked header, vertex blocks of floats on a coarse grid with texture
// coordinates, triangle index lists and material names. Deterministic for a
// given seed, so tests and benchmarks see the same bytes on every machine.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/s3d_builder.h"

namespace kvtest {

// A small generator whose sequence does not depend on the standard library.
class SplitMix {
public:
    explicit SplitMix(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    std::uint32_t Below(std::uint32_t n) { return n ? static_cast<std::uint32_t>(Next() % n) : 0; }
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t m_state;
};

inline void PutU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}
inline void PutF32(std::vector<std::uint8_t>& out, float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutU32(out, bits);
}
inline void PutTag(std::vector<std::uint8_t>& out, const char* tag) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(tag[k]));
}

// About `targetBytes` bytes of a model-like image.
inline std::vector<std::uint8_t> ModelLikeData(std::size_t targetBytes, std::uint64_t seed = 1) {
    static const char* const kNames[] = {"roof_tiles_red", "wall_brick_02", "window_lit_a", "door_wood",
                                         "chimney_stone", "ground_grass", "fence_white", "glass_blue"};
    SplitMix rng(seed);
    std::vector<std::uint8_t> out;
    PutTag(out, "3DMD");
    PutU32(out, 0);
    PutTag(out, "HEAD");
    PutU32(out, 12);
    PutU16(out, 1);
    PutU16(out, 5);
    while (out.size() < targetBytes) {
        // Vertices: positions on a half-metre grid with some fine offsets,
        // a constant colour, texture coordinates in [0, 1].
        const std::uint32_t nv = 24 + rng.Below(200);
        PutTag(out, "VERT");
        PutU32(out, nv * 36 + 8);
        PutU32(out, 0x80004001);
        PutU32(out, nv);
        for (std::uint32_t v = 0; v < nv; ++v) {
            for (int axis = 0; axis < 3; ++axis) {
                float grid = static_cast<float>(static_cast<int>(rng.Below(33)) - 16) * 0.5f;
                if (rng.Below(4) == 0) grid += static_cast<float>(rng.Unit() * 0.125);
                PutF32(out, grid);
            }
            PutU32(out, 0xFFFFFFFF);
            PutF32(out, static_cast<float>(rng.Below(9)) / 8.0f);
            PutF32(out, static_cast<float>(rng.Below(9)) / 8.0f);
            PutF32(out, 0.0f);
            PutF32(out, 0.0f);
            PutF32(out, 1.0f);
        }
        // Triangles over those vertices, mostly strips of neighbours.
        const std::uint32_t nt = nv + rng.Below(nv);
        PutTag(out, "INDX");
        PutU32(out, nt * 6 + 12);
        PutU16(out, 0);
        PutU16(out, 2);
        PutU32(out, nt * 3);
        std::uint32_t base = 0;
        for (std::uint32_t t = 0; t < nt; ++t) {
            if (rng.Below(8) == 0) base = rng.Below(nv - 2);
            PutU16(out, base);
            PutU16(out, base + 1);
            PutU16(out, base + 2);
            base = (base + 1) % (nv - 2);
        }
        // A material with a name field of 255 bytes, zero-filled after the name.
        PutTag(out, "MATS");
        PutU32(out, 8 + 4 + 8 + 256);
        PutU32(out, 1);
        PutU32(out, 0x0000000C);
        PutU32(out, 0x08C5A1B2 + rng.Below(16));
        PutU32(out, 0x00FF0101);
        const std::string name = kNames[rng.Below(8)];
        out.push_back(static_cast<std::uint8_t>(name.size()));
        std::size_t at = out.size();
        out.resize(at + 255, 0);
        std::memcpy(out.data() + at, name.data(), name.size());
    }
    out.resize(targetBytes);
    return out;
}

// Bytes without structure: nothing for the encoder to find but chance repeats.
inline std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint64_t seed, std::uint32_t alphabet = 256) {
    SplitMix rng(seed);
    std::vector<std::uint8_t> out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng.Below(alphabet));
    return out;
}


// The S3D images of `sets` twenty-view models, written by the S3D builder the
// way archives hold them: buildings of textured boxes, each view with one
// vertex block (position, colour, texture coordinates), its triangle list and
// a material naming the view's texture. Far zooms keep fewer boxes; the
// nearest splits every face in four, and the four rotations turn the same
// geometry. Most sets are small houses; one in four is a block of flats and
// one in twenty a tower, so the entries run from a few hundred bytes to a few
// hundred kilobytes.
inline std::vector<std::vector<std::uint8_t>> ModelShapedSets(int sets, std::uint64_t seed = 1) {
    struct Box {
        float x, y, z, w, h, d;
        std::uint8_t shade;
    };
    SplitMix rng(seed);
    // Walls stand where the modeller put them: floats of full precision, a
    // few of them on a half-metre grid.
    auto coord = [&rng](std::uint32_t range) {
        if (rng.Below(4) == 0) return static_cast<float>(rng.Below(range * 2)) * 0.5f - static_cast<float>(range) / 2;
        return static_cast<float>(rng.Unit() * range - range / 2.0);
    };
    std::vector<std::vector<std::uint8_t>> images;
    for (int set = 0; set < sets; ++set) {
        const std::uint32_t kind = rng.Below(20);
        const std::uint32_t boxCount = kind == 0 ? 40 + rng.Below(120) : kind < 5 ? 8 + rng.Below(40) : 1 + rng.Below(6);
        std::vector<Box> boxes;
        for (std::uint32_t b = 0; b < boxCount; ++b) {
            Box box;
            box.x = coord(16);
            box.z = coord(16);
            box.y = static_cast<float>(rng.Below(4)) * 3.0f;
            box.w = 0.5f + static_cast<float>(rng.Unit() * 6);
            box.d = 0.5f + static_cast<float>(rng.Unit() * 6);
            box.h = 1.0f + static_cast<float>(rng.Unit() * 20);
            box.shade = static_cast<std::uint8_t>(0x90 + rng.Below(0x70));
            boxes.push_back(box);
        }
        const std::string name = "0a1b2c3d_Lot" + std::to_string(set) + (kind == 0 ? "_Tower" : kind < 5 ? "_Flats" : "_House");
        const std::uint32_t textureBase = 0x10000000u + static_cast<std::uint32_t>(set) * 0x100u;

        for (int view = 0; view < 20; ++view) {
            const int zoom = view / 4, rotation = view % 4;
            const std::size_t kept = std::max<std::size_t>(1, boxes.size() * static_cast<std::size_t>(zoom + 1) / 5);
            const int split = zoom == 4 ? 2 : 1;
            S3DBuilder b = RealisticS3D(name, 3);
            b.vert.assign(1, {});
            b.indx.assign(1, {});
            S3DVertBlock& vb = b.vert[0];
            vb.format = kFmtColourUv;
            S3DIndxBlock& ib = b.indx[0];
            std::uint32_t cell = 0;
            auto turn = [rotation](float& x, float& z) {
                for (int r = 0; r < rotation; ++r) {
                    const float t = x;
                    x = -z;
                    z = t;
                }
            };
            auto quad = [&](const std::array<std::array<float, 3>, 4>& corner, std::uint8_t shade) {
                static const float kCornerU[4] = {0, 1, 1, 0}, kCornerV[4] = {0, 0, 1, 1};
                for (int sy = 0; sy < split; ++sy)
                    for (int sx = 0; sx < split; ++sx) {
                        const std::uint16_t first = static_cast<std::uint16_t>(vb.vertices.size());
                        // The face's place in the view's texture: a cell of a
                        // 16 x 16 atlas, less a margin the renderer left.
                        const float u0 = static_cast<float>(cell % 16) / 16.0f, v0 = static_cast<float>(cell / 16 % 16) / 16.0f;
                        const float margin = static_cast<float>(0.5 + 0.37 * (cell % 7)) / 256.0f;
                        ++cell;
                        for (int k = 0; k < 4; ++k) {
                            const float a = (static_cast<float>(sx) + kCornerU[k]) / static_cast<float>(split);
                            const float c = (static_cast<float>(sy) + kCornerV[k]) / static_cast<float>(split);
                            S3DVertex v;
                            // Bilinear over the face's corners 0-1-2-3.
                            float p[3];
                            for (int axis = 0; axis < 3; ++axis) {
                                const float top = corner[0][axis] + (corner[1][axis] - corner[0][axis]) * a;
                                const float bottom = corner[3][axis] + (corner[2][axis] - corner[3][axis]) * a;
                                p[axis] = top + (bottom - top) * c;
                            }
                            v.x = p[0];
                            v.y = p[1];
                            v.z = p[2];
                            turn(v.x, v.z);
                            v.colour = {shade, shade, shade, 0xFF};
                            v.u = u0 + margin + kCornerU[k] * (1.0f / 16.0f - 2 * margin);
                            v.v = v0 + margin + kCornerV[k] * (1.0f / 16.0f - 2 * margin);
                            vb.vertices.push_back(v);
                        }
                        for (int k : {0, 1, 2, 0, 2, 3}) ib.indices.push_back(static_cast<std::uint16_t>(first + k));
                    }
            };
            for (std::size_t k = 0; k < kept; ++k) {
                const Box& q = boxes[k];
                const float x0 = q.x, x1 = q.x + q.w, y0 = q.y, y1 = q.y + q.h, z0 = q.z, z1 = q.z + q.d;
                const std::uint8_t lit = q.shade, dim = static_cast<std::uint8_t>(q.shade * 3 / 4);
                quad({{{x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, {x0, y0, z0}}}, lit);
                quad({{{x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}, {x1, y0, z0}}}, dim);
                quad({{{x1, y1, z1}, {x0, y1, z1}, {x0, y0, z1}, {x1, y0, z1}}}, lit);
                quad({{{x0, y1, z1}, {x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1}}}, dim);
                quad({{{x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {x0, y1, z0}}}, 0xFF);
            }
            b.prim.assign(1, {});
            b.prim[0].prims.push_back({0, 0, static_cast<std::uint32_t>(ib.indices.size())});
            b.meshes.assign(1, {});
            b.meshes[0].name = name;
            b.meshes[0].frames.push_back({0, 0, 0, 0});
            S3DTexture& tex = b.mats[0].textures[0];
            tex.id = textureBase + static_cast<std::uint32_t>(view);
            tex.name = name + "_Z" + std::to_string(zoom + 1) + "R" + std::to_string(rotation);
            images.push_back(b.Build());
        }
    }
    return images;
}

}  // namespace kvtest
