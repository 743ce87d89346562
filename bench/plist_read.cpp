// Reading a 50,000-person catalog (about 32 MB of XML) and its binary form, each
// beside its reference measured in the same run: pugixml's bare DOM parse and
// libplist for XML, libplist for binary. After the timings it prints the ratios
// and the memory the parsed catalog holds and the read's peak, counted by a
// replacement operator new and pugixml's allocation hooks.
//
// Also binary files that share containers: one dictionary referred to 5,000
// times (5 million objects once expanded), read immutably (shared) and mutably
// (copied), beside libplist; and a crafted file that would expand to 2^40
// objects, which must be refused quickly and cheaply.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <algorithm>
#include <new>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "CatalogGenerator.h"
#include "foundation/PropertyList.h"
#include "../tests/foundation/BinaryPlistBuilder.h"

#ifdef OSSEL_HAVE_LIBPLIST
#include <plist/plist.h>
#endif

// ---- allocation counting -------------------------------------------------

namespace {

size_t gCurrent = 0;
size_t gPeak = 0;
bool gCounting = false;  // only while memory is measured, so that timings pay nothing

void* countedMalloc(size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (p && gCounting) {
        gCurrent += malloc_usable_size(p);
        if (gCurrent > gPeak) gPeak = gCurrent;
    }
    return p;
}

void countedFree(void* p) {
    if (!p) return;
    if (gCounting) gCurrent -= std::min(gCurrent, malloc_usable_size(p));
    std::free(p);
}

}  // namespace

void* operator new(size_t n) {
    if (void* p = countedMalloc(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) {
    if (void* p = countedMalloc(n)) return p;
    throw std::bad_alloc();
}
void* operator new(size_t n, const std::nothrow_t&) noexcept { return countedMalloc(n); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return countedMalloc(n); }
void operator delete(void* p) noexcept { countedFree(p); }
void operator delete[](void* p) noexcept { countedFree(p); }
void operator delete(void* p, size_t) noexcept { countedFree(p); }
void operator delete[](void* p, size_t) noexcept { countedFree(p); }

namespace {

using namespace ossel;

inline constexpr int kPeople = 50000;

struct Inputs {
    std::string xml;
    std::vector<uint8_t> binary;
};

const Inputs& inputs() {
    static const Inputs in = [] {
        Inputs made;
        const Ref<Array> catalog = bench::makePeopleCatalog(kPeople);
        made.xml = xmlPropertyListData(catalog.get());
#ifdef OSSEL_HAVE_LIBPLIST
        // The binary form as a real writer makes it, strings and numbers shared.
        plist_t root = nullptr;
        plist_from_xml(made.xml.data(), static_cast<uint32_t>(made.xml.size()), &root);
        char* bin = nullptr;
        uint32_t length = 0;
        plist_to_bin(root, &bin, &length);
        made.binary.assign(bin, bin + length);
        std::free(bin);
        plist_free(root);
#else
        made.binary = testing::encodeBinaryPlist(catalog.get());
#endif
        return made;
    }();
    return in;
}

// [{"a": [0, 1, ..., 999]}] * 5000, as a writer that shares containers lays it out.
std::vector<uint8_t> makeSharedFile() {
    std::vector<std::vector<uint8_t>> objects(4);
    const auto refs = [](std::vector<uint8_t>& out, uint64_t from, uint64_t count, uint64_t step) {
        for (uint64_t i = 0; i < count; ++i) testing::appendBigEndian(out, from + i * step, 2);
    };
    testing::appendMarker(objects[0], 0xA, 5000);
    refs(objects[0], 1, 5000, 0);
    objects[1] = {0xD1, 0, 2, 0, 3};
    objects[2] = {0x51, 'a'};
    testing::appendMarker(objects[3], 0xA, 1000);
    refs(objects[3], 4, 1000, 1);
    for (uint64_t i = 0; i < 1000; ++i) {
        std::vector<uint8_t> number{0x11};
        testing::appendBigEndian(number, i, 2);
        objects.push_back(number);
    }
    return testing::assembleBinary(objects, {.refSize = 2});
}

// Forty arrays, each holding the next one twice.
std::vector<uint8_t> makeBombFile() {
    std::vector<std::vector<uint8_t>> objects;
    for (uint8_t i = 0; i < 40; ++i) objects.push_back({0xA2, uint8_t(i + 1), uint8_t(i + 1)});
    objects.push_back({0x54, 'l', 'e', 'a', 'f'});
    return testing::assembleBinary(objects);
}

const std::vector<uint8_t>& sharedFile() {
    static const auto bytes = makeSharedFile();
    return bytes;
}

const std::vector<uint8_t>& bombFile() {
    static const auto bytes = makeBombFile();
    return bytes;
}

std::span<const uint8_t> xmlBytes() {
    const auto& x = inputs().xml;
    return {reinterpret_cast<const uint8_t*>(x.data()), x.size()};
}

// glibc defers part of the work of freeing a million small blocks to the next large
// allocation, which would bill the next read for the previous one's free: finish it here.
// One largish request makes it consolidate now (malloc_trim would also hand the pages
// back to the system and bill the next read for faulting them in again).
void settleHeap() {
    void* block = std::malloc(64 * 1024);
    benchmark::DoNotOptimize(block);
    std::free(block);
}

void setBytes(benchmark::State& state, size_t n) { state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n)); }

// Times one read per iteration; freeing its result is not part of reading it.
template <class Read>
void timeReads(benchmark::State& state, Read read) {
    for (auto _ : state) {
        Ref<Object> root = read();
        if (!root) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(root);
        state.PauseTiming();
        root.reset();
        settleHeap();
        state.ResumeTiming();
    }
}

void BM_XmlRead_Ossel(benchmark::State& state) {
    timeReads(state, [] { return readPropertyList(xmlBytes()); });
    setBytes(state, inputs().xml.size());
}

void BM_XmlRead_PugixmlDom(benchmark::State& state) {
    for (auto _ : state) {
        auto document = std::make_unique<pugi::xml_document>();
        const auto result = document->load_buffer(inputs().xml.data(), inputs().xml.size());
        if (!result) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(document);
        state.PauseTiming();
        document.reset();
        settleHeap();
        state.ResumeTiming();
    }
    setBytes(state, inputs().xml.size());
}

void BM_BinaryRead_Ossel(benchmark::State& state) {
    timeReads(state, [] { return readPropertyList(inputs().binary); });
    setBytes(state, inputs().binary.size());
}

// Argument: 0 immutable (shared containers), 1 mutable (a copy per reference).
void BM_SharedRead_Ossel(benchmark::State& state) {
    const PropertyListReadOptions options{.mutableContainers = state.range(0) != 0};
    timeReads(state, [&] { return readPropertyList(sharedFile(), nullptr, options); });
}

void BM_BombRefused_Ossel(benchmark::State& state) {
    const PropertyListReadOptions options{.mutableContainers = state.range(0) != 0};
    for (auto _ : state) {
        if (readPropertyList(bombFile(), nullptr, options)) state.SkipWithError("the crafted file was read");
    }
}

BENCHMARK(BM_XmlRead_Ossel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlRead_PugixmlDom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BinaryRead_Ossel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SharedRead_Ossel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BombRefused_Ossel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

#ifdef OSSEL_HAVE_LIBPLIST
template <class Parse>
void timeLibplist(benchmark::State& state, Parse parse) {
    for (auto _ : state) {
        plist_t root = nullptr;
        parse(&root);
        if (!root) state.SkipWithError("parse failed");
        state.PauseTiming();
        plist_free(root);
        settleHeap();
        state.ResumeTiming();
    }
}

void fromBinary(const std::vector<uint8_t>& bytes, plist_t* root) {
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), root);
}

void BM_XmlRead_Libplist(benchmark::State& state) {
    const auto& xml = inputs().xml;
    timeLibplist(state, [&](plist_t* root) { plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), root); });
    setBytes(state, xml.size());
}

void BM_BinaryRead_Libplist(benchmark::State& state) {
    timeLibplist(state, [](plist_t* root) { fromBinary(inputs().binary, root); });
    setBytes(state, inputs().binary.size());
}

void BM_SharedRead_Libplist(benchmark::State& state) {
    timeLibplist(state, [](plist_t* root) { fromBinary(sharedFile(), root); });
}

BENCHMARK(BM_XmlRead_Libplist)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BinaryRead_Libplist)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SharedRead_Libplist)->Unit(benchmark::kMillisecond);
#endif

// Keeps every run's time so that the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                // Processor time: on a shared machine wall time mostly measures the neighbours.
                // With --benchmark_repetitions the fastest repetition counts: noise only ever adds time.
                const std::string name = run.run_name.str();
                const double t = run.GetAdjustedCPUTime();
                if (!times.count(name) || t < times[name]) times[name] = t;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

void printRatio(const RatioReporter& r, const char* what, const char* ours, const char* reference, const char* target) {
    const auto a = r.times.find(ours), b = r.times.find(reference);
    if (a == r.times.end() || b == r.times.end()) {
        std::printf("  %-44s  (reference not measured)\n", what);
        return;
    }
    std::printf("  %-44s  %6.2f   target %s\n", what, b->second / a->second, target);
}

struct MemoryFigures {
    size_t held = 0;
    size_t peak = 0;
};

template <class F>
MemoryFigures measure(F read) {
    gCounting = true;
    gCurrent = gPeak = 0;
    Ref<Object> root = read();
    MemoryFigures m{gCurrent, gPeak};
    root.reset();
    gCounting = false;
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    pugi::set_memory_management_functions(countedMalloc, countedFree);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const auto& in = inputs();
    std::printf("catalog: %d people, XML %.1f MB, binary %.1f MB\n", kPeople, in.xml.size() / 1e6, in.binary.size() / 1e6);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nspeed (reference CPU time / our CPU time, freeing the result not timed; above 1: we are faster):\n");
    printRatio(reporter, "XML read vs libplist plist_from_xml", "BM_XmlRead_Ossel", "BM_XmlRead_Libplist", ">= 3");
    printRatio(reporter, "XML read vs pugixml DOM parse", "BM_XmlRead_Ossel", "BM_XmlRead_PugixmlDom",
               ">= 0.4 (within 2.5x)");
    printRatio(reporter, "binary read vs libplist plist_from_bin", "BM_BinaryRead_Ossel", "BM_BinaryRead_Libplist",
               ">= 2");

    const MemoryFigures xml = measure([&] { return readPropertyList(xmlBytes()); });
    const MemoryFigures bin = measure([&] { return readPropertyList(in.binary); });
    std::printf("\nmemory (counted allocations, malloc's usable sizes):\n");
    std::printf("  XML catalog held after the read: %7.1f MB = %.2f x the file   target <= 3\n", xml.held / 1e6,
                double(xml.held) / double(in.xml.size()));
    std::printf("  XML read peak:                   %7.1f MB = %.2f x the file\n", xml.peak / 1e6,
                double(xml.peak) / double(in.xml.size()));
    std::printf("  binary catalog held:             %7.1f MB = %.2f x the XML file\n", bin.held / 1e6,
                double(bin.held) / double(in.xml.size()));
    std::printf("  binary read peak:                %7.1f MB\n", bin.peak / 1e6);

    std::printf("\nshared containers (file of %.1f kB, 5 million objects expanded; crafted file of %zu bytes):\n",
                sharedFile().size() / 1e3, bombFile().size());
    for (const bool copies : {false, true}) {
        const MemoryFigures shared = measure([&] { return readPropertyList(sharedFile(), nullptr, {.mutableContainers = copies}); });
        const MemoryFigures bomb = measure([&] { return readPropertyList(bombFile(), nullptr, {.mutableContainers = copies}); });
        std::printf("  %-9s shared read held %7.1f MB, peak %7.1f MB; crafted file refused with a peak of %5.1f kB\n",
                    copies ? "mutable" : "immutable", shared.held / 1e6, shared.peak / 1e6, bomb.peak / 1e3);
    }
    // libplist copies a shared container for each reference, as our mutable read must.
    printRatio(reporter, "mutable shared read vs libplist", "BM_SharedRead_Ossel/1", "BM_SharedRead_Libplist", "");
    printRatio(reporter, "immutable (shared) read vs libplist", "BM_SharedRead_Ossel/0", "BM_SharedRead_Libplist", "");
    benchmark::Shutdown();
    return 0;
}
