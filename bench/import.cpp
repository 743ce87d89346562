// The host importing 10,000 generated clip annotation files (no catalog
// directory) with -r, JSON Lines to /dev/null, beside references over the same
// files in the same rounds:
//
// - the host without workers: this process walks the directory as the host
//   does (entries sorted, depth first), calls the plug-in's import for each
//   file through its factory and interface table with a fresh attribute
//   dictionary, and renders the same JSON record with the same writer. The
//   host's processor time (host and workers together, start-up excluded)
//   should stay within 1.15 times this: the price of worker processes,
//   batches, results and ordering, all of it;
// - the import alone over a list of the files (no walk, no record), to show
//   what walking and records cost in themselves;
// - the property-list reader alone: the host's processor time per file should
//   stay within 1.5 times it.
//
// Start-up is excluded by subtracting a run of the same host over one file.
// With two workers the host should import at least 1.6 times as many files per
// second (wall time) as with one, on a machine with two idle processors.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "JsonRecord.h"
#include "foundation/Format.h"
#include "foundation/PropertyList.h"
#include "platform/MDImporter.h"
#include "platform/PlugInBundle.h"

namespace fs = std::filesystem;
using namespace ossel;
using ossel::bench::Timing;

namespace {

constexpr int kClipCount = 10000;
const std::string kHost = OSSEL_BINARY_DIR "/ossel-mdimport";
const std::string kBundle = OSSEL_BINARY_DIR "/OsselImporter.mdimporter";

struct Corpus {
    fs::path root;  // holds home/, Clips/<year>/<clip>.plist and One/<clip>.plist
    std::vector<std::string> files;

    Corpus() {
        char pattern[] = "/tmp/ossel-bench-import-XXXXXX";
        root = mkdtemp(pattern);
        fs::create_directories(root / "home");
        fs::create_directories(root / "One");
        for (int i = 0; i < kClipCount; ++i) {
            const fs::path dir = root / "Clips" / std::to_string(2000 + i % 10);
            fs::create_directories(dir);
            const fs::path file = dir / format("clip-%05d.plist", i);
            std::ofstream(file) << clipText(i);
            files.push_back(file.string());
        }
        std::ofstream(root / "One" / "clip.plist") << clipText(0);
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

// The importer as the worker reaches it: bundle, factory, QueryInterface, table.
struct DirectImporter {
    std::unique_ptr<PlugInBundle> bundle;
    MDImporterInterfaceStruct** importer = nullptr;
    Ref<String> contentType;

    DirectImporter() {
        std::string error;
        bundle = PlugInBundle::load(kBundle, &error);
        if (!bundle) return;
        auto** unknown = static_cast<IUnknownVTbl**>(bundle->createInstanceForType(kMDImporterTypeID, &error));
        if (!unknown) return;
        void* found = nullptr;
        (*unknown)->QueryInterface(unknown, CFUUIDGetUUIDBytes(kMDImporterInterfaceID), &found);
        (*unknown)->Release(unknown);
        importer = static_cast<MDImporterInterfaceStruct**>(found);
        contentType = str(bundle->contentTypes().front());
    }
    ~DirectImporter() {
        if (importer) (*importer)->Release(importer);
    }
    bool import(const std::string& path, std::string* record = nullptr) const {
        const Ref<Dictionary> attributes = Dictionary::make();
        const Ref<String> file = str(path);
        const Boolean imported =
            (*importer)->ImporterImportData(importer, attributes.get(), contentType.get(), file.get());
        if (!imported) return false;
        if (record) JsonRecord::appendImported(*record, path, *attributes, std::nullopt);
        return true;
    }
};

// The host's walk: each directory's entries sorted by name, depth first.
void walk(const std::string& directory, const std::function<bool(const std::string&)>& visit, bool* ok) {
    DIR* stream = opendir(directory.c_str());
    if (!stream) {
        *ok = false;
        return;
    }
    std::vector<std::pair<std::string, unsigned char>> entries;
    while (const dirent* entry = readdir(stream)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") entries.emplace_back(name, entry->d_type);
    }
    closedir(stream);
    std::sort(entries.begin(), entries.end());
    for (const auto& [name, type] : entries) {
        const std::string path = directory + "/" + name;
        if (type == DT_DIR) {
            walk(path, visit, ok);
        } else if (!visit(path)) {
            *ok = false;
        }
    }
}

// One run of the host over `input`; false when it did not exit with 0. The
// processor time is the host's and that of the workers it waited for.
bool runHost(const Corpus& c, const std::string& input, int jobs, Timing* timing) {
    bench::HostEnvironment environment((c.root / "home").string());
    return bench::runProgram(kHost, {"--json", "-j", std::to_string(jobs), "-r", input}, timing, environment.get());
}

// Per file, start-up excluded: the run over the corpus less a run over one clip.
bool hostPerFile(const Corpus& c, int jobs, Timing* perFile) {
    Timing all, one;
    if (!runHost(c, (c.root / "Clips").string(), jobs, &all) || !runHost(c, (c.root / "One").string(), jobs, &one)) {
        return false;
    }
    *perFile = {(all.wall - one.wall) / (kClipCount - 1), (all.cpu - one.cpu) / (kClipCount - 1)};
    return true;
}

template <class Body>
Timing perFileInProcess(const Corpus& c, bool* ok, Body body) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = bench::processCpuSeconds();
    for (const auto& file : c.files) {
        if (!body(file)) *ok = false;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {wall / kClipCount, (bench::processCpuSeconds() - cpuStart) / kClipCount};
}

// Walk, import and record, all in this process: the host as it would be without workers.
Timing hostWithoutWorkers(const Corpus& c, const DirectImporter& importer, bool* ok) {
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::string output;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = bench::processCpuSeconds();
    walk((c.root / "Clips").string(), [&](const std::string& file) {
        if (!importer.import(file, &output)) return false;
        if (output.size() >= 64 * 1024) {
            benchmark::DoNotOptimize(write(devNull, output.data(), output.size()));
            output.clear();
        }
        return true;
    }, ok);
    benchmark::DoNotOptimize(write(devNull, output.data(), output.size()));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const Timing timing{wall / kClipCount, (bench::processCpuSeconds() - cpuStart) / kClipCount};
    close(devNull);
    return timing;
}

struct Rounds {
    std::vector<double> reader, direct, inProcess, host1, host2;  // processor time per file
    std::vector<double> inProcessRatios, directRatios, readerRatios, speedups;
};
Rounds rounds;

// Each round measures everything once, so that all see the same load on a shared
// machine; the ratios are taken per round.
void BM_HostBesideDirectImport(benchmark::State& state) {
    const Corpus& c = corpus();
    const DirectImporter direct;
    if (!direct.importer) {
        state.SkipWithError("the bundle did not load");
        return;
    }
    for (auto _ : state) {
        bool ok = true;
        const Timing reader = perFileInProcess(c, &ok, [](const std::string& file) {
            auto plist = readPropertyListFromFile(file);
            benchmark::DoNotOptimize(plist);
            return plist != nullptr;
        });
        const Timing imported = perFileInProcess(c, &ok, [&](const std::string& file) { return direct.import(file); });
        const Timing inProcess = hostWithoutWorkers(c, direct, &ok);
        Timing host1, host2;
        ok = ok && hostPerFile(c, 1, &host1) && hostPerFile(c, 2, &host2);
        if (!ok) {
            state.SkipWithError("a generated file did not import, or the host did not import every file");
            return;
        }
        state.SetIterationTime((reader.wall + imported.wall + host1.wall + host2.wall) * kClipCount);
        rounds.reader.push_back(reader.cpu);
        rounds.direct.push_back(imported.cpu);
        rounds.inProcess.push_back(inProcess.cpu);
        rounds.inProcessRatios.push_back(host1.cpu / inProcess.cpu);
        rounds.host1.push_back(host1.cpu);
        rounds.host2.push_back(host2.cpu);
        rounds.directRatios.push_back(host1.cpu / imported.cpu);
        rounds.readerRatios.push_back(host1.cpu / reader.cpu);
        rounds.speedups.push_back(host1.wall / host2.wall);
    }
    state.counters["host_cpu_us_per_file"] = bench::median(rounds.host1) * 1e6;
    state.counters["in_process_cpu_us_per_file"] = bench::median(rounds.inProcess) * 1e6;
    state.counters["ratio"] = bench::median(rounds.inProcessRatios);
}

BENCHMARK(BM_HostBesideDirectImport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (rounds.directRatios.empty()) return 1;
    const double toInProcess = bench::median(rounds.inProcessRatios);
    const double toReader = bench::median(rounds.readerRatios);
    const double speedup = bench::median(rounds.speedups);
    std::printf("processor time per file (median of %zu rounds): host -j 1 %.2f us (workers included, start-up "
                "excluded); without workers %.2f us; import alone %.2f us; reader alone %.2f us\n",
                rounds.inProcessRatios.size(), bench::median(rounds.host1) * 1e6, bench::median(rounds.inProcess) * 1e6,
                bench::median(rounds.direct) * 1e6, bench::median(rounds.reader) * 1e6);
    std::printf("host -j 1 to the host without workers: %.2f (limit 1.15) %s\n", toInProcess,
                toInProcess <= 1.15 ? "ok" : "OVER");
    std::printf("host -j 1 to the import alone:         %.2f\n", bench::median(rounds.directRatios));
    std::printf("host -j 1 to the reader alone:         %.2f (limit 1.50) %s\n", toReader,
                toReader <= 1.5 ? "ok" : "OVER");
    std::printf("files per second, -j 2 to -j 1 (wall): %.2f (limit 1.60 on two idle processors) %s\n", speedup,
                speedup >= 1.6 ? "ok" : "UNDER");
    std::printf("host -j 2 processor time per file: %.2f us\n", bench::median(rounds.host2) * 1e6);
    return 0;
}
