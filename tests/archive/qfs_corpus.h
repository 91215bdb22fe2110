#pragma once
// Byte images that look like the model entries the codec meets in archives:
// a chunked header, vertex blocks of floats on a coarse grid with texture
// coordinates, triangle index lists and material names. Deterministic for a
// given seed, so tests and benchmarks see the same bytes on every machine.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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

}  // namespace kvtest
