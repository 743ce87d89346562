#include "index/IndexWriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>
#include <variant>

#include "foundation/Archiver.h"
#include "index/ClipValues.h"
#include "index/IndexDatabase.h"
#include "index/IndexError.h"
#include "index/IndexPaths.h"
#include "index/StoredFile.h"
#include "index/Statement.h"

namespace ossel {

namespace {

// A lock beside the database, held for the writer's life: SQLite's own locks
// cover one transaction, a run spans many. The kernel drops it when the
// process dies, however it dies.
int takeWriterLock(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!parent.empty()) std::filesystem::create_directories(parent, error);
    if (error) throw IndexError(IndexErrorKind::failed, path + ": cannot create its folder: " + error.message());
    const std::string lockPath = path + "-lock";
    const int descriptor = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0) throw IndexError(IndexErrorKind::failed, lockPath + ": " + std::strerror(errno));
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int cause = errno;
        ::close(descriptor);
        if (cause == EWOULDBLOCK) {
            throw IndexError(IndexErrorKind::busy, path + ": another indexing run is writing this index");
        }
        throw IndexError(IndexErrorKind::failed, lockPath + ": " + std::strerror(cause));
    }
    return descriptor;
}

// What is kept of a file's identity: a zero one, which matches no file, while the
// file or a catalog its import read may yet change without changing its identity,
// so that the next run reads the file again.
std::optional<FileIdentity> keptIdentity(const std::optional<FileIdentity>& identity,
                                         const std::vector<CatalogDependency>& dependencies) {
    const auto settled = [](const std::optional<FileIdentity>& file) { return !file || file->isSettled(); };
    const bool catalogsSettled = std::all_of(dependencies.begin(), dependencies.end(),
                                             [&](const auto& catalog) { return settled(catalog.identity); });
    return settled(identity) && catalogsSettled ? identity : std::optional(FileIdentity{});
}

std::string_view bytesOf(const std::vector<uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A catalog state as the catalogs table's unique key has it; an absent file has a zero identity.
std::string catalogKey(std::string_view path, bool present, const FileIdentity& identity) {
    std::string key(path);
    for (const int64_t field : {static_cast<int64_t>(present), static_cast<int64_t>(identity.device),
                                static_cast<int64_t>(identity.inode), identity.size, identity.modifiedNanoseconds,
                                identity.changedNanoseconds}) {
        key += '\0';
        key += std::to_string(field);
    }
    return key;
}

}  // namespace

// Copies the log into the database on a thread of its own, with a connection
// of its own, while the writer goes on: a checkpoint waits for the disk twice,
// and the writer, which stores every file, would wait with it. Each copy takes
// what was committed since the last. Only once the log is long does the writer,
// between two transactions, copy what it committed meanwhile itself, so that the
// next transaction writes the log from its beginning again: that makes the writer
// wait for the disk, so it is rare, and the log costs at most that much room.
class IndexWriter::Checkpointer {
public:
    explicit Checkpointer(const std::string& path)
        : db_(path, IndexDatabase::Access::readWrite), thread_([this] { loop(); }) {}
    ~Checkpointer() {
        setState(State::stopping);
        thread_.join();
    }

    // Called by SQLite on the writer's connection after each commit.
    static int onCommit(void* self, sqlite3* writer, const char*, int pagesInLog) {
        auto& checkpointer = *static_cast<Checkpointer*>(self);
        std::unique_lock lock(checkpointer.mutex_);
        // A log that started over holds nothing copied yet.
        if (pagesInLog < checkpointer.copiedPages_) checkpointer.copiedPages_ = 0;
        if (checkpointer.state_ == State::copied) {
            checkpointer.state_ = State::idle;
            if (pagesInLog >= kPagesBeforeRestart) {
                lock.unlock();
                sqlite3_wal_checkpoint_v2(writer, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
                return SQLITE_OK;
            }
        }
        if (checkpointer.state_ == State::idle && pagesInLog - checkpointer.copiedPages_ >= kPagesBeforeCheckpoint) {
            lock.unlock();
            checkpointer.setState(State::copying);
        }
        return SQLITE_OK;
    }

private:
    // 40 MB and 1 GiB of 16 KiB pages.
    static constexpr int kPagesBeforeCheckpoint = 2500;
    static constexpr int kPagesBeforeRestart = 65536;
    enum class State { idle, copying, copied, stopping };

    void setState(State state) {
        {
            const std::lock_guard lock(mutex_);
            state_ = state;
        }
        wake_.notify_one();
    }

    void loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return state_ == State::copying || state_ == State::stopping; });
            if (state_ == State::stopping) return;
            lock.unlock();
            // Passive: it copies what no reader still needs and never blocks the writer.
            // A checkpoint that fails leaves the log longer, and the next one copies it.
            int copied = 0;
            const int code =
                sqlite3_wal_checkpoint_v2(db_.handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, &copied);
            lock.lock();
            if (code == SQLITE_OK) copiedPages_ = copied;
            if (state_ == State::copying) state_ = State::copied;
        }
    }

    IndexDatabase db_;
    std::mutex mutex_;
    std::condition_variable wake_;
    State state_ = State::idle;
    int copiedPages_ = 0;  // of the log as the last copy found it
    std::thread thread_;
};

// Runs the writer's work in the order given, on a thread of its own. The queue
// holds at most kMaxQueuedBytes of work's data, so that a run cannot get far
// ahead of its disk. After a failure the rest is dropped, and the failure is
// thrown by every later call. Work that ran goes back to the thread that gave
// it, to be freed there: memory freed by another thread goes back to its arena
// the slow way, and the giving thread's allocations would then all take it.
class IndexWriter::Storer {
public:
    Storer() : thread_([this] { loop(); }) {}
    ~Storer() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

    void add(std::function<void()> work, size_t bytes) {
        std::vector<std::deque<Work>> ran;
        std::unique_lock lock(mutex_);
        room_.wait(lock, [&] { return queuedBytes_ < kMaxQueuedBytes || failure_; });
        if (failure_) std::rethrow_exception(failure_);
        queue_.push_back({std::move(work), bytes});
        queuedBytes_ += bytes;
        if (queue_.size() == 1) wake_.notify_one();
        ran.swap(ran_);
        lock.unlock();
    }

    // Returns once everything given has run.
    void drain() {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return (queue_.empty() && !running_) || failure_; });
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    static constexpr size_t kMaxQueuedBytes = size_t(4) << 20;
    struct Work {
        std::function<void()> run;
        size_t bytes;
    };

    void loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            std::deque<Work> taken;
            taken.swap(queue_);
            running_ = true;
            // Work given while an earlier batch failed is dropped too: a commit among it
            // would keep half of what the failed batch held.
            std::exception_ptr failure = failure_;
            lock.unlock();
            size_t bytes = 0;
            for (Work& work : taken) {
                bytes += work.bytes;
                if (failure) continue;
                try {
                    work.run();
                } catch (...) {
                    failure = std::current_exception();
                }
            }
            lock.lock();
            ran_.push_back(std::move(taken));
            running_ = false;
            queuedBytes_ -= bytes;
            failure_ = failure;
            room_.notify_all();
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, room_, done_;
    std::deque<Work> queue_;
    std::vector<std::deque<Work>> ran_;  // for the giving thread to free
    size_t queuedBytes_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

struct IndexWriter::Statements {
    explicit Statements(sqlite3* db)
        : insertFile(db, "INSERT INTO files (id, status, retry_every_run, device, inode, size, modified, changed, "
                         "cause, dependencies, path) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
          updateFile(db, "UPDATE files SET status = ?2, retry_every_run = ?3, device = ?4, inode = ?5, size = ?6, "
                         "modified = ?7, changed = ?8, cause = ?9, dependencies = ?10 WHERE id = ?1"),
          deleteFile(db, "DELETE FROM files WHERE id = ?"),
          deleteListing(db, "DELETE FROM listings WHERE file = ?"),
          deleteValues(db, "DELETE FROM attributes WHERE file = ?"),
          deleteNumbers(db, "DELETE FROM numbers WHERE id >= ? AND id < ?"),
          deleteWords(db, "DELETE FROM words WHERE rowid = ?"),
          insertValues(db, "INSERT INTO attributes (file, vals) VALUES (?, ?)"),
          insertNumber(db, "INSERT INTO numbers (id, name, kind, num) VALUES (?, ?, ?, ?)"),
          insertListing(db, "INSERT INTO listings (file, attributes) VALUES (?, ?)"),
          insertWords(db, "INSERT INTO words (rowid, body) VALUES (?, ?)"),
          insertName(db, "INSERT INTO names (id, name) VALUES (?, ?)"),
          insertCatalog(db, "INSERT INTO catalogs (id, path, present, device, inode, size, modified, changed) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
          insertSet(db, "INSERT INTO dependency_sets (id, catalogs) VALUES (?, ?)"),
          pathOf(db, "SELECT path FROM files WHERE id = ?") {}

    Statement insertFile, updateFile, deleteFile, deleteListing, deleteValues, deleteNumbers, deleteWords,
        insertValues, insertNumber, insertListing, insertWords, insertName, insertCatalog, insertSet, pathOf;
};

IndexWriter::IndexWriter(const std::string& path) : lockDescriptor_(takeWriterLock(path)) {
    try {
        db_ = std::make_unique<IndexDatabase>(path, IndexDatabase::Access::readWrite);
        // In WAL mode NORMAL loses no committed batch to a crash of the process, only
        // possibly the last ones to a power cut, and saves a sync per commit.
        db_->exec("PRAGMA synchronous = NORMAL; PRAGMA cache_size = -65536");
        checkpointer_ = std::make_unique<Checkpointer>(path);
        sqlite3_wal_hook(db_->handle(), &Checkpointer::onCommit, checkpointer_.get());
        statements_ = std::make_unique<Statements>(db_->handle());
        Statement names(db_->handle(), "SELECT id, name FROM names");
        while (names.step()) {
            nameIds_.emplace(names.columnBytes(1), names.columnInt(0));
            nextNameId_ = std::max(nextNameId_, names.columnInt(0) + 1);
        }
        readStoredFiles();
        storer_ = std::make_unique<Storer>();
    } catch (...) {
        statements_.reset();
        checkpointer_.reset();
        db_.reset();
        ::close(lockDescriptor_);
        throw;
    }
}

IndexWriter::~IndexWriter() {
    storer_.reset();  // what it had not run yet is dropped
    if (!sqlite3_get_autocommit(db_->handle())) sqlite3_exec(db_->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    statements_.reset();
    checkpointer_.reset();
    db_.reset();
    ::close(lockDescriptor_);
}

void IndexWriter::readStoredFiles() {
    Statement range(db_->handle(), "SELECT count(*), coalesce(max(id), 0) FROM files");
    range.step();
    stored_.reserve(static_cast<size_t>(range.columnInt(0)));
    nextFileId_ = range.columnInt(1) + 1;
    std::vector<std::pair<int64_t, int64_t>> fileSets;  // a file and the set of catalogs it depends on
    std::unordered_set<int64_t> usedSets;
    const auto readFiles = [](sqlite3* db, int64_t low, int64_t high, auto&& take) {
        Statement files(db, "SELECT path, id, retry_every_run, device, inode, size, modified, changed, "
                            "dependencies FROM files WHERE id >= ? AND id < ?");
        files.bind(1, low).bind(2, high);
        while (files.step()) {
            take(files.columnBytes(0), Stored{files.columnInt(1), files.columnInt(2) != 0, columnIdentity(files, 3)},
                 files.columnIsNull(8) ? std::optional<int64_t>() : files.columnInt(8));
        }
    };
    const auto keep = [&](auto&& path, const Stored& file, std::optional<int64_t> set) {
        stored_.emplace(std::forward<decltype(path)>(path), file);
        if (!set) return;
        fileSets.emplace_back(file.id, *set);
        usedSets.insert(*set);
    };
    // A large index is read in two halves at once, the second on a connection and
    // a thread of their own: a run that finds nothing changed spends a third of
    // its time here.
    const int64_t middle = range.columnInt(0) >= 4096 ? nextFileId_ / 2 : nextFileId_;
    struct Read {
        std::string path;
        Stored file;
        std::optional<int64_t> set;
    };
    std::vector<Read> secondHalf;
    std::exception_ptr failure;
    std::thread reader;
    if (middle < nextFileId_) {
        reader = std::thread([&] {
            try {
                IndexDatabase db(db_->path(), IndexDatabase::Access::readOnly);
                readFiles(db.handle(), middle, nextFileId_, [&](std::string_view path, const Stored& file, auto set) {
                    secondHalf.push_back({std::string(path), file, set});
                });
            } catch (...) {
                failure = std::current_exception();
            }
        });
    }
    try {
        readFiles(db_->handle(), 0, middle, keep);
    } catch (...) {
        if (reader.joinable()) reader.join();
        throw;
    }
    if (reader.joinable()) reader.join();
    if (failure) std::rethrow_exception(failure);
    for (Read& read : secondHalf) keep(std::move(read.path), read.file, read.set);

    // Sets and catalog states no stored file refers to any more are forgotten: they would only cost a stat each run.
    std::unordered_map<int64_t, std::vector<int64_t>> sets;
    std::unordered_set<int64_t> named;
    std::vector<int64_t> unusedSets, unnamedCatalogs;
    Statement setRows(db_->handle(), "SELECT id, catalogs FROM dependency_sets");
    while (setRows.step()) {
        const int64_t id = setRows.columnInt(0);
        nextSetId_ = std::max(nextSetId_, id + 1);
        if (!usedSets.contains(id)) {
            unusedSets.push_back(id);
            continue;
        }
        const std::string_view list = setRows.columnBytes(1);
        for (const char* at = list.data(); at < list.data() + list.size(); ++at) {
            int64_t catalog = 0;
            at = std::from_chars(at, list.data() + list.size(), catalog).ptr;
            sets[id].push_back(catalog);
            named.insert(catalog);
        }
        setIds_.emplace(list, id);
    }

    // A catalog changed when it appeared, went, or is another file now; each path is examined once.
    std::unordered_map<std::string, std::optional<FileIdentity>> current;
    std::unordered_set<int64_t> changed;
    Statement catalogs(db_->handle(),
                       "SELECT id, path, present, device, inode, size, modified, changed FROM catalogs");
    while (catalogs.step()) {
        const int64_t id = catalogs.columnInt(0);
        nextCatalogId_ = std::max(nextCatalogId_, id + 1);
        if (!named.contains(id)) {
            unnamedCatalogs.push_back(id);
            continue;
        }
        const std::string path(catalogs.columnBytes(1));
        auto found = current.find(path);
        if (found == current.end()) found = current.emplace(path, fileIdentityAtPath(path)).first;
        const bool present = catalogs.columnInt(2) != 0;
        const auto recorded = columnIdentity(catalogs, 3);
        catalogIds_.emplace(catalogKey(path, present, recorded.value_or(FileIdentity{})), id);
        if (present != found->second.has_value() || (present && recorded != found->second)) changed.insert(id);
    }
    for (const auto& [table, ids] : {std::pair{"dependency_sets", &unusedSets}, {"catalogs", &unnamedCatalogs}}) {
        Statement forget(db_->handle(), std::string("DELETE FROM ") + table + " WHERE id = ?");
        for (const int64_t id : *ids) forget.bind(1, id).run();
    }

    std::unordered_set<int64_t> staleSets;
    for (const auto& [set, members] : sets) {
        if (std::any_of(members.begin(), members.end(), [&](int64_t id) { return changed.contains(id); })) {
            staleSets.insert(set);
        }
    }
    for (const auto& [file, set] : fileSets) {
        if (staleSets.contains(set)) stale_.insert(file);
    }
}

bool IndexWriter::isCurrent(const std::string& path, const FileIdentity& identity) {
    const auto found = stored_.find(path);
    return found != stored_.end() && !found->second.retryEveryRun && !stale_.contains(found->second.id) &&
           found->second.identity == identity;
}

std::vector<std::string> IndexWriter::pathsToRevisit() {
    storer_->drain();  // the connection is this thread's while the storing thread has nothing to do
    std::vector<std::string> paths;
    Statement& pathOf = statements_->pathOf;
    for (const int64_t file : stale_) {
        pathOf.bind(1, file);
        if (pathOf.step()) paths.emplace_back(pathOf.columnBytes(0));
        pathOf.reset();
    }
    Statement retried(db_->handle(), "SELECT path FROM files WHERE retry_every_run <> 0");
    while (retried.step()) paths.emplace_back(retried.columnBytes(0));
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

IndexWriter::Sighting IndexWriter::sight(const std::string& path) {
    const auto found = stored_.find(path);
    if (found == stored_.end()) return Sighting::unknown;
    if (found->second.sighted) return Sighting::again;
    found->second.sighted = true;
    return Sighting::first;
}

std::vector<std::string> IndexWriter::pathsBelow(const std::string& directory, bool unsighted) const {
    const PathRange range = ossel::pathsBelow(directory);
    std::vector<std::string> paths;
    for (const auto& [path, file] : stored_) {
        if (path >= range.low && path < range.high && !(unsighted && file.sighted)) paths.push_back(path);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void IndexWriter::later(std::function<void()> work, size_t bytes) {
    if (!batchOpen_) {
        storer_->add([this] { db_->exec("BEGIN IMMEDIATE"); }, 0);
        batchOpen_ = true;
        batchStart_ = std::chrono::steady_clock::now();
    }
    storer_->add(std::move(work), bytes);
}

void IndexWriter::endBatch() {
    storer_->add([this] { db_->exec("COMMIT"); }, 0);
    batchOpen_ = false;
}

void IndexWriter::commit() {
    if (batchOpen_) endBatch();
    storer_->drain();
}

bool IndexWriter::commitIfDue(std::chrono::milliseconds interval) {
    if (!batchOpen_ || std::chrono::steady_clock::now() - batchStart_ < interval) return false;
    endBatch();
    return true;
}

template <class Contents>
IndexWriter::Change IndexWriter::fileRow(const std::string& path, int status,
                                         const std::optional<FileIdentity>& identity, bool retryEveryRun,
                                         std::optional<std::string> cause, std::optional<int64_t> dependencies,
                                         Contents contents, size_t contentBytes) {
    const auto found = stored_.find(path);
    const bool existing = found != stored_.end();
    const int64_t id = existing ? found->second.id : nextFileId_++;
    later([this, id, existing, path = existing ? std::string() : path, status, identity, retryEveryRun,
           cause = std::move(cause), dependencies, contents = std::move(contents)] {
        Statement& write = existing ? statements_->updateFile : statements_->insertFile;
        write.bind(1, id).bind(2, static_cast<int64_t>(status)).bind(3, static_cast<int64_t>(retryEveryRun));
        bindIdentity(write, 4, identity);
        cause ? write.bindText(9, *cause) : write.bindNull(9);
        dependencies ? write.bind(10, *dependencies) : write.bindNull(10);
        if (!existing) write.bindBlob(11, path);
        write.run();
        if (existing) clearContents(id);
        contents(id);
    }, path.size() + contentBytes);
    stored_.insert_or_assign(path, Stored{id, retryEveryRun, identity, true});
    if (!existing) return Change::added;
    stale_.erase(id);
    return Change::updated;
}

void IndexWriter::clearContents(int64_t file) {
    statements_->deleteNumbers.bind(1, firstRowOf(file)).bind(2, firstRowOf(file + 1)).run();
    for (Statement* statement : {&statements_->deleteListing, &statements_->deleteValues, &statements_->deleteWords}) {
        statement->bind(1, file).run();
    }
}

IndexWriter::Change IndexWriter::storeClip(const std::string& path, const FileIdentity& identity,
                                           const Dictionary& attributes,
                                           const std::vector<CatalogDependency>& dependencies) {
    const std::vector<uint8_t> archive = Coder::archivedDataWithRootObject(&attributes);
    const std::string encoded = encodeClipValues(attributes);
    return storeClip(path, identity, bytesOf(archive), *ClipValues::split(encoded), dependencies);
}

IndexWriter::Change IndexWriter::storeClip(const std::string& path, const FileIdentity& identity,
                                           std::string_view archive, const ClipValues& values,
                                           const std::vector<CatalogDependency>& dependencies) {
    // The numbers' rows are laid out here, where the names' ids are known.
    struct NumberRow {
        int64_t name;
        int64_t kind;
        ClipNumber number;
    };
    std::vector<NumberRow> numbers;
    ClipValueReader reader(values.values);
    for (ClipValue value; reader.next(&value) && static_cast<int64_t>(numbers.size()) < kRowsPerFile;) {
        if ((value.kind != kNumberValue && value.kind != kDateValue) || !isComparableNumber(value.number)) continue;
        numbers.push_back({nameId(value.name), value.kind, value.number});
    }
    // The three texts in one block: the storing thread's work holds as few as it can.
    std::string texts;
    texts.reserve(archive.size() + values.values.size() + values.words.size());
    texts.append(archive).append(values.values).append(values.words);
    const size_t bytes = texts.size();
    auto store = [this, texts = std::move(texts), archiveSize = archive.size(), valuesSize = values.values.size(),
                  numbers = std::move(numbers)](int64_t file) {
        const std::string_view all = texts;
        const std::string_view words = all.substr(archiveSize + valuesSize);
        statements_->insertListing.bind(1, file).bindBlob(2, all.substr(0, archiveSize)).run();
        statements_->insertValues.bind(1, file).bindBlob(2, all.substr(archiveSize, valuesSize)).run();
        Statement& insert = statements_->insertNumber;
        int64_t row = firstRowOf(file);
        for (const NumberRow& number : numbers) {
            insert.bind(1, row++).bind(2, number.name).bind(3, number.kind);
            std::visit(
                [&](auto value) {
                    if constexpr (!std::is_same_v<decltype(value), std::monostate>) insert.bind(4, value);
                },
                number.number);
            insert.run();
        }
        if (!words.empty()) statements_->insertWords.bind(1, file).bindText(2, words).run();
    };
    return fileRow(path, static_cast<int>(StoredStatus::clip), keptIdentity(identity, dependencies), false,
                   std::nullopt, dependencySet(dependencies), std::move(store), bytes);
}

std::optional<int64_t> IndexWriter::dependencySet(const std::vector<CatalogDependency>& dependencies) {
    if (dependencies.empty()) return std::nullopt;
    const auto recent = std::find_if(recentSets_.begin(), recentSets_.end(),
                                     [&](const auto& known) { return known.first == dependencies; });
    if (recent != recentSets_.end()) return recent->second;
    std::vector<int64_t> catalogs;
    for (const auto& dependency : dependencies) catalogs.push_back(catalogId(dependency));
    std::sort(catalogs.begin(), catalogs.end());
    catalogs.erase(std::unique(catalogs.begin(), catalogs.end()), catalogs.end());
    std::string list;
    for (const int64_t catalog : catalogs) list += (list.empty() ? "" : " ") + std::to_string(catalog);
    auto found = setIds_.find(list);
    if (found == setIds_.end()) {
        const int64_t id = nextSetId_++;
        later([this, id, list] { statements_->insertSet.bind(1, id).bindText(2, list).run(); });
        found = setIds_.emplace(std::move(list), id).first;
    }
    constexpr size_t kRecentSets = 8;
    if (recentSets_.size() == kRecentSets) recentSets_.pop_back();
    recentSets_.emplace(recentSets_.begin(), dependencies, found->second);
    return found->second;
}

int64_t IndexWriter::nameId(std::string_view name) {
    if (const auto found = nameIds_.find(name); found != nameIds_.end()) return found->second;
    const int64_t id = nextNameId_++;
    later([this, id, name = std::string(name)] { statements_->insertName.bind(1, id).bindText(2, name).run(); });
    nameIds_.emplace(name, id);
    return id;
}

int64_t IndexWriter::catalogId(const CatalogDependency& dependency) {
    const FileIdentity identity = dependency.identity.value_or(FileIdentity{});
    std::string key = catalogKey(dependency.path, dependency.identity.has_value(), identity);
    if (const auto found = catalogIds_.find(key); found != catalogIds_.end()) return found->second;
    const int64_t id = nextCatalogId_++;
    later([this, id, path = dependency.path, present = dependency.identity.has_value(), identity] {
        Statement& insert = statements_->insertCatalog;
        insert.bind(1, id).bindBlob(2, path).bind(3, static_cast<int64_t>(present));
        bindIdentity(insert, 4, identity);
        insert.run();
    });
    catalogIds_.emplace(std::move(key), id);
    return id;
}

IndexWriter::Change IndexWriter::storeSkipped(const std::string& path, const FileIdentity& identity) {
    return fileRow(path, static_cast<int>(StoredStatus::skipped), keptIdentity(identity, {}), false, std::nullopt,
                   std::nullopt, [](int64_t) {}, 0);
}

IndexWriter::Change IndexWriter::storeFailure(const std::string& path, const std::optional<FileIdentity>& identity,
                                              const std::string& cause, bool retryEveryRun,
                                              const std::vector<CatalogDependency>& dependencies) {
    return fileRow(path, static_cast<int>(StoredStatus::failed), keptIdentity(identity, dependencies), retryEveryRun,
                   cause, dependencySet(dependencies), [](int64_t) {}, 0);
}

bool IndexWriter::remove(const std::string& path) {
    const auto found = stored_.find(path);
    if (found == stored_.end()) return false;
    const int64_t id = found->second.id;
    later([this, id] {
        clearContents(id);
        statements_->deleteFile.bind(1, id).run();
    });
    stored_.erase(found);
    stale_.erase(id);
    return true;
}

}  // namespace ossel
