#pragma once
// What a host can learn and decide about the catalog files behind an import,
// beyond the five-slot interface table. Both are plain C entry points that a
// host looks up by name in the loaded module; a host that does not know them
// loses nothing.
//
// - An index must re-import a clip when a catalog file it was matched against
//   changes, or when a "People 2.xml" appears where none was: so after each
//   import the plug-in reports every catalog path it probed or read, with the
//   file's identity or "absent".
// - A worker process that dies while it reads a catalog must not die again on
//   the same catalog for every clip: so a host may watch each catalog read
//   before it happens and declare the file unreadable.

#include <cstddef>
#include <cstdint>

extern "C" {

// One catalog path the last import depended on. The identity fields hold what
// stat reported (links followed) and are zero when `exists` is 0.
struct OsselCatalogDependency {
    const char* path;
    int exists;
    uint64_t device;
    uint64_t inode;
    int64_t size;
    int64_t modifiedNanoseconds;
    int64_t changedNanoseconds;
};

// The catalog paths of the last GetMetadataForFile call, in the order they were
// first probed or read, each once. The array and its paths stay valid until
// the next import call. Returns the number of entries.
typedef size_t (*OsselImporterCatalogDependenciesFunction)(const OsselCatalogDependency** entries);
inline constexpr const char* kOsselImporterCatalogDependenciesName = "OsselImporterCatalogDependencies";

// Called with a catalog file's path just before the plug-in reads (parses) it.
// Returning 0 makes the plug-in treat that file as unreadable, like a missing
// one; the clip's own attributes are still imported.
typedef int (*OsselCatalogReadHook)(const char* path, void* context);
typedef void (*OsselImporterSetCatalogReadHookFunction)(OsselCatalogReadHook hook, void* context);
inline constexpr const char* kOsselImporterSetCatalogReadHookName = "OsselImporterSetCatalogReadHook";

}  // extern "C"
