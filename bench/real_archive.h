#pragma once
// Archives shaped like the collections modders keep, for the benchmarks that
// time what a user waits for:
//
//   RealShapedArchive   twenty-view sets whose zoom levels grow in detail
//                       (zoom 1 about 40 vertices, zoom 5 about 640, every
//                       model of its own size), one entry in five a single
//                       model of a few hundred vertices, nine in ten entries
//                       compressed; sets are added until the archive holds
//                       about `megabytes`
//   SmallSetArchive     `sets` twenty-view sets of small models (4 to 16
//                       vertices): many entries for their bytes, the most
//                       work per byte for everything done entry by entry

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/dbpf.h"
#include "archive/model_table.h"
#include "support/bench_archive.h"
#include "support/dbpf_builder.h"
#include "support/s3d_builder.h"

namespace kvbench {

inline std::vector<std::uint8_t> RealShapedArchive(std::size_t megabytes) {
    const std::size_t goal = megabytes * 1000000;
    kvtest::DbpfBuilder b;
    std::size_t bytes = 0, n = 0;
    auto add = [&](std::uint32_t group, std::uint32_t instance, const std::string& name, std::size_t vertices) {
        auto raw = kvtest::RealisticS3D(name, vertices).Build();
        b.Add(kTypeS3D, group, instance, (n % 10 == 9) ? raw : kvtest::CompressEntry(raw));
        bytes += b.entries.back().data.size() + kIndexEntrySize + kDirRecordSize;
        ++n;
    };
    for (int set = 0; bytes < goal; ++set) {
        for (int h = 0; h < 20; ++h)
            add(0x1000 + static_cast<std::uint32_t>(set % 7), ViewInstance(0x100000u * static_cast<std::uint32_t>(set / 7 + 1), h),
                "0a1b2c3d_Set" + std::to_string(set) + "_UserModel_Z" + std::to_string(h / 4) + "S",
                (std::size_t{40} << (h / 4)) + n % 61);
        // Five singles for every set: one entry in five.
        for (int k = 0; k < 5; ++k) {
            const auto single = static_cast<std::uint32_t>(set * 5 + k);
            add(0x2000, 0x10001u + single * 0x10, "Single" + std::to_string(single), 200 + n % 211);
        }
    }
    b.AddDir();
    return b.Build();
}

inline std::vector<std::uint8_t> SmallSetArchive(int sets) {
    kvtest::BigArchiveShape shape;
    shape.sets = sets;
    shape.vertices = 4;
    std::size_t n = 0;
    shape.adjust = [&n](kvtest::S3DBuilder& s) {
        const std::size_t vertices = 4 + n++ % 13;
        s.vert[0].vertices.resize(vertices);
        s.indx[0].indices.resize(3 * (vertices - 2));
        s.prim[0].prims[0].count = static_cast<std::uint32_t>(3 * (vertices - 2));
    };
    return kvtest::BigArchive(shape).Build();
}

}  // namespace kvbench
