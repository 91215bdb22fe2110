// Opening, committing and saving a large archive: 1,000 twenty-view sets and
// 5,000 single models, nine in ten entries compressed (about 200 MB).
//
// Reported as ratios measured in the same run:
//   open_vs_floor   opening the file (read, validate, group, names) against
//                   decoding and parsing the 6,000 base entries alone
//   open_vs_floor_plus_read  the same against the floor plus a plain read of the file
//   commit_vs_copy  a commit after one entry changed size, against a memcpy of the image
//   save_vs_copy    saving the archive, against a memcpy of the image
//   commit_vs_fresh_copy, save_vs_write_fsync: the same against a copy into
//                   freshly allocated memory and a plain write plus fsync
//   peak_vs_size    peak memory of a fresh process that opens the archive, against its size

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

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

constexpr int kSets = 1000;
constexpr int kSingles = 5000;
constexpr std::size_t kVertices = 260;

std::string g_self;

std::string ArchivePath() {
    static std::string path;
    if (!path.empty()) return path;
    auto dir = std::filesystem::temp_directory_path() / ("korvane-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    path = (dir / "big.SC4Model").string();

    kvtest::BigArchiveShape shape;
    shape.sets = kSets;
    shape.singles = kSingles;
    shape.vertices = kVertices;
    kvtest::DbpfBuilder b = kvtest::BigArchive(shape);
    auto bytes = b.Build();
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

double CopySeconds(const kv::ByteImage& image) {
    std::vector<std::uint8_t> copy(image.size());
    double best = 1e9;
    for (int k = 0; k < 3; ++k) {
        auto t0 = Clock::now();
        std::memcpy(copy.data(), image.data(), image.size());
        benchmark::DoNotOptimize(copy.data());
        best = std::min(best, Seconds(t0, Clock::now()));
    }
    return best;
}

// A copy into memory just allocated, as any new image must be: the pages are
// faulted in while the copy runs.
double FreshCopySeconds(const kv::ByteImage& image) {
    auto t0 = Clock::now();
    kv::ByteImage copy;
    copy.resize(image.size());
    std::memcpy(copy.data(), image.data(), image.size());
    benchmark::DoNotOptimize(copy.data());
    return Seconds(t0, Clock::now());
}

// Writing the image to a file and flushing it to disk, with nothing else.
double WriteSeconds(const kv::ByteImage& image, const std::string& path) {
    auto t0 = Clock::now();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t done = 0;
    while (done < image.size()) {
        ssize_t n = ::write(fd, image.data() + done, image.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::fsync(fd);
    ::close(fd);
    double s = Seconds(t0, Clock::now());
    std::filesystem::remove(path);
    return s;
}

// Reading the file into new memory and nothing more: what any open pays
// before it looks at a byte.
double ReadSeconds(const std::string& path, std::size_t size) {
    auto t0 = Clock::now();
    kv::ByteImage bytes;
    bytes.resize(size);
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

// Peak resident memory of a fresh process that opens the archive, in bytes:
// the child reports its own high-water mark, which counts nothing of ours.
double PeakOpenBytes(const std::string& path) {
    const std::string report = path + ".peak";
    pid_t pid;
    std::string mode = "--open-peak";
    char* argv[] = {g_self.data(), mode.data(), const_cast<char*>(path.c_str()), const_cast<char*>(report.c_str()), nullptr};
    if (posix_spawn(&pid, g_self.c_str(), nullptr, nullptr, argv, environ) != 0) return 0;
    int status = 0;
    waitpid(pid, &status, 0);
    double kb = 0;
    if (FILE* f = std::fopen(report.c_str(), "r")) {
        if (std::fscanf(f, "%lf", &kb) != 1) kb = 0;
        std::fclose(f);
    }
    std::filesystem::remove(report);
    return kb * 1024.0;
}

// VmHWM of this process, in kB.
double HighWaterKb() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    double kb = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %lf", &kb) == 1) break;
    std::fclose(f);
    return kb;
}

void BM_LargeArchive(benchmark::State& state) {
    kvtest::PrintMessagesToStderr();
    const std::string path = ArchivePath();
    const double size = static_cast<double>(std::filesystem::file_size(path));

    for (auto _ : state) {
        auto t0 = Clock::now();
        auto doc = Open(path);
        auto t1 = Clock::now();
        if (!doc) {
            state.SkipWithError("the archive did not open");
            return;
        }
        const double open = Seconds(t0, t1);

        // The floor: the base entries decoded and parsed, nothing else.
        t0 = Clock::now();
        for (const _dat_model& m : doc->m_pModels) {
            auto bytes = doc->EntryBytes(static_cast<std::uint32_t>(m.nRow));
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
        const double floor = Seconds(t0, Clock::now());

        const double copy = CopySeconds(doc->m_pBuffer);
        const double freshCopy = FreshCopySeconds(doc->m_pBuffer);
        const double write = WriteSeconds(doc->m_pBuffer, path + ".plain");

        bool compressed;
        std::uint32_t entrySize;
        auto model = doc->LoadModel(static_cast<std::uint32_t>(doc->m_pModels[3].nRow), compressed, entrySize);
        _s3d_work_block wb;
        ExtractBlock(S3D_BLOCK_VERT, 0, model.get(), &wb);
        wb.vertices.push_back(wb.vertices.front());
        StoreBlock(model.get(), S3D_BLOCK_VERT, 0, &wb);
        doc->StoreModel(static_cast<std::uint32_t>(doc->m_pModels[3].nRow), std::move(model), compressed, entrySize);
        t0 = Clock::now();
        doc->CommitReplacedEntries();
        const double commit = Seconds(t0, Clock::now());

        const std::string out = path + ".saved";
        t0 = Clock::now();
        doc->OnSaveDocument(kv::Utf8ToWide(out));
        const double save = Seconds(t0, Clock::now());
        std::filesystem::remove(out);

        state.counters["archive_MB"] = size / 1e6;
        state.counters["models"] = doc->m_nModels;
        state.counters["open_s"] = open;
        state.counters["floor_s"] = floor;
        state.counters["open_vs_floor"] = open / floor;
        // Opening also reads the whole file, which the floor leaves out.
        const double read = ReadSeconds(path, static_cast<std::size_t>(size));
        state.counters["read_s"] = read;
        state.counters["open_vs_floor_plus_read"] = open / (floor + read);
        state.counters["commit_vs_copy"] = commit / copy;
        state.counters["save_vs_copy"] = save / copy;
        // The same against what no implementation can avoid: a copy into new
        // pages, and writing the bytes out and flushing them.
        state.counters["commit_vs_fresh_copy"] = commit / freshCopy;
        state.counters["save_vs_write_fsync"] = save / write;
    }
    state.counters["peak_vs_size"] = PeakOpenBytes(path) / size;
}
BENCHMARK(BM_LargeArchive)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    g_self = std::filesystem::canonical("/proc/self/exe").string();
    if (argc == 4 && std::string(argv[1]) == "--open-peak") {
        kv::SetMessageBoxHandler([](const std::wstring&, unsigned) { return IDOK; });
        auto doc = Open(argv[2]);
        if (FILE* f = std::fopen(argv[3], "w")) {
            std::fprintf(f, "%.0f\n", HighWaterKb());
            std::fclose(f);
        }
        return doc ? 0 : 1;
    }
    if (argc == 3 && std::string(argv[1]) == "--make") {
        std::filesystem::copy_file(ArchivePath(), argv[2], std::filesystem::copy_options::overwrite_existing);
        std::filesystem::remove_all(std::filesystem::path(ArchivePath()).parent_path());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::filesystem::remove_all(std::filesystem::path(ArchivePath()).parent_path());
    return 0;
}
