#pragma once
// The files a run imports, in walk order: named inputs as given; with -r,
// directories depth first, each directory's entries sorted by name so that a
// walk reads the same on every machine. It goes one entry at a time, so a
// large tree costs the names of one path of directories, not of the tree.
//
// What cannot be a clip is settled here without reading it: special files,
// dangling links, link loops and links to directories (which would let a walk
// run in circles) are skipped with a reason; a named input that is none of
// our files fails.

#include <dirent.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/RegularFile.h"

namespace ossel {

struct WalkItem {
    enum class Kind { file, skipped, failed };
    Kind kind = Kind::file;
    std::string path;
    bool walked = false;  // found by a walk rather than named
    std::string reason;   // why skipped or failed
};

class InputWalk {
public:
    InputWalk(std::vector<std::string> inputs, bool recursive);
    // The next item, or nothing at the end.
    std::optional<WalkItem> next();
    // The identity of the file next() returned last. A walked file is looked up
    // in its open directory: in a large tree, walking every file's whole path
    // again would cost more than the rest of a run that finds nothing changed.
    std::optional<FileIdentity> identity(const WalkItem& item);

private:
    // A directory's names share one buffer: a tree is mostly names, and one
    // allocation per name would cost more than reading it.
    struct Entry {
        uint32_t offset;
        uint32_t length;
        unsigned char type;  // d_type
    };
    struct Directory {
        std::string path;  // ends with '/'
        std::string names;
        std::vector<Entry> entries;
        size_t next = 0;
        // Opened when a file here is first looked up, and only for the innermost
        // directory, so that a deep tree cannot run out of descriptors.
        FileDescriptor fd;
        std::string_view name(const Entry& entry) const {
            return std::string_view(names).substr(entry.offset, entry.length);
        }
    };

    std::optional<WalkItem> named(const std::string& input);
    std::optional<WalkItem> entry(std::string path, unsigned char type);
    // Opens a directory for the walk; a failure when it cannot be read.
    std::optional<WalkItem> enter(const std::string& path, bool walked);

    std::vector<std::string> inputs_;
    size_t nextInput_ = 0;
    bool recursive_;
    std::vector<Directory> stack_;
};

}  // namespace ossel
