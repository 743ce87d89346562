#pragma once
// The rows of the attributes table: a text in one row; a number or a date in
// one row, list elements too, for the numeric index to serve; a list in one
// row that holds its texts (see TextMatch.h) and its length, so that "!="
// can tell an empty list from a missing attribute.
//
// A row's id is its file's id shifted left, plus the row's number within the
// file: a file's rows are one range of ids, found and removed without an index
// of their own, and queries read the file from the id any index carries.

#include <cstdint>

namespace ossel {

inline constexpr int kRowNumberBits = 24;
// Values past this many in one file are listed but not compared.
inline constexpr int64_t kRowsPerFile = int64_t{1} << kRowNumberBits;
inline constexpr int64_t firstRowOf(int64_t file) { return file << kRowNumberBits; }

inline constexpr int kTextRow = 0;
inline constexpr int kNumberRow = 1;
inline constexpr int kDateRow = 2;
inline constexpr int kListRow = 3;

}  // namespace ossel
