// Reading and writing S3D images of generated models from 1 KB to 4 MB.
//
// Reported per size, measured in the same run:
//   bytes_per_second  image bytes parsed (or written) per second
//   vs_memcpy         time of one parse (or encode) against a memcpy of the image
//   ns_per_byte       time per image byte; should stay flat as models grow
//
// A parse builds a fresh model each time, as the loader does for every entry.
// Images of 1 KB to 4 MB are made by the test builder (about 30 bytes per
// vertex: 24-byte vertices with colour and one texture pair, a triangle list,
// one material with a named texture).

#include <benchmark/benchmark.h>

#include <chrono>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <cstring>
#include <map>
#include <vector>

#include "s3d/s3d_format.h"
#include "s3d/s3d_model.h"
#include "support/s3d_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

// About 30 image bytes per vertex of the generated models: a 24-byte vertex
// and its share of the triangle list.
const std::vector<std::uint8_t>& Image(std::size_t bytes) {
    static std::map<std::size_t, std::vector<std::uint8_t>> cache;
    auto it = cache.find(bytes);
    if (it == cache.end()) {
        const std::size_t vertices = bytes > 300 ? (bytes - 200) / 30 : 4;
        it = cache.emplace(bytes, kvtest::MakeRealisticS3D("Hotel_UserModel_Z5S", vertices)).first;
    }
    return it->second;
}

// Seconds per memcpy of `size` bytes, over enough copies for a stable figure.
double MemcpySeconds(const std::vector<std::uint8_t>& src) {
    std::vector<std::uint8_t> dst(src.size());
    const std::size_t reps = std::max<std::size_t>(16, (64u << 20) / std::max<std::size_t>(src.size(), 1));
    const auto t0 = Clock::now();
    for (std::size_t r = 0; r < reps; ++r) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    return std::chrono::duration<double>(Clock::now() - t0).count() / static_cast<double>(reps);
}

void Report(benchmark::State& state, std::size_t size, double seconds, std::int64_t iterations, double memcpy) {
    const double each = seconds / static_cast<double>(iterations);
    state.SetBytesProcessed(static_cast<std::int64_t>(size) * iterations);
    state.counters["image_bytes"] = static_cast<double>(size);
    state.counters["vs_memcpy"] = each / memcpy;
    state.counters["ns_per_byte"] = each * 1e9 / static_cast<double>(size);
}

void BM_Memcpy(benchmark::State& state) {
    const auto& image = Image(static_cast<std::size_t>(state.range(0)));
    std::vector<std::uint8_t> dst(image.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), image.data(), image.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(image.size()) * state.iterations());
}

void BM_ParseS3D(benchmark::State& state) {
    const auto& image = Image(static_cast<std::size_t>(state.range(0)));
    const double memcpy = MemcpySeconds(image);
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        _s3d_model model;
        if (ParseS3D(image.data(), image.size(), model) != 1) state.SkipWithError("image refused");
        benchmark::DoNotOptimize(model.vert.blocks.data());
        seconds += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    Report(state, image.size(), seconds, state.iterations(), memcpy);
}

void BM_EncodeS3D(benchmark::State& state) {
    const auto& image = Image(static_cast<std::size_t>(state.range(0)));
    _s3d_model model;
    if (ParseS3D(image.data(), image.size(), model) != 1) {
        state.SkipWithError("image refused");
        return;
    }
    const double memcpy = MemcpySeconds(image);
    std::vector<std::uint8_t> out;
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (!EncodeS3D(model, out)) state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(out.data());
        seconds += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    Report(state, image.size(), seconds, state.iterations(), memcpy);
}

constexpr std::int64_t kSizesKb[] = {1, 4, 16, 64, 256, 1024, 4096};

void Sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t kb : kSizesKb) b->Arg(kb * 1024);
}

}  // namespace

BENCHMARK(BM_Memcpy)->Apply(Sizes);
BENCHMARK(BM_ParseS3D)->Apply(Sizes);
BENCHMARK(BM_EncodeS3D)->Apply(Sizes);

// The corpus is generated before anything is timed. The C library's
// allocator otherwise hands blocks over 128 KB straight back to the system and
// moves that limit as it sees frees, so whether a large parse pays the
// kernel's zeroing of fresh pages depends on the sizes run before it. Fixing
// the limits keeps every size in the same settled state, so the figures show
// the reader and writer, not that history.
int main(int argc, char** argv) {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
    for (std::int64_t kb : kSizesKb) Image(static_cast<std::size_t>(kb * 1024));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
