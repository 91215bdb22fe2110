#include "s3d/s3d_format.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "platform/binary_io.h"
#include "s3d/allocation_seam.h"
#include "s3d/s3d_record_sizes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using kv::ByteReader;

namespace {

// ------------------------------------------------------------------ tags

enum Tag { kVert, kIndx, kPrim, kMats, kAnim, kProp, kRegp, kTagCount };

constexpr std::uint32_t TagValue(const char (&t)[5]) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(t[0])) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(t[1])) << 8) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(t[2])) << 16) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(t[3])) << 24);
}

constexpr std::array<std::uint32_t, kTagCount> kTags = {
    TagValue("VERT"), TagValue("INDX"), TagValue("PRIM"), TagValue("MATS"),
    TagValue("ANIM"), TagValue("PROP"), TagValue("REGP"),
};
constexpr std::uint32_t kTag3dmd = TagValue("3DMD");
constexpr std::uint32_t kTagHead = TagValue("HEAD");

constexpr std::size_t kNotFound = std::numeric_limits<std::size_t>::max();

// Records, for each tag, the offset of its last occurrence in the image. The
// scan looks at bytes only: a tag's letters inside another chunk's data count
// as much as the real tag, and the last one wins.
//
// Vertex data is full of bytes that start a tag (0x41, "A", is the top byte of
// many floats), so a scan that tests one letter at a time mispredicts often.
// Where SSE2 is there, sixteen offsets at a time are tested against the tags'
// first two letters and only the rare offsets that pass are compared whole.
std::array<std::size_t, kTagCount> ScanTags(const std::uint8_t* data, std::size_t size) {
    std::array<std::size_t, kTagCount> at;
    at.fill(kNotFound);
    if (size <= kS3DHeadOffset) return at;
    const std::size_t last = size - 4;  // the last offset a tag can start at
    auto match = [&](std::size_t i) {
        const std::uint32_t v = ByteReader::LoadU32(data + i);
        for (int k = 0; k < kTagCount; ++k) {
            if (v == kTags[k]) {
                at[k] = i;
                return;
            }
        }
    };

    std::size_t i = kS3DHeadOffset;
#if defined(__SSE2__)
    // PRIM and PROP share their first two letters.
    static const std::array<std::uint16_t, 6> kPairs = [] {
        std::array<std::uint16_t, 6> p{};
        std::size_t n = 0;
        for (std::uint32_t tag : kTags) {
            const auto pair = static_cast<std::uint16_t>(tag & 0xFFFF);
            if (std::find(p.begin(), p.begin() + n, pair) == p.begin() + n) p[n++] = pair;
        }
        return p;
    }();
    __m128i first[6], second[6];
    for (std::size_t k = 0; k < kPairs.size(); ++k) {
        first[k] = _mm_set1_epi8(static_cast<char>(kPairs[k] & 0xFF));
        second[k] = _mm_set1_epi8(static_cast<char>(kPairs[k] >> 8));
    }
    // Each step loads the bytes at offsets i to i + 16.
    for (; size - i >= 17; i += 16) {
        __m128i a, b;
        std::memcpy(&a, data + i, 16);
        std::memcpy(&b, data + i + 1, 16);
        __m128i hit = _mm_and_si128(_mm_cmpeq_epi8(a, first[0]), _mm_cmpeq_epi8(b, second[0]));
        for (std::size_t k = 1; k < kPairs.size(); ++k)
            hit = _mm_or_si128(hit, _mm_and_si128(_mm_cmpeq_epi8(a, first[k]), _mm_cmpeq_epi8(b, second[k])));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
        while (mask) {
            const std::size_t p = i + static_cast<std::size_t>(__builtin_ctz(mask));
            mask &= mask - 1;
            if (p <= last) match(p);
        }
    }
#endif
    for (; i <= last; ++i) match(i);
    return at;
}

// ------------------------------------------------------------------ readers
//
// Each reader works on its section's own copy of the chunk, so it cannot reach
// bytes outside the chunk's range. A count is checked against the bytes left
// before anything is reserved for it; any failure refuses the whole image.

// Records with fixed 255-byte text fields take up to ~90 times the bytes
// they occupy in the image: a stream of 16 MiB that is nothing but empty
// property records would ask for about 1.4 GB. These readers draw their
// records from one fixed budget per image, far beyond what any real model
// needs (its bulk is vertices and indices, held at about their size) and
// small enough that a model built to exhaust it still leaves room to edit,
// encode and store it.
constexpr std::size_t kRecordBudget = std::size_t{256} << 20;

class RecordBudget {
public:
    bool Take(std::size_t count, std::size_t each) {
        if (each && count > m_left / each) return false;
        m_left -= count * each;
        return true;
    }

private:
    std::size_t m_left = kRecordBudget;
};

// Positions `r` after a block chunk's header and returns its block count;
// false when the chunk cannot hold its header or the count cannot fit in what
// is left at `minBlock` bytes per block.
bool ReadBlockHeader(ByteReader& r, std::size_t minBlock, std::uint32_t& count) {
    if (!r.seek(kS3DChunkFrame)) return false;
    count = r.u32();
    if (!r.ok()) return false;
    return count <= r.remaining() / minBlock;
}

bool ReadVertChunk(_s3dvert_section& sec, const _s3d_model& model) {
    ByteReader r(sec.raw->data(), sec.raw->size());
    std::uint32_t count = 0;
    if (!ReadBlockHeader(r, kS3DVertBlockHeader, count)) return false;
    const bool newLayout = S3DUsesNewVertLayout(model.head.major, model.head.minor);
    sec.blockCount = count;
    sec.blocks.reserve(count);
    for (std::uint32_t b = 0; b < count; ++b) {
        _s3dvert_block& blk = sec.blocks.emplace_back();
        blk.flags = r.u16();
        blk.vertexCount = r.u16();
        if (newLayout) {
            blk.format = r.u32();
            blk.formatCode = static_cast<std::uint16_t>(blk.format & 0xFFFF);
            blk.stride = 0;
        } else {
            blk.formatCode = r.u16();
            blk.stride = r.u16();
            blk.format = 0;
        }
        if (!r.ok()) return false;
        if (std::uint32_t mapped = S3DFormatForCode(blk.formatCode)) blk.format = mapped;
        if (blk.vertexCount == 0) continue;

        // Vertices of a format without a known size cannot be stepped over,
        // nor written back without losing what they hold.
        const std::size_t size = S3DVertexSize(blk.format);
        if (size == 0) return false;
        if (blk.vertexCount > r.remaining() / size) return false;
        const bool colour = (blk.format & 0x100) != 0;
        const bool uv = (blk.format & 0xC000) != 0;
        const bool uv2 = (blk.format & 0x8000) != 0;
        blk.vertices.resize(blk.vertexCount);
        for (_s3dvert_vertex& v : blk.vertices) {
            v.x = r.f32();
            v.y = r.f32();
            v.z = r.f32();
            if (colour) {
                v.c0 = r.u8();
                v.c1 = r.u8();
                v.c2 = r.u8();
                v.c3 = r.u8();
            }
            if (uv) {
                v.u = r.f32();
                v.v = r.f32();
            }
            if (uv2) {
                v.u2 = r.f32();
                v.v2 = r.f32();
            }
        }
        if (!r.ok()) return false;
    }
    return true;
}

bool ReadIndxChunk(_s3dindx_section& sec) {
    ByteReader r(sec.raw->data(), sec.raw->size());
    std::uint32_t count = 0;
    if (!ReadBlockHeader(r, kS3DIndxBlockHeader, count)) return false;
    sec.blockCount = count;
    sec.blocks.reserve(count);
    for (std::uint32_t b = 0; b < count; ++b) {
        _s3dindx_block& blk = sec.blocks.emplace_back();
        blk.indxWord1 = r.u16();
        blk.indxWord2 = r.u16();
        blk.indexCount = r.u16();
        if (!r.ok() || blk.indexCount > r.remaining() / kS3DIndexSize) return false;
        blk.indices.resize(blk.indexCount);
        for (std::uint16_t& i : blk.indices) i = r.u16();
        if (!r.ok()) return false;
    }
    return true;
}

bool ReadPrimChunk(_s3dprim_section& sec) {
    ByteReader r(sec.raw->data(), sec.raw->size());
    std::uint32_t count = 0;
    if (!ReadBlockHeader(r, kS3DPrimBlockHeader, count)) return false;
    sec.blockCount = count;
    sec.blocks.reserve(count);
    for (std::uint32_t b = 0; b < count; ++b) {
        _s3dprim_block& blk = sec.blocks.emplace_back();
        blk.primCount = r.u16();
        if (!r.ok() || blk.primCount > r.remaining() / kS3DPrimSize) return false;
        blk.prims.resize(blk.primCount);
        for (_s3dprim_prim& p : blk.prims) {
            p.type = r.u32();
            p.first = r.u32();
            p.count = r.u32();
        }
        if (!r.ok()) return false;
    }
    return true;
}

bool ReadMatsChunk(_s3dmats_section& sec, RecordBudget& budget) {
    ByteReader r(sec.raw->data(), sec.raw->size());
    std::uint32_t count = 0;
    if (!ReadBlockHeader(r, kS3DMaterialHeader, count) || !budget.Take(count, sizeof(_sd3mat_mat))) return false;
    sec.blockCount = count;
    sec.blocks.reserve(count);
    for (std::uint32_t b = 0; b < count; ++b) {
        _sd3mat_mat& mat = sec.blocks.emplace_back();
        mat.flags = r.u32();
        r.bytes(mat.settings.data(), 4);
        mat.matWord = r.u16();
        mat.matDword = r.u32();
        mat.matByte = r.u8();
        mat.textureCount = r.u8();
        if (!r.ok() || mat.textureCount > r.remaining() / kS3DTextureHeader) return false;
        if (!budget.Take(mat.textureCount, sizeof(_s3dmat_texture))) return false;
        mat.textures.resize(mat.textureCount);
        for (_s3dmat_texture& t : mat.textures) {
            t.textureId = r.u32();
            r.bytes(t.settings.data(), 4);
            t.texWord1 = r.u16();
            t.texWord2 = r.u16();
            t.nameLength = r.u8();
            if (!r.bytes(t.name.data(), t.nameLength)) return false;
        }
    }
    return r.ok();
}

bool ReadAnimChunk(_s3danim_section& sec, RecordBudget& budget) {
    ByteReader r(sec.raw->data(), sec.raw->size());
    if (sec.raw->size() < kS3DAnimHeader || !r.seek(kS3DChunkFrame)) return false;
    sec.frameCount = r.u16();
    sec.animWord1 = r.u16();
    sec.animWord2 = r.u16();
    sec.animDword = r.u32();
    sec.animFloat = r.f32();
    sec.meshCount = r.u16();
    if (!r.ok()) return false;
    const std::size_t framesSize = static_cast<std::size_t>(sec.frameCount) * kS3DFrameSize;
    if (sec.meshCount > r.remaining() / (kS3DMeshHeader + framesSize)) return false;
    if (!budget.Take(sec.meshCount, sizeof(_s3danim_mesh) + framesSize)) return false;
    sec.meshes.reserve(sec.meshCount);
    for (std::uint16_t m = 0; m < sec.meshCount; ++m) {
        _s3danim_mesh& mesh = sec.meshes.emplace_back();
        mesh.nameLength = r.u8();
        mesh.flags = r.u8();
        if (!r.bytes(mesh.name.data(), mesh.nameLength)) return false;
        if (framesSize > r.remaining()) return false;
        mesh.frames.resize(sec.frameCount);
        for (_s3danim_frame& f : mesh.frames) {
            f.vertBlock = r.u16();
            f.indxBlock = r.u16();
            f.primBlock = r.u16();
            f.matsBlock = r.u16();
        }
    }
    return r.ok();
}

bool ReadPropChunk(_s3dprop_section& sec, RecordBudget& budget) {
    ByteReader r(sec.raw->data(), sec.raw->size());
    std::uint32_t count = 0;
    if (!ReadBlockHeader(r, kS3DPropRecordHeader, count) || !budget.Take(count, sizeof(_s3dprop_block))) return false;
    sec.blockCount = count;
    sec.blocks.reserve(count);
    for (std::uint32_t b = 0; b < count; ++b) {
        _s3dprop_block& p = sec.blocks.emplace_back();
        p.propWord1 = r.u16();
        p.propWord2 = r.u16();
        p.length1 = r.u8();
        r.bytes(p.text1.data(), p.length1);
        p.length2 = r.u8();
        if (!r.bytes(p.text2.data(), p.length2)) return false;
    }
    return r.ok();
}

bool ReadRegpChunk(_s3dregp_section& sec, RecordBudget& budget) {
    ByteReader r(sec.raw->data(), sec.raw->size());
    std::uint32_t count = 0;
    if (!ReadBlockHeader(r, kS3DRegionHeader, count) || !budget.Take(count, sizeof(_s3dregp_block))) return false;
    sec.blockCount = count;
    sec.blocks.reserve(count);
    for (std::uint32_t b = 0; b < count; ++b) {
        _s3dregp_block& reg = sec.blocks.emplace_back();
        reg.nameLength = r.u8();
        r.bytes(reg.name.data(), reg.nameLength);
        reg.transformCount = r.u16();
        if (!r.ok() || reg.transformCount > r.remaining() / kS3DTransformSize) return false;
        reg.transforms.resize(reg.transformCount);
        for (_s3dregp_transform& t : reg.transforms)
            for (float& f : t.values) f = r.f32();
    }
    return r.ok();
}

void CopyRange(_s3d_chunk& c, const std::uint8_t* data, std::size_t begin, std::size_t end) {
    kv::AllocationSeam::Count();
    c.offset = static_cast<std::uint32_t>(begin);
    c.length = static_cast<std::uint32_t>(end - begin);
    c.raw.emplace(data + begin, data + end);
}

// ------------------------------------------------------------------ writer
//
// The image is sized exactly before it is written, so the writer fills one
// buffer with no reallocation; every store still checks the space left, and a
// mismatch between sizing and writing fails the encode rather than overrun.

class Out {
public:
    explicit Out(std::vector<std::uint8_t>& buf) : m_buf(buf) {}
    std::size_t pos() const { return m_pos; }
    bool ok() const { return m_ok; }

    void u8(std::uint8_t v) {
        if (std::uint8_t* p = room(1)) *p = v;
    }
    void u16(std::uint16_t v) {
        if (std::uint8_t* p = room(2)) {
            p[0] = static_cast<std::uint8_t>(v);
            p[1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
    void u32(std::uint32_t v) {
        if (std::uint8_t* p = room(4)) kv::ByteWriter::StoreU32(p, v);
    }
    void f32(float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        u32(bits);
    }
    void bytes(const void* src, std::size_t n) {
        if (n == 0) return;
        if (std::uint8_t* p = room(n)) std::memcpy(p, src, n);
    }
    void patchU32(std::size_t at, std::uint32_t v) {
        if (at + 4 <= m_buf.size()) kv::ByteWriter::StoreU32(m_buf.data() + at, v);
        else m_ok = false;
    }

private:
    std::uint8_t* room(std::size_t n) {
        if (!m_ok || n > m_buf.size() - m_pos) {
            m_ok = false;
            return nullptr;
        }
        std::uint8_t* p = m_buf.data() + m_pos;
        m_pos += n;
        return p;
    }

    std::vector<std::uint8_t>& m_buf;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

// Writes the tag and a provisional length; the returned position is where the
// length goes once the chunk is complete.
std::size_t BeginChunk(Out& out, std::uint32_t tag) {
    out.u32(tag);
    const std::size_t at = out.pos();
    out.u32(0);
    return at;
}

void EndChunk(Out& out, std::size_t lengthAt) {
    out.patchU32(lengthAt, static_cast<std::uint32_t>(out.pos() - (lengthAt - 4)));
}

// The bytes each chunk will take, or nothing when the model breaks a rule the
// reader relies on: a declared count that differs from the records held, or
// vertices of an unknown format.
struct Sizer {
    std::uint64_t total = 0;
    bool ok = true;

    void need(bool cond) { ok = ok && cond; }
};

void SizeVert(Sizer& s, const _s3dvert_section& sec) {
    s.need(sec.blockCount == sec.blocks.size());
    s.total += kS3DChunkHeader;
    for (const _s3dvert_block& b : sec.blocks) {
        s.need(b.vertexCount == b.vertices.size());
        const std::uint32_t size = S3DVertexSize(b.format);
        s.need(size != 0 || b.vertices.empty());
        s.total += kS3DVertBlockHeader + static_cast<std::uint64_t>(size) * b.vertices.size();
    }
}

void SizeIndx(Sizer& s, const _s3dindx_section& sec) {
    s.need(sec.blockCount == sec.blocks.size());
    s.total += kS3DChunkHeader;
    for (const _s3dindx_block& b : sec.blocks) {
        s.need(b.indexCount == b.indices.size());
        s.total += kS3DIndxBlockHeader + kS3DIndexSize * static_cast<std::uint64_t>(b.indices.size());
    }
}

void SizePrim(Sizer& s, const _s3dprim_section& sec) {
    s.need(sec.blockCount == sec.blocks.size());
    s.total += kS3DChunkHeader;
    for (const _s3dprim_block& b : sec.blocks) {
        s.need(b.primCount == b.prims.size());
        s.total += kS3DPrimBlockHeader + kS3DPrimSize * static_cast<std::uint64_t>(b.prims.size());
    }
}

void SizeMats(Sizer& s, const _s3dmats_section& sec) {
    s.need(sec.blockCount == sec.blocks.size());
    s.total += kS3DChunkHeader;
    for (const _sd3mat_mat& m : sec.blocks) {
        s.need(m.textureCount == m.textures.size());
        s.total += kS3DMaterialHeader;
        for (const _s3dmat_texture& t : m.textures) s.total += kS3DTextureHeader + t.nameLength;
    }
}

void SizeAnim(Sizer& s, const _s3danim_section& sec) {
    s.need(sec.meshCount == sec.meshes.size());
    s.total += kS3DAnimHeader;
    for (const _s3danim_mesh& m : sec.meshes) {
        // The reader takes frameCount frames of every mesh.
        s.need(m.frames.size() == sec.frameCount);
        s.total += kS3DMeshHeader + m.nameLength + kS3DFrameSize * static_cast<std::uint64_t>(m.frames.size());
    }
}

void SizeProp(Sizer& s, const _s3dprop_section& sec) {
    s.need(sec.blockCount == sec.blocks.size());
    s.total += kS3DChunkHeader;
    for (const _s3dprop_block& p : sec.blocks) s.total += kS3DPropRecordHeader + p.length1 + p.length2;
}

void SizeRegp(Sizer& s, const _s3dregp_section& sec) {
    s.need(sec.blockCount == sec.blocks.size());
    s.total += kS3DChunkHeader;
    for (const _s3dregp_block& r : sec.blocks) {
        s.need(r.transformCount == r.transforms.size());
        s.total += kS3DRegionHeader + r.nameLength + kS3DTransformSize * static_cast<std::uint64_t>(r.transforms.size());
    }
}

void WriteVertChunk(const _s3dvert_section& sec, Out& out, const _s3d_model& model) {
    const std::size_t at = BeginChunk(out, kTags[kVert]);
    out.u32(sec.blockCount);
    const bool newLayout = S3DUsesNewVertLayout(model.head.major, model.head.minor);
    for (const _s3dvert_block& b : sec.blocks) {
        out.u16(b.flags);
        out.u16(b.vertexCount);
        if (newLayout) {
            out.u32(b.format);
        } else {
            // A block whose format was changed, or that was added, may hold a
            // code that stands for another layout (or for none); the code the
            // reader maps back to the format is the only one that reads back.
            std::uint16_t code = b.formatCode;
            if (S3DVertexSize(b.format) != 0 && S3DFormatForCode(code) != b.format) code = S3DCodeForFormat(b.format);
            out.u16(code);
            out.u16(b.stride);
        }
        const bool colour = (b.format & 0x100) != 0;
        const bool uv = (b.format & 0xC000) != 0;
        const bool uv2 = (b.format & 0x8000) != 0;
        for (const _s3dvert_vertex& v : b.vertices) {
            out.f32(v.x);
            out.f32(v.y);
            out.f32(v.z);
            if (colour) {
                out.u8(static_cast<std::uint8_t>(v.c0));
                out.u8(static_cast<std::uint8_t>(v.c1));
                out.u8(static_cast<std::uint8_t>(v.c2));
                out.u8(static_cast<std::uint8_t>(v.c3));
            }
            if (uv) {
                out.f32(v.u);
                out.f32(v.v);
            }
            if (uv2) {
                out.f32(v.u2);
                out.f32(v.v2);
            }
        }
    }
    EndChunk(out, at);
}

void WriteIndxChunk(const _s3dindx_section& sec, Out& out) {
    const std::size_t at = BeginChunk(out, kTags[kIndx]);
    out.u32(sec.blockCount);
    for (const _s3dindx_block& b : sec.blocks) {
        out.u16(b.indxWord1);
        out.u16(b.indxWord2);
        out.u16(b.indexCount);
        for (std::uint16_t i : b.indices) out.u16(i);
    }
    EndChunk(out, at);
}

void WritePrimChunk(const _s3dprim_section& sec, Out& out) {
    const std::size_t at = BeginChunk(out, kTags[kPrim]);
    out.u32(sec.blockCount);
    for (const _s3dprim_block& b : sec.blocks) {
        out.u16(b.primCount);
        for (const _s3dprim_prim& p : b.prims) {
            out.u32(p.type);
            out.u32(p.first);
            out.u32(p.count);
        }
    }
    EndChunk(out, at);
}

void WriteMatsChunk(const _s3dmats_section& sec, Out& out) {
    const std::size_t at = BeginChunk(out, kTags[kMats]);
    out.u32(sec.blockCount);
    for (const _sd3mat_mat& m : sec.blocks) {
        out.u32(m.flags);
        out.bytes(m.settings.data(), 4);
        out.u16(m.matWord);
        out.u32(m.matDword);
        out.u8(m.matByte);
        out.u8(m.textureCount);
        for (const _s3dmat_texture& t : m.textures) {
            out.u32(t.textureId);
            out.bytes(t.settings.data(), 4);
            out.u16(t.texWord1);
            out.u16(t.texWord2);
            out.u8(t.nameLength);
            out.bytes(t.name.data(), t.nameLength);
        }
    }
    EndChunk(out, at);
}

void WriteAnimChunk(const _s3danim_section& sec, Out& out) {
    const std::size_t at = BeginChunk(out, kTags[kAnim]);
    out.u16(sec.frameCount);
    out.u16(sec.animWord1);
    out.u16(sec.animWord2);
    out.u32(sec.animDword);
    out.f32(sec.animFloat);
    out.u16(sec.meshCount);
    for (const _s3danim_mesh& m : sec.meshes) {
        out.u8(m.nameLength);
        out.u8(m.flags);
        out.bytes(m.name.data(), m.nameLength);
        for (const _s3danim_frame& f : m.frames) {
            out.u16(f.vertBlock);
            out.u16(f.indxBlock);
            out.u16(f.primBlock);
            out.u16(f.matsBlock);
        }
    }
    EndChunk(out, at);
}

void WritePropChunk(const _s3dprop_section& sec, Out& out) {
    const std::size_t at = BeginChunk(out, kTags[kProp]);
    out.u32(sec.blockCount);
    for (const _s3dprop_block& p : sec.blocks) {
        out.u16(p.propWord1);
        out.u16(p.propWord2);
        out.u8(p.length1);
        out.bytes(p.text1.data(), p.length1);
        out.u8(p.length2);
        out.bytes(p.text2.data(), p.length2);
    }
    EndChunk(out, at);
}

// A transform is written as every float it holds.
static_assert(std::tuple_size_v<decltype(_s3dregp_transform::values)> * 4 == kS3DTransformSize);

void WriteRegpChunk(const _s3dregp_section& sec, Out& out) {
    const std::size_t at = BeginChunk(out, kTags[kRegp]);
    out.u32(sec.blockCount);
    for (const _s3dregp_block& r : sec.blocks) {
        out.u8(r.nameLength);
        out.bytes(r.name.data(), r.nameLength);
        out.u16(r.transformCount);
        for (const _s3dregp_transform& t : r.transforms)
            for (float f : t.values) out.f32(f);
    }
    EndChunk(out, at);
}

}  // namespace

int ParseS3D(const std::uint8_t* data, std::size_t size, _s3d_model& model) {
    if (data == nullptr || size <= 4) return -1;
    // Offsets and lengths are held in 32 bits, as the image's own fields are.
    if (size > std::numeric_limits<std::uint32_t>::max()) return -1;

    // Built aside and handed over only when the whole image has been read, so
    // a refused image never leaves a half-filled model behind.
    _s3d_model m;
    // An image of 5 to 7 bytes holds no whole DWORD at offset 4 (nor any
    // tag, so it is refused below).
    if (size >= kS3DImageHeader) m.declaredLength = ByteReader::LoadU32(data + 4);
    m.imageSize = static_cast<std::uint32_t>(size);

    const std::array<std::size_t, kTagCount> at = ScanTags(data, size);
    for (int k = 0; k < kTagCount; ++k) {
        if (at[k] == kNotFound) return -1;
        if (k > 0 && at[k] <= at[k - 1]) return -1;
    }
    // HEAD runs from offset 8 to VERT and must hold its 12 bytes.
    if (at[kVert] < kS3DHeadOffset + kS3DHeadSize) return -1;
    // Each block chunk must at least hold its tag, length and count (ANIM its
    // longer header); the readers check everything after that.
    for (int k = 0; k < kTagCount; ++k) {
        const std::size_t end = k + 1 < kTagCount ? at[k + 1] : size;
        if (end - at[k] < (k == kAnim ? kS3DAnimHeader : kS3DChunkHeader)) return -1;
    }

    CopyRange(m.head, data, kS3DHeadOffset, at[kVert]);
    CopyRange(m.vert, data, at[kVert], at[kIndx]);
    CopyRange(m.indx, data, at[kIndx], at[kPrim]);
    CopyRange(m.prim, data, at[kPrim], at[kMats]);
    CopyRange(m.mats, data, at[kMats], at[kAnim]);
    CopyRange(m.anim, data, at[kAnim], at[kProp]);
    CopyRange(m.prop, data, at[kProp], at[kRegp]);
    CopyRange(m.regp, data, at[kRegp], size);

    {
        ByteReader h(m.head.raw->data(), m.head.raw->size());
        h.seek(kS3DChunkFrame);
        m.head.major = h.u16();
        m.head.minor = h.u16();
        if (!h.ok()) return -1;
    }

    RecordBudget budget;
    if (!ReadVertChunk(m.vert, m) || !ReadIndxChunk(m.indx) || !ReadPrimChunk(m.prim) || !ReadMatsChunk(m.mats, budget) ||
        !ReadAnimChunk(m.anim, budget) || !ReadPropChunk(m.prop, budget) || !ReadRegpChunk(m.regp, budget))
        return -1;

    FreeRawChunks(model);
    model = std::move(m);
    return 1;
}

bool EncodeS3D(const _s3d_model& model, std::vector<std::uint8_t>& out) {
    out.clear();

    Sizer s;
    s.total = kS3DHeadOffset + kS3DHeadSize;
    SizeVert(s, model.vert);
    SizeIndx(s, model.indx);
    SizePrim(s, model.prim);
    SizeMats(s, model.mats);
    SizeAnim(s, model.anim);
    SizeProp(s, model.prop);
    SizeRegp(s, model.regp);
    if (!s.ok || s.total > std::numeric_limits<std::uint32_t>::max()) return false;

    // No buffer for the image is no failure of the encoding itself: the model
    // is fine, there are just no bytes to give back.
    try {
        kv::AllocationSeam::Count();
        out.resize(static_cast<std::size_t>(s.total));
    } catch (const std::bad_alloc&) {
        std::vector<std::uint8_t>().swap(out);
        return true;
    }
    Out w(out);
    w.u32(kTag3dmd);
    w.u32(0);  // the total length, known at the end
    w.u32(kTagHead);
    w.u32(static_cast<std::uint32_t>(kS3DHeadSize));
    w.u16(model.head.major);
    w.u16(model.head.minor);

    WriteVertChunk(model.vert, w, model);
    WriteIndxChunk(model.indx, w);
    WritePrimChunk(model.prim, w);
    WriteMatsChunk(model.mats, w);
    WriteAnimChunk(model.anim, w);
    WritePropChunk(model.prop, w);
    WriteRegpChunk(model.regp, w);

    w.patchU32(4, static_cast<std::uint32_t>(w.pos()));
    if (!w.ok() || w.pos() != out.size()) {
        out.clear();
        return false;
    }
    return true;
}
