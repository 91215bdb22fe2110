// Peak memory of reading models made of little but empty fixed-text records,
// each case in a child process of its own so that one case's peak does not
// hide the next. `peak_MiB` is the child's whole peak, `over_build_MiB` what
// the reading added to building the image alone, and `vs_1_5GB` the peak as a
// share of 1.5 GB. A 16 MiB image of empty records (about 1.4 GB of records
// if read) must be refused well under that; a model whose records fit in the
// reader's 256 MiB is read, edited and stored.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "archive/dat_doc.h"
#include "s3d/s3d_format.h"
#include "s3d/s3d_model.h"
#include "support/archive_fixture.h"
#include "support/bench_archive.h"
#include "support/dbpf_builder.h"
#include "support/s3d_builder.h"

namespace {

// A realistic model whose PROP and REGP chunks declare `props` and `regions`
// empty records.
std::vector<std::uint8_t> EmptyRecords(std::size_t props, std::size_t regions) {
    kvtest::S3DBuilder b = kvtest::RealisticS3D("memory", 16);
    b.chunk[kvtest::kChunkProp].countField = static_cast<std::uint32_t>(props);
    b.chunk[kvtest::kChunkProp].trailing.assign(props * 6, 0);
    b.chunk[kvtest::kChunkRegp].countField = static_cast<std::uint32_t>(regions);
    b.chunk[kvtest::kChunkRegp].trailing.assign(regions * 3, 0);
    return b.Build();
}

// Runs `work` in a child process: its peak resident set in MiB, or a negative
// value when it did not end with status 0.
double ChildPeakMiB(const std::function<bool()>& work) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(work() ? 0 : 1);
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

struct Case {
    std::size_t props, regions;
    bool compressed;  // read through an archive entry, QFS decoding included
    bool accepted;
};

bool Read(const Case& c, bool parse) {
    const auto image = EmptyRecords(c.props, c.regions);
    if (!c.compressed) {
        if (!parse) return !image.empty();
        _s3d_model model;
        return (ParseS3D(image.data(), image.size(), model) == 1) == c.accepted;
    }
    kvtest::DbpfBuilder b;
    b.Add(kTypeS3D, 1, 0x10, kvtest::CompressEntry(image));
    b.AddDir();
    auto doc = kvtest::OpenArchive(b.Build(), "memory.dat");
    if (!doc || !parse) return doc != nullptr;
    bool compressed = false;
    std::uint32_t size = 0;
    auto model = doc->LoadModel(0, compressed, size);
    if ((model != nullptr) != c.accepted) return false;
    // What the reader took is stored again, recompressed.
    return !model || doc->StoreModel(0, std::move(model), compressed, size);
}

void BM_EmptyRecordPeak(benchmark::State& state, Case c) {
    kvtest::PrintMessagesToStderr();
    for (auto _ : state) {
        // Opening the archive derives the model's name by reading it, so the
        // baseline of a compressed case already holds one refused read.
        const double build = ChildPeakMiB([&] { return Read(c, false); });
        const double peak = ChildPeakMiB([&] { return Read(c, true); });
        if (build < 0 || peak < 0) {
            state.SkipWithError("the model was not read as expected");
            return;
        }
        state.counters["peak_MiB"] = peak;
        state.counters["over_build_MiB"] = peak - build;
        state.counters["vs_1_5GB"] = peak / 1536.0;
    }
}

constexpr std::size_t k16MiB = std::size_t{16} << 20;
// The largest image a compressed entry can hold is 16 MiB less one byte.
constexpr std::size_t kCompressible = k16MiB - 4096;

}  // namespace

BENCHMARK_CAPTURE(BM_EmptyRecordPeak, props_16MiB_refused, Case{k16MiB / 6, 0, false, false})
    ->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EmptyRecordPeak, regions_16MiB_refused, Case{0, k16MiB / 3, false, false})
    ->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EmptyRecordPeak, props_16MiB_entry_refused, Case{kCompressible / 6, 0, true, false})
    ->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EmptyRecordPeak, props_500k_read, Case{500000, 0, false, true})
    ->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EmptyRecordPeak, props_500k_entry_read_and_stored, Case{500000, 0, true, true})
    ->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
