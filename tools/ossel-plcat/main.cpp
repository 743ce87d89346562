// ossel-plcat: prints the old-style description of every property-list file
// named on the command line or found under a named directory.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/Dictionary.h"
#include "foundation/PropertyList.h"

namespace fs = std::filesystem;
using namespace ossel;

namespace {

inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

// Inside directories only files that look like property lists are read, so that a
// catalog folder with pictures or notes beside the lists prints cleanly.
bool looksLikePropertyList(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    char head[64] = {};
    in.read(head, sizeof head);
    const std::string_view text(head, static_cast<size_t>(in.gcount()));
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
    if (argc < 2 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: %s FILE_OR_DIRECTORY...\n", argv[0]);
        return kExitUsage;
    }
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        ok = (fs::is_directory(argv[i], ec) ? printDirectory(argv[i]) : printFile(argv[i])) && ok;
    }
    return ok ? 0 : kExitSomeFailed;
}
