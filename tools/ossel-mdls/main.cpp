// ossel-mdls: the attributes the index holds for files, in ossel-mdimport's listing layout.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "MdlsWriter.h"
#include "index/IndexError.h"
#include "index/IndexPaths.h"
#include "index/IndexReader.h"

using namespace ossel;

namespace {

constexpr int kExitSomeMissing = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: ossel-mdls [--db PATH] FILE...\n"
    "  Prints the attributes the index holds for each FILE, as ossel-mdimport lists them.\n"
    "  --db PATH  the index (default: $OSSEL_INDEX, else $XDG_DATA_HOME/ossel/index.sqlite,\n"
    "             else ~/.local/share/ossel/index.sqlite)\n"
    "exit status: 0 every file listed, 1 a file not in the index or no usable index, 2 bad usage\n";

// Why a stored file has no attributes to list.
std::string notListed(const StoredFile& file) {
    if (file.status == StoredStatus::skipped) return "not a clip annotation file (skipped by the indexing run)";
    return "its import failed: " + file.cause;
}

}  // namespace

int main(int argc, char** argv) {
    std::string db;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || !arg.starts_with('-') || arg == "-") {
            files.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--db" && i + 1 < argc) {
            db = argv[++i];
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            const std::string problem = arg == "--db" ? "--db needs a value" : "unknown option " + std::string(arg);
            std::fprintf(stderr, "ossel-mdls: %s\n%s", problem.c_str(), kUsage);
            return kExitUsage;
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "ossel-mdls: no files given\n%s", kUsage);
        return kExitUsage;
    }
    int status = 0;
    try {
        IndexReader index(indexPath(db));
        MdlsWriter writer(stdout);
        for (const std::string& file : files) {
            const std::string path = normalizedAbsolutePath(file);
            const auto stored = index.lookup(path);
            if (stored && stored->attributes) {
                writer.imported(path, *stored->attributes, std::nullopt);
                continue;
            }
            std::fflush(stdout);  // keep the listing and the messages in order on a terminal
            std::fprintf(stderr, "ossel-mdls: %s: %s\n", file.c_str(),
                         stored ? notListed(*stored).c_str() : "not in the index");
            status = kExitSomeMissing;
        }
    } catch (const IndexError& failure) {
        std::fprintf(stderr, "ossel-mdls: %s\n", failure.what());
        return kExitSomeMissing;
    }
    return status;
}
