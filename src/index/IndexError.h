#pragma once
// What can go wrong with an index, as one exception type: opening one that is
// missing, foreign or of another schema version, finding it locked by another
// writer, or an SQLite failure while reading or writing (a full disk, a damaged
// file). The message names the index file and the reason, ready for one line.

#include <stdexcept>
#include <string>

namespace ossel {

enum class IndexErrorKind {
    missing,       // no index at that path (readers never create one)
    notOurs,       // not a database, or a database of another program
    otherVersion,  // one of ours, with another schema version
    busy,          // another run is writing it
    failed,        // SQLite refused an operation
};

class IndexError : public std::runtime_error {
public:
    IndexError(IndexErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    IndexErrorKind kind() const { return kind_; }

private:
    IndexErrorKind kind_;
};

}  // namespace ossel
