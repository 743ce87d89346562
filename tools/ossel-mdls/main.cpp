// ossel-mdls: the attributes the index holds for files, in ossel-mdimport's listing layout.

#include <unistd.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ExitStatus.h"
#include "ListingRecord.h"
#include "RecordOutput.h"
#include "index/IndexError.h"
#include "index/IndexPaths.h"
#include "index/IndexReader.h"

using namespace ossel;

namespace {

constexpr const char* kUsage =
    "usage: ossel-mdls [--db PATH] FILE...\n"
    "  Prints the attributes the index holds for each FILE, as ossel-mdimport lists them.\n"
    "  --db PATH  the index (default: $OSSEL_INDEX, else $XDG_DATA_HOME/ossel/index.sqlite,\n"
    "             else ~/.local/share/ossel/index.sqlite)\n"
    "exit status: 0 every file listed, 1 a file not in the index or no usable index, 2 bad usage,\n"
    "3 the output could not be written\n";

// Why a stored file has no attributes to list.
std::string notListed(const StoredFile& file) {
    if (file.status == StoredStatus::skipped) return "not a clip annotation file (skipped by the indexing run)";
    return "its import failed: " + file.cause;
}

int usageError(const std::string& problem) {
    writeErrorLine("ossel-mdls: " + problem + "\n" + std::string(kUsage, std::strlen(kUsage) - 1));
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    std::string db;
    std::vector<std::string> files;
    bool optionsEnded = false;
    RecordOutput out(STDOUT_FILENO, "standard output");
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || !arg.starts_with('-') || arg == "-") {
            files.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--db" && i + 1 < argc) {
            db = argv[++i];
        } else if (arg.starts_with("--db=")) {
            db = arg.substr(5);
        } else if (arg == "-h" || arg == "--help") {
            out.add(kUsage);
            return out.flush() ? kExitSuccess : kExitOutputFailed;
        } else {
            return usageError(arg == "--db" ? "--db needs a value" : "unknown option " + std::string(arg));
        }
    }
    if (files.empty()) return usageError("no files given");
    int status = kExitSuccess;
    try {
        IndexReader index(indexPath(db));
        std::string record;
        for (const std::string& file : files) {
            const std::string path = normalizedAbsolutePath(file);
            const auto stored = index.lookup(path);
            if (stored && stored->attributes) {
                record.clear();
                ListingRecord::appendImported(record, path, *stored->attributes, std::nullopt);
                out.add(record);
                continue;
            }
            out.flush();  // keep the listing and the messages in order on a terminal
            writeErrorLine("ossel-mdls: " + file + ": " + (stored ? notListed(*stored) : "not in the index"));
            status = kExitSomeFailed;
        }
    } catch (const IndexError& failure) {
        out.flush();
        writeErrorLine(std::string("ossel-mdls: ") + failure.what());
        status = kExitSomeFailed;
    }
    if (!out.flush()) {
        writeErrorLine("ossel-mdls: " + out.error());
        return kExitOutputFailed;
    }
    return status;
}
