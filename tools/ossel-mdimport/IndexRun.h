#pragma once
// One indexing run of the host (--index): what the workers import is stored
// in the index instead of printed, and the run ends with a summary line.
//
// Files the index holds with the same identity are settled before any worker
// sees them; stored files whose catalogs changed, and files whose worker died
// on them, are imported again even when they lie outside this run's inputs.
// Once every input has been walked, what the index holds below a walked
// directory and the walk no longer found is removed, except below a directory
// that could not be read. Every store lands in a transaction committed about
// once a second, so a killed run leaves the index consistent and the next run
// takes up whatever it had not yet stored.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "HostOptions.h"
#include "ProgressLine.h"
#include "ResultSink.h"
#include "foundation/RegularFile.h"
#include "index/IndexWriter.h"

namespace ossel {

class IndexRun final : public ResultSink {
public:
    explicit IndexRun(const HostOptions& options);
    ~IndexRun() override;

    // Imports and stores every input with workers running `bundlePath`: the exit status.
    int run(const std::string& bundlePath);

    bool wanted(const WalkItem& item, InputWalk& walk) override;
    void imported(const std::string& path, const FileResult& result) override;
    void skipped(const std::string& path, const std::string& reason) override;
    void failed(const std::string& path, const std::string& reason, FailureKind kind) override;
    void note(const std::string& text) override;
    void idle() override;
    bool stopped() const override { return !indexError_.empty(); }

private:
    struct Counts {
        uint64_t added = 0, updated = 0, removed = 0, unchanged = 0, failed = 0;
    };
    // A file on its way through a worker, with its identity from before the import
    // when the index held it (a new file's comes with its result).
    struct Pending {
        std::string path;
        std::optional<FileIdentity> identity;
    };

    // The inputs, normalised, and the stored files to import again that no input covers.
    std::vector<std::string> inputsWithRevisits();
    // The identity taken when the file went to a worker; nothing for what the walk settled itself.
    std::optional<Pending> takePending(const std::string& path);
    // The identity taken then, or, for a file the index did not hold, as it is now.
    std::optional<FileIdentity> identityOf(const std::optional<Pending>& pending);
    void count(IndexWriter::Change change);
    void removeVanished();
    // Notes that the walk found the file; `again` when it had already.
    IndexWriter::Sighting foundNow(const std::string& path);
    // Runs a change to the index; an index that cannot be written stops the run.
    template <class Change>
    void store(Change&& change);

    const HostOptions& options_;
    std::unique_ptr<IndexWriter> writer_;
    ProgressLine progress_;
    std::vector<std::string> inputs_;
    std::deque<Pending> pending_;
    // Files this run found that the index did not hold when it did, so that inputs
    // that overlap import each once (the writer notes the others in what it holds).
    std::unordered_set<std::string> foundNew_;
    // Only several inputs can name a file twice: one walk finds each path once.
    bool inputsMayOverlap_ = false;
    // Paths the walk could not read (directories, missing inputs): nothing below them is removed.
    std::vector<std::string> unreadable_;
    Counts counts_;
    std::string indexError_;
};

}  // namespace ossel
