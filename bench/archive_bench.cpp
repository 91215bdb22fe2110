// Opening, committing and saving whole archives of 10,000, 100,000 and
// 400,000 entries: four in five entries belong to twenty-view sets, the rest
// are single models, nine in ten entries compressed.
//
// Each size runs several times; every figure is the median of its runs, and
// each ratio is the median of the ratios of the single runs:
//   open_vs_floor         opening the file (read, validate, group, names, the
//                         address map) against reading it into fresh memory
//                         plus decoding and parsing the listed models' base
//                         entries: the work no open can leave out
//   commit_vs_fresh_copy  a commit after one entry changed size, against a
//                         copy of the image into freshly allocated memory
//   (fresh memory is the faster, in that run, of image memory and ordinary
//   heap memory: on a virtual machine fresh huge pages now and then cost the
//   host's faults, and a floor should not move with them)
//   save_vs_write_fsync   saving the archive, against a plain write plus fsync
//   read_image_vs_plain   reading the file into fresh image memory against
//                         reading it into fresh ordinary heap memory
//   copy_image_vs_plain   the same for a copy of the image
//   first_open_s          the open of a fresh process, the one a person who
//                         starts the program and opens the archive waits for
//                         (median of three processes)
//   peak_vs_size          peak memory of such a process, against the size
//   image_huge_pages      the share of that process's image memory that the
//                         kernel backs with huge pages

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "archive/model_table.h"
#include "archive/qfs.h"
#include "platform/message.h"
#include "platform/text.h"
#include "s3d/s3d_format.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"
#include "support/dbpf_builder.h"
#include "support/bench_archive.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Small models (4 to 100 vertices), so that 400,000 entries stay near half a
// gigabyte.
constexpr std::size_t kVertices = 4;

std::string g_self;

std::filesystem::path BenchDir() {
    static const auto dir = std::filesystem::temp_directory_path() / ("korvane-bench-" + std::to_string(::getpid()));
    return dir;
}

kvtest::BigArchiveShape ShapeFor(int entries) {
    kvtest::BigArchiveShape shape;
    shape.sets = entries * 4 / 5 / 20;
    shape.singles = entries - shape.sets * 20 - 1;  // the DIR makes up the count
    shape.vertices = kVertices;
    return shape;
}

std::string ArchivePath(int entries) {
    static std::map<int, std::string> paths;
    auto& path = paths[entries];
    if (!path.empty()) return path;
    std::filesystem::create_directories(BenchDir());
    path = (BenchDir() / ("big" + std::to_string(entries) + ".SC4Model")).string();
    auto bytes = kvtest::BigArchive(ShapeFor(entries)).Build();
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

std::unique_ptr<CDATDoc> Open(const std::string& path) {
    auto doc = std::make_unique<CDATDoc>();
    if (!doc->OnOpenDocument(kv::Utf8ToWide(path))) return nullptr;
    doc->SetPathName(kv::Utf8ToWide(path));
    return doc;
}

// Fresh memory of both kinds: the archive image's own, and ordinary heap
// memory, every byte left for the caller to write.
struct ImageMemory {
    kv::ByteImage bytes;
    explicit ImageMemory(std::size_t n) { bytes.resize(n); }
    std::uint8_t* data() { return bytes.data(); }
};
struct PlainMemory {
    std::unique_ptr<std::uint8_t[]> bytes;
    explicit PlainMemory(std::size_t n) : bytes(std::make_unique_for_overwrite<std::uint8_t[]>(n)) {}
    std::uint8_t* data() { return bytes.get(); }
};

// A copy into memory just allocated, as any new image must be: the pages are
// faulted in while the copy runs.
template <class Memory>
double FreshCopySeconds(const std::uint8_t* image, std::size_t size) {
    auto t0 = Clock::now();
    Memory copy(size);
    std::memcpy(copy.data(), image, size);
    benchmark::DoNotOptimize(copy.data());
    return Seconds(t0, Clock::now());
}

// Reading the file into new memory and nothing more: what any open pays
// before it looks at a byte.
template <class Memory>
double ReadSeconds(const std::string& path, std::size_t size) {
    auto t0 = Clock::now();
    Memory bytes(size);
    int fd = ::open(path.c_str(), O_RDONLY);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, bytes.data() + done, size - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    benchmark::DoNotOptimize(bytes.data());
    return Seconds(t0, Clock::now());
}

// Writing the image to a file and flushing it to disk, with nothing else.
double WriteSeconds(const std::uint8_t* image, std::size_t size, const std::string& path) {
    auto t0 = Clock::now();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, image + done, size - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::fsync(fd);
    ::close(fd);
    double s = Seconds(t0, Clock::now());
    std::filesystem::remove(path);
    return s;
}

// Decoding and parsing the base entry of every listed model, nothing else.
double DecodeAndParseSeconds(const CDATDoc& doc) {
    auto t0 = Clock::now();
    for (const _dat_model& m : doc.m_pModels) {
        auto bytes = doc.EntryBytes(static_cast<std::uint32_t>(m.nRow));
        _s3d_model model;
        if (IsCompressedData(bytes)) {
            std::size_t len = bytes.size() - 4;
            auto raw = QfsDecompress(bytes.data() + 4, len);
            ParseS3D(raw->data(), raw->size(), model);
        } else {
            ParseS3D(bytes.data(), bytes.size(), model);
        }
        benchmark::DoNotOptimize(model.vert.blockCount);
    }
    return Seconds(t0, Clock::now());
}

// What a fresh process that opens the archive reports of itself: the
// seconds the open took, its peak resident memory (which counts nothing of
// ours) and the huge-page memory it holds with the archive open, in bytes.
struct FreshOpen {
    double seconds = 0, peakBytes = 0, hugeBytes = 0;
};
FreshOpen OpenInFreshProcess(const std::string& path) {
    const std::string report = path + ".peak";
    pid_t pid;
    std::string mode = "--open-peak";
    char* argv[] = {g_self.data(), mode.data(), const_cast<char*>(path.c_str()), const_cast<char*>(report.c_str()), nullptr};
    FreshOpen r;
    if (posix_spawn(&pid, g_self.c_str(), nullptr, nullptr, argv, environ) != 0) return r;
    int status = 0;
    waitpid(pid, &status, 0);
    if (FILE* f = std::fopen(report.c_str(), "r")) {
        if (std::fscanf(f, "%lf %lf %lf", &r.seconds, &r.peakBytes, &r.hugeBytes) != 3) r = {};
        std::fclose(f);
    }
    std::filesystem::remove(report);
    r.peakBytes *= 1024.0;
    r.hugeBytes *= 1024.0;
    return r;
}

// A field of this process's memory figures in /proc, in kB.
double ProcKb(const char* file, const char* format) {
    FILE* f = std::fopen(file, "r");
    if (!f) return 0;
    char line[256];
    double kb = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, format, &kb) == 1) break;
    std::fclose(f);
    return kb;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void BM_WholeArchive(benchmark::State& state) {
    kvtest::PrintMessagesToStderr();
    const int entries = static_cast<int>(state.range(0));
    const std::string path = ArchivePath(entries);
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
    const int runs = 5;

    std::map<std::string, std::vector<double>> f;
    double models = 0;
    for (auto _ : state) {
        for (int run = 0; run < runs; ++run) {
            auto t0 = Clock::now();
            auto doc = Open(path);
            const double open = Seconds(t0, Clock::now());
            if (!doc) {
                state.SkipWithError("the archive did not open");
                return;
            }
            models = doc->m_nModels;
            const double decode = DecodeAndParseSeconds(*doc);
            const double readImage = ReadSeconds<ImageMemory>(path, size);
            const double readPlain = ReadSeconds<PlainMemory>(path, size);
            const double copyImage = FreshCopySeconds<ImageMemory>(doc->m_pBuffer.data(), doc->m_pBuffer.size());
            const double copyPlain = FreshCopySeconds<PlainMemory>(doc->m_pBuffer.data(), doc->m_pBuffer.size());
            const double write = WriteSeconds(doc->m_pBuffer.data(), doc->m_pBuffer.size(), path + ".plain");

            bool compressed;
            std::uint32_t entrySize;
            const auto row = static_cast<std::uint32_t>(doc->m_pModels[3].nRow);
            auto model = doc->LoadModel(row, compressed, entrySize);
            _s3d_work_block wb;
            ExtractBlock(S3D_BLOCK_VERT, 0, model.get(), &wb);
            wb.vertices.push_back(wb.vertices.front());
            StoreBlock(model.get(), S3D_BLOCK_VERT, 0, &wb);
            doc->StoreModel(row, std::move(model), compressed, entrySize);
            t0 = Clock::now();
            const bool committed = doc->CommitReplacedEntries();
            const double commit = Seconds(t0, Clock::now());
            if (!committed || doc->AnyPending()) {
                state.SkipWithError("the commit failed");
                return;
            }

            const std::string out = path + ".saved";
            t0 = Clock::now();
            doc->OnSaveDocument(kv::Utf8ToWide(out));
            const double save = Seconds(t0, Clock::now());
            std::filesystem::remove(out);

            const double floor = std::min(readImage, readPlain) + decode;
            f["open_s"].push_back(open);
            f["floor_s"].push_back(floor);
            f["open_vs_floor"].push_back(open / floor);
            f["read_image_s"].push_back(readImage);
            f["read_plain_s"].push_back(readPlain);
            f["read_image_vs_plain"].push_back(readImage / readPlain);
            f["commit_s"].push_back(commit);
            f["fresh_copy_s"].push_back(copyImage);
            f["commit_vs_fresh_copy"].push_back(commit / std::min(copyImage, copyPlain));
            f["copy_image_vs_plain"].push_back(copyImage / copyPlain);
            f["save_s"].push_back(save);
            f["write_fsync_s"].push_back(write);
            f["save_vs_write_fsync"].push_back(save / write);
        }
    }
    state.counters["entries"] = entries;
    state.counters["models"] = models;
    state.counters["archive_MB"] = static_cast<double>(size) / 1e6;
    state.counters["runs"] = runs;
    for (const auto& [name, values] : f) state.counters[name] = Median(values);
    std::vector<double> fresh, peak, huge;
    for (int k = 0; k < 3; ++k) {
        const FreshOpen r = OpenInFreshProcess(path);
        fresh.push_back(r.seconds);
        peak.push_back(r.peakBytes);
        huge.push_back(r.hugeBytes);
    }
    state.counters["first_open_s"] = Median(fresh);
    state.counters["peak_vs_size"] = Median(peak) / static_cast<double>(size);
    state.counters["image_huge_pages"] = Median(huge) / static_cast<double>(size);
    std::filesystem::remove(path);
}
BENCHMARK(BM_WholeArchive)->Arg(10000)->Arg(100000)->Arg(400000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    g_self = std::filesystem::canonical("/proc/self/exe").string();
    if (argc == 4 && std::string(argv[1]) == "--open-peak") {
        kv::SetMessageBoxHandler([](const std::wstring&, unsigned) { return IDOK; });
        const auto t0 = Clock::now();
        auto doc = Open(argv[2]);
        const double seconds = Seconds(t0, Clock::now());
        if (FILE* f = std::fopen(argv[3], "w")) {
            std::fprintf(f, "%.6f %.0f %.0f\n", seconds, ProcKb("/proc/self/status", "VmHWM: %lf"),
                         ProcKb("/proc/self/smaps_rollup", "AnonHugePages: %lf"));
            std::fclose(f);
        }
        return doc ? 0 : 1;
    }
    // --make ENTRIES PATH writes the archive of that size to PATH, for profiling.
    if (argc == 4 && std::string(argv[1]) == "--make") {
        std::filesystem::copy_file(ArchivePath(std::stoi(argv[2])), argv[3], std::filesystem::copy_options::overwrite_existing);
        std::filesystem::remove_all(BenchDir());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::filesystem::remove_all(BenchDir());
    return 0;
}
