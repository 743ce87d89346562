#pragma once
// Where the index lives, and the one form every file path takes inside it.

#include <string>
#include <string_view>

namespace ossel {

// `--db PATH` when given; else $OSSEL_INDEX; else $XDG_DATA_HOME/ossel/index.sqlite;
// else ~/.local/share/ossel/index.sqlite.
std::string indexPath(const std::string& dbOption = {});

// Absolute (against the working directory), with ".", ".." and repeated or
// trailing slashes resolved lexically: links are left as the user named them.
// Bytes in, bytes out.
std::string normalizedAbsolutePath(std::string_view path);

// The half-open byte range [low, high) of the paths strictly below a
// normalised directory: "/a/b" gives ["/a/b/", "/a/b0"), '0' following '/'.
struct PathRange {
    std::string low;
    std::string high;
};
PathRange pathsBelow(const std::string& directory);

}  // namespace ossel
