#include "s3d/s3d_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "support/dbpf_builder.h"
#include "support/s3d_builder.h"

using namespace kvtest;

namespace {

std::string Hex(const std::vector<std::uint8_t>& b) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (std::uint8_t x : b) {
        s += d[x >> 4];
        s += d[x & 15];
        s += ' ';
    }
    return s;
}

int Parse(const std::vector<std::uint8_t>& image, _s3d_model& m) { return ParseS3D(image.data(), image.size(), m); }

std::vector<std::uint8_t> Encode(const _s3d_model& m) {
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(EncodeS3D(m, out));
    return out;
}

std::vector<std::uint8_t> RoundTrip(const std::vector<std::uint8_t>& image) {
    _s3d_model m;
    EXPECT_EQ(Parse(image, m), 1);
    return Encode(m);
}

S3DVertex FullVertex(float base) {
    S3DVertex v;
    v.x = base + 0.5f;
    v.y = base + 1.25f;
    v.z = base - 2.0f;
    v.colour = {0x00, 0x7F, 0x80, 0xFF};
    v.u = 0.125f;
    v.v = 0.75f;
    v.u2 = -1.5f;
    v.v2 = 3.0f;
    return v;
}

// A model that exercises every record of every chunk.
S3DBuilder RichModel(std::uint16_t major, std::uint16_t minor) {
    S3DBuilder b;
    b.major = major;
    b.minor = minor;
    std::uint32_t formats[] = {kFmtColour, kFmtUv, kFmtColourUv, kFmtUvUv2, kFmtColourUvUv2};
    for (std::uint32_t f : formats) {
        S3DVertBlock& vb = b.vert.emplace_back();
        vb.flags = 0x0102;
        vb.format = f;
        vb.stride = static_cast<std::uint16_t>(VertexSize(f));
        vb.vertices = {FullVertex(1), FullVertex(2), FullVertex(3)};
    }
    b.vert.emplace_back().format = kFmtUv;  // no vertices
    b.indx.push_back({0x0001, 0x0002, {}, {0, 1, 2, 2, 1, 0}});
    b.indx.push_back({0xFFFF, 0x0000, {}, {}});
    b.prim.push_back({{}, {{1, 0, 3}, {2, 3, 3}}});
    b.prim.emplace_back();
    S3DMaterial m;
    m.flags = 0x0000000B;
    m.settings = {4, 3, 2, 1};
    m.word = 0xBEEF;
    m.dword = 0xDEADBEEF;
    m.byte = 0x7E;
    m.textures.push_back({0x1234ABCD, {3, 3, 0, 0}, 0x0102, 0x0304, "Hotel_UserModel_Z5S", true, {}});
    m.textures.push_back({0x00000001, {1, 2, 3, 4}, 0, 0, "", false, {}});        // 13 bytes, empty name
    m.textures.push_back({0x00000002, {0, 0, 0, 0}, 7, 8, std::string(255, 'n'), false, {}});  // no zero byte
    b.mats.push_back(m);
    b.mats.emplace_back();  // 16 bytes, no textures
    b.frameCount = 2;
    b.animWord1 = 0x1111;
    b.animWord2 = 0x2222;
    b.animDword = 0x33333333;
    b.animFloat = 4.5f;
    b.meshes.push_back({"body", 0x05, {{0, 0, 0, 0}, {1, 1, 1, 1}}});
    b.meshes.push_back({"", 0x00, {{4, 1, 0, 1}, {5, 0, 1, 0}}});
    b.props.push_back({0x0A0B, 0x0C0D, "key", "value"});
    b.props.push_back({0, 0, "", ""});  // 6 bytes
    b.regions.push_back({"region", {}, {{1, 2, 3, 4, 5, 6, 7}, {-1, -2, -3, -4, -5, -6, -7}}});
    b.regions.push_back({"r", {}, {}});
    return b;
}

}  // namespace

// ------------------------------------------------------------ round trip

TEST(S3DFormat, CanonicalImagesComeBackByteForByte) {
    struct Case {
        const char* what;
        S3DBuilder b;
    };
    S3DBuilder empty;
    empty.frameCount = 0;
    S3DBuilder noFrames = RichModel(1, 5);
    noFrames.frameCount = 0;
    for (auto& mesh : noFrames.meshes) mesh.frames.clear();
    S3DBuilder unknownEmpty;  // formats without a known size are harmless when nothing uses them
    unknownEmpty.minor = 4;
    unknownEmpty.vert.push_back({0, 0x12345678, {}, {}, 0, {}, {}});
    S3DBuilder unknownOld;
    unknownOld.minor = 3;
    unknownOld.vert.push_back({0, 0, {}, std::uint16_t{7}, 33, {}, {}});

    Case cases[] = {
        {"realistic", RealisticS3D()},
        {"rich 1.5", RichModel(1, 5)},
        {"rich 1.4", RichModel(1, 4)},
        {"rich 1.3", RichModel(1, 3)},
        {"rich 0.4", RichModel(0, 4)},
        {"rich 2.0", RichModel(2, 0)},
        {"every chunk empty", empty},
        {"frame count 0", noFrames},
        {"unknown format, no vertices", unknownEmpty},
        {"unknown code, no vertices", unknownOld},
        {"tag letters in an earlier chunk's data", RealisticS3D("PROPREGPANIM")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::uint8_t> image = c.b.Build();
        const std::vector<std::uint8_t> back = RoundTrip(image);
        EXPECT_EQ(back, image) << Hex(image) << "\n" << Hex(back);
    }
}

// Images that break one canonical condition come back with exactly that
// difference put right: the expected image is the same builder without the
// fault.
TEST(S3DFormat, NonCanonicalImagesComeBackWithOnlyTheListedDifferences) {
    struct Case {
        const char* what;
        std::function<void(S3DBuilder&)> fault;
        std::function<void(S3DBuilder&)> fixed;  // the builder as the writer puts it right
    };
    const auto nothing = [](S3DBuilder&) {};
    Case cases[] = {
        {"container tag", [](S3DBuilder& b) { b.magic = "XXXX"; }, nothing},
        {"HEAD tag", [](S3DBuilder& b) { b.headTag = "HAED"; }, nothing},
        {"total length", [](S3DBuilder& b) { b.totalLengthField = 7; }, nothing},
        {"HEAD length", [](S3DBuilder& b) { b.headLengthField = 99; }, nothing},
        {"longer HEAD", [](S3DBuilder& b) { b.headTrailing = {1, 2, 3, 4, 5}; }, nothing},
        {"chunk lengths",
         [](S3DBuilder& b) {
             for (auto& c : b.chunk) c.lengthField = 0xFFFFFFFF;
         },
         nothing},
        {"bytes after the last block",
         [](S3DBuilder& b) {
             for (auto& c : b.chunk) c.trailing = {0xAA, 0xBB, 0xCC};
         },
         nothing},
        {"new-layout format with a code in its low bits",
         [](S3DBuilder& b) {
             b.vert[0].format = kFmtColour;
             b.vert[0].formatField = 0x00000001;
         },
         [](S3DBuilder& b) { b.vert[0].format = kFmtColour; }},
        {"new-layout format 0xABCD000A",
         [](S3DBuilder& b) {
             b.vert[0].format = kFmtColourUv;
             b.vert[0].formatField = 0xABCD000A;
         },
         [](S3DBuilder& b) { b.vert[0].format = kFmtColourUv; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        S3DBuilder faulty = RichModel(1, 5);
        c.fault(faulty);
        S3DBuilder expected = RichModel(1, 5);
        c.fixed(expected);
        EXPECT_EQ(RoundTrip(faulty.Build()), expected.Build());
    }
}

TEST(S3DFormat, WrittenLengthsAreTheComputedOnes) {
    S3DLayout layout;
    const std::vector<std::uint8_t> image = RichModel(1, 5).Build(&layout);
    const std::vector<std::uint8_t> back = RoundTrip(image);
    ASSERT_EQ(back.size(), image.size());
    EXPECT_EQ(ReadU32(back, 4), back.size());
    EXPECT_EQ(ReadU32(back, 12), 12u);
    for (int c = 0; c < kS3DChunks; ++c) EXPECT_EQ(ReadU32(back, layout.offset[c] + 4), layout.length[c]) << c;
}

TEST(S3DFormat, EmptyModelEncodesEveryChunkWithItsHeaderOnly) {
    _s3d_model m;
    m.head.major = 1;
    m.head.minor = 5;
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(EncodeS3D(m, out));
    ASSERT_EQ(out.size(), 20u + 6 * 12 + 24);
    EXPECT_EQ(ReadU32(out, 4), out.size());
    EXPECT_EQ(std::memcmp(out.data(), "3DMD", 4), 0);
    EXPECT_EQ(std::memcmp(out.data() + 8, "HEAD", 4), 0);
    std::size_t at = 20;
    for (const char* tag : {"VERT", "INDX", "PRIM", "MATS", "ANIM", "PROP", "REGP"}) {
        const std::uint32_t len = std::strcmp(tag, "ANIM") == 0 ? 24 : 12;
        EXPECT_EQ(std::memcmp(out.data() + at, tag, 4), 0) << tag;
        EXPECT_EQ(ReadU32(out, at + 4), len) << tag;
        at += len;
    }
    _s3d_model back;
    EXPECT_EQ(Parse(out, back), 1);
    EXPECT_EQ(back.head.minor, 5);
}

// ------------------------------------------------------------ what the reader fills

TEST(S3DFormat, ReaderFillsSectionsAndRecords) {
    S3DLayout layout;
    S3DBuilder b = RichModel(1, 5);
    b.totalLengthField = 0x01020304;
    const std::vector<std::uint8_t> image = b.Build(&layout);
    _s3d_model m;
    ASSERT_EQ(Parse(image, m), 1);

    EXPECT_EQ(m.declaredLength, 0x01020304u);
    EXPECT_EQ(m.imageSize, image.size());
    EXPECT_EQ(m.head.offset, 8u);
    EXPECT_EQ(m.head.length, 12u);
    EXPECT_EQ(m.head.major, 1);
    EXPECT_EQ(m.head.minor, 5);
    const _s3d_chunk* chunks[] = {&m.vert, &m.indx, &m.prim, &m.mats, &m.anim, &m.prop, &m.regp};
    for (int c = 0; c < kS3DChunks; ++c) {
        EXPECT_EQ(chunks[c]->offset, layout.offset[c]) << c;
        EXPECT_EQ(chunks[c]->length, layout.length[c]) << c;
        ASSERT_TRUE(chunks[c]->raw.has_value());
        EXPECT_EQ(*chunks[c]->raw, std::vector<std::uint8_t>(image.begin() + layout.offset[c],
                                                             image.begin() + layout.offset[c] + layout.length[c]));
    }

    ASSERT_EQ(m.vert.blockCount, 6u);
    ASSERT_EQ(m.vert.blocks.size(), 6u);
    EXPECT_EQ(m.vert.blocks[0].flags, 0x0102);
    EXPECT_EQ(m.vert.blocks[5].vertexCount, 0);
    EXPECT_EQ(m.indx.blocks[0].indxWord1, 1);
    EXPECT_EQ(m.indx.blocks[0].indxWord2, 2);
    EXPECT_EQ(m.indx.blocks[1].indxWord1, 0xFFFF);
    EXPECT_EQ(m.indx.blocks[1].indxWord2, 0);
    EXPECT_EQ(m.indx.blocks[0].indices, (std::vector<std::uint16_t>{0, 1, 2, 2, 1, 0}));
    ASSERT_EQ(m.prim.blocks[0].prims.size(), 2u);
    EXPECT_EQ(m.prim.blocks[0].prims[1], (_s3dprim_prim{2, 3, 3}));

    const _sd3mat_mat& mat = m.mats.blocks[0];
    EXPECT_EQ(mat.flags, 0x0Bu);
    EXPECT_EQ(mat.settings, (std::array<std::uint8_t, 4>{4, 3, 2, 1}));
    EXPECT_EQ(mat.matWord, 0xBEEF);
    EXPECT_EQ(mat.matDword, 0xDEADBEEFu);
    EXPECT_EQ(mat.matByte, 0x7E);
    ASSERT_EQ(mat.textureCount, 3);
    const _s3dmat_texture& t0 = mat.textures[0];
    EXPECT_EQ(t0.textureId, 0x1234ABCDu);
    EXPECT_EQ(t0.texWord1, 0x0102);
    EXPECT_EQ(t0.texWord2, 0x0304);
    EXPECT_EQ(t0.nameLength, 20);  // 19 letters and the counted zero
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t0.name.data())), "Hotel_UserModel_Z5S");
    EXPECT_EQ(mat.textures[1].nameLength, 0);
    EXPECT_EQ(mat.textures[1].name, (std::array<std::uint8_t, 255>{}));
    EXPECT_EQ(mat.textures[2].nameLength, 255);
    EXPECT_EQ(m.mats.blocks[1].textures.size(), 0u);

    EXPECT_EQ(m.anim.frameCount, 2);
    EXPECT_EQ(m.anim.animWord1, 0x1111);
    EXPECT_EQ(m.anim.animWord2, 0x2222);
    EXPECT_EQ(m.anim.animDword, 0x33333333u);
    EXPECT_EQ(m.anim.animFloat, 4.5f);
    ASSERT_EQ(m.anim.meshCount, 2);
    EXPECT_EQ(m.anim.meshes[0].nameLength, 4);
    EXPECT_EQ(m.anim.meshes[0].flags, 5);
    EXPECT_EQ(m.anim.meshes[1].frames[0], (_s3danim_frame{4, 1, 0, 1}));

    ASSERT_EQ(m.prop.blocks.size(), 2u);
    EXPECT_EQ(m.prop.blocks[0].propWord1, 0x0A0B);
    EXPECT_EQ(m.prop.blocks[0].length2, 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.prop.blocks[0].text2.data())), "value");

    ASSERT_EQ(m.regp.blocks.size(), 2u);
    EXPECT_EQ(m.regp.blocks[0].transformCount, 2);
    EXPECT_EQ(m.regp.blocks[0].transforms[1].values[6], -7.0f);
    EXPECT_EQ(m.regp.blocks[1].nameLength, 1);
    EXPECT_EQ(m.regp.blocks[1].transforms.size(), 0u);
}

// The layout test compares each part of the version by itself.
TEST(S3DFormat, VersionDecidesTheVertLayout) {
    struct Case {
        std::uint16_t major, minor;
        bool newLayout;
    } cases[] = {{1, 3, false}, {1, 4, true}, {1, 5, true}, {0, 4, false}, {2, 0, false}, {2, 4, true}, {0, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        // Written by the model: code 2 and stride 20 in the old layout, the
        // format's four bytes in the new.
        _s3d_model m;
        m.head.major = c.major;
        m.head.minor = c.minor;
        _s3dvert_block& blk = m.vert.blocks.emplace_back();
        m.vert.blockCount = 1;
        blk.format = kFmtUv;
        blk.formatCode = 2;
        blk.stride = 20;
        std::vector<std::uint8_t> out;
        ASSERT_TRUE(EncodeS3D(m, out));
        const std::size_t at = 20 + 12 + 4;  // VERT chunk, block header, after flags and count
        if (c.newLayout) {
            EXPECT_EQ(ReadU32(out, at), kFmtUv);
        } else {
            EXPECT_EQ(ReadU32(out, at), 2u | (20u << 16));
        }
        // And read back the same way.
        _s3d_model back;
        ASSERT_EQ(Parse(out, back), 1);
        EXPECT_EQ(back.vert.blocks[0].format, kFmtUv);
        EXPECT_EQ(back.vert.blocks[0].formatCode, c.newLayout ? 0x4001 : 2);
        EXPECT_EQ(back.vert.blocks[0].stride, c.newLayout ? 0 : 20);
    }
}

TEST(S3DFormat, EachVertexFormatReadsItsOwnFields) {
    struct Case {
        std::uint32_t format;
        std::uint16_t code;
        std::size_t size;
        bool colour, uv, uv2;
    } cases[] = {
        {kFmtColour, 1, 16, true, false, false},  {kFmtUv, 2, 20, false, true, false},
        {kFmtColourUv, 10, 24, true, true, false}, {kFmtUvUv2, 3, 28, false, true, true},
        {kFmtColourUvUv2, 11, 32, true, true, true},
    };
    for (bool newLayout : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.format) + (newLayout ? " new" : " old"));
            S3DBuilder b;
            b.minor = newLayout ? 4 : 3;
            S3DVertBlock& vb = b.vert.emplace_back();
            vb.format = c.format;
            vb.stride = 99;  // held, never used to size vertices
            vb.vertices = {FullVertex(1), FullVertex(2)};
            const std::vector<std::uint8_t> image = b.Build();
            _s3d_model m;
            ASSERT_EQ(Parse(image, m), 1);
            EXPECT_EQ(m.vert.length, 12 + 8 + 2 * c.size);
            const _s3dvert_block& blk = m.vert.blocks[0];
            EXPECT_EQ(blk.format, c.format);
            EXPECT_EQ(blk.formatCode, newLayout ? (c.format & 0xFFFF) : c.code);
            EXPECT_EQ(blk.stride, newLayout ? 0 : 99);
            ASSERT_EQ(blk.vertices.size(), 2u);
            const _s3dvert_vertex& v = blk.vertices[1];
            EXPECT_EQ(v.x, 2.5f);
            EXPECT_EQ(v.y, 3.25f);
            EXPECT_EQ(v.z, 0.0f);
            if (c.colour) {
                EXPECT_EQ((std::array<int, 4>{v.c0, v.c1, v.c2, v.c3}), (std::array<int, 4>{0, 127, 128, 255}));
            } else {
                EXPECT_EQ(v.c0 | v.c1 | v.c2 | v.c3, 0);
            }
            EXPECT_EQ(v.u, c.uv ? 0.125f : 0.0f);
            EXPECT_EQ(v.v, c.uv ? 0.75f : 0.0f);
            EXPECT_EQ(v.u2, c.uv2 ? -1.5f : 0.0f);
            EXPECT_EQ(v.v2, c.uv2 ? 3.0f : 0.0f);
            EXPECT_EQ(Encode(m), image);
        }
    }
}

TEST(S3DFormat, FormatCodesMapInBothLayouts) {
    // New layout: a stored 0x00000001 is code 1 and comes back as its format.
    {
        S3DBuilder b;
        b.minor = 4;
        S3DVertBlock& vb = b.vert.emplace_back();
        vb.format = kFmtColour;
        vb.formatField = 0x00000001;
        vb.vertices = {FullVertex(0)};
        _s3d_model m;
        ASSERT_EQ(Parse(b.Build(), m), 1);
        EXPECT_EQ(m.vert.blocks[0].format, kFmtColour);
        EXPECT_EQ(m.vert.blocks[0].formatCode, 1);
        EXPECT_EQ(ReadU32(Encode(m), 20 + 12 + 4), kFmtColour);
    }
    // Old layout: code 10 with any stride is the 24-byte format and keeps both.
    {
        S3DBuilder b;
        b.minor = 3;
        S3DVertBlock& vb = b.vert.emplace_back();
        vb.format = kFmtColourUv;
        vb.stride = 0x4242;
        vb.vertices = {FullVertex(0), FullVertex(1)};
        const std::vector<std::uint8_t> image = b.Build();
        _s3d_model m;
        ASSERT_EQ(Parse(image, m), 1);
        EXPECT_EQ(m.vert.blocks[0].format, kFmtColourUv);
        EXPECT_EQ(m.vert.length, 12u + 8 + 48);
        EXPECT_EQ(Encode(m), image);
    }
}

// ------------------------------------------------------------ tags inside data

TEST(S3DFormat, TagInsideAnEarlierChunkChangesNothing) {
    S3DBuilder b = RealisticS3D("xxPROPxxANIM");  // MATS comes before both
    b.meshes[0].name = "REGP";                    // ANIM comes before REGP
    S3DLayout layout;
    const std::vector<std::uint8_t> image = b.Build(&layout);
    _s3d_model m;
    ASSERT_EQ(Parse(image, m), 1);
    EXPECT_EQ(m.prop.offset, layout.offset[kChunkProp]);
    EXPECT_EQ(m.regp.offset, layout.offset[kChunkRegp]);
    EXPECT_EQ(Encode(m), image);
}

TEST(S3DFormat, TagInsideALaterChunkIsRefused) {
    for (const char* name : {"VERT", "INDX", "MATS"}) {
        SCOPED_TRACE(name);
        S3DBuilder b = RealisticS3D();
        b.regions.push_back({name, {}, {}});
        _s3d_model m;
        EXPECT_EQ(Parse(b.Build(), m), -1);
    }
}

TEST(S3DFormat, TagInsideItsOwnChunkMovesTheRangeStart) {
    // A false INDX header among the INDX chunk's own trailing bytes: the real
    // INDX chunk becomes bytes after VERT's last block, and the false one is
    // read with its count of 0.
    S3DBuilder b = RealisticS3D();
    b.chunk[kChunkIndx].trailing = {'I', 'N', 'D', 'X', 12, 0, 0, 0, 0, 0, 0, 0};
    S3DLayout layout;
    const std::vector<std::uint8_t> image = b.Build(&layout);
    const std::size_t fake = layout.offset[kChunkPrim] - 12;
    _s3d_model m;
    ASSERT_EQ(Parse(image, m), 1);
    EXPECT_EQ(m.vert.offset, layout.offset[kChunkVert]);
    EXPECT_EQ(m.vert.length, fake - layout.offset[kChunkVert]);
    EXPECT_EQ(m.indx.offset, fake);
    EXPECT_EQ(m.indx.length, 12u);
    EXPECT_EQ(m.indx.blocks.size(), 0u);
    EXPECT_EQ(m.vert.blocks.size(), 1u);
    EXPECT_EQ(m.vert.blocks[0].vertices.size(), 4u);
}

// ------------------------------------------------------------ refusals

TEST(S3DFormat, RefusedImagesLeaveTheModelAsItWas) {
    const std::vector<std::uint8_t> good = RichModel(1, 5).Build();
    _s3d_model m;
    ASSERT_EQ(Parse(good, m), 1);
    const std::vector<std::uint8_t> before = Encode(m);
    const std::uint32_t vertLength = m.vert.length;

    S3DBuilder bad = RichModel(1, 5);
    bad.chunk[kChunkRegp].countField = 3;  // fails in the very last reader
    EXPECT_EQ(Parse(bad.Build(), m), -1);
    EXPECT_EQ(Encode(m), before);
    EXPECT_EQ(m.vert.length, vertLength);
    EXPECT_TRUE(m.vert.raw.has_value());

    for (std::size_t n = 0; n <= 4; ++n) EXPECT_EQ(ParseS3D(good.data(), n, m), -1) << n;
    EXPECT_EQ(ParseS3D(nullptr, 100, m), -1);
    EXPECT_EQ(Encode(m), before);
}

TEST(S3DFormat, ShortImagesAreRefused) {
    const std::vector<std::uint8_t> good = RealisticS3D().Build();
    _s3d_model m;
    for (std::size_t n = 5; n <= 8; ++n) EXPECT_EQ(ParseS3D(good.data(), n, m), -1) << n;
    // Every cut of a whole image loses REGP's header or a block.
    for (std::size_t n = 9; n < good.size(); ++n) {
        _s3d_model cut;
        EXPECT_EQ(ParseS3D(good.data(), n, cut), -1) << n;
    }
}

TEST(S3DFormat, ImagesOutsideTheReaderLimitsAreRefused) {
    struct Case {
        const char* what;
        std::function<void(S3DBuilder&)> fault;
    };
    Case cases[] = {
        {"VERT missing", [](S3DBuilder& b) { b.chunk[kChunkVert].tag = "VERX"; }},
        {"INDX missing", [](S3DBuilder& b) { b.chunk[kChunkIndx].tag = "XXXX"; }},
        {"PRIM missing", [](S3DBuilder& b) { b.chunk[kChunkPrim].tag = "XXXX"; }},
        {"MATS missing", [](S3DBuilder& b) { b.chunk[kChunkMats].tag = "XXXX"; }},
        {"ANIM missing", [](S3DBuilder& b) { b.chunk[kChunkAnim].tag = "XXXX"; }},
        {"PROP missing", [](S3DBuilder& b) { b.chunk[kChunkProp].tag = "XXXX"; }},
        {"REGP missing", [](S3DBuilder& b) { b.chunk[kChunkRegp].tag = "XXXX"; }},
        {"PRIM and MATS swapped",
         [](S3DBuilder& b) {
             b.chunk[kChunkPrim].tag = "MATS";
             b.chunk[kChunkMats].tag = "PRIM";
         }},
        {"VERT inside HEAD",
         [](S3DBuilder& b) {
             b.chunk[kChunkVert].tag = "XXXX";
             b.major = 'V' | ('E' << 8);
             b.minor = 'R' | ('T' << 8);
         }},
        {"INDX too short for its header",
         [](S3DBuilder& b) { b.chunk[kChunkIndx].trailing = {'I', 'N', 'D', 'X', 0, 0, 0, 0}; }},
        {"REGP too short for its header",
         [](S3DBuilder& b) { b.chunk[kChunkRegp].trailing = {'R', 'E', 'G', 'P', 12, 0, 0, 0}; }},
        {"ANIM too short for its header",
         [](S3DBuilder& b) {
             b.chunk[kChunkAnim].trailing = {'A', 'N', 'I', 'M', 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
         }},
        {"VERT count", [](S3DBuilder& b) { b.chunk[kChunkVert].countField = 2; }},
        {"VERT count huge", [](S3DBuilder& b) { b.chunk[kChunkVert].countField = 0xFFFFFFFF; }},
        {"INDX count", [](S3DBuilder& b) { b.chunk[kChunkIndx].countField = 2; }},
        {"PRIM count", [](S3DBuilder& b) { b.chunk[kChunkPrim].countField = 2; }},
        {"MATS count", [](S3DBuilder& b) { b.chunk[kChunkMats].countField = 2; }},
        {"PROP count", [](S3DBuilder& b) { b.chunk[kChunkProp].countField = 1; }},
        {"REGP count", [](S3DBuilder& b) { b.chunk[kChunkRegp].countField = 1; }},
        {"vertex count", [](S3DBuilder& b) { b.vert[0].countField = 5; }},
        {"index count", [](S3DBuilder& b) { b.indx[0].countField = 7; }},
        {"primitive count", [](S3DBuilder& b) { b.prim[0].countField = 2; }},
        {"texture count", [](S3DBuilder& b) { b.mats[0].countField = 2; }},
        {"texture name length", [](S3DBuilder& b) { b.mats[0].textures[0].lengthField = 255; }},
        {"mesh count", [](S3DBuilder& b) { b.meshCountField = 2; }},
        {"frame count", [](S3DBuilder& b) { b.frameCount = 2; }},
        {"region transform count",
         [](S3DBuilder& b) { b.regions.push_back({"r", std::uint16_t{1}, {}}); }},
        {"vertices of an unknown new-layout format",
         [](S3DBuilder& b) { b.vert[0].formatField = 0x80000007; }},
        {"vertices of an unknown old-layout code",
         [](S3DBuilder& b) {
             b.minor = 3;
             b.vert[0].codeField = 7;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        S3DBuilder b = RealisticS3D();
        c.fault(b);
        const std::vector<std::uint8_t> image = b.Build();
        _s3d_model m;
        EXPECT_EQ(Parse(image, m), -1);
    }
}

// Text lengths of PROP records are not builder fields; cut the image instead.
TEST(S3DFormat, PropertyTextPastItsChunkIsRefused) {
    S3DBuilder b = RealisticS3D();
    b.props.push_back({1, 2, "abc", "def"});
    S3DLayout layout;
    std::vector<std::uint8_t> image = b.Build(&layout);
    // length2 sits after word1, word2, length1 and "abc".
    image[layout.offset[kChunkProp] + 12 + 4 + 1 + 3] = 200;
    _s3d_model m;
    EXPECT_EQ(Parse(image, m), -1);
}

// ------------------------------------------------------------ encoder refusals

TEST(S3DFormat, EncoderRefusesModelsThatWouldNotReadBack) {
    struct Case {
        const char* what;
        std::function<void(_s3d_model&)> fault;
    };
    Case cases[] = {
        {"VERT block count", [](_s3d_model& m) { m.vert.blockCount = 2; }},
        {"INDX block count", [](_s3d_model& m) { m.indx.blockCount = 0; }},
        {"PRIM block count", [](_s3d_model& m) { m.prim.blockCount = 9; }},
        {"MATS block count", [](_s3d_model& m) { m.mats.blockCount = 2; }},
        {"PROP block count", [](_s3d_model& m) { m.prop.blockCount = 1; }},
        {"REGP block count", [](_s3d_model& m) { m.regp.blockCount = 1; }},
        {"mesh count", [](_s3d_model& m) { m.anim.meshCount = 3; }},
        {"vertex count", [](_s3d_model& m) { m.vert.blocks[0].vertexCount = 3; }},
        {"index count", [](_s3d_model& m) { m.indx.blocks[0].indexCount = 1; }},
        {"primitive count", [](_s3d_model& m) { m.prim.blocks[0].primCount = 0; }},
        {"texture count", [](_s3d_model& m) { m.mats.blocks[0].textureCount = 0; }},
        {"frames of a mesh", [](_s3d_model& m) { m.anim.meshes[0].frames.emplace_back(); }},
        {"animation frame count", [](_s3d_model& m) { m.anim.frameCount = 2; }},
        {"region transform count",
         [](_s3d_model& m) {
             m.regp.blocks.emplace_back().transformCount = 1;
             m.regp.blockCount = 1;
         }},
        {"vertices of an unknown format", [](_s3d_model& m) { m.vert.blocks[0].format = 0x80000001; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        _s3d_model m;
        ASSERT_EQ(Parse(MakeRealisticS3D(), m), 1);
        c.fault(m);
        std::vector<std::uint8_t> out = {1, 2, 3};
        EXPECT_FALSE(EncodeS3D(m, out));
        EXPECT_TRUE(out.empty());
    }
}

// A block whose format changed in an old-layout model is written with the code
// that reads back as that format, not the stale one.
TEST(S3DFormat, OldLayoutWritesTheCodeOfTheCurrentFormat) {
    S3DBuilder b = RealisticS3D();
    b.minor = 3;
    b.vert[0].stride = 24;
    _s3d_model m;
    ASSERT_EQ(Parse(b.Build(), m), 1);
    EXPECT_EQ(m.vert.blocks[0].formatCode, 10);
    m.vert.blocks[0].format = kFmtColourUvUv2;
    const std::vector<std::uint8_t> out = Encode(m);
    EXPECT_EQ(ReadU32(out, 20 + 12 + 4), 11u | (24u << 16));
    _s3d_model back;
    ASSERT_EQ(Parse(out, back), 1);
    EXPECT_EQ(back.vert.blocks[0].format, kFmtColourUvUv2);
    EXPECT_EQ(back.vert.blocks[0].vertices, m.vert.blocks[0].vertices);
}

TEST(S3DFormat, EncodingLeavesTheModelAsItWas) {
    _s3d_model m;
    ASSERT_EQ(Parse(RichModel(1, 3).Build(), m), 1);
    const std::vector<std::uint8_t> first = Encode(m);
    EXPECT_EQ(Encode(m), first);
    EXPECT_EQ(m.vert.blocks[0].formatCode, 1);
    EXPECT_EQ(m.vert.blocks[0].stride, 16);
}

// Tags are found at every alignment and right up to the image's end.
TEST(S3DFormat, TagsAreFoundAtEveryOffset) {
    for (std::size_t pad = 0; pad < 40; ++pad) {
        SCOPED_TRACE(pad);
        S3DBuilder b = RealisticS3D();
        b.headTrailing.assign(pad % 17, 0x41);  // shifts every chunk
        b.chunk[kChunkRegp].trailing.assign(pad, 'x');
        // A REGP header of its own at the very end takes over the REGP range.
        const std::uint8_t header[] = {'R', 'E', 'G', 'P', 12, 0, 0, 0, 0, 0, 0, 0};
        b.chunk[kChunkRegp].trailing.insert(b.chunk[kChunkRegp].trailing.end(), header, header + 12);
        S3DLayout layout;
        const std::vector<std::uint8_t> image = b.Build(&layout);
        _s3d_model m;
        ASSERT_EQ(Parse(image, m), 1);
        EXPECT_EQ(m.vert.offset, layout.offset[kChunkVert]);
        EXPECT_EQ(m.anim.offset, layout.offset[kChunkAnim]);
        EXPECT_EQ(m.regp.offset, image.size() - 12);
        EXPECT_EQ(m.prop.length, image.size() - 12 - layout.offset[kChunkProp]);

        // The same header cut to its tag alone leaves REGP too short.
        std::vector<std::uint8_t> cut(image.begin(), image.end() - 8);
        EXPECT_EQ(Parse(cut, m), -1);
    }
}
