#include "importer/CatalogCache.h"

#include <algorithm>

#include "importer/CatalogLookup.h"
#include "importer/PathComponents.h"

namespace ossel {

CatalogCache& CatalogCache::shared() {
    static CatalogCache cache;
    return cache;
}

void CatalogCache::beginImport() {
    dependencyCount_ = 0;
    importing_ = true;
}

CatalogDependency* CatalogCache::dependency(std::string_view path) {
    if (!importing_) return nullptr;
    const auto end = dependencies_.begin() + static_cast<ptrdiff_t>(dependencyCount_);
    const auto found = std::find_if(dependencies_.begin(), end, [&](const CatalogDependency& d) { return d.path == path; });
    return found == end ? nullptr : &*found;
}

std::optional<FileIdentity> CatalogCache::identityAt(std::string_view path) {
    if (const auto* known = dependency(path)) return known->identity;
    if (!importing_) return fileIdentityAtPath(std::string(path));
    if (dependencyCount_ == dependencies_.size()) dependencies_.emplace_back();
    CatalogDependency& added = dependencies_[dependencyCount_++];
    added.path.assign(path);
    added.identity = fileIdentityAtPath(added.path);
    return added.identity;
}

CatalogCache::CachedDirectory* CatalogCache::directory(const std::string& path) {
    const auto found = std::find_if(directories_.begin(), directories_.end(),
                                    [&](const CachedDirectory& d) { return d.path == path; });
    return found == directories_.end() ? nullptr : &*found;
}

std::shared_ptr<const CatalogRecordIndex> CatalogCache::records(const std::string& directoryPath,
                                                                const CatalogRecordKind& kind) {
    const std::string path = stringByAppendingPathComponent(directoryPath, kind.catalogFile);
    const auto identity = identityAt(path);
    if (auto* cached = directory(directoryPath)) {
        cached->lastUse = ++useCount_;
        for (const auto& file : cached->files) {
            if (file.name == kind.catalogFile && identity && file.identity == *identity) return file.records;
        }
    }
    // Dropped before the file is read again, so that two versions are never held at once.
    forget(directoryPath, kind.catalogFile);
    if (!identity) return nullptr;

    auto index = std::make_shared<CatalogRecordIndex>(kind);
    std::optional<FileIdentity> read;
    const bool whole = readCatalogEntries(path, [&](const Dictionary* entry) { index->add(entry); }, &read);
    if (!read) return nullptr;
    if (!whole) index = std::make_shared<CatalogRecordIndex>(kind);
    // The result reflects the file that was read, should it differ from the one stat'ed.
    if (auto* known = dependency(path)) known->identity = *read;
    if (read->isSettled()) keep(directoryPath, kind.catalogFile, *read, index);
    return index;
}

void CatalogCache::forget(const std::string& directoryPath, std::string_view name) {
    auto* cached = directory(directoryPath);
    if (!cached) return;
    std::erase_if(cached->files, [&](const CachedFile& file) { return file.name == name; });
    if (cached->files.empty()) std::erase_if(directories_, [&](const CachedDirectory& d) { return d.path == directoryPath; });
}

void CatalogCache::keep(const std::string& directoryPath, std::string_view name, const FileIdentity& identity,
                        std::shared_ptr<const CatalogRecordIndex> records) {
    const size_t bytes = records->bytesHeld();
    if (maxDirectories_ == 0 || bytes > maxBytes_) return;
    // Room is made by dropping whole directories, the least recently used first.
    for (;;) {
        const bool known = directory(directoryPath) != nullptr;
        if ((known || directories_.size() < maxDirectories_) && bytesHeld() + bytes <= maxBytes_) break;
        auto victim = directories_.end();
        for (auto it = directories_.begin(); it != directories_.end(); ++it) {
            if (it->path != directoryPath && (victim == directories_.end() || it->lastUse < victim->lastUse)) victim = it;
        }
        if (victim == directories_.end()) return;
        directories_.erase(victim);
    }
    auto* own = directory(directoryPath);
    if (!own) own = &directories_.emplace_back(CachedDirectory{directoryPath, {}, ++useCount_});
    own->files.push_back({std::string(name), identity, std::move(records), bytes});
}

size_t CatalogCache::bytesHeld() const {
    size_t bytes = 0;
    for (const auto& cached : directories_) {
        for (const auto& file : cached.files) bytes += file.bytes;
    }
    return bytes;
}

void CatalogCache::setLimits(size_t directories, size_t bytes) {
    maxDirectories_ = directories;
    maxBytes_ = bytes;
    directories_.clear();
}

}  // namespace ossel
