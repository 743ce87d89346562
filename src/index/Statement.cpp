#include "index/Statement.h"

#include "index/IndexError.h"

namespace ossel {

IndexError sqliteError(sqlite3* db, int code) {
    const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
    const std::string where = file && *file ? file : "index";
    const int primary = code & 0xff;
    const auto kind = primary == SQLITE_NOTADB ? IndexErrorKind::notOurs
                      : primary == SQLITE_BUSY ? IndexErrorKind::busy
                                               : IndexErrorKind::failed;
    const std::string reason = primary == SQLITE_NOTADB ? "not an ossel index (not a database)"
                                                        : (db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    return IndexError(kind, where + ": " + reason);
}

void throwSqliteError(sqlite3* db, int code) { throw sqliteError(db, code); }

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    const int code = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                        &statement_, nullptr);
    if (code != SQLITE_OK) throwSqliteError(db, code);
}

Statement::~Statement() { sqlite3_finalize(statement_); }

void Statement::fail(int code) const { throwSqliteError(db_, code); }

Statement& Statement::bind(int index, int64_t value) {
    if (const int code = sqlite3_bind_int64(statement_, index, value); code != SQLITE_OK) fail(code);
    return *this;
}

Statement& Statement::bind(int index, double value) {
    if (const int code = sqlite3_bind_double(statement_, index, value); code != SQLITE_OK) fail(code);
    return *this;
}

Statement& Statement::bindText(int index, std::string_view text) {
    const int code = sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    if (code != SQLITE_OK) fail(code);
    return *this;
}

Statement& Statement::bindBlob(int index, std::string_view bytes) {
    // A zero-length blob bound from a null pointer would read back as NULL.
    const int code = sqlite3_bind_blob(statement_, index, bytes.empty() ? "" : bytes.data(),
                                       static_cast<int>(bytes.size()), SQLITE_STATIC);
    if (code != SQLITE_OK) fail(code);
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (const int code = sqlite3_bind_null(statement_, index); code != SQLITE_OK) fail(code);
    return *this;
}

bool Statement::step() {
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    // The message goes with the reset, so take it first.
    IndexError error = sqliteError(db_, code);
    sqlite3_reset(statement_);
    throw error;
}

void Statement::run() {
    while (step()) {
    }
    reset();
}

void Statement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::string_view Statement::columnBytes(int index) const {
    // Ask for the pointer first: the length then counts the bytes that pointer holds.
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement_, index));
    const int size = sqlite3_column_bytes(statement_, index);
    return bytes ? std::string_view(bytes, static_cast<size_t>(size)) : std::string_view();
}

void bindIdentity(Statement& statement, int first, const std::optional<FileIdentity>& identity) {
    if (!identity) {
        for (int i = 0; i < 5; ++i) statement.bindNull(first + i);
        return;
    }
    statement.bind(first, static_cast<int64_t>(identity->device))
        .bind(first + 1, static_cast<int64_t>(identity->inode))
        .bind(first + 2, identity->size)
        .bind(first + 3, identity->modifiedNanoseconds)
        .bind(first + 4, identity->changedNanoseconds);
}

std::optional<FileIdentity> columnIdentity(const Statement& statement, int first) {
    if (statement.columnIsNull(first)) return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(statement.columnInt(first)),
                        static_cast<uint64_t>(statement.columnInt(first + 1)), statement.columnInt(first + 2),
                        statement.columnInt(first + 3), statement.columnInt(first + 4)};
}

}  // namespace ossel
