#pragma once
// What the index stores of a clip's attributes for queries to compare and
// search, made where the clip was imported: an import worker sends it to the
// indexing host beside the archived attributes, so that the host, which stores
// every clip on its one connection, neither decodes nor folds anything.
//
// The encoded form holds the searched texts folded (one a line) and the value
// rows of AttributeRows.h, each with its attribute's name; ClipRows reads it
// in place.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "foundation/Dictionary.h"

namespace ossel {

std::string encodeClipRows(const Dictionary& attributes);

struct ClipRows {
    struct Value {
        std::string_view name;
        int kind;
        std::string_view value;  // a text; a list's texts
        std::variant<std::monostate, int64_t, double> number;  // a number or date; a list's length
    };
    std::string_view words;
    std::vector<Value> values;

    // Nothing when the bytes are not an encoding of ours; the views point into them.
    static std::optional<ClipRows> decode(std::string_view encoded);
};

}  // namespace ossel
