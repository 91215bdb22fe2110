#include "support/s3d_builder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kvtest {

namespace {

class Bytes {
public:
    std::vector<std::uint8_t> b;

    std::size_t size() const { return b.size(); }
    void u8(std::uint8_t v) { b.push_back(v); }
    void u16(std::uint16_t v) {
        b.push_back(static_cast<std::uint8_t>(v));
        b.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        for (int k = 0; k < 4; ++k) b.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
    }
    void f32(float f) {
        std::uint32_t v;
        std::memcpy(&v, &f, 4);
        u32(v);
    }
    void text(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
    void raw(const std::vector<std::uint8_t>& v) { b.insert(b.end(), v.begin(), v.end()); }
    void tag(const std::string& t) {
        if (t.size() != 4) throw std::invalid_argument("a tag has four letters");
        text(t);
    }
    void patch32(std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
    }
};

std::uint8_t Len8(const std::string& s) {
    if (s.size() > 255) throw std::invalid_argument("an S3D text holds at most 255 bytes");
    return static_cast<std::uint8_t>(s.size());
}

const char* const kTags[kS3DChunks] = {"VERT", "INDX", "PRIM", "MATS", "ANIM", "PROP", "REGP"};

}  // namespace

std::size_t VertexSize(std::uint32_t format) {
    switch (format) {
    case kFmtColour: return 16;
    case kFmtUv: return 20;
    case kFmtColourUv: return 24;
    case kFmtUvUv2: return 28;
    case kFmtColourUvUv2: return 32;
    default: return 12;
    }
}

std::uint16_t FormatCode(std::uint32_t format) {
    switch (format) {
    case kFmtColour: return 1;
    case kFmtUv: return 2;
    case kFmtUvUv2: return 3;
    case kFmtColourUv: return 10;
    case kFmtColourUvUv2: return 11;
    default: return 0;
    }
}

std::vector<std::uint8_t> S3DBuilder::Build(S3DLayout* layout) const {
    Bytes o;
    o.tag(magic);
    o.u32(0);
    o.tag(headTag);
    o.u32(headLengthField.value_or(static_cast<std::uint32_t>(12 + headTrailing.size())));
    o.u16(major);
    o.u16(minor);
    o.raw(headTrailing);

    S3DLayout lay;
    for (int c = 0; c < kS3DChunks; ++c) {
        const S3DChunkOptions& opt = chunk[c];
        const std::size_t start = o.size();
        o.tag(opt.tag.value_or(kTags[c]));
        o.u32(0);
        std::size_t listLength = 0;
        switch (c) {
        case kChunkVert: listLength = vert.size(); break;
        case kChunkIndx: listLength = indx.size(); break;
        case kChunkPrim: listLength = prim.size(); break;
        case kChunkMats: listLength = mats.size(); break;
        case kChunkProp: listLength = props.size(); break;
        case kChunkRegp: listLength = regions.size(); break;
        default: break;
        }
        if (c != kChunkAnim) o.u32(opt.countField.value_or(static_cast<std::uint32_t>(listLength)));

        switch (c) {
        case kChunkVert:
            for (const S3DVertBlock& b : vert) {
                o.u16(b.flags);
                o.u16(b.countField.value_or(static_cast<std::uint16_t>(b.vertices.size())));
                if (NewLayout()) {
                    o.u32(b.formatField.value_or(b.format));
                } else {
                    o.u16(b.codeField.value_or(FormatCode(b.format)));
                    o.u16(b.stride);
                }
                const std::size_t size = VertexSize(b.format);
                const bool colour = size == 16 || size == 24 || size == 32;
                const bool uv = size >= 20;
                const bool uv2 = size == 28 || size == 32;
                for (const S3DVertex& v : b.vertices) {
                    o.f32(v.x);
                    o.f32(v.y);
                    o.f32(v.z);
                    if (colour)
                        for (std::uint8_t k : v.colour) o.u8(k);
                    if (uv) {
                        o.f32(v.u);
                        o.f32(v.v);
                    }
                    if (uv2) {
                        o.f32(v.u2);
                        o.f32(v.v2);
                    }
                }
            }
            break;
        case kChunkIndx:
            for (const S3DIndxBlock& b : indx) {
                o.u16(b.word1);
                o.u16(b.word2);
                o.u16(b.countField.value_or(static_cast<std::uint16_t>(b.indices.size())));
                for (std::uint16_t i : b.indices) o.u16(i);
            }
            break;
        case kChunkPrim:
            for (const S3DPrimBlock& b : prim) {
                o.u16(b.countField.value_or(static_cast<std::uint16_t>(b.prims.size())));
                for (const S3DPrim& p : b.prims) {
                    o.u32(p.type);
                    o.u32(p.first);
                    o.u32(p.count);
                }
            }
            break;
        case kChunkMats:
            for (const S3DMaterial& m : mats) {
                o.u32(m.flags);
                for (std::uint8_t s : m.settings) o.u8(s);
                o.u16(m.word);
                o.u32(m.dword);
                o.u8(m.byte);
                o.u8(m.countField.value_or(static_cast<std::uint8_t>(m.textures.size())));
                for (const S3DTexture& t : m.textures) {
                    o.u32(t.id);
                    for (std::uint8_t s : t.settings) o.u8(s);
                    o.u16(t.word1);
                    o.u16(t.word2);
                    std::string stored = t.name;
                    if (t.terminator) stored.push_back('\0');
                    o.u8(t.lengthField.value_or(Len8(stored)));
                    o.text(stored);
                }
            }
            break;
        case kChunkAnim:
            o.u16(frameCount);
            o.u16(animWord1);
            o.u16(animWord2);
            o.u32(animDword);
            o.f32(animFloat);
            o.u16(meshCountField.value_or(static_cast<std::uint16_t>(meshes.size())));
            for (const S3DMesh& m : meshes) {
                o.u8(Len8(m.name));
                o.u8(m.flags);
                o.text(m.name);
                for (const S3DFrame& f : m.frames) {
                    o.u16(f.vert);
                    o.u16(f.indx);
                    o.u16(f.prim);
                    o.u16(f.mats);
                }
            }
            break;
        case kChunkProp:
            for (const S3DProp& p : props) {
                o.u16(p.word1);
                o.u16(p.word2);
                o.u8(Len8(p.text1));
                o.text(p.text1);
                o.u8(Len8(p.text2));
                o.text(p.text2);
            }
            break;
        case kChunkRegp:
            for (const S3DRegion& r : regions) {
                o.u8(Len8(r.name));
                o.text(r.name);
                o.u16(r.countField.value_or(static_cast<std::uint16_t>(r.transforms.size())));
                for (const auto& t : r.transforms)
                    for (float f : t) o.f32(f);
            }
            break;
        default: break;
        }
        o.raw(opt.trailing);
        lay.offset[c] = start;
        lay.length[c] = o.size() - start;
        o.patch32(start + 4, opt.lengthField.value_or(static_cast<std::uint32_t>(o.size() - start)));
    }
    o.patch32(4, totalLengthField.value_or(static_cast<std::uint32_t>(o.size())));
    if (layout) *layout = lay;
    return std::move(o.b);
}

S3DBuilder RealisticS3D(const std::string& textureName, std::size_t vertexCount) {
    constexpr std::size_t kPerBlock = 16384;
    S3DBuilder b;
    b.major = 1;
    b.minor = 5;
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 16777216.0f;
    };
    std::size_t left = vertexCount;
    std::uint16_t block = 0;
    do {
        const std::size_t n = std::min(left, kPerBlock);
        S3DVertBlock& vb = b.vert.emplace_back();
        vb.format = kFmtColourUv;
        vb.vertices.resize(n);
        for (S3DVertex& v : vb.vertices) {
            v.x = next() * 16 - 8;
            v.y = next() * 20;
            v.z = next() * 16 - 8;
            v.colour = {static_cast<std::uint8_t>(seed), static_cast<std::uint8_t>(seed >> 8), 0x80, 0xFF};
            v.u = next();
            v.v = next();
        }
        S3DIndxBlock& ib = b.indx.emplace_back();
        for (std::size_t k = 0; k + 2 < n; ++k) {
            ib.indices.push_back(static_cast<std::uint16_t>(k));
            ib.indices.push_back(static_cast<std::uint16_t>(k + 1));
            ib.indices.push_back(static_cast<std::uint16_t>(k + 2));
            if (ib.indices.size() + 3 > 65535) break;
        }
        S3DPrimBlock& pb = b.prim.emplace_back();
        pb.prims.push_back({0, 0, static_cast<std::uint32_t>(ib.indices.size())});
        S3DMesh& mesh = b.meshes.emplace_back();
        mesh.name = "mesh" + std::to_string(block);
        mesh.frames.push_back({block, block, block, 0});
        left -= n;
        ++block;
    } while (left > 0);

    S3DMaterial& mat = b.mats.emplace_back();
    mat.flags = 0x0000000B;
    mat.settings = {0x04, 0x03, 0x00, 0x00};
    mat.byte = 0x80;
    S3DTexture& tex = mat.textures.emplace_back();
    tex.id = 0x1234ABCD;
    tex.name = textureName;
    b.frameCount = 1;
    return b;
}

std::vector<std::uint8_t> MakeRealisticS3D(const std::string& textureName, std::size_t vertexCount) {
    return RealisticS3D(textureName, vertexCount).Build();
}

S3DBuilder SizedS3D(std::size_t bytes) {
    // The name fills in what the vertices leave: each vertex adds fewer
    // bytes than a name can hold.
    const std::size_t one = RealisticS3D("", 1).Build().size();
    const std::size_t per = (RealisticS3D("", 301).Build().size() - one) / 300;
    std::size_t n = bytes > one ? (bytes - one) / per + 3 : 1;
    for (; n >= 1; --n) {
        S3DBuilder b = RealisticS3D("", n);
        const std::size_t size = b.Build().size();
        if (size > bytes) continue;
        if (bytes - size > 254) break;
        b.mats[0].textures[0].name.assign(bytes - size, 'p');
        return b;
    }
    throw std::invalid_argument("no realistic model has that size");
}

std::size_t FindTag(const std::vector<std::uint8_t>& image, const char* tag, std::size_t from) {
    for (std::size_t i = from; i + 4 <= image.size(); ++i)
        if (std::memcmp(image.data() + i, tag, 4) == 0) return i;
    return std::string::npos;
}

}  // namespace kvtest
