// Setting and removing transparency over every entry of twenty-view sets.
//
// The archive: 1,000 twenty-view sets (20,000 entries), realistic models of
// 260 to 356 vertices in one material block, nine in ten entries compressed.
//
// Reported, as measured in the same run:
//   floor_us_per_entry   one load plus one store of each entry (decode, parse,
//                        encode, compress, place): what any edit of an entry costs
//   transp_us_per_entry  the transparency edit of each entry, report lines included
//   transp_vs_floor      the two against each other (goal: within 1.2)
//   *_allocs_per_entry   heap allocations per entry; the difference is per
//                        material block and per line, never per vertex

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "archive/model_table.h"
#include "platform/message.h"
#include "platform/text.h"
#include "s3d/s3d_model.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/bench_archive.h"
#include "support/s3d_builder.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

constexpr int kSets = 1000;
constexpr std::size_t kVertices = 260;

kvtest::SetCorpus& TheCorpus() {
    static kvtest::SetCorpus corpus = [] {
        kvtest::BigArchiveShape shape;
        shape.sets = kSets;
        shape.vertices = kVertices;
        // The nontransparent pattern, so that every pass changes every block.
        shape.adjust = [](kvtest::S3DBuilder& s) {
            s.mats[0].flags = 0x2B;
            s.mats[0].settings = {0x04, 0x03, 0x01, 0x00};
        };
        return kvtest::OpenSetCorpus(shape, "material_edits_bench.SC4Model");
    }();
    return corpus;
}

void BM_Transparency(benchmark::State& state) {
    kvtest::PrintMessagesToStderr();
    kvtest::SetCorpus& c = TheCorpus();
    if (!c.doc || c.rows.size() != static_cast<std::size_t>(kSets) * 20) {
        state.SkipWithError("the archive did not open as 1,000 sets");
        return;
    }
    CDATDoc& doc = *c.doc;
    const double entries = static_cast<double>(c.rows.size());
    double floor = 1e30, transp = 1e30;
    std::size_t floorAllocs = 0, transpAllocs = 0;
    bool set = true;
    std::wstring report;

    for (auto _ : state) {
        // The floor: load and store each entry unchanged.
        std::size_t a0 = kvtest::AllocationCount();
        auto t0 = Clock::now();
        for (int row : c.rows) {
            bool compressed = false;
            std::uint32_t size = 0;
            auto model = doc.LoadModel(static_cast<std::uint32_t>(row), compressed, size);
            if (!model || !doc.StoreModel(static_cast<std::uint32_t>(row), std::move(model), compressed, size)) {
                state.SkipWithError("load or store failed");
                return;
            }
        }
        floor = std::min(floor, Seconds(t0, Clock::now()));
        floorAllocs = kvtest::AllocationCount() - a0;

        // The edit, alternately setting and removing so that every pass
        // changes (and so stores) every entry.
        report.clear();
        int noAction = 0;
        a0 = kvtest::AllocationCount();
        t0 = Clock::now();
        for (int row : c.rows) {
            int changed = 0;
            if (!doc.SetTransparency(row, set, 0, report, &changed, &noAction) || !changed) {
                state.SkipWithError("an entry was not changed");
                return;
            }
        }
        transp = std::min(transp, Seconds(t0, Clock::now()));
        transpAllocs = kvtest::AllocationCount() - a0;
        set = !set;
        benchmark::DoNotOptimize(report.data());
    }
    state.counters["entries"] = entries;
    state.counters["vertices_per_entry"] = c.vertices;
    state.counters["floor_us_per_entry"] = floor / entries * 1e6;
    state.counters["transp_us_per_entry"] = transp / entries * 1e6;
    state.counters["transp_vs_floor"] = transp / floor;
    state.counters["floor_allocs_per_entry"] = static_cast<double>(floorAllocs) / entries;
    state.counters["transp_allocs_per_entry"] = static_cast<double>(transpAllocs) / entries;
}
BENCHMARK(BM_Transparency)->Iterations(4)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
