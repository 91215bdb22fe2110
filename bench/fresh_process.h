#pragma once
// What the benchmarks that time a user's wait share: each timing runs in a
// fresh process of the benchmark itself, started for that one measurement,
// which first sits idle as a person does before the command; the parent
// collects what the children print and takes medians.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kvbench {

// The process waits as a person does before the command: the machine
// settles, and nothing of the work to come is warm. KORVANE_BENCH_IDLE_S
// sets the seconds (3 when unset); 0 makes a quick run.
inline void Idle() {
    double seconds = 3;
    if (const char* s = std::getenv("KORVANE_BENCH_IDLE_S")) seconds = std::atof(s);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Peak resident size of this process so far, in kilobytes.
inline double PeakKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6);
    return 0;
}

// Runs this program with `args` in a new process and returns what it
// printed; empty when it failed.
inline std::string RunChild(const std::vector<std::string>& args) {
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    std::vector<std::string> all{self};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int pipeFd[2];
    if (::pipe(pipeFd) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFd[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFd[0]);
    pid_t pid;
    const int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFd[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; spawned == 0 && (n = ::read(pipeFd[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
    ::close(pipeFd[0]);
    if (spawned != 0) return {};
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : std::string();
}

// The number after `key` in a child's output; negative when it is missing.
inline double Field(const std::string& out, const std::string& key) {
    std::istringstream in(out);
    std::string word;
    double v;
    while (in >> word >> v)
        if (word == key) return v;
    return -1;
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The runs, each times `scale`, as " a b c".
inline std::string Runs(const std::vector<double>& v, double scale = 1) {
    std::string s;
    char buf[32];
    for (double x : v) {
        std::snprintf(buf, sizeof buf, " %.0f", x * scale);
        s += buf;
    }
    return s;
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kvbench
