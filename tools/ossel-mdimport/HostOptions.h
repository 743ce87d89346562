#pragma once
// The command line of ossel-mdimport.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ossel {

struct HostOptions {
    bool recursive = false;        // -r: walk directories
    bool json = false;             // --json: JSON Lines instead of the listing
    bool list = false;             // -L: what the bundle declares
    bool timings = false;          // -t: each file's import time
    bool help = false;             // -h, --help
    bool index = false;            // --index: store in the index instead of printing
    std::string dbPath;            // --db PATH: the index; empty: where indexPath() finds it
    unsigned jobs = 0;             // -j N: worker processes; 0: one per processor
    double timeoutSeconds = 30;    // --timeout SECONDS: per file
    uint64_t maxMemoryMiB = 2048;  // --max-memory MIB: per worker
    std::string failedPath;        // --failed FILE: the failures as JSON Lines
    std::string bundlePath;        // -g BUNDLE; empty: the bundle beside the program
    std::vector<std::string> inputs;

    // The options, or nothing with *error naming the bad argument.
    static std::optional<HostOptions> parse(int argc, const char* const* argv, std::string* error);
    static const char* usage();
};

}  // namespace ossel
