#pragma once
// What the index holds about one file.

#include <optional>
#include <string>

#include "foundation/Dictionary.h"
#include "foundation/RegularFile.h"

namespace ossel {

enum class StoredStatus {
    clip,     // imported: its attributes are searchable
    skipped,  // not a clip annotation file (a catalog, say); remembered so that it is not read again
    failed,   // the import failed; `cause` says why
};

struct StoredFile {
    StoredStatus status = StoredStatus::clip;
    // Nothing when a failed file could not be examined.
    std::optional<FileIdentity> identity;
    // A failure that says nothing about the file (a worker's crash, deadline or
    // memory cap), so the file is tried again on every run.
    bool retryEveryRun = false;
    std::string cause;
    Ref<Dictionary> attributes;  // a clip's, when asked for
};

}  // namespace ossel
