#pragma once
// JSON Lines, one object per file:
//   {"path": "...", "imported": true, "attributes": {...}}
//   {"path": "...", "imported": false, "error": "..."}
// Texts, numbers and booleans as themselves, dates as ISO 8601 UTC
// ("2006-03-14T10:22:05Z"), data as base64, lists and dictionaries nested,
// values of the model library as their text form. With timings an object also
// carries "seconds".
//
// Every line is valid UTF-8: a byte that breaks UTF-8 becomes U+FFFD, and a
// path that needs this also comes as "pathBytes", its exact bytes in base64, so
// that a reader can still open the file.

#include <optional>
#include <string>
#include <string_view>

#include "foundation/Dictionary.h"

namespace ossel {

class JsonRecord {
public:
    static void appendImported(std::string& out, std::string_view path, const Dictionary& attributes,
                               std::optional<double> seconds);
    static void appendFailed(std::string& out, std::string_view path, std::string_view reason);

    // The pieces, for other records of the same style.
    static void appendPath(std::string& out, std::string_view path);  // "path" (and "pathBytes")
    static void appendValue(std::string& out, const Object* value);
    static void appendString(std::string& out, std::string_view text);
};

}  // namespace ossel
