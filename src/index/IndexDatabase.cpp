#include "index/IndexDatabase.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/Format.h"
#include "index/IndexError.h"
#include "index/SearchText.h"
#include "index/Statement.h"
#include "index/ValueMatch.h"

namespace ossel {

namespace {

// Paths are blobs, compared as bytes, so that every name (UTF-8 or not) keeps
// its place in byte order. Identities may be null for a failed file that could
// not be examined. `files` stays narrow, for queries read many of its rows; a
// clip's attributes are kept whole in `listings`, for showing them.
// `attributes` holds the values queries compare, a clip's in one row (see
// ClipValues.h), compared where they lie once the word index has narrowed the
// files down wherever a pattern lets it; `numbers` holds the numbers and dates
// among them again, one a row, for their index to serve comparisons.
// A file's `dependencies` is the set of catalog states its import depended on,
// a row of `dependency_sets` that lists their ids in `catalogs`: the clips of a
// folder share one set, so a file holds a number, not a row per catalog.
// The word index gathers 8 MiB of new words in memory (FTS5's default is 1 MiB)
// before it writes them out: a first run of many files then writes a quarter as
// many pieces of index, and merges them far less.
constexpr std::string_view kSchema = R"sql(
CREATE TABLE files (
    id INTEGER PRIMARY KEY,
    path BLOB NOT NULL UNIQUE,
    status INTEGER NOT NULL,
    retry_every_run INTEGER NOT NULL DEFAULT 0,
    device INTEGER, inode INTEGER, size INTEGER, modified INTEGER, changed INTEGER,
    cause TEXT,
    dependencies INTEGER
);
CREATE TABLE listings (file INTEGER PRIMARY KEY, attributes BLOB NOT NULL);
CREATE TABLE names (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE attributes (file INTEGER PRIMARY KEY, vals BLOB NOT NULL);
CREATE TABLE numbers (id INTEGER PRIMARY KEY, name INTEGER NOT NULL, kind INTEGER NOT NULL, num NOT NULL);
CREATE VIRTUAL TABLE words USING fts5 (body, tokenize = '%@', columnsize = 0);
INSERT INTO words (words, rank) VALUES ('hashsize', 8388608);
CREATE TABLE catalogs (
    id INTEGER PRIMARY KEY,
    path BLOB NOT NULL,
    present INTEGER NOT NULL,
    device INTEGER, inode INTEGER, size INTEGER, modified INTEGER, changed INTEGER,
    UNIQUE (path, present, device, inode, size, modified, changed)
);
CREATE TABLE dependency_sets (id INTEGER PRIMARY KEY, catalogs TEXT NOT NULL UNIQUE);
CREATE INDEX numbers_value ON numbers (name, kind, num);
)sql";

int64_t pragmaValue(sqlite3* db, const char* name) {
    Statement statement(db, format("PRAGMA %@", name));
    return statement.step() ? statement.columnInt(0) : 0;
}

}  // namespace

IndexDatabase::IndexDatabase(const std::string& path, Access access) : path_(path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (access == Access::readOnly) {
            throw IndexError(IndexErrorKind::missing, path + ": no index here (ossel-mdimport --index builds one)");
        }
        create(path);
    }
    open(access);
}

void IndexDatabase::create(const std::string& path) {
    IndexDatabase draft;
    draft.path_ = path + "-new";
    // A draft is only ever written under the writer's lock: one left behind is a killed writer's.
    ::unlink(draft.path_.c_str());
    draft.open(Access::readWrite);
    sqlite3_close(draft.db_);
    draft.db_ = nullptr;
    // link, unlike rename, never replaces an index that appeared meanwhile.
    const int linked = ::link(draft.path_.c_str(), path.c_str());
    const int cause = errno;
    ::unlink(draft.path_.c_str());
    if (linked != 0 && cause != EEXIST) throw IndexError(IndexErrorKind::failed, path + ": " + std::strerror(cause));
}

void IndexDatabase::open(Access access) {
    // The allocation statistics take a lock on every allocation, and nothing reads them.
    // SQLite accepts this only before it is first used, so a later call changes nothing.
    static const int kStatisticsOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)kStatisticsOff;
    const int flags = access == Access::readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const int code = sqlite3_open_v2(path_.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        const std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
        sqlite3_close(db_);
        db_ = nullptr;
        throw IndexError(IndexErrorKind::failed, path_ + ": " + reason);
    }
    try {
        sqlite3_busy_timeout(db_, 5000);
        registerValueMatch(db_);
        checkOrCreateSchema(access);
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

IndexDatabase::~IndexDatabase() { sqlite3_close(db_); }

void IndexDatabase::exec(std::string_view sql) {
    const std::string text(sql);
    if (const int code = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr); code != SQLITE_OK) {
        throwSqliteError(db_, code);
    }
}

void IndexDatabase::checkOrCreateSchema(Access access) {
    const auto check = [this](bool allowEmpty) {
        const int64_t application = pragmaValue(db_, "application_id");
        const int64_t version = pragmaValue(db_, "user_version");
        Statement objects(db_, "SELECT count(*) FROM sqlite_schema");
        const bool empty = objects.step() && objects.columnInt(0) == 0;
        if (application == kApplicationId) {
            if (version == kSchemaVersion) return false;
            throw IndexError(IndexErrorKind::otherVersion,
                             format("%@: an ossel index of schema version %d; this program reads version %d "
                                    "(move it away and index again)",
                                    path_, static_cast<int>(version), kSchemaVersion));
        }
        if (application == 0 && version == 0 && empty && allowEmpty) return true;
        throw IndexError(IndexErrorKind::notOurs,
                         path_ + (empty ? ": not an ossel index (an empty database)"
                                        : ": not an ossel index (a database of another program)"));
    };
    if (!check(access == Access::readWrite)) {
        if (access == Access::readWrite) exec("PRAGMA journal_mode = WAL");
        return;
    }
    // New: WAL first (it cannot change inside a transaction), then the schema
    // in one transaction, checked again in case another writer got here first.
    // Pages four times the default: a clip's rows span fewer of them, and the
    // log and the database take fewer writes.
    exec("PRAGMA page_size = 16384");
    exec("PRAGMA journal_mode = WAL");
    exec("BEGIN IMMEDIATE");
    try {
        if (check(true)) {
            exec(format(kSchema, kWordTokenizer));
            exec(format("PRAGMA application_id = %d; PRAGMA user_version = %d", kApplicationId, kSchemaVersion));
        }
        exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace ossel
