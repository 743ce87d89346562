#pragma once
// Orders display names as the platform's case-insensitive comparison does for
// the scripts catalog names are written in: letters compare by their lower-case
// form (Latin with its accented letters, Greek, Cyrillic), everything else by
// code point.

#include <string_view>

namespace ossel {

// -1, 0 or 1, like the platform's ascending / same / descending.
int caseInsensitiveCompare(std::string_view a, std::string_view b);

}  // namespace ossel
