// The codec's half of the comparison with the npm package qfs-compression
// (bench/qfs_peer_bench.sh runs both): writes the model-shaped corpus into a
// folder, each model with the stream this encoder makes of it, so the peer
// works on exactly the same bytes, then times this codec over the whole corpus
// the way the peer's script times the peer: a few passes to warm up, then
// timed passes, the median printed.
//
// Usage: qfs_peer_bench <folder>
// Prints: korvane entries=N model_bytes=B encode_MBps=E decode_MBps=D

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/qfs.h"
#include "archive/qfs_corpus.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWarmPasses = 5;
constexpr int kTimedPasses = 15;

bool Write(const fs::path& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

template <class Pass>
double MedianSeconds(Pass pass) {
    for (int k = 0; k < kWarmPasses; ++k) pass();
    std::vector<double> times;
    for (int k = 0; k < kTimedPasses; ++k) {
        const auto t0 = Clock::now();
        pass();
        times.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const fs::path dir = argv[1];
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir);

    const std::vector<Bytes> models = kvtest::ModelShapedSets(60, 2024);
    std::vector<Bytes> streams;
    std::size_t modelBytes = 0, largest = 0;
    for (std::size_t k = 0; k < models.size(); ++k) {
        Bytes s(QfsMaxCompressedSize(models[k].size()));
        std::int64_t len = -1;
        QfsCompress(models[k].data(), models[k].size(), s.data(), s.size(), len);
        if (len < 0) {
            std::fprintf(stderr, "the encoder refused entry %zu\n", k);
            return 1;
        }
        s.resize(static_cast<std::size_t>(len));
        char name[32];
        std::snprintf(name, sizeof name, "%04zu", k);
        if (!Write(dir / (std::string(name) + ".s3d"), models[k]) || !Write(dir / (std::string(name) + ".qfs"), s)) {
            std::fprintf(stderr, "cannot write the corpus into %s\n", dir.c_str());
            return 1;
        }
        streams.push_back(std::move(s));
        modelBytes += models[k].size();
        largest = std::max(largest, models[k].size());
    }

    Bytes out(QfsMaxCompressedSize(largest));
    std::size_t sink = 0;
    const double encode = MedianSeconds([&] {
        for (const Bytes& m : models) {
            std::int64_t len = -1;
            QfsCompress(m.data(), m.size(), out.data(), out.size(), len);
            sink += static_cast<std::size_t>(len);
        }
    });
    const double decode = MedianSeconds([&] {
        for (const Bytes& s : streams) {
            std::size_t length = s.size();
            auto raw = QfsDecompress(s.data(), length);
            sink += raw ? raw->size() : 0;
        }
    });
    std::printf("korvane entries=%zu model_bytes=%zu encode_MBps=%.2f decode_MBps=%.2f check=%zu\n", models.size(), modelBytes,
                static_cast<double>(modelBytes) / encode / 1e6, static_cast<double>(modelBytes) / decode / 1e6, sink % 10);
    return 0;
}
