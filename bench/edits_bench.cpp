// Scaling and moving every entry of twenty-view sets.
//
// The archive: 1,000 twenty-view sets (20,000 entries), realistic models of
// 260 to 356 vertices, nine in ten entries compressed.
//
// Reported, as measured in the same run:
//   floor_us_per_entry   one load plus one store of each entry (decode, parse,
//                        encode, compress, place): what any edit of an entry costs
//   scale_us_per_entry, move_us_per_entry
//                        the edits as the commands call them, view by view with
//                        the view's rotation (rows looked up beforehand)
//   scale_vs_floor, move_vs_floor
//                        each against the mean of the floors measured just
//                        before and just after it (goal: within 1.2): the edit
//                        loads the entries as they were and stores them as they
//                        become, and edited positions need not compress as fast
//   *_allocs_per_entry   heap allocations per entry; an edit adds a few per
//                        vertex block and none per vertex
//   lookup_us_per_entry  finding the row of each view by its address, as the
//                        command does before each call (a scan of the index)

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
#include "edits/edit_frame.h"
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
        return kvtest::OpenSetCorpus(shape, "edits_bench.SC4Model");
    }();
    return corpus;
}

// One pass of an edit over every row; false when an entry failed.
template <class Edit>
bool Pass(const std::vector<int>& rows, Edit&& edit, double& best, std::size_t& allocs) {
    const std::size_t a0 = kvtest::AllocationCount();
    const auto t0 = Clock::now();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (!edit(rows[i], static_cast<int>(i % 20))) return false;
    best = std::min(best, Seconds(t0, Clock::now()));
    allocs = kvtest::AllocationCount() - a0;
    return true;
}

void BM_ScaleAndMove(benchmark::State& state) {
    kvtest::PrintMessagesToStderr();
    kvtest::SetCorpus& c = TheCorpus();
    if (!c.doc || c.rows.size() != static_cast<std::size_t>(kSets) * 20) {
        state.SkipWithError("the archive did not open as 1,000 sets");
        return;
    }
    CDATDoc& doc = *c.doc;
    const double entries = static_cast<double>(c.rows.size());
    // Sums over the iterations: each edit against the floors just before and
    // just after it, since an edit loads the entries as they were and stores
    // them as they become, and the two need not compress alike.
    double scaleSum = 0, moveSum = 0, scaleFloorSum = 0, moveFloorSum = 0, floorBest = 1e30, lookup = 1e30;
    std::size_t floorAllocs = 0, scaleAllocs = 0, moveAllocs = 0, lookupAllocs = 0;
    bool grow = true;

    auto loadStore = [&](int row, int) {
        bool compressed = false;
        std::uint32_t size = 0;
        auto model = doc.LoadModel(static_cast<std::uint32_t>(row), compressed, size);
        return model && doc.StoreModel(static_cast<std::uint32_t>(row), std::move(model), compressed, size);
    };
    // Width only, so that odd rotations take the swapped axis; growing and
    // shrinking by turns keeps the models from drifting.
    auto scaleEdit = [&](int row, int view) { return doc.ScaleModel(row, 1, false, 1, 1, view % 2 != 0, grow ? 2.0 : 0.5); };
    auto moveEdit = [&](int row, int view) {
        const float d = grow ? 1.5f : -1.5f;
        return doc.MoveModel(row, view % 4, d, -d, 0.25f * d);
    };

    for (auto _ : state) {
        double f0 = 1e30, f1 = 1e30, f2 = 1e30, s = 1e30, m = 1e30;
        if (!Pass(c.rows, loadStore, f0, floorAllocs) || !Pass(c.rows, scaleEdit, s, scaleAllocs) ||
            !Pass(c.rows, loadStore, f1, floorAllocs) || !Pass(c.rows, moveEdit, m, moveAllocs) ||
            !Pass(c.rows, loadStore, f2, floorAllocs)) {
            state.SkipWithError("an entry failed");
            return;
        }
        grow = !grow;
        scaleSum += s;
        moveSum += m;
        scaleFloorSum += (f0 + f1) / 2;
        moveFloorSum += (f1 + f2) / 2;
        floorBest = std::min({floorBest, f0, f1, f2});

        const std::size_t a0 = kvtest::AllocationCount();
        const auto t0 = Clock::now();
        int found = 0;
        for (const _dat_model& model : doc.m_pModels)
            for (int v = 0; v < 20 && model.nViews == 20; ++v) found += doc.FindViewRow(model.nRow, v) >= 0;
        lookup = std::min(lookup, Seconds(t0, Clock::now()));
        lookupAllocs = kvtest::AllocationCount() - a0;
        benchmark::DoNotOptimize(found);
    }
    const double passes = static_cast<double>(state.iterations());
    state.counters["entries"] = entries;
    state.counters["vertices_per_entry"] = c.vertices;
    state.counters["floor_us_per_entry"] = floorBest / entries * 1e6;
    state.counters["scale_us_per_entry"] = scaleSum / passes / entries * 1e6;
    state.counters["move_us_per_entry"] = moveSum / passes / entries * 1e6;
    state.counters["scale_vs_floor"] = scaleSum / scaleFloorSum;
    state.counters["move_vs_floor"] = moveSum / moveFloorSum;
    state.counters["floor_allocs_per_entry"] = static_cast<double>(floorAllocs) / entries;
    state.counters["scale_allocs_per_entry"] = static_cast<double>(scaleAllocs) / entries;
    state.counters["move_allocs_per_entry"] = static_cast<double>(moveAllocs) / entries;
    state.counters["lookup_us_per_entry"] = lookup / entries * 1e6;
    state.counters["lookup_allocs"] = static_cast<double>(lookupAllocs);
}
BENCHMARK(BM_ScaleAndMove)->Iterations(4)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
