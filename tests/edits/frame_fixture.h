#pragma once
// Small models and archives for the geometry edits: models whose vertices a
// test names, twenty-view sets whose entries each hold their own model, and
// reading an entry's vertices and indices back the way the edits see them.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "archive/dat_doc.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/s3d_builder.h"

namespace kvtest::frame {

struct P {
    float x, y, z;
};

// One vertex block of `points` (colour and texture coordinates set to values
// of their own, so a test sees they pass through), one index block (the
// points as whole triangles unless `indices` is given), one primitive, one
// material and one mesh naming them.
inline S3DBuilder ModelOf(const std::vector<P>& points, std::optional<std::vector<std::uint16_t>> indices = {}) {
    S3DBuilder b = RealisticS3D("Frame_Model", 1);
    S3DVertBlock& vb = b.vert.at(0);
    vb.vertices.clear();
    for (std::size_t i = 0; i < points.size(); ++i) {
        S3DVertex v;
        v.x = points[i].x;
        v.y = points[i].y;
        v.z = points[i].z;
        v.colour = {static_cast<std::uint8_t>(10 + i), 20, 30, 40};
        v.u = 0.25f + static_cast<float>(i);
        v.v = 0.5f;
        vb.vertices.push_back(v);
    }
    S3DIndxBlock& ib = b.indx.at(0);
    ib.indices.clear();
    if (indices) {
        ib.indices = *indices;
    } else {
        for (std::size_t i = 0; i < points.size() / 3 * 3; ++i) ib.indices.push_back(static_cast<std::uint16_t>(i));
    }
    b.prim.at(0).prims.at(0).count = static_cast<std::uint32_t>(ib.indices.size());
    return b;
}

// A model with no VERT, INDX or PRIM blocks and no meshes; one material.
inline S3DBuilder EmptyModel() {
    S3DBuilder b = RealisticS3D("Frame_Empty", 1);
    b.vert.clear();
    b.indx.clear();
    b.prim.clear();
    b.meshes.clear();
    return b;
}

inline std::vector<std::uint8_t> EntryOf(const S3DBuilder& model, bool compressed) {
    std::vector<std::uint8_t> raw = model.Build();
    return compressed ? CompressEntry(raw) : raw;
}

// The entry as another encoder writes it. Compressed: a QFS stream of
// literal runs only. Plain: each chunk carries bytes after its last block,
// which the reader passes over and the writer leaves out. Either way a store
// of the entry shows in its bytes, however little the edit changed.
inline std::vector<std::uint8_t> ForeignEntryOf(S3DBuilder model, bool compressed) {
    if (compressed) return CompressEntryAsLiterals(model.Build());
    for (S3DChunkOptions& c : model.chunk) c.trailing = {0xEE, 0xEE};
    return model.Build();
}

// The twenty entries of a set, view j at base + (j / 4) * 0x100 + (j % 4) * 0x10.
inline void AddSet(DbpfBuilder& b, std::uint32_t group, std::uint32_t base,
                   const std::function<S3DBuilder(int zoom, int rotation)>& model, bool compressed = true) {
    for (int j = 0; j < 20; ++j)
        b.Add(kTypeS3D, group, base + static_cast<std::uint32_t>(j / 4) * 0x100u + static_cast<std::uint32_t>(j % 4) * 0x10u,
              EntryOf(model(j / 4, j % 4), compressed));
}

inline std::unique_ptr<CDATDoc> Open(DbpfBuilder b) {
    b.AddDir();
    auto doc = OpenArchive(b.Build());
    EXPECT_TRUE(doc) << "the fixture archive did not open";
    return doc;
}

inline std::unique_ptr<_s3d_model> Load(CDATDoc& doc, int row) {
    bool compressed = false;
    std::uint32_t size = 0;
    return doc.LoadModel(static_cast<std::uint32_t>(row), compressed, size);
}

// Every vertex of the entry, block after block.
inline std::vector<_s3d_vertex> VerticesOf(CDATDoc& doc, int row) {
    std::vector<_s3d_vertex> all;
    auto model = Load(doc, row);
    EXPECT_TRUE(model);
    if (!model) return all;
    for (std::uint32_t k = 0; k < model->vert.blockCount; ++k) {
        _s3d_work_block w;
        ExtractBlock(S3D_BLOCK_VERT, static_cast<int>(k), model.get(), &w);
        all.insert(all.end(), w.vertices.begin(), w.vertices.end());
    }
    return all;
}

inline std::vector<std::uint16_t> IndicesOf(CDATDoc& doc, int row, int block = 0) {
    auto model = Load(doc, row);
    EXPECT_TRUE(model);
    if (!model) return {};
    _s3d_work_block w;
    ExtractBlock(S3D_BLOCK_INDX, block, model.get(), &w);
    return w.indices;
}

inline std::vector<std::uint8_t> BytesOf(const CDATDoc& doc, int row) {
    auto s = doc.EntryBytes(static_cast<std::uint32_t>(row));
    return {s.begin(), s.end()};
}

// The index row of the first entry with this instance.
inline int RowOf(const CDATDoc& doc, std::uint32_t instance) {
    for (std::uint32_t r = 0; r < doc.IndexCount(); ++r)
        if (doc.IndexEntry(r).instance == instance && doc.IndexEntry(r).type == kTypeS3D) return static_cast<int>(r);
    return -1;
}

// p turned r quarter turns about y, +x toward +z: how the entry of rotation r
// holds a point of rotation 0. Written out here so the tests do not lean on
// the turns they check.
inline P Turned(P p, int r) {
    for (int i = 0; i < (r & 3); ++i) p = {-p.z, p.y, p.x};
    return p;
}

// A twenty-view set whose entry of rotation r holds `points` turned r quarter turns.
inline std::function<S3DBuilder(int, int)> ConsistentSet(std::vector<P> points) {
    return [points](int, int r) {
        std::vector<P> turned;
        for (const P& p : points) turned.push_back(Turned(p, r));
        return ModelOf(turned);
    };
}

inline P PointOf(const _s3d_vertex& v) { return {v.x, v.y, v.z}; }
inline bool operator==(const P& a, const P& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline std::ostream& operator<<(std::ostream& o, const P& p) { return o << "(" << p.x << ", " << p.y << ", " << p.z << ")"; }

}  // namespace kvtest::frame
