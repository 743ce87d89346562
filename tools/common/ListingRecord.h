#pragma once
// The attribute listing, one block per file: the path (with the import time
// when asked), then one "key = value" line per attribute, keys sorted and
// aligned, texts always quoted, lists in parentheses one item a line, dates as
// "2006-03-14 10:22:05 +0000", numbers bare; a blank line ends every block, so
// that blocks written one at a time still read as separated.

#include <optional>
#include <string>
#include <string_view>

#include "foundation/Dictionary.h"

namespace ossel {

class ListingRecord {
public:
    static void appendImported(std::string& out, std::string_view path, const Dictionary& attributes,
                               std::optional<double> seconds);
};

}  // namespace ossel
