#pragma once
// A prepared SQLite statement with the few calls the index makes. Texts and
// blobs are bound and read as byte views: paths are bytes, not every name is
// UTF-8. Any SQLite error becomes an IndexError naming the database.

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/RegularFile.h"

namespace ossel {

class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters count from 1, as in SQLite. The bytes must outlive the next step().
    Statement& bind(int index, int64_t value);
    Statement& bind(int index, double value);
    Statement& bindText(int index, std::string_view text);
    Statement& bindBlob(int index, std::string_view bytes);
    Statement& bindNull(int index);

    // True while there is a row; false once the statement is done.
    bool step();
    // Runs a statement that returns no rows, then makes it ready to run again.
    void run();
    // Ready to run again with new bindings.
    void reset();

    int64_t columnInt(int index) const { return sqlite3_column_int64(statement_, index); }
    double columnDouble(int index) const { return sqlite3_column_double(statement_, index); }
    bool columnIsNull(int index) const { return sqlite3_column_type(statement_, index) == SQLITE_NULL; }
    int columnType(int index) const { return sqlite3_column_type(statement_, index); }
    // Text and blob columns alike, valid until the next step() or reset().
    std::string_view columnBytes(int index) const;

private:
    [[noreturn]] void fail(int code) const;

    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

// A file identity in five consecutive columns or parameters from `first`; all null for nothing.
void bindIdentity(Statement& statement, int first, const std::optional<FileIdentity>& identity);
std::optional<FileIdentity> columnIdentity(const Statement& statement, int first);

class IndexError;
// The error SQLite reports for the connection, with the database's file name.
IndexError sqliteError(sqlite3* db, int code);
[[noreturn]] void throwSqliteError(sqlite3* db, int code);

}  // namespace ossel
