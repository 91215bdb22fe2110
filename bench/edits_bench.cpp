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
//
// Finding entries by address, in archives of 10,000, 100,000 and 400,000
// entries (four in five in twenty-view sets), each figure the median of
// several passes:
//   lookup_us_<n>        finding the row of every view of every set, per
//                        lookup, as a command does before each call
//   reorient_us_<n>      re-orienting every set of the archive, per set, with
//                        the one DIR rebuild the command ends with
//   lookup_400k_vs_10k, reorient_400k_vs_10k
//                        the growth of each from the smallest archive to the
//                        largest (goal for lookups: within 2)

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
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
    double scaleSum = 0, moveSum = 0, scaleFloorSum = 0, moveFloorSum = 0, floorBest = 1e30;
    std::size_t floorAllocs = 0, scaleAllocs = 0, moveAllocs = 0;
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
}
BENCHMARK(BM_ScaleAndMove)->Iterations(4)->Unit(benchmark::kSecond);

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// An archive of `entries` entries, four in five of them in twenty-view sets
// laid out view after view, then single models. Lookups read only the index,
// so every entry holds the same small uncompressed model.
std::unique_ptr<CDATDoc> AddressCorpus(int entries) {
    static const std::vector<std::uint8_t> raw = kvtest::MakeRealisticS3D("Lookup_UserModel_Z0S", 4);
    const int sets = entries * 4 / 5 / 20;
    kvtest::DbpfBuilder b;
    b.entries.reserve(static_cast<std::size_t>(entries));
    for (int set = 0; set < sets; ++set)
        for (int v = 0; v < 20; ++v)
            b.Add(kTypeS3D, 0x1000 + static_cast<std::uint32_t>(set % 7),
                  0x100000u * static_cast<std::uint32_t>(set / 7 + 1) + static_cast<std::uint32_t>(v / 4) * 0x100u +
                      static_cast<std::uint32_t>(v % 4) * 0x10u,
                  raw);
    for (int single = sets * 20; single < entries - 1; ++single)
        b.Add(kTypeS3D, 0x2000, 0x10001u + static_cast<std::uint32_t>(single) * 0x10, raw);
    b.AddDir();
    return kvtest::OpenArchive(b.Build(), "lookup_bench.SC4Model");
}

void BM_AddressLookups(benchmark::State& state) {
    kvtest::PrintMessagesToStderr();
    constexpr std::array<int, 3> kSizes = {10000, 100000, 400000};
    std::array<double, 3> lookup{}, reorient{};
    for (auto _ : state) {
        for (std::size_t k = 0; k < kSizes.size(); ++k) {
            auto doc = AddressCorpus(kSizes[k]);
            if (!doc) {
                state.SkipWithError("the archive did not open");
                return;
            }
            std::vector<int> sets;
            for (std::size_t m = 0; m < doc->m_pModels.size(); ++m)
                if (doc->m_pModels[m].nViews == 20) sets.push_back(static_cast<int>(m));
            const double lookups = static_cast<double>(sets.size()) * 20;

            // Passes until a second has gone by, at least three and at most
            // seven: a slow lookup still gets a median of three.
            std::vector<double> lookupRuns, reorientRuns;
            const auto start = Clock::now();
            while (lookupRuns.size() < 3 || (lookupRuns.size() < 7 && Seconds(start, Clock::now()) < 1)) {
                int found = 0;
                auto t0 = Clock::now();
                for (int m : sets)
                    for (int v = 0; v < 20; ++v) found += doc->FindViewRow(doc->m_pModels[static_cast<std::size_t>(m)].nRow, v) >= 0;
                lookupRuns.push_back(Seconds(t0, Clock::now()));
                if (found != static_cast<int>(lookups)) {
                    state.SkipWithError("a view was not found");
                    return;
                }
                // Each pass turns by one; four passes come back to the start.
                bool ok = true;
                t0 = Clock::now();
                for (int m : sets) ok = doc->ReorientModel(m, 1) && ok;
                ok = doc->RebuildDirectory() && ok;
                reorientRuns.push_back(Seconds(t0, Clock::now()));
                if (!ok) {
                    state.SkipWithError("a set did not re-orient");
                    return;
                }
            }
            lookup[k] = Median(lookupRuns) / lookups * 1e6;
            reorient[k] = Median(reorientRuns) / static_cast<double>(sets.size()) * 1e6;
        }
    }
    for (std::size_t k = 0; k < kSizes.size(); ++k) {
        const std::string n = std::to_string(kSizes[k] / 1000) + "k";
        state.counters["lookup_us_" + n] = lookup[k];
        state.counters["reorient_us_" + n] = reorient[k];
    }
    state.counters["lookup_400k_vs_10k"] = lookup[2] / lookup[0];
    state.counters["reorient_400k_vs_10k"] = reorient[2] / reorient[0];
}
BENCHMARK(BM_AddressLookups)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
