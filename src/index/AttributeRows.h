#pragma once
// The kinds of rows in the attributes table: one per compared value, list
// elements each in their own row, and one row per list that holds its length,
// so that "!=" can tell an empty list from a missing attribute.

namespace ossel {

inline constexpr int kTextRow = 0;
inline constexpr int kNumberRow = 1;
inline constexpr int kDateRow = 2;
inline constexpr int kListRow = 3;

}  // namespace ossel
