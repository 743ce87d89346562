#pragma once
// What the benchmarks that time whole programs share: starting one, and the
// medians their figures are taken from.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace ossel::bench {

struct Timing {
    double wall = 0;  // seconds
    double cpu = 0;   // for a program: its own and that of the children it waited for
};

inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

inline double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

// One run of a program with its output to /dev/null; false unless it exits with 0.
inline bool runProgram(const std::string& program, const std::vector<std::string>& arguments, Timing* timing,
                       char** envp = environ) {
    std::vector<const char*> argv = {program.c_str()};
    for (const auto& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv.data()), envp);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    timing->wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    timing->cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The environment the host gets in the benchmarks: a home of its own and a plain PATH.
struct HostEnvironment {
    std::vector<std::string> entries;
    std::vector<char*> pointers;
    explicit HostEnvironment(const std::string& home) : entries{"HOME=" + home, "PATH=/usr/bin:/bin"} {
        for (auto& entry : entries) pointers.push_back(entry.data());
        pointers.push_back(nullptr);
    }
    char** get() { return pointers.data(); }
};

}  // namespace ossel::bench
