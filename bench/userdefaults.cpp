// The user-defaults write that the id generators make for every id they hand
// out, beside its floor: writing the same bytes to a temporary file, syncing it
// and renaming it over the store, which any durable atomic replacement costs.
// Also the cached read (one stat) beside a bare stat. Each pair runs on the
// disk (the temporary directory) and, where there is one, on a memory file
// system, where the sync is free and the library's own work shows.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "foundation/UserDefaults.h"

namespace {

using namespace ossel;
namespace fs = std::filesystem;

// The five generator counters, as a store that has been in use holds them.
constexpr const char* kCounterKeys[] = {
    "com.tollendra.GravelmothDV.ClipSequenceId", "com.tollendra.GravelmothDV.ClipId", "com.tollendra.PeopleIdGenerator",
    "com.tollendra.PlaceIdGenerator", "com.tollendra.eventIdGenerator",
};

std::string makeDirectory(const fs::path& parent) {
    std::string pattern = (parent / "bench-defaults-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return {};
    return pattern;
}

fs::path directoryFor(int64_t onMemory) {
    return onMemory && fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
}

void seed(UserDefaults& defaults) {
    for (const char* key : kCounterKeys) defaults.setInteger(1000, key);
}

void BM_SetInteger(benchmark::State& state) {
    const std::string dir = makeDirectory(directoryFor(state.range(0)));
    UserDefaults defaults(dir + "/defaults.plist");
    seed(defaults);
    int64_t next = 1000;
    for (auto _ : state) {
        if (!defaults.setInteger(++next, kCounterKeys[1])) state.SkipWithError("write failed");
    }
    fs::remove_all(dir);
}

void BM_Reference_WriteSyncRename(benchmark::State& state) {
    const std::string dir = makeDirectory(directoryFor(state.range(0)));
    auto dictionary = Dictionary::make();
    for (const char* key : kCounterKeys) dictionary->setObject(Number::withInt(1000), key);
    const std::string xml = xmlPropertyListData(dictionary.get());
    const std::string path = dir + "/defaults.plist";
    const std::string temporary = path + ".tmp";
    for (auto _ : state) {
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const bool ok = fd >= 0 && ::write(fd, xml.data(), xml.size()) == static_cast<ssize_t>(xml.size()) &&
                        ::fsync(fd) == 0;
        if (fd >= 0) ::close(fd);
        if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) state.SkipWithError("write failed");
    }
    fs::remove_all(dir);
}

void BM_IntegerForKey(benchmark::State& state) {
    const std::string dir = makeDirectory(directoryFor(state.range(0)));
    UserDefaults defaults(dir + "/defaults.plist");
    seed(defaults);
    for (auto _ : state) benchmark::DoNotOptimize(defaults.integerForKey(kCounterKeys[1]));
    fs::remove_all(dir);
}

void BM_Reference_Stat(benchmark::State& state) {
    const std::string dir = makeDirectory(directoryFor(state.range(0)));
    UserDefaults defaults(dir + "/defaults.plist");
    seed(defaults);
    const std::string path = defaults.path();
    for (auto _ : state) {
        struct stat st{};
        benchmark::DoNotOptimize(::stat(path.c_str(), &st));
    }
    fs::remove_all(dir);
}

// Argument: 0 on the disk, 1 on a memory file system.
BENCHMARK(BM_SetInteger)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reference_WriteSyncRename)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IntegerForKey)->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_Reference_Stat)->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
