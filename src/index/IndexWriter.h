#pragma once
// The writing side of the index, driven file by file by an indexing run.
//
// A run takes the writer (one at a time: a second one gets an IndexError of
// kind busy), asks for each file it finds whether it isCurrent(), imports and
// stores those that are not, imports again the pathsToRevisit(), removes what
// is gone below each directory it walked whole, and commit()s every batch.
// Whatever was committed stays consistent if the process dies at any moment;
// the next run simply finds the rest not current.
//
// The statements run on a thread of their own, in the order they were given,
// while the run goes on with its next file: everything a caller is told (added
// or updated, current or not) comes from what the writer holds in memory.
// So an error of SQLite (a full disk, say) surfaces as an IndexError from a later
// call, and at the latest from commit(), which waits for everything given.
//
// Paths are normalised absolute paths (normalizedAbsolutePath).

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "foundation/Dictionary.h"
#include "foundation/RegularFile.h"
#include "index/CatalogDependency.h"

namespace ossel {

class IndexDatabase;
struct ClipValues;

class IndexWriter {
public:
    // Creates the index (and its folder) when there is none.
    explicit IndexWriter(const std::string& path);
    // What was not committed is rolled back.
    ~IndexWriter();
    IndexWriter(const IndexWriter&) = delete;
    IndexWriter& operator=(const IndexWriter&) = delete;

    enum class Change { added, updated };

    // True when the file needs no import: stored with this identity, not a
    // failure retried on every run, and not matched against a catalog that
    // has changed (or appeared) since. Catalogs are examined when the writer opens.
    bool isCurrent(const std::string& path, const FileIdentity& identity);

    // Notes that the run found a file: `again` when it had found it already
    // (inputs that overlap), `unknown` when the index does not hold it.
    enum class Sighting { first, again, unknown };
    Sighting sight(const std::string& path);

    // Stored files to import again wherever they are, in byte order: those
    // whose catalogs changed, and failures retried on every run.
    std::vector<std::string> pathsToRevisit();

    // Every stored path strictly below the directory, in byte order; with
    // `unsighted`, only those the run has not found (or stored).
    std::vector<std::string> pathsBelow(const std::string& directory, bool unsighted = false) const;

    // The attributes as an import worker sends them: archived by the Coder, and as ClipValues.
    Change storeClip(const std::string& path, const FileIdentity& identity, std::string_view archive,
                     const ClipValues& values, const std::vector<CatalogDependency>& dependencies);
    // Archives the attributes and makes their values here.
    Change storeClip(const std::string& path, const FileIdentity& identity, const Dictionary& attributes,
                     const std::vector<CatalogDependency>& dependencies);
    Change storeSkipped(const std::string& path, const FileIdentity& identity);
    Change storeFailure(const std::string& path, const std::optional<FileIdentity>& identity, const std::string& cause,
                        bool retryEveryRun, const std::vector<CatalogDependency>& dependencies = {});
    // False when the path was not stored.
    bool remove(const std::string& path);

    // Makes the changes since the last commit durable and visible to readers;
    // returns once they are.
    void commit();
    // Commits when the open batch began at least `interval` ago; a run calls it
    // after each file, so that batches are large enough to be cheap and a killed
    // run loses little. True when it committed.
    bool commitIfDue(std::chrono::milliseconds interval = std::chrono::seconds(1));

private:
    struct Statements;
    class Checkpointer;
    class Storer;

    // Gives the storing thread work for the open batch, opening one when none is;
    // `bytes` is what the work holds, which bounds the queue.
    void later(std::function<void()> work, size_t bytes = 0);
    // Gives the storing thread the open batch's commit.
    void endBatch();
    // The file's row, created or emptied of everything a previous import left;
    // then, in the same piece of work, `contents(id)` stores what the file holds,
    // `contentBytes` of it.
    template <class Contents>
    Change fileRow(const std::string& path, int status, const std::optional<FileIdentity>& identity, bool retryEveryRun,
                   std::optional<std::string> cause, std::optional<int64_t> dependencies, Contents contents,
                   size_t contentBytes);
    // On the storing thread.
    void clearContents(int64_t file);
    // The id of the set of these catalog states, made when new; nothing for none.
    std::optional<int64_t> dependencySet(const std::vector<CatalogDependency>& dependencies);
    int64_t nameId(std::string_view name);
    int64_t catalogId(const CatalogDependency& dependency);
    // Reads the stored files, notes those whose catalogs changed, and forgets
    // the catalog states no file depends on any more.
    void readStoredFiles();

    int lockDescriptor_ = -1;
    std::unique_ptr<IndexDatabase> db_;
    std::unique_ptr<Checkpointer> checkpointer_;
    std::unique_ptr<Statements> statements_;
    std::unique_ptr<Storer> storer_;
    bool batchOpen_ = false;
    std::chrono::steady_clock::time_point batchStart_;
    // The ids the next new rows get, as SQLite would give them.
    int64_t nextFileId_ = 1, nextNameId_ = 1, nextCatalogId_ = 1, nextSetId_ = 1;
    struct NameHash : std::hash<std::string_view> {
        using is_transparent = void;
    };
    std::unordered_map<std::string, int64_t, NameHash, std::equal_to<>> nameIds_;
    // Every stored file, read when the writer opens and kept in step with what it
    // changes: a run looks up each file it finds, and a hash look-up costs a tenth
    // of SQLite's. (About 150 bytes a file.)
    struct Stored {
        int64_t id;
        bool retryEveryRun;
        std::optional<FileIdentity> identity;
        bool sighted = false;  // found or stored by this run
    };
    std::unordered_map<std::string, Stored> stored_;
    std::unordered_map<std::string, int64_t> catalogIds_;  // every stored catalog state, by catalogKey()
    std::unordered_map<std::string, int64_t> setIds_;  // by the catalog ids they list
    // The sets of the last few distinct dependency lists, the latest first: clips one
    // after the other mostly lie in one folder and depend on one of a few.
    std::vector<std::pair<std::vector<CatalogDependency>, int64_t>> recentSets_;
    // Files matched against catalogs that have changed since.
    std::unordered_set<int64_t> stale_;
};

}  // namespace ossel
