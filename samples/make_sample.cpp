// Writes the sample archive: make_sample <path> (samples/sample.SC4Model).

#include <cstdio>
#include <fstream>

#include "sample_archive.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample <path of the archive to write>\n");
        return 2;
    }
    std::vector<std::uint8_t> bytes = kvsample::BuildSampleArchive();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("wrote %s (%zu bytes)\n", argv[1], bytes.size());
    return 0;
}
