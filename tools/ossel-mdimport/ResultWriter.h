#pragma once
// Where the host puts what one file gave: the attributes of an imported file,
// or the reason a named file was not imported.

#include <cstdio>
#include <optional>
#include <string>

#include "foundation/Dictionary.h"

namespace ossel {

class ResultWriter {
public:
    virtual ~ResultWriter() = default;
    // `seconds` is the import's duration when the user asked for timings.
    virtual void imported(const std::string& path, const Dictionary& attributes, std::optional<double> seconds) = 0;
    virtual void failed(const std::string& path, const std::string& reason) = 0;
};

// Writes the whole text in one call: records are built in memory first, so
// that a record is never interleaved with another stream's output.
inline void writeOut(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace ossel
