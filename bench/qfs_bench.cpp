// QFS decode and encode on model-like entry data of the sizes archives hold.
//
// Counters, all measured in the same run:
//   MB/s        uncompressed megabytes per second (10^6 bytes)
//   vs_memcpy   the codec's time against a memcpy of as many bytes as the
//               codec wrote (decode: the model; encode: the stream)
//   stream_pct  the stream's size as a share of the model's

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "archive/qfs.h"
#include "archive/qfs_corpus.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

std::vector<std::uint8_t> Stream(const std::vector<std::uint8_t>& model) {
    std::vector<std::uint8_t> out(QfsMaxCompressedSize(model.size()));
    std::int64_t len = -1;
    QfsCompress(model.data(), model.size(), out.data(), out.size(), len);
    out.resize(len < 0 ? 0 : static_cast<std::size_t>(len));
    return out;
}

// The baseline: one memcpy of n bytes between buffers already touched. Small
// copies are timed in batches so that reading the clock does not swamp them.
double CopySeconds(std::vector<std::uint8_t>& from, std::vector<std::uint8_t>& to, std::size_t n) {
    const std::size_t reps = std::max<std::size_t>(1, (std::size_t{256} << 10) / std::max<std::size_t>(n, 1));
    auto t0 = Clock::now();
    for (std::size_t r = 0; r < reps; ++r) {
        std::memcpy(to.data(), from.data(), n);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    return Since(t0) / static_cast<double>(reps);
}

void Report(benchmark::State& state, double codecSeconds, double copySeconds, std::size_t modelBytes, std::size_t streamBytes) {
    const double iterations = static_cast<double>(state.iterations());
    state.counters["MB/s"] = static_cast<double>(modelBytes) * iterations / codecSeconds / 1e6;
    state.counters["vs_memcpy"] = codecSeconds / copySeconds;
    state.counters["stream_pct"] = 100.0 * static_cast<double>(streamBytes) / static_cast<double>(modelBytes);
}

void BM_QfsDecode(benchmark::State& state) {
    const auto model = kvtest::ModelLikeData(static_cast<std::size_t>(state.range(0)), 42);
    const auto stream = Stream(model);
    std::vector<std::uint8_t> from(model), to(model.size());
    double codec = 0, copy = 0;
    for (auto _ : state) {
        std::size_t length = stream.size();
        auto t0 = Clock::now();
        auto out = QfsDecompress(stream.data(), length);
        benchmark::DoNotOptimize(out);
        codec += Since(t0);
        copy += CopySeconds(from, to, model.size());
        if (!out || *out != model) state.SkipWithError("decoded bytes differ");
    }
    Report(state, codec, copy, model.size(), stream.size());
}

void BM_QfsEncode(benchmark::State& state) {
    const auto model = kvtest::ModelLikeData(static_cast<std::size_t>(state.range(0)), 42);
    std::vector<std::uint8_t> out(QfsMaxCompressedSize(model.size()));
    std::vector<std::uint8_t> from(out.size(), 1), to(out.size());
    double codec = 0, copy = 0;
    std::size_t streamBytes = 0;
    for (auto _ : state) {
        std::int64_t len = -1;
        auto t0 = Clock::now();
        QfsCompress(model.data(), model.size(), out.data(), out.size(), len);
        benchmark::DoNotOptimize(out.data());
        codec += Since(t0);
        if (len < 0) {
            state.SkipWithError("encoder refused");
            break;
        }
        streamBytes = static_cast<std::size_t>(len);
        copy += CopySeconds(from, to, streamBytes);
    }
    Report(state, codec, copy, model.size(), streamBytes);
}

}  // namespace

BENCHMARK(BM_QfsDecode)->Arg(4 << 10)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QfsEncode)->Arg(4 << 10)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
