#pragma once
// Comparisons as queries make them, on the values the index keeps of a clip
// (ClipValues.h): the SQL function
//
//   ossel_compare(values, names, kind, operator, fold, operand)
//
// is true when a value of one of the attributes `names` (texts each after its
// length) compares with `operand` as `operator` asks. `kind` is the operand's:
// a text (its pieces between wildcards, each after its length, folded as
// `fold` asks), a number or a date. A list's texts count each; "!=" asks for a
// value of the kind (or a list) and none equal. Numbers compare exactly, an
// integer with a real too.

#include <sqlite3.h>

#include <string_view>
#include <vector>

#include "index/Query.h"

namespace ossel {

// True when `text` (folded as the query asked) compares with the pieces: for
// "==" the pieces with any run of characters between them; for the orderings
// the one piece, by code point.
bool textMatches(std::string_view text, QueryOperator op, const std::vector<std::string_view>& pieces);

// Makes ossel_compare known to the connection.
void registerValueMatch(sqlite3* db);

}  // namespace ossel
