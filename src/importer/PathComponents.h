#pragma once
// Path texts handled the way the platform's string path operations handle
// them, so that "three directories up" means the same here as in the application.

#include <string>
#include <string_view>

namespace ossel {

// "/tmp/a/b" -> "/tmp/a", "/tmp/" -> "/", "/" -> "/", "a" -> "", "" -> "".
std::string stringByDeletingLastPathComponent(std::string_view path);
// The same as a view into `path`, for callers that climb several levels.
std::string_view deletingLastPathComponent(std::string_view path);

// "" + "a" -> "a", "/" + "a" -> "/a", "/tmp/" + "a" -> "/tmp/a".
std::string stringByAppendingPathComponent(std::string_view path, std::string_view component);

// A leading "~" becomes $HOME (the password database when HOME is unset), "~name"
// that user's home; anything else, or an unknown user, is left as it is.
std::string stringByExpandingTildeInPath(std::string_view path);

}  // namespace ossel
