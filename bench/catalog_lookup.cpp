// One import of a clip that names three people, one place and two events,
// against catalogs of 200 records of each kind, beside the foundation's
// property-list reader alone reading the same four files. The import goes
// through the built plug-in's GetMetadataForFile, as the host would call it;
// it should stay within 1.3 times the reader's time. Before each import the
// catalog files are given a new modification time, untimed, so that the
// plug-in must read them again rather than use what it kept from the last one.

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "CatalogGenerator.h"
#include "foundation/Format.h"
#include "foundation/PropertyList.h"
#include "platform/MDImporter.h"
#include "platform/MDItem.h"

namespace fs = std::filesystem;
using namespace ossel;

namespace {

constexpr int kRecordsPerCatalog = 200;
const std::string kPlugin = OSSEL_BINARY_DIR "/OsselImporter.mdimporter/Contents/MacOS/OsselImporter.so";

using GetMetadataFunction = Boolean (*)(void*, CFMutableDictionaryRef, CFStringRef, CFStringRef);

Ref<Array> idsOf(const Array& catalog, const char* idKey, std::initializer_list<size_t> positions) {
    auto ids = Array::make();
    for (const size_t i : positions) {
        ids->addObject(std::dynamic_pointer_cast<Dictionary>(catalog.objectAtIndex(i))->objectForKey(idKey));
    }
    return ids;
}

struct Fixture {
    fs::path root;
    std::string clip;
    std::vector<std::string> files;  // the clip, then the three catalogs
    GetMetadataFunction import = nullptr;
    std::string problem;

    Fixture() {
        char pattern[] = "/tmp/ossel-bench-catalog-XXXXXX";
        root = mkdtemp(pattern);
        const fs::path catalogDir = root / "Ossel";
        fs::create_directories(catalogDir / "Clips" / "2008");
        const auto people = bench::makePeopleCatalog(kRecordsPerCatalog);
        const auto places = bench::makeRecordCatalog(bench::kPlaceShape, kRecordsPerCatalog, 7);
        const auto events = bench::makeRecordCatalog(bench::kEventShape, kRecordsPerCatalog, 11);

        auto annotation = Dictionary::make();
        annotation->setObject(str("Harbour at dawn"), "clipName");
        annotation->setObject(str("Handheld, morning light."), "clipNotes");
        annotation->setObject(Number::withInt(4), "clipRating");
        annotation->setObject(idsOf(*people, "peopleId", {17, 150, 3}), "clipPeopleIds");
        annotation->setObject(idsOf(*places, "placeId", {199}), "clipPlaceIds");
        annotation->setObject(idsOf(*events, "eventId", {0, 88}), "clipEventIds");

        clip = (catalogDir / "Clips" / "2008" / "harbour.plist").string();
        files = {clip, (catalogDir / "People 2.xml").string(), (catalogDir / "Places 2.xml").string(),
                 (catalogDir / "Events 2.xml").string()};
        const Object* contents[] = {annotation.get(), people.get(), places.get(), events.get()};
        for (size_t i = 0; i < files.size(); ++i) {
            if (!writePropertyListToFile(contents[i], files[i], true, &problem)) return;
        }
        void* module = dlopen(kPlugin.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            problem = format("%@: %@", kPlugin, dlerror());
            return;
        }
        import = reinterpret_cast<GetMetadataFunction>(dlsym(module, "GetMetadataForFile"));
        if (!import) problem = "GetMetadataForFile not exported";
    }
    ~Fixture() { fs::remove_all(root); }
};

Fixture& fixture() {
    static Fixture shared;
    return shared;
}

// Wall time and this thread's CPU time per iteration. On a shared machine the
// CPU time is the steadier of the two; both ratios are reported.
struct Timing {
    double wall = 0;
    double cpu = 0;
};
Timing importTiming;
Timing readerTiming;

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <class Body>
void timed(benchmark::State& state, Timing* perIteration, Body body, const std::function<void()>& untimed = {}) {
    Timing total;
    for (auto _ : state) {
        if (untimed) untimed();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = threadCpuSeconds();
        if (!body()) return;
        total.cpu += threadCpuSeconds() - cpuStart;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        total.wall += seconds;
    }
    const auto n = static_cast<double>(state.iterations());
    *perIteration = {total.wall / n, total.cpu / n};
}

bool readFourFiles(benchmark::State& state, const Fixture& f) {
    for (const auto& file : f.files) {
        auto plist = readPropertyListFromFile(file);
        if (!plist) {
            state.SkipWithError("a generated file did not read");
            return false;
        }
        benchmark::DoNotOptimize(plist);
    }
    return true;
}

// A new modification time, well in the past, on each catalog file: the same
// contents under a new identity.
void changeCatalogs(const Fixture& f) {
    static time_t when = time(nullptr) - 86400;
    const timespec times[2] = {{0, UTIME_OMIT}, {++when, 0}};
    for (size_t i = 1; i < f.files.size(); ++i) utimensat(AT_FDCWD, f.files[i].c_str(), times, 0);
}

bool importClip(benchmark::State& state, const Fixture& f, const String& path) {
    Dictionary attributes;
    if (!f.import(nullptr, &attributes, nullptr, &path)) {
        state.SkipWithError("the import failed");
        return false;
    }
    // Three people (nick, first, last), a place (name, country) and two events (name).
    const auto keywords = attributes.objectForKeyAs<Array>(kMDItemKeywords);
    if (!keywords || keywords->count() < 8 || !attributes.containsKey(kMDItemTextContent)) {
        state.SkipWithError("the import found no catalog records");
        return false;
    }
    benchmark::DoNotOptimize(keywords);
    return true;
}

void BM_ReadFourFiles(benchmark::State& state) {
    const Fixture& f = fixture();
    if (!f.problem.empty()) return state.SkipWithError(f.problem.c_str());
    timed(state, &readerTiming, [&] { return readFourFiles(state, f); });
}

void BM_ImportWithCatalogLookup(benchmark::State& state) {
    const Fixture& f = fixture();
    if (!f.problem.empty()) return state.SkipWithError(f.problem.c_str());
    const auto path = str(f.clip);
    timed(state, &importTiming, [&] { return importClip(state, f, *path); }, [&] { changeCatalogs(f); });
}

// The two side by side in every iteration, so that both see the same machine
// load; the medians of their CPU times give the headline ratio.
std::vector<double> pairedReader, pairedImport;

void BM_Paired(benchmark::State& state) {
    const Fixture& f = fixture();
    if (!f.problem.empty()) return state.SkipWithError(f.problem.c_str());
    const auto path = str(f.clip);
    for (auto _ : state) {
        double start = threadCpuSeconds();
        if (!readFourFiles(state, f)) return;
        pairedReader.push_back(threadCpuSeconds() - start);
        changeCatalogs(f);
        start = threadCpuSeconds();
        if (!importClip(state, f, *path)) return;
        pairedImport.push_back(threadCpuSeconds() - start);
    }
}

BENCHMARK(BM_ReadFourFiles)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_ImportWithCatalogLookup)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_Paired)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (importTiming.cpu > 0 && readerTiming.cpu > 0) {
        std::printf("separate runs: import %.1f us (cpu %.1f us), four files read alone %.1f us (cpu %.1f us): "
                    "ratio %.2f wall, %.2f cpu\n",
                    importTiming.wall * 1e6, importTiming.cpu * 1e6, readerTiming.wall * 1e6, readerTiming.cpu * 1e6,
                    importTiming.wall / readerTiming.wall, importTiming.cpu / readerTiming.cpu);
    }
    const double reader = bench::median(pairedReader), import = bench::median(pairedImport);
    if (reader > 0 && import > 0) {
        const double ratio = import / reader;
        std::printf("paired medians over %zu iterations: import %.1f us cpu, four files read alone %.1f us cpu: "
                    "ratio %.2f (limit 1.30) %s\n",
                    pairedImport.size(), import * 1e6, reader * 1e6, ratio, ratio <= 1.3 ? "ok" : "OVER");
    }
    return 0;
}
