// Opening, committing and saving whole archives as a user meets them: every
// timing is taken in a fresh process of this program, started for that one
// measurement, after it has sat idle for a few seconds (as a person starts
// the program, looks for the file and opens it), against a floor taken the
// same way in a process of its own:
//
//   open     opening the file (read, validate, group, names, the address
//            map), against reading it into fresh memory plus decoding and
//            parsing the listed models' base entries with the codec and the
//            S3D reader directly: the work no open can leave out
//   commit   a commit after one entry changed size, against fresh memory
//            plus one copy of the image into it
//   save     saving the archive, against a plain write of the image plus
//            fsync
//
// The archives (bench/real_archive.h): "real200", a real-shaped collection of
// about 200 MB, and "sets20k", 20,000 twenty-view sets of small models
// (400,000 entries, about 190 MB); "real1000" (about 1 GB) when named on the
// command line, which takes the archives to run as its arguments.
//
// Each measurement and each floor runs three times, alternately; the figures
// are the medians of the three, and each ratio is the ratio of the medians:
//   open_vs_floor    (goal: at most 1.2)
//   commit_vs_floor  (goal: at most 1.3)
//   save_vs_floor
//   peak_vs_size     peak resident memory of an open process against the
//                    archive's size
//
// KORVANE_BENCH_IDLE_S sets the idle time of each process in seconds (3 when
// unset); 0 makes a quick run, whose figures are not the user's.
//
//   --make NAME PATH   writes archive NAME to PATH, for profiling

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "archive/dat_doc.h"
#include "archive/qfs.h"
#include "platform/binary_io.h"
#include "platform/message.h"
#include "platform/text.h"
#include "fresh_process.h"
#include "real_archive.h"
#include "s3d/s3d_format.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"
#include "support/bench_archive.h"


namespace {

using kvbench::Field;
using kvbench::Idle;
using kvbench::Median;
using kvbench::RunChild;
using kvbench::Runs;
using kvbench::WriteFile;
using kvbench::PeakKb;
using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::vector<std::uint8_t> MakeArchive(const std::string& name) {
    if (name == "real200") return kvbench::RealShapedArchive(200);
    if (name == "real1000") return kvbench::RealShapedArchive(1000);
    if (name == "sets20k") return kvbench::SmallSetArchive(20000);
    return {};
}


// ---------------------------------------------------------------- children



int Report(double seconds) {
    std::printf("seconds %.6f\npeak_kb %.0f\n", seconds, PeakKb());
    return 0;
}

std::unique_ptr<CDATDoc> Open(const std::string& path) {
    auto doc = std::make_unique<CDATDoc>();
    if (!doc->OnOpenDocument(kv::Utf8ToWide(path))) return nullptr;
    doc->SetPathName(kv::Utf8ToWide(path));
    return doc;
}

// Fresh memory, every byte left for the caller to write: the archive
// image's own (kv::ByteImage) or plain heap memory that faults in as it is
// written. A floor takes the faster of the two, so that no way of getting
// memory that the program could use instead lies below it.
class Fresh {
public:
    Fresh(std::size_t n, bool image) {
        if (image) m_image.resize(n);
        else m_plain = std::make_unique_for_overwrite<std::uint8_t[]>(n);
    }
    std::uint8_t* get() { return m_plain ? m_plain.get() : m_image.data(); }

private:
    kv::ByteImage m_image;
    std::unique_ptr<std::uint8_t[]> m_plain;
};

bool ImageMemory(const std::string& kind) { return kind == "image"; }

// The whole file in fresh memory; null when it could not be read.
std::unique_ptr<Fresh> ReadWhole(const std::string& path, std::size_t size, bool image = false) {
    auto bytes = std::make_unique<Fresh>(size, image);
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::size_t done = 0;
    while (fd >= 0 && done < size) {
        const ssize_t n = ::read(fd, bytes->get() + done, size - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    if (fd >= 0) ::close(fd);
    return done == size ? std::move(bytes) : nullptr;
}

int OpenChild(const std::string& path) {
    Idle();
    const auto t0 = Clock::now();
    auto doc = Open(path);
    const auto t1 = Clock::now();
    if (!doc) return 1;
    return Report(Seconds(t0, t1));
}

// The floor of an open: the file read into fresh memory, and the base entry
// of every listed model (rows given in `rowsPath`) decoded and parsed.
int OpenFloorChild(const std::string& path, const std::string& rowsPath, const std::string& memory) {
    std::vector<std::uint32_t> rows;
    {
        std::ifstream in(rowsPath);
        for (std::uint32_t r; in >> r;) rows.push_back(r);
    }
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
    Idle();
    const auto t0 = Clock::now();
    auto image = ReadWhole(path, size, ImageMemory(memory));
    if (!image) return 1;
    const std::uint8_t* p = image->get();
    const std::size_t index = kv::ByteReader::LoadU32(p + _dbpf_header::kIndexOffsetAt);
    std::size_t parsed = 0;
    for (std::uint32_t row : rows) {
        const std::uint8_t* e = p + index + static_cast<std::size_t>(row) * kIndexEntrySize;
        const std::span<const std::uint8_t> bytes(p + kv::ByteReader::LoadU32(e + 12), kv::ByteReader::LoadU32(e + 16));
        _s3d_model model;
        if (IsCompressedData(bytes)) {
            std::size_t length = bytes.size() - 4;
            auto raw = QfsDecompress(bytes.data() + 4, length);
            if (raw) parsed += ParseS3D(raw->data(), raw->size(), model) == 1;
        } else {
            parsed += ParseS3D(bytes.data(), bytes.size(), model) == 1;
        }
        benchmark::DoNotOptimize(model.vert.blockCount);
    }
    const auto t1 = Clock::now();
    if (parsed != rows.size()) return 1;
    return Report(Seconds(t0, t1));
}

// A commit after one model grew by a vertex, so that the image is laid out anew.
int CommitChild(const std::string& path) {
    auto doc = Open(path);
    if (!doc || doc->m_pModels.size() < 4) return 1;
    bool compressed;
    std::uint32_t entrySize;
    const auto row = static_cast<std::uint32_t>(doc->m_pModels[3].nRow);
    auto model = doc->LoadModel(row, compressed, entrySize);
    if (!model) return 1;
    _s3d_work_block wb;
    ExtractBlock(S3D_BLOCK_VERT, 0, model.get(), &wb);
    wb.vertices.push_back(wb.vertices.front());
    StoreBlock(model.get(), S3D_BLOCK_VERT, 0, &wb);
    if (!doc->StoreModel(row, std::move(model), compressed, entrySize) || !doc->AnyPending()) return 1;
    Idle();
    const auto t0 = Clock::now();
    const bool committed = doc->CommitReplacedEntries();
    const auto t1 = Clock::now();
    if (!committed || doc->AnyPending()) return 1;
    return Report(Seconds(t0, t1));
}

// The floor of a commit: fresh memory of the image's size and one copy of
// the image into it.
int CommitFloorChild(const std::string& path, const std::string& memory) {
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
    auto image = ReadWhole(path, size);
    if (!image) return 1;
    // The image a commit copies has been read by the program already; on a
    // virtual machine a page's first touch by the program costs a fault of
    // its own even after the file was read into it.
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < size; at += 4096) sum += image->get()[at];
    benchmark::DoNotOptimize(sum);
    Idle();
    const auto t0 = Clock::now();
    Fresh copy(size, ImageMemory(memory));
    std::memcpy(copy.get(), image->get(), size);
    benchmark::DoNotOptimize(copy.get());
    const auto t1 = Clock::now();
    return Report(Seconds(t0, t1));
}

int SaveChild(const std::string& path, const std::string& out) {
    auto doc = Open(path);
    if (!doc) return 1;
    Idle();
    const auto t0 = Clock::now();
    const bool saved = doc->OnSaveDocument(kv::Utf8ToWide(out));
    const auto t1 = Clock::now();
    std::filesystem::remove(out);
    if (!saved) return 1;
    return Report(Seconds(t0, t1));
}

// The floor of a save: the image written to a new file and flushed to disk.
int SaveFloorChild(const std::string& path, const std::string& out) {
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
    auto image = ReadWhole(path, size);
    if (!image) return 1;
    Idle();
    const auto t0 = Clock::now();
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t done = 0;
    while (fd >= 0 && done < size) {
        const ssize_t n = ::write(fd, image->get() + done, size - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    const auto t1 = Clock::now();
    std::filesystem::remove(out);
    if (done != size) return 1;
    return Report(Seconds(t0, t1));
}

// ---------------------------------------------------------------- parent





bool RunArchive(const std::string& name, const std::filesystem::path& dir) {
    const std::string path = (dir / (name + ".SC4Model")).string(), rows = (dir / (name + ".rows")).string(),
                      out = (dir / (name + ".saved")).string();
    std::size_t entries = 0, models = 0;
    {
        const auto bytes = MakeArchive(name);
        if (bytes.empty()) {
            std::cerr << "no archive named " << name << "\n";
            return false;
        }
        WriteFile(path, bytes);
        auto doc = Open(path);
        if (!doc) {
            std::cerr << name << " did not open\n";
            return false;
        }
        entries = doc->IndexCount();
        models = doc->m_nModels;
        std::ofstream r(rows);
        for (const _dat_model& m : doc->m_pModels) r << m.nRow << "\n";
    }
    const auto size = static_cast<double>(std::filesystem::file_size(path));
    std::printf("%s: %.0f MB, %zu entries, %zu models\n", name.c_str(), size / 1e6, entries, models);
    std::fflush(stdout);

    // Each measurement with its floors: the floor is the faster of the
    // floors' medians.
    struct Timing {
        const char* name;
        std::vector<std::vector<std::string>> children;  // the measurement first, then its floors
        std::vector<const char*> floorNames;
        std::vector<std::vector<double>> seconds;
    };
    std::vector<Timing> timings = {
        {"open", {{"--open", path}, {"--open-floor", path, rows, "image"}, {"--open-floor", path, rows, "plain"}}, {"image memory", "heap memory"}, {}},
        {"commit", {{"--commit", path}, {"--commit-floor", path, "image"}, {"--commit-floor", path, "plain"}}, {"image memory", "heap memory"}, {}},
        {"save", {{"--save", path, out}, {"--save-floor", path, out}}, {"write+fsync"}, {}},
    };
    std::vector<double> peak;
    for (Timing& t : timings) t.seconds.resize(t.children.size());
    for (int run = 0; run < 3; ++run) {
        for (Timing& t : timings) {
            for (std::size_t c = 0; c < t.children.size(); ++c) {
                const std::string o = RunChild(t.children[c]);
                if (Field(o, "seconds") < 0) {
                    std::cerr << name << ": the " << t.name << " run failed (" << t.children[c][0] << ")\n";
                    return false;
                }
                t.seconds[c].push_back(Field(o, "seconds"));
                if (t.children[c][0] == "--open") peak.push_back(Field(o, "peak_kb") * 1024);
            }
        }
    }
    for (const Timing& t : timings) {
        const double measured = Median(t.seconds[0]);
        double floor = 0;
        for (std::size_t c = 1; c < t.seconds.size(); ++c) floor = c == 1 ? Median(t.seconds[c]) : std::min(floor, Median(t.seconds[c]));
        std::printf("  %-6s %7.1f ms (runs:%s)\n", t.name, measured * 1e3, Runs(t.seconds[0], 1e3).c_str());
        for (std::size_t c = 1; c < t.seconds.size(); ++c)
            std::printf("    floor in %-13s %7.1f ms (runs:%s)\n", t.floorNames[c - 1], Median(t.seconds[c]) * 1e3,
                        Runs(t.seconds[c], 1e3).c_str());
        std::printf("    %s_vs_floor %.2f\n", t.name, measured / floor);
    }
    std::printf("  peak_vs_size %.2f\n", Median(peak) / size);
    std::fflush(stdout);
    std::filesystem::remove(path);
    std::filesystem::remove(rows);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    kvtest::PrintMessagesToStderr();
    if (!args.empty() && args[0].rfind("--", 0) == 0) {
        const std::string& mode = args[0];
        if (mode == "--open" && args.size() == 2) return OpenChild(args[1]);
        if (mode == "--open-floor" && args.size() == 4) return OpenFloorChild(args[1], args[2], args[3]);
        if (mode == "--commit" && args.size() == 2) return CommitChild(args[1]);
        if (mode == "--commit-floor" && args.size() == 3) return CommitFloorChild(args[1], args[2]);
        if (mode == "--save" && args.size() == 3) return SaveChild(args[1], args[2]);
        if (mode == "--save-floor" && args.size() == 3) return SaveFloorChild(args[1], args[2]);
        if (mode == "--make" && args.size() == 3) {
            const auto bytes = MakeArchive(args[1]);
            if (bytes.empty()) return 1;
            WriteFile(args[2], bytes);
            return 0;
        }
        std::cerr << "unknown arguments\n";
        return 2;
    }
    const std::vector<std::string> names = args.empty() ? std::vector<std::string>{"real200", "sets20k"} : args;
    const auto dir = std::filesystem::temp_directory_path() / ("korvane-archive-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    bool ok = true;
    for (const std::string& name : names) ok = RunArchive(name, dir) && ok;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return ok ? 0 : 1;
}
