#include <type_traits>
#include <vector>

#include "importer/CatalogCache.h"
#include "importer/CatalogLookup.h"
#include "importer/MetadataImporterPlugin.h"

using namespace ossel;

static_assert(std::is_same_v<decltype(&OsselImporterCatalogDependencies), OsselImporterCatalogDependenciesFunction>);
static_assert(std::is_same_v<decltype(&OsselImporterSetCatalogReadHook), OsselImporterSetCatalogReadHookFunction>);

size_t OsselImporterCatalogDependencies(const OsselCatalogDependency** entries) {
    // Rebuilt on each call; the paths it points into live until the next import.
    static std::vector<OsselCatalogDependency> report;
    report.clear();
    for (const auto& dependency : CatalogCache::shared().dependencies()) {
        OsselCatalogDependency entry{dependency.path.c_str(), dependency.identity.has_value(), 0, 0, 0, 0, 0};
        if (const auto& identity = dependency.identity) {
            entry.device = identity->device;
            entry.inode = identity->inode;
            entry.size = identity->size;
            entry.modifiedNanoseconds = identity->modifiedNanoseconds;
            entry.changedNanoseconds = identity->changedNanoseconds;
        }
        report.push_back(entry);
    }
    if (entries) *entries = report.data();
    return report.size();
}

void OsselImporterSetCatalogReadHook(OsselCatalogReadHook hook, void* context) { setCatalogReadHook(hook, context); }
