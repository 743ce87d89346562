#include "IndexRun.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "ExitStatus.h"
#include "HostRun.h"
#include "ImportScheduler.h"
#include "InputWalk.h"
#include "RecordOutput.h"
#include "index/ClipValues.h"
#include "index/IndexError.h"
#include "index/IndexPaths.h"

namespace ossel {

namespace {

bool isBelow(const std::string& path, const std::string& directory) {
    const PathRange range = pathsBelow(directory);
    return path >= range.low && path < range.high;
}

}  // namespace

IndexRun::IndexRun(const HostOptions& options) : options_(options), progress_(isatty(STDERR_FILENO) == 1) {}

IndexRun::~IndexRun() = default;

int IndexRun::run(const std::string& bundlePath) {
    try {
        writer_ = std::make_unique<IndexWriter>(indexPath(options_.dbPath));
    } catch (const IndexError& error) {
        writeErrorLine(std::string("ossel-mdimport: ") + error.what());
        return kExitUsage;
    }
    WorkerSettings settings;
    settings.bundlePath = bundlePath;
    settings.format = RecordFormat::none;
    settings.carryAttributes = true;
    settings.carryDependencies = true;
    settings.maxMemoryMiB = options_.maxMemoryMiB;

    std::string fatal;
    bool ran = false;
    {
        InputWalk walk(inputsWithRevisits(), options_.recursive);
        ImportScheduler scheduler(settings, schedulerLimits(options_), walk, *this);
        ran = !stopped() && scheduler.run(&fatal);
    }
    progress_.finish();
    if (ran && !stopped()) removeVanished();
    if (!stopped()) store([&] { writer_->commit(); });
    if (stopped()) {
        writeErrorLine("ossel-mdimport: " + indexError_);
        return kExitOutputFailed;
    }
    if (!ran) {
        writeErrorLine("ossel-mdimport: " + fatal);
        return kExitUsage;
    }
    writeErrorLine(std::to_string(counts_.added) + " added, " + std::to_string(counts_.updated) + " updated, " +
                   std::to_string(counts_.removed) + " removed, " + std::to_string(counts_.unchanged) +
                   " unchanged, " + std::to_string(counts_.failed) + " failed");
    return counts_.failed ? kExitSomeFailed : kExitSuccess;
}

std::vector<std::string> IndexRun::inputsWithRevisits() {
    for (const auto& input : options_.inputs) inputs_.push_back(normalizedAbsolutePath(input));
    std::vector<std::string> inputs = inputs_;
    std::vector<std::string> revisits;
    store([&] { revisits = writer_->pathsToRevisit(); });
    for (const auto& path : revisits) {
        const bool covered = std::any_of(inputs_.begin(), inputs_.end(), [&](const std::string& input) {
            return path == input || (options_.recursive && isBelow(path, input));
        });
        if (covered) continue;
        // Named like an input, a file that is gone would be a failure; it is simply gone.
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 && errno == ENOENT) {
            store([&] { counts_.removed += writer_->remove(path) ? 1 : 0; });
        } else {
            inputs.push_back(path);
        }
    }
    inputsMayOverlap_ = inputs.size() > 1;
    return inputs;
}

bool IndexRun::wanted(const WalkItem& item, InputWalk& walk) {
    const std::string& path = item.path;
    // A file the index does not hold is imported whatever it is: its worker tells
    // what it found, which spares a first run a stat of every file here.
    std::optional<FileIdentity> identity;
    bool current = false;
    switch (foundNow(path)) {
        case IndexWriter::Sighting::again: return false;
        case IndexWriter::Sighting::unknown: break;
        case IndexWriter::Sighting::first:
            identity = walk.identity(item);
            current = identity && writer_->isCurrent(path, *identity);
            break;
    }
    if (current) {
        ++counts_.unchanged;
        progress_.fileDone();
        return false;
    }
    pending_.push_back({path, identity});
    return !stopped();
}

std::optional<IndexRun::Pending> IndexRun::takePending(const std::string& path) {
    // Results arrive in walk order, so a file a worker had is always the oldest pending one.
    if (pending_.empty() || pending_.front().path != path) return std::nullopt;
    Pending pending = std::move(pending_.front());
    pending_.pop_front();
    return pending;
}

std::optional<FileIdentity> IndexRun::identityOf(const std::optional<Pending>& pending) {
    if (!pending) return std::nullopt;
    return pending->identity ? pending->identity : fileIdentityAtPath(pending->path);
}

void IndexRun::imported(const std::string& path, const FileResult& result) {
    const std::optional<Pending> pending = takePending(path);
    // Both are stored as they came; the values are only checked here.
    const std::optional<ClipValues> values = ClipValues::split(result.attributeValues);
    if (!values || result.attributesArchive.empty()) {
        ++counts_.failed;
        progress_.message(path + ": its worker sent attributes the host could not read");
        store([&] { writer_->storeFailure(path, std::nullopt, "its worker sent unreadable attributes", true); });
        return;
    }
    progress_.fileDone();
    // A zero identity matches no file: one that could not be examined is read again next time.
    const FileIdentity identity = result.identity ? *result.identity
                                  : pending && pending->identity ? *pending->identity
                                                                 : FileIdentity{};
    store([&] {
        count(writer_->storeClip(path, identity, result.attributesArchive, *values, result.dependencies));
    });
}

void IndexRun::skipped(const std::string& path, const std::string& reason) {
    progress_.message(path + ": skipped, " + reason);
    progress_.fileDone();
    const std::optional<Pending> pending = takePending(path);
    // What the walk skipped (a FIFO, a dangling link) is no file the index keeps.
    if (!pending) return;
    if (const auto identity = identityOf(pending)) store([&] { count(writer_->storeSkipped(path, *identity)); });
}

void IndexRun::failed(const std::string& path, const std::string& reason, FailureKind kind) {
    ++counts_.failed;
    progress_.message(path + ": " + reason);
    progress_.fileDone();
    std::optional<FileIdentity> identity;
    if (const std::optional<Pending> pending = takePending(path)) {
        identity = identityOf(pending);
    } else {
        // The walk's own failures: a directory it could not read, or a file that is not there.
        struct stat info {};
        const bool exists = ::stat(path.c_str(), &info) == 0;
        if (!exists || S_ISDIR(info.st_mode)) {
            unreadable_.push_back(path);
            if (!exists) store([&] { writer_->remove(path); });
            return;
        }
        foundNow(path);
        identity = FileIdentity::of(info);
    }
    store([&] { writer_->storeFailure(path, identity, reason, kind == FailureKind::worker); });
}

void IndexRun::note(const std::string& text) { progress_.message(text); }

void IndexRun::idle() {
    // The run is about to wait for its workers, perhaps for a slow file: a batch
    // that is due becomes visible now, not only after the next file is stored.
    store([&] { writer_->commitIfDue(); });
}

void IndexRun::count(IndexWriter::Change change) {
    ++(change == IndexWriter::Change::added ? counts_.added : counts_.updated);
}

void IndexRun::removeVanished() {
    if (!options_.recursive) return;
    for (const auto& input : inputs_) {
        std::vector<std::string> vanished;
        store([&] { vanished = writer_->pathsBelow(input, true); });
        for (const auto& path : vanished) {
            const bool protectedPath = std::any_of(unreadable_.begin(), unreadable_.end(), [&](const auto& directory) {
                return path == directory || isBelow(path, directory);
            });
            if (!protectedPath) store([&] { counts_.removed += writer_->remove(path) ? 1 : 0; });
        }
    }
}

IndexWriter::Sighting IndexRun::foundNow(const std::string& path) {
    // Inputs that overlap name some files twice: each is imported and counted once.
    const IndexWriter::Sighting sighting = writer_->sight(path);
    if (sighting != IndexWriter::Sighting::unknown || !inputsMayOverlap_) return sighting;
    return foundNew_.insert(path).second ? sighting : IndexWriter::Sighting::again;
}

template <class Change>
void IndexRun::store(Change&& change) {
    if (stopped()) return;
    try {
        change();
        writer_->commitIfDue();
    } catch (const IndexError& error) {
        indexError_ = error.what();
    }
}

}  // namespace ossel
