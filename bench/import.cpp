// The host importing 10,000 generated clip annotation files (no catalog
// directory) with JSON Lines output to /dev/null, beside the foundation's
// property-list reader alone over the same files. The host's time per file
// should stay within 1.5 times the reader's.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/Format.h"
#include "foundation/PropertyList.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace ossel;

namespace {

constexpr int kClipCount = 10000;
const std::string kHost = OSSEL_BINARY_DIR "/ossel-mdimport";

struct Corpus {
    fs::path root;   // holds home/ and Clips/<year>/<clip>.plist
    std::vector<std::string> files;

    Corpus() {
        char pattern[] = "/tmp/ossel-bench-import-XXXXXX";
        root = mkdtemp(pattern);
        fs::create_directories(root / "home");
        for (int i = 0; i < kClipCount; ++i) {
            const fs::path dir = root / "Clips" / std::to_string(2000 + i % 10);
            fs::create_directories(dir);
            const fs::path file = dir / format("clip-%05d.plist", i);
            std::ofstream(file) << clipText(i);
            files.push_back(file.string());
        }
    }
    ~Corpus() { fs::remove_all(root); }

    static std::string clipText(int i) {
        return format(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n<dict>\n"
            "\t<key>clipDurationInSeconds</key>\n\t<real>%d.%02d</real>\n"
            "\t<key>clipEventIds</key>\n\t<array>\n\t\t<string>OsselEvent_bench_%d</string>\n\t</array>\n"
            "\t<key>clipId</key>\n\t<string>clip-bench-%05d</string>\n"
            "\t<key>clipName</key>\n\t<string>Generated clip number %d</string>\n"
            "\t<key>clipNotes</key>\n\t<string>Handheld, morning light, take %d of the harbour sequence.</string>\n"
            "\t<key>clipPeopleIds</key>\n\t<array>\n\t\t<string>OsselPeople_bench_%d</string>\n"
            "\t\t<string>OsselPeople_bench_%d</string>\n\t</array>\n"
            "\t<key>clipRating</key>\n\t<integer>%d</integer>\n"
            "\t<key>clipShootingDate</key>\n\t<date>20%02d-%02d-%02dT%02d:%02d:%02dZ</date>\n"
            "\t<key>clipVideoFormat</key>\n\t<string>DV PAL 4:3</string>\n"
            "</dict>\n</plist>\n",
            30 + i % 900, i % 100, i % 40, i, i, i % 7, i % 50, (i + 1) % 50, i % 6, i % 10, 1 + i % 12,
            1 + i % 28, i % 24, i % 60, (i * 7) % 60);
    }
};

Corpus& corpus() {
    static Corpus shared;
    return shared;
}

double toSeconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Timing {
    double wall = 0;  // seconds per file
    double cpu = 0;
};

// Each round reads the corpus with the reader alone, then runs the host over it,
// so that both see the same load on a shared machine; the ratios are per round.
struct Rounds {
    std::vector<Timing> reader, probed, host;
    std::vector<double> wallRatios, cpuRatios, probedRatios;
};

Rounds rounds;

// One run of the host over the whole corpus; false when it did not exit with 0.
// *cpuSeconds receives the child's user and system time.
bool runHost(const Corpus& c, double* cpuSeconds) {
    const std::string home = "HOME=" + (c.root / "home").string();
    std::vector<std::string> env = {home, "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string clips = (c.root / "Clips").string();
    const char* argv[] = {kHost.c_str(), "--json", "-r", clips.c_str(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, kHost.c_str(), &actions, nullptr, const_cast<char**>(argv), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    *cpuSeconds = toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

Timing readWithReaderAlone(const Corpus& c, bool* ok) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = processCpuSeconds();
    for (const auto& file : c.files) {
        auto plist = readPropertyListFromFile(file);
        if (!plist) *ok = false;
        benchmark::DoNotOptimize(plist);
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {wall / kClipCount, (processCpuSeconds() - cpuStart) / kClipCount};
}

// The reader plus the two existence tests every import makes when no catalog is
// found (three levels up, then ~/Movies/Ossel): the floor the import itself sets.
Timing readWithCatalogProbes(const Corpus& c, bool* ok) {
    const std::string upCandidate = (c.root / "People 2.xml").string();
    const std::string homeCandidate = (c.root / "home/Movies/Ossel/People 2.xml").string();
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = processCpuSeconds();
    for (const auto& file : c.files) {
        auto plist = readPropertyListFromFile(file);
        if (!plist) *ok = false;
        struct stat info {};
        if (::stat(upCandidate.c_str(), &info) == 0 || ::stat(homeCandidate.c_str(), &info) == 0) *ok = false;
        benchmark::DoNotOptimize(plist);
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {wall / kClipCount, (processCpuSeconds() - cpuStart) / kClipCount};
}

Timing importWithHost(const Corpus& c, bool* ok) {
    const auto start = std::chrono::steady_clock::now();
    double cpu = 0;
    if (!runHost(c, &cpu)) *ok = false;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {wall / kClipCount, cpu / kClipCount};
}

void BM_ReaderThenHost(benchmark::State& state) {
    const Corpus& c = corpus();
    for (auto _ : state) {
        bool ok = true;
        const Timing reader = readWithReaderAlone(c, &ok);
        const Timing probed = readWithCatalogProbes(c, &ok);
        const Timing host = importWithHost(c, &ok);
        if (!ok) {
            state.SkipWithError("a generated file did not read, or the host did not import every file");
            return;
        }
        state.SetIterationTime((reader.wall + probed.wall + host.wall) * kClipCount);
        rounds.reader.push_back(reader);
        rounds.probed.push_back(probed);
        rounds.host.push_back(host);
        rounds.probedRatios.push_back(probed.wall / reader.wall);
        rounds.wallRatios.push_back(host.wall / reader.wall);
        rounds.cpuRatios.push_back(host.cpu / reader.cpu);
    }
    std::vector<double> hostWall, readerWall;
    for (const auto& t : rounds.host) hostWall.push_back(t.wall);
    for (const auto& t : rounds.reader) readerWall.push_back(t.wall);
    state.counters["host_us_per_file"] = median(hostWall) * 1e6;
    state.counters["reader_us_per_file"] = median(readerWall) * 1e6;
    state.counters["ratio"] = median(rounds.wallRatios);
}

BENCHMARK(BM_ReaderThenHost)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (rounds.wallRatios.empty()) return 1;
    std::vector<double> hostWall, readerWall, hostCpu, readerCpu;
    for (const auto& t : rounds.host) {
        hostWall.push_back(t.wall);
        hostCpu.push_back(t.cpu);
    }
    for (const auto& t : rounds.reader) {
        readerWall.push_back(t.wall);
        readerCpu.push_back(t.cpu);
    }
    const double ratio = median(rounds.wallRatios);
    std::printf("time per file (median of %zu rounds): host %.2f us, reader alone %.2f us: ratio %.2f (limit 1.50) %s\n",
                rounds.wallRatios.size(), median(hostWall) * 1e6, median(readerWall) * 1e6, ratio,
                ratio <= 1.5 ? "ok" : "OVER");
    std::vector<double> probedWall;
    for (const auto& t : rounds.probed) probedWall.push_back(t.wall);
    std::printf("reader with the two catalog probes: %.2f us per file, ratio %.2f to the reader alone\n",
                median(probedWall) * 1e6, median(rounds.probedRatios));
    std::printf("processor time per file: host %.2f us, reader alone %.2f us: ratio %.2f\n", median(hostCpu) * 1e6,
                median(readerCpu) * 1e6, median(rounds.cpuRatios));
    return 0;
}
