#pragma once
// How the index keeps texts that queries compare, and compares them.
//
// A text attribute's row holds the text; a list's row holds the list's texts
// in one value, each after its length (a varint), so that a clip costs one row
// per attribute, not one per keyword. Comparisons run in the query as the SQL
// function ossel_match(kind, value, operator, fold, pieces): true when the text,
// or any text of the list, compares as asked (`pieces` in the same length-prefixed
// form, already folded as asked).

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "index/Query.h"

namespace ossel {

// Appends one text to a list's value, or to the pieces of a pattern.
void appendCountedText(std::string& out, std::string_view text);
std::vector<std::string_view> countedTexts(std::string_view value);

// Takes counted texts, and bytes of a known count, from the front of a value.
class CountedTextReader {
public:
    explicit CountedTextReader(std::string_view bytes) : rest_(bytes) {}
    bool atEnd() const { return rest_.empty(); }
    // False, taking nothing, when the value ends before the text does.
    bool next(std::string_view* text);
    bool bytes(size_t count, std::string_view* taken);

private:
    std::string_view rest_;
};

// True when `text` (folded as the query asked) compares with the pieces: for
// "==" the pieces with any run of characters between them; for the orderings
// the one piece, by code point.
bool textMatches(std::string_view text, QueryOperator op, const std::vector<std::string_view>& pieces);

// Makes ossel_match known to the connection.
void registerTextMatch(sqlite3* db);

}  // namespace ossel
