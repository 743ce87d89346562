#pragma once
// A catalog file an import probed or read, as it was then: what the plug-in
// reports after each import, and what the index keeps per clip to know when
// the clip must be imported again.

#include <optional>
#include <string>

#include "foundation/RegularFile.h"

namespace ossel {

struct CatalogDependency {
    std::string path;
    std::optional<FileIdentity> identity;  // nothing: there was no such file

    bool operator==(const CatalogDependency&) const = default;
};

}  // namespace ossel
