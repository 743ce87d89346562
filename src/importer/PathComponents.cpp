#include "importer/PathComponents.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace ossel {

namespace {

// Drops trailing slashes but keeps a lone root.
std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

std::string homeFromPasswordDatabase(const char* user) {
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    const int status = user ? getpwnam_r(user, &entry, buffer.data(), buffer.size(), &found)
                            : getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found);
    if (status != 0 || !found || !found->pw_dir) return {};
    return found->pw_dir;
}

std::string currentUserHome() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    return homeFromPasswordDatabase(nullptr);
}

}  // namespace

std::string_view deletingLastPathComponent(std::string_view path) {
    path = withoutTrailingSlashes(path);
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return path.substr(0, 1);
    return withoutTrailingSlashes(path.substr(0, slash));
}

std::string stringByDeletingLastPathComponent(std::string_view path) {
    return std::string(deletingLastPathComponent(path));
}

std::string stringByAppendingPathComponent(std::string_view path, std::string_view component) {
    if (path.empty()) return std::string(component);
    path = withoutTrailingSlashes(path);
    std::string joined;
    joined.reserve(path.size() + 1 + component.size());
    joined += path;
    if (path != "/") joined += '/';
    joined += component;
    return joined;
}

std::string stringByExpandingTildeInPath(std::string_view path) {
    if (!path.starts_with('~')) return std::string(path);
    const size_t slash = path.find('/');
    const std::string_view user = path.substr(1, slash == std::string_view::npos ? std::string_view::npos : slash - 1);
    const std::string home = user.empty() ? currentUserHome() : homeFromPasswordDatabase(std::string(user).c_str());
    if (home.empty()) return std::string(path);
    if (slash == std::string_view::npos || slash + 1 == path.size()) return home;
    return stringByAppendingPathComponent(home, path.substr(slash + 1));
}

}  // namespace ossel
