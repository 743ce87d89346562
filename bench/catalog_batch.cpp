// A batch as a user's re-index meets it: 10,000 clips beside a catalog of
// 10,000 people, 2,000 places and 1,000 events (each clip naming 1-4 people,
// 0-1 place and 0-2 events), imported by the real host (`--json -r`, output to
// /dev/null), beside the same clips where no catalog can be found. With the
// catalog the host should import at least half as many clips per second.
//
// Then the memory a large catalog costs: a fresh process imports a clip against
// a people catalog of about 190 MB (OSSEL_BENCH_CATALOG_MB sets it; 0 skips it),
// which makes the plug-in index the whole file, then a second clip that finds
// the index kept. Peak and held memory, over the file's size, should stay
// within 3.

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "CatalogGenerator.h"
#include "foundation/PropertyList.h"
#include "platform/MDImporter.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace ossel;

namespace {

constexpr int kClipCount = 10000;
const std::string kHost = OSSEL_BINARY_DIR "/ossel-mdimport";
const std::string kPlugin = OSSEL_BINARY_DIR "/OsselImporter.mdimporter/Contents/MacOS/OsselImporter.so";

struct Corpus {
    fs::path root;  // home/, Ossel/ with the catalog and Clips/, Bare/Clips/ without
    std::string problem;

    Corpus() {
        char pattern[] = "/tmp/ossel-bench-catalog-batch-XXXXXX";
        root = mkdtemp(pattern);
        fs::create_directories(root / "home");
        bench::BatchCatalog catalog;
        if (!catalog.write(root / "Ossel", &problem)) return;
        std::mt19937 random(42);
        for (int i = 0; i < kClipCount; ++i) {
            const auto clip = catalog.makeClip(random, i);
            const std::string relative = format("Clips/%d/clip-%05d.plist", 2000 + i % 10, i);
            for (const fs::path& base : {root / "Ossel", root / "Bare"}) {
                fs::create_directories((base / relative).parent_path());
                if (!writePropertyListToFile(clip.get(), (base / relative).string(), false, &problem)) return;
            }
        }
    }
    ~Corpus() { fs::remove_all(root); }
};

Corpus& corpus() {
    static Corpus shared;
    return shared;
}

// The host over one clip directory; false unless it exits with 0.
bool runHost(const Corpus& c, const fs::path& clips, bench::Timing* run) {
    bench::HostEnvironment environment((c.root / "home").string());
    return bench::runProgram(kHost, {"--json", "-r", clips.string()}, run, environment.get());
}

std::vector<double> wallRatios, cpuRatios, withCatalog, withoutCatalog;

// Each round runs the host without, then with the catalog, so that both see the same load.
void BM_HostBatch(benchmark::State& state) {
    const Corpus& c = corpus();
    if (!c.problem.empty()) return state.SkipWithError(c.problem.c_str());
    for (auto _ : state) {
        bench::Timing bare, full;
        if (!runHost(c, c.root / "Bare" / "Clips", &bare) || !runHost(c, c.root / "Ossel" / "Clips", &full)) {
            return state.SkipWithError("the host did not import every clip");
        }
        state.SetIterationTime(bare.wall + full.wall);
        withoutCatalog.push_back(kClipCount / bare.wall);
        withCatalog.push_back(kClipCount / full.wall);
        wallRatios.push_back(bare.wall / full.wall);
        cpuRatios.push_back(bare.cpu / full.cpu);
    }
    state.counters["clips_per_s_with_catalog"] = bench::median(withCatalog);
    state.counters["clips_per_s_without"] = bench::median(withoutCatalog);
}

BENCHMARK(BM_HostBatch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Resident and peak memory in bytes, from /proc.
size_t statusBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) return std::stoul(line.substr(std::string(field).size())) * 1024;
    }
    return 0;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// In a fresh process: the plug-in's memory for two imports against a large catalog.
int measureCatalogMemory(const char* catalogDir) {
    void* module = dlopen(kPlugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    using Import = Boolean (*)(void*, CFMutableDictionaryRef, CFStringRef, CFStringRef);
    const auto import = module ? reinterpret_cast<Import>(dlsym(module, "GetMetadataForFile")) : nullptr;
    if (!import) return std::fprintf(stderr, "cannot load %s\n", kPlugin.c_str()), 1;
    const fs::path dir = catalogDir;
    const double fileSize = double(fs::file_size(dir / "People 2.xml"));
    auto importClip = [&](const char* name) {
        Dictionary attributes;
        return import(nullptr, &attributes, nullptr, str((dir / "Clips" / "2008" / name).string()).get()) &&
               attributes.containsKey("kMDItemKeywords");
    };
    malloc_trim(0);
    const double base = double(statusBytes("VmRSS:"));
    resetPeak();
    const auto start = std::chrono::steady_clock::now();
    if (!importClip("first.plist")) return std::fprintf(stderr, "the first import found no records\n"), 1;
    const double firstSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!importClip("second.plist")) return std::fprintf(stderr, "the second import found no records\n"), 1;
    const double peak = double(statusBytes("VmHWM:")) - base;
    malloc_trim(0);
    const double held = double(statusBytes("VmRSS:")) - base;
    std::printf("catalog memory, people file %.0f MB read and indexed in %.2f s: peak %.2fx the file, held after "
                "%.2fx (limit 3.00) %s\n",
                fileSize / 1e6, firstSeconds, peak / fileSize, held / fileSize, peak <= 3 * fileSize ? "ok" : "OVER");
    return 0;
}

void catalogMemory(const char* self) {
    const char* setting = std::getenv("OSSEL_BENCH_CATALOG_MB");
    const double megabytes = setting ? std::atof(setting) : 190;
    if (megabytes <= 0) return;
    char pattern[] = "/tmp/ossel-bench-catalog-memory-XXXXXX";
    const fs::path dir = mkdtemp(pattern);
    fs::create_directories(dir / "Clips" / "2008");
    {
        // About 650 bytes of XML a person.
        const auto people = bench::makePeopleCatalog(int(megabytes * 1e6 / 650));
        std::string problem;
        bool ok = writePropertyListToFile(people.get(), (dir / "People 2.xml").string(), false, &problem);
        for (const char* name : {"first.plist", "second.plist"}) {
            auto clip = Dictionary::make();
            auto ids = Array::make();
            for (size_t i : {size_t(17), people->count() / 2, people->count() - 1}) {
                ids->addObject(std::static_pointer_cast<Dictionary>(people->objectAtIndex(i))->objectForKey("peopleId"));
            }
            clip->setObject(ids, "clipPeopleIds");
            ok = ok && writePropertyListToFile(clip.get(), (dir / "Clips" / "2008" / name).string(), false, &problem);
        }
        if (!ok) std::fprintf(stderr, "cannot write the large catalog: %s\n", problem.c_str());
    }
    bench::age(dir / "People 2.xml");
    const std::string catalogDir = dir.string();
    const char* argv[] = {self, "--catalog-memory", catalogDir.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, const_cast<char**>(argv), environ) == 0) waitpid(pid, nullptr, 0);
    fs::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--catalog-memory") return measureCatalogMemory(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!wallRatios.empty()) {
        const double ratio = bench::median(wallRatios);
        std::printf("clips per second (median of %zu rounds): with the catalog %.0f, without %.0f: ratio %.2f "
                    "(at least 0.50) %s; processor time ratio %.2f\n",
                    wallRatios.size(), bench::median(withCatalog), bench::median(withoutCatalog), ratio, ratio >= 0.5 ? "ok" : "LOW",
                    bench::median(cpuRatios));
    }
    std::fflush(stdout);
    catalogMemory(argv[0]);
    return 0;
}
