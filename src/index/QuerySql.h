#pragma once
// A parsed query as an SQL condition on `files.id`, with its parameters in the
// order of their placeholders. Comparisons become look-ups in the attribute
// indexes (exact, folded, numeric), free text a match in the word index.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "index/Query.h"

namespace ossel {

struct QuerySql {
    // Paths are bound as blobs, the way they are stored; other texts as texts.
    struct Bytes {
        std::string bytes;
    };
    using Parameter = std::variant<int64_t, double, std::string, Bytes>;
    std::string condition;
    std::vector<Parameter> parameters;
};

// `db` tokenizes free-text words the way the word index does.
QuerySql querySql(const QueryNode& query, sqlite3* db);

}  // namespace ossel
