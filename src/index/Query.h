#pragma once
// The query language of ossel-mdfind, parsed into a tree.
//
//   kMDItemStarRating >= 4 && (kMDItemKeywords == "maren*"cd || * == "*harbour*"c)
//   kMDItemContentCreationDate < $time.iso(2007-05-19T13:58:12Z)
//   maren harb                        (no operator: free text, each word a word prefix)
//
// A malformed query gives one error that names the column (in characters,
// from 1), what was expected there and what was found.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ossel {

enum class QueryOperator { equal, notEqual, less, greater, lessOrEqual, greaterOrEqual };

struct QueryValue {
    enum class Kind { number, text, date };
    Kind kind = Kind::number;
    // A number is compared exactly as an integer when it was written as one.
    bool isInteger = false;
    int64_t integer = 0;
    // The number, or the date in seconds since 2001-01-01 00:00:00 UTC.
    double real = 0;
    // A text as the pieces between its wildcards: "a*b" is {"a", "b"}, "*a" is
    // {"", "a"}. One piece means no wildcard, always so for <, >, <= and >=,
    // where a star is just a star.
    std::vector<std::string> pieces;
    // unicode::FoldOptions asked for by the c and d modifiers; 0 compares exactly.
    unsigned fold = 0;
};

struct QueryNode {
    enum class Type { comparison, all, any, negation, words };
    Type type = Type::comparison;
    std::string attribute;  // "*" stands for every searched text attribute
    QueryOperator op = QueryOperator::equal;
    QueryValue value;
    std::vector<QueryNode> children;  // all, any: two or more; negation: one
    std::vector<std::string> words;   // free text, as typed
};

struct QueryError {
    size_t column = 0;  // in characters, from 1
    std::string expected;
    std::string found;
    // "column 12: expected ..., found ..."
    std::string message() const;
};

// Nothing, with *error, when the query is malformed.
std::optional<QueryNode> parseQuery(std::string_view text, QueryError* error);

}  // namespace ossel
