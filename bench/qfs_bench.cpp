// QFS decode and encode, against the codec as it stood before its search and
// its copies were made faster (kept in tests/archive/qfs_reference.h), in the
// same run.
//
// The corpus is model-shaped: the S3D images of twenty-view sets written by
// the S3D builder, a few hundred bytes to a few hundred kilobytes each. Each
// iteration runs both codecs over the same entries, alternating, so drift of
// the machine falls on both.
//
// Counters:
//   MB/s          uncompressed megabytes per second (10^6 bytes), this codec
//   baseline_MB/s the same for the codec kept as the baseline
//   speedup       the baseline's time over this codec's (above 1: faster)
//   stream_pct    the streams' size as a share of the models'
//   vs_memcpy     (by-size runs) the codec's time against a memcpy of as many
//                 bytes as it wrote

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/qfs.h"
#include "archive/qfs_corpus.h"
#include "archive/qfs_reference.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

Bytes Stream(const Bytes& model) {
    Bytes out(QfsMaxCompressedSize(model.size()));
    std::int64_t len = -1;
    QfsCompress(model.data(), model.size(), out.data(), out.size(), len);
    out.resize(len < 0 ? 0 : static_cast<std::size_t>(len));
    return out;
}

// The corpus split by entry size: 0 every entry, 1 below 4 KB, 2 from 4 KB to
// 64 KB, 3 above 64 KB.
struct Corpus {
    std::vector<Bytes> models, streams;
    std::size_t modelBytes = 0, streamBytes = 0;
};

const Corpus& CorpusPart(int part) {
    static const std::vector<Bytes> all = kvtest::ModelShapedSets(60, 2024);
    static Corpus parts[4];
    Corpus& c = parts[part];
    if (c.models.empty()) {
        for (const Bytes& m : all) {
            const int size = m.size() < 4096 ? 1 : m.size() <= 65536 ? 2 : 3;
            if (part != 0 && part != size) continue;
            c.models.push_back(m);
            c.streams.push_back(Stream(m));
            c.modelBytes += m.size();
            c.streamBytes += c.streams.back().size();
        }
    }
    return c;
}

void CorpusCounters(benchmark::State& state, const Corpus& c, double seconds, double baselineSeconds) {
    const double bytes = static_cast<double>(c.modelBytes) * static_cast<double>(state.iterations());
    state.counters["MB/s"] = bytes / seconds / 1e6;
    state.counters["baseline_MB/s"] = bytes / baselineSeconds / 1e6;
    state.counters["speedup"] = baselineSeconds / seconds;
    state.counters["stream_pct"] = 100.0 * static_cast<double>(c.streamBytes) / static_cast<double>(c.modelBytes);
    state.counters["entries"] = static_cast<double>(c.models.size());
    state.counters["model_KB"] = static_cast<double>(c.modelBytes) / 1024.0;
}

void BM_QfsCorpusEncode(benchmark::State& state) {
    const Corpus& c = CorpusPart(static_cast<int>(state.range(0)));
    Bytes out(QfsMaxCompressedSize(1 << 20));
    for (const Bytes& m : c.models) out.resize(std::max(out.size(), QfsMaxCompressedSize(m.size())));
    double seconds = 0, baseline = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        for (std::size_t k = 0; k < c.models.size(); ++k) {
            std::int64_t len = -1;
            QfsCompress(c.models[k].data(), c.models[k].size(), out.data(), out.size(), len);
            benchmark::DoNotOptimize(out.data());
            if (len != static_cast<std::int64_t>(c.streams[k].size())) state.SkipWithError("stream differs");
        }
        seconds += Since(t0);
        t0 = Clock::now();
        for (const Bytes& m : c.models) {
            std::int64_t len = -1;
            kvref::BaselineQfsCompress(m.data(), m.size(), out.data(), out.size(), len);
            benchmark::DoNotOptimize(out.data());
        }
        baseline += Since(t0);
    }
    CorpusCounters(state, c, seconds, baseline);
}

void BM_QfsCorpusDecode(benchmark::State& state) {
    const Corpus& c = CorpusPart(static_cast<int>(state.range(0)));
    double seconds = 0, baseline = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        for (std::size_t k = 0; k < c.streams.size(); ++k) {
            std::size_t length = c.streams[k].size();
            auto out = QfsDecompress(c.streams[k].data(), length);
            benchmark::DoNotOptimize(out);
            if (!out || out->size() != c.models[k].size()) state.SkipWithError("decoded size differs");
        }
        seconds += Since(t0);
        t0 = Clock::now();
        for (const Bytes& s : c.streams) {
            std::size_t length = s.size();
            auto out = kvref::BaselineQfsDecompress(s.data(), length);
            benchmark::DoNotOptimize(out);
        }
        baseline += Since(t0);
    }
    CorpusCounters(state, c, seconds, baseline);
}

// The baseline: one memcpy of n bytes between buffers already touched. Small
// copies are timed in batches so that reading the clock does not swamp them.
double CopySeconds(Bytes& from, Bytes& to, std::size_t n) {
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
    Bytes from(model), to(model.size());
    double codec = 0, copy = 0;
    for (auto _ : state) {
        std::size_t length = stream.size();
        auto t0 = Clock::now();
        auto out = QfsDecompress(stream.data(), length);
        benchmark::DoNotOptimize(out);
        codec += Since(t0);
        copy += CopySeconds(from, to, model.size());
        if (!out || !std::ranges::equal(*out, model)) state.SkipWithError("decoded bytes differ");
    }
    Report(state, codec, copy, model.size(), stream.size());
}

void BM_QfsEncode(benchmark::State& state) {
    const auto model = kvtest::ModelLikeData(static_cast<std::size_t>(state.range(0)), 42);
    Bytes out(QfsMaxCompressedSize(model.size()));
    Bytes from(out.size(), 1), to(out.size());
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

BENCHMARK(BM_QfsCorpusEncode)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_QfsCorpusDecode)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_QfsDecode)->Arg(4 << 10)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QfsEncode)->Arg(4 << 10)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
