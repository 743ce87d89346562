#include "index/IndexPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace ossel {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string homeDirectory() {
    std::string home = environment("HOME");
    if (!home.empty()) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

}  // namespace

std::string indexPath(const std::string& dbOption) {
    if (!dbOption.empty()) return dbOption;
    if (std::string path = environment("OSSEL_INDEX"); !path.empty()) return path;
    // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules ask.
    std::string data = environment("XDG_DATA_HOME");
    if (data.empty() || data.front() != '/') data = homeDirectory() + "/.local/share";
    return data + "/ossel/index.sqlite";
}

std::string normalizedAbsolutePath(std::string_view path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), error);
    if (error) absolute = std::filesystem::path("/") / path;
    std::string normal = absolute.lexically_normal().native();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    // POSIX leaves a leading "//" to the system; Linux reads it as "/".
    while (normal.starts_with("//")) normal.erase(0, 1);
    return normal;
}

PathRange pathsBelow(const std::string& directory) {
    const std::string base = directory == "/" ? "" : directory;
    return {base + "/", base + "0"};
}

}  // namespace ossel
