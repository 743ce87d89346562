#pragma once
// The catalog files behind the imports of one process: what was read from each,
// kept between import calls, and which catalog paths the current import looked at.
//
// An import must give what reading the catalog files afresh would give, and a
// catalog of thousands of records read again for every clip makes a batch crawl.
// So this is a cache that can never change a result: a file's records are used
// again only while the file keeps the identity it had when they were read
// (device, inode, size, modification and change times to the nanosecond), and
// every import stats each catalog file it needs before using them. An edit,
// a replacement by rename, a truncation or a removal changes the identity and
// the next call reads the file again. The one way a file can change and keep
// its identity is a rewrite of the same size within one timestamp tick (coarse
// on older kernels), just after it was written: so records read from a file
// whose modification time lies within two seconds of the read are not kept.
//
// One thread at a time, like everything the plug-in does.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/RegularFile.h"
#include "importer/CatalogRecordIndex.h"

namespace ossel {

inline constexpr size_t kCatalogCacheDirectories = 4;
inline constexpr size_t kCatalogCacheBytes = size_t(512) << 20;

// One catalog path an import probed or read, with the identity its result
// reflects, or none when nothing was there.
struct CatalogDependency {
    std::string path;
    std::optional<FileIdentity> identity;
};

class CatalogCache {
public:
    static CatalogCache& shared();

    // Between the two, each catalog path is stat'ed once and recorded as a
    // dependency of the import; outside, every question stats afresh.
    void beginImport();
    void endImport() { importing_ = false; }

    // The identity of what `path` names (links followed), or none.
    std::optional<FileIdentity> identityAt(std::string_view path);

    // The records of the kind's catalog file in the directory, read again when
    // the file changed since they were read. Null when the file is missing or
    // unreadable; empty when it is not a property-list array.
    std::shared_ptr<const CatalogRecordIndex> records(const std::string& directory, const CatalogRecordKind& kind);

    // The catalog paths of the last import, in the order first looked at.
    std::span<const CatalogDependency> dependencies() const { return {dependencies_.data(), dependencyCount_}; }

    // What is kept, by the records' own estimate; other bounds and emptying
    // are for tests, which cannot afford half a gigabyte.
    size_t bytesHeld() const;
    void setLimits(size_t directories, size_t bytes);
    void clear() { directories_.clear(); }

private:
    struct CachedFile {
        std::string name;
        FileIdentity identity;
        std::shared_ptr<const CatalogRecordIndex> records;
        size_t bytes;
    };
    struct CachedDirectory {
        std::string path;
        std::vector<CachedFile> files;
        uint64_t lastUse = 0;
    };

    CatalogDependency* dependency(std::string_view path);
    CachedDirectory* directory(const std::string& path);
    void forget(const std::string& directory, std::string_view name);
    void keep(const std::string& directory, std::string_view name, const FileIdentity& identity,
              std::shared_ptr<const CatalogRecordIndex> records);

    std::vector<CachedDirectory> directories_;
    // The first dependencyCount_ are the current import's; the rest keep their
    // paths' storage for the next imports, which probe the same paths again.
    std::vector<CatalogDependency> dependencies_;
    size_t dependencyCount_ = 0;
    bool importing_ = false;
    uint64_t useCount_ = 0;
    size_t maxDirectories_ = kCatalogCacheDirectories;
    size_t maxBytes_ = kCatalogCacheBytes;
};

}  // namespace ossel
