#pragma once
// One connection to an index file. Opening checks that the file is one of
// ours (application id) of the schema version this program reads, and a
// writable connection creates the schema in a new or empty file; anything
// else is refused with an IndexError and left exactly as it was.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace ossel {

class IndexDatabase {
public:
    enum class Access { readOnly, readWrite };

    // "OSSL" in the database header, so that `file` and other programs can tell an index apart.
    static constexpr int32_t kApplicationId = 0x4F53534C;
    static constexpr int32_t kSchemaVersion = 4;

    IndexDatabase(const std::string& path, Access access);
    ~IndexDatabase();
    IndexDatabase(const IndexDatabase&) = delete;
    IndexDatabase& operator=(const IndexDatabase&) = delete;

    sqlite3* handle() const { return db_; }
    const std::string& path() const { return path_; }
    // Runs one or more statements that return no rows.
    void exec(std::string_view sql);

private:
    IndexDatabase() = default;
    void open(Access access);
    // A new index appears whole: built beside its place and linked into it, so
    // that no reader ever meets a database that has no schema yet.
    static void create(const std::string& path);
    void checkOrCreateSchema(Access access);

    std::string path_;
    sqlite3* db_ = nullptr;
};

}  // namespace ossel
