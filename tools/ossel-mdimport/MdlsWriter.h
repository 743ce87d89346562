#pragma once
// The familiar listing: the path, then one "key = value" line per attribute,
// keys sorted and aligned, texts quoted, lists in parentheses one item a line,
// dates as "2006-03-14 10:22:05 +0000", numbers bare. Blocks are separated by
// an empty line. Files that were not imported leave no block.

#include "ResultWriter.h"

namespace ossel {

class MdlsWriter final : public ResultWriter {
public:
    explicit MdlsWriter(std::FILE* out) : out_(out) {}
    void imported(const std::string& path, const Dictionary& attributes, std::optional<double> seconds) override;
    void failed(const std::string&, const std::string&) override {}

    // One value as the listing shows it, nested lists indented four blanks a level.
    static std::string renderValue(const Object* value, int indentLevel);

private:
    std::FILE* out_;
    bool first_ = true;
};

}  // namespace ossel
