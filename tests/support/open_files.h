#pragma once
// The files this process holds open in a folder without a name there: how a
// save's new file is seen while it is written, before it takes the target's
// name.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kvtest {

// The sizes of those files, in the order of their descriptors.
inline std::vector<std::uint64_t> UnnamedFileSizesIn(const std::filesystem::path& dir) {
    std::vector<std::uint64_t> sizes;
    std::error_code ec;
    const std::string folder = std::filesystem::canonical(dir, ec).string();
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        char link[4096];
        const ssize_t n = ::readlink(e.path().c_str(), link, sizeof link - 1);
        if (n <= 0) continue;
        const std::string target(link, static_cast<std::size_t>(n));
        // An unnamed file reads as "<folder>/#<inode> (deleted)".
        if (target.rfind(folder + "/#", 0) != 0 || target.find(" (deleted)") == std::string::npos) continue;
        struct stat st {};
        if (::stat(e.path().c_str(), &st) == 0) sizes.push_back(static_cast<std::uint64_t>(st.st_size));
    }
    return sizes;
}

}  // namespace kvtest
