// ossel-plcat: prints the old-style description of every property-list file
// named on the command line or found under a named directory.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/Dictionary.h"
#include "foundation/PropertyList.h"
#include "foundation/RegularFile.h"

namespace fs = std::filesystem;
using namespace ossel;

namespace {

inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: ossel-plcat FILE_OR_DIRECTORY...\n"
    "\n"
    "Prints each property-list file (XML or binary) as an old-style description,\n"
    "after a line with its path. A directory is searched through; in it only the\n"
    "files that start like a property list are read, so that pictures or notes\n"
    "beside them are passed over.\n"
    "\n"
    "A file that cannot be read gets one line on standard error, \"PATH: reason\",\n"
    "and the next file is read. Files larger than OSSEL_MAX_FILE_MIB mebibytes\n"
    "(default 64) and anything that is not a regular file are refused unread.\n"
    "\n"
    "Exit status: 0 all read, 1 some file failed, 2 bad usage.\n";

// Inside directories only files that look like property lists are read, so that a
// catalog folder with pictures or notes beside the lists prints cleanly.
bool looksLikePropertyList(const fs::path& path) {
    std::vector<uint8_t> head;
    if (!readRegularFileHead(path.string(), 64, head)) return false;
    const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
    if (text.starts_with("bplist") || text.starts_with("\xFE\xFF") || text.starts_with("\xFF\xFE")) return true;
    const size_t start = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    if (start == std::string_view::npos) return false;
    const std::string_view rest = text.substr(start);
    return rest.starts_with("<?xml") || rest.starts_with("<!DOCTYPE plist") || rest.starts_with("<plist");
}

bool printFile(const std::string& path) {
    std::string error;
    const Ref<Object> root = readPropertyListFromFile(path, &error);
    if (!root) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    std::printf("%s:\n%s\n", path.c_str(), oldStyleDescription(root.get()).c_str());
    return true;
}

bool printDirectory(const fs::path& directory) {
    std::error_code ec;
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(directory, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_regular_file(ec) && looksLikePropertyList(it->path())) files.push_back(it->path());
    }
    if (ec) {
        std::fprintf(stderr, "%s: %s\n", directory.c_str(), ec.message().c_str());
        return false;
    }
    std::sort(files.begin(), files.end());
    bool ok = true;
    for (const auto& file : files) ok = printFile(file.string()) && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const int first = argc >= 2 && std::strcmp(argv[1], "--") == 0 ? 2 : 1;
    if (first == 1 && argc >= 2 && argv[1][0] == '-' && argv[1][1] != '\0') {
        std::fprintf(stderr, "ossel-plcat: unknown option %s\n%s", argv[1], kUsage);
        return kExitUsage;
    }
    if (first >= argc) {
        std::fprintf(stderr, "ossel-plcat: no files given\n%s", kUsage);
        return kExitUsage;
    }
    bool ok = true;
    for (int i = first; i < argc; ++i) {
        std::error_code ec;
        ok = (fs::is_directory(argv[i], ec) ? printDirectory(argv[i]) : printFile(argv[i])) && ok;
    }
    return ok ? 0 : kExitSomeFailed;
}
