// Grouping the model table into twenty-view sets, on generated tables shaped
// like real archives: mostly complete sets in a few groups, some incomplete
// sets, single models between them, the order only locally disturbed.
//
// Counters:
//   per_entry_ns  time per table entry; it must stay flat as the table grows
//   vs_1000       per_entry_ns against the same measured on a 1,000-entry
//                 table in the same run (1.0 is perfectly flat)
//   vs_pass       the grouping against one plain pass that reads every key and
//                 writes every row's view count, on rows as freshly built, in
//                 the same iterations: the least any grouping must do. Once
//                 the table outgrows the caches both pay for memory alike, so
//                 this ratio shows the grouping's own growth apart from that.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "archive/dat_doc.h"
#include "archive/model_table.h"
#include "archive/qfs_corpus.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<ModelKey> Table(std::size_t entries) {
    kvtest::SplitMix rng(entries);
    const std::uint32_t groups[] = {0x1ABE787D, 0x2BBE787D, 0x4A8B3D21, 0x6C1F0A55};
    std::vector<ModelKey> keys;
    keys.reserve(entries + 20);
    std::uint32_t nextBase = 0x10000;
    while (keys.size() < entries) {
        const std::uint32_t group = groups[rng.Below(4)];
        if (rng.Below(5) == 0) {
            keys.push_back({group, 0x10000000u + rng.Below(0x1000000) * 0x10 + 1});  // a single model
            continue;
        }
        const std::uint32_t base = nextBase;
        nextBase += 0x1000;
        const bool incomplete = rng.Below(10) == 0;
        for (int h = 0; h < 20; ++h)
            if (!incomplete || rng.Below(8) != 0) keys.push_back({group, ViewInstance(base, h)});
    }
    keys.resize(entries);
    for (std::size_t k = 0; k + 1 < keys.size(); ++k)
        if (rng.Below(6) == 0) std::swap(keys[k], keys[std::min(keys.size() - 1, k + 1 + rng.Below(40))]);
    return keys;
}

// Unclassified rows, one per entry, in a vector kept between iterations so
// that the allocator's page faults are not what is measured.
void FreshRows(std::vector<_dat_model>& rows, std::size_t n) {
    rows.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        rows[k].nRow = static_cast<std::int32_t>(k);
        rows[k].nViews = 0;
    }
}

// Seconds per entry to group `keys`, the best of `rounds`; building the rows
// is not timed.
double SecondsPerEntry(const std::vector<ModelKey>& keys, int rounds) {
    double best = 1e9;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = Clock::now();
        const auto rows = GroupTwentyViewSetKeys(keys);
        benchmark::DoNotOptimize(rows.data());
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best / static_cast<double>(keys.size());
}

void BM_GroupTwentyViewSetKeys(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto keys = Table(n);
    static const double baseline = SecondsPerEntry(Table(1000), 2000);
    double total = 0, pass = 0;
    std::size_t models = 0;
    std::vector<_dat_model> plain;
    for (auto _ : state) {
        state.PauseTiming();
        FreshRows(plain, n);
        state.ResumeTiming();
        auto t0 = Clock::now();
        for (std::size_t k = 0; k < n; ++k) plain[k].nViews = (keys[k].instance & 0xFFF) ? 1 : 20;
        benchmark::DoNotOptimize(plain.data());
        benchmark::ClobberMemory();
        pass += std::chrono::duration<double>(Clock::now() - t0).count();

        t0 = Clock::now();
        const auto rows = GroupTwentyViewSetKeys(keys);
        total += std::chrono::duration<double>(Clock::now() - t0).count();
        models = rows.size();
        benchmark::DoNotOptimize(rows.data());
    }
    const double perEntry = total / static_cast<double>(state.iterations()) / static_cast<double>(n);
    state.counters["per_entry_ns"] = perEntry * 1e9;
    state.counters["vs_1000"] = perEntry / baseline;
    state.counters["vs_pass"] = total / pass;
    state.counters["models"] = static_cast<double>(models);
}

}  // namespace

BENCHMARK(BM_GroupTwentyViewSetKeys)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(20000)
    ->Arg(50000)
    ->Arg(100000)
    ->Arg(200000)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
