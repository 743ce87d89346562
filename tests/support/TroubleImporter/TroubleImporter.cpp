// An importer bundle for the host's tests and benchmark: it misbehaves on
// request and otherwise hands each file to the real importer, loaded from its
// own bundle. A file whose name starts with
//   trouble-crash     crashes (SIGSEGV),
//   trouble-hang      never returns,
//   trouble-exit      calls exit(7),
//   trouble-allocate  allocates without end,
//   trouble-sabotage  imports normally, but first replaces its sibling
//                     "victim-fifo.plist" by a FIFO, truncates "victim-truncated.plist"
//                     and removes "victim-vanished.plist", as other programs may
//                     while a walk is under way;
// and a clip whose catalog directory (three levels up) holds a "People 2.xml"
// that starts with "CRASH" crashes while "reading" it, unless the host's
// catalog read hook declines the read.

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "importer/ImporterCatalogInterface.h"
#include "platform/MDImporter.h"

using namespace ossel;

#define TROUBLE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

template <class Function>
Function realFunction(const char* name) {
    static void* const module = dlopen(OSSEL_REAL_IMPORTER, RTLD_NOW | RTLD_LOCAL);
    return module ? reinterpret_cast<Function>(dlsym(module, name)) : nullptr;
}

OsselCatalogReadHook catalogHook = nullptr;
void* catalogHookContext = nullptr;
const MDImporterInterfaceStruct* realTable = nullptr;
MDImporterInterfaceStruct troubleTable;

[[noreturn]] void allocateWithoutEnd() {
    static std::vector<char*> blocks;
    for (;;) {
        char* block = new char[1 << 20];
        std::memset(block, 1, 1 << 20);
        blocks.push_back(block);
        // Slow enough that a sanitizer sampling the resident size stops it near its limit.
        ::usleep(500);
    }
}

void sabotageSiblings(const std::filesystem::path& clip) {
    const std::filesystem::path directory = clip.parent_path();
    std::error_code ignored;
    std::filesystem::remove(directory / "victim-fifo.plist", ignored);
    ::mkfifo((directory / "victim-fifo.plist").c_str(), 0644);
    std::filesystem::resize_file(directory / "victim-truncated.plist", 10, ignored);
    std::filesystem::remove(directory / "victim-vanished.plist", ignored);
}

void crashIfTheCatalogSaysSo(const std::filesystem::path& clip) {
    const std::filesystem::path catalog = clip.parent_path().parent_path().parent_path() / "People 2.xml";
    std::ifstream in(catalog);
    char head[5] = {};
    if (!in.read(head, sizeof head) || std::memcmp(head, "CRASH", sizeof head) != 0) return;
    if (catalogHook && !catalogHook(catalog.c_str(), catalogHookContext)) return;
    std::raise(SIGSEGV);
}

Boolean troubleImport(void* self, CFMutableDictionaryRef attributes, CFStringRef type, CFStringRef path) {
    const std::filesystem::path clip = path ? path->utf8() : std::string();
    const std::string name = clip.filename().string();
    if (name.starts_with("trouble-crash")) std::raise(SIGSEGV);
    if (name.starts_with("trouble-hang")) {
        for (;;) ::pause();
    }
    if (name.starts_with("trouble-exit")) std::exit(7);
    if (name.starts_with("trouble-allocate")) allocateWithoutEnd();
    if (name.starts_with("trouble-sabotage")) sabotageSiblings(clip);
    crashIfTheCatalogSaysSo(clip);
    return realTable->ImporterImportData(self, attributes, type, path);
}

}  // namespace

// The real importer's instance with this bundle's table: the host still talks
// to the real factory's object, through the table the instance points to.
TROUBLE_EXPORT void* TroubleImporterPluginFactory(CFAllocatorRef allocator, CFUUIDRef typeID) {
    const auto factory = realFunction<CFPlugInFactoryFunction>("MetadataImporterPluginFactory");
    void* instance = factory ? factory(allocator, typeID) : nullptr;
    if (!instance) return nullptr;
    auto** table = static_cast<const MDImporterInterfaceStruct**>(instance);
    realTable = *table;
    troubleTable = *realTable;
    troubleTable.ImporterImportData = troubleImport;
    *table = &troubleTable;
    return instance;
}

TROUBLE_EXPORT void OsselImporterSetCatalogReadHook(OsselCatalogReadHook hook, void* context) {
    catalogHook = hook;
    catalogHookContext = context;
    if (const auto real = realFunction<OsselImporterSetCatalogReadHookFunction>(kOsselImporterSetCatalogReadHookName)) {
        real(hook, context);
    }
}

// What the real importer depended on in its last import, so that an index built
// through this bundle learns the catalogs of its clips as with the real one.
TROUBLE_EXPORT size_t OsselImporterCatalogDependencies(const OsselCatalogDependency** entries) {
    const auto real = realFunction<OsselImporterCatalogDependenciesFunction>(kOsselImporterCatalogDependenciesName);
    if (real) return real(entries);
    *entries = nullptr;
    return 0;
}
