#include "HostOptions.h"

#include <string_view>

namespace ossel {

namespace {

bool takeFlag(char flag, HostOptions& options) {
    switch (flag) {
        case 'r': options.recursive = true; return true;
        case 'L': options.list = true; return true;
        case 't': options.timings = true; return true;
        case 'h': options.help = true; return true;
        default: return false;
    }
}

}  // namespace

std::optional<HostOptions> HostOptions::parse(int argc, const char* const* argv, std::string* error) {
    HostOptions options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
            options.inputs.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--help") {
            options.help = true;
        } else if (arg.starts_with("--")) {
            *error = "unknown option " + std::string(arg);
            return std::nullopt;
        } else {
            // Grouped short flags ("-rt"); -g takes the rest of the word or the next argument.
            for (size_t k = 1; k < arg.size(); ++k) {
                if (arg[k] == 'g') {
                    if (k + 1 < arg.size()) {
                        options.bundlePath = std::string(arg.substr(k + 1));
                    } else if (i + 1 < argc) {
                        options.bundlePath = argv[++i];
                    } else {
                        *error = "-g needs a bundle path";
                        return std::nullopt;
                    }
                    break;
                }
                if (!takeFlag(arg[k], options)) {
                    *error = "unknown option -" + std::string(1, arg[k]);
                    return std::nullopt;
                }
            }
        }
    }
    return options;
}

const char* HostOptions::usage() {
    return "usage: ossel-mdimport [-r] [-t] [-L] [--json] [-g BUNDLE] FILE|DIRECTORY...\n"
           "  Loads the importer bundle the way the indexing service does and imports each file.\n"
           "  -r         walk directories; files that are not clip annotations are skipped with a note\n"
           "  -g BUNDLE  the importer bundle (default: OsselImporter.mdimporter beside this program)\n"
           "  --json     JSON Lines, one object per file, instead of the attribute listing\n"
           "  -L         list what the bundle declares: factories, plug-in types, content types\n"
           "  -t         add each file's import time\n"
           "exit status: 0 every file imported, 1 some were not, 2 bad usage or an unloadable bundle\n";
}

}  // namespace ossel
