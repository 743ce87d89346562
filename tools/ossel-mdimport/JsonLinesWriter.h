#pragma once
// JSON Lines, one object per file:
//   {"path": "...", "imported": true, "attributes": {...}}
//   {"path": "...", "imported": false, "error": "..."}
// Texts, numbers and booleans as themselves, dates as ISO 8601 UTC
// ("2006-03-14T10:22:05Z"), data as base64, lists and dictionaries nested.
// With timings each object also carries "seconds".

#include "ResultWriter.h"

namespace ossel {

class JsonLinesWriter final : public ResultWriter {
public:
    explicit JsonLinesWriter(std::FILE* out) : out_(out) {}
    void imported(const std::string& path, const Dictionary& attributes, std::optional<double> seconds) override;
    void failed(const std::string& path, const std::string& reason) override;

    // One value as JSON; appended to `out`.
    static void appendValue(std::string& out, const Object* value);
    static void appendString(std::string& out, std::string_view text);

private:
    std::FILE* out_;
    std::string line_;
};

}  // namespace ossel
