#include "HostOptions.h"

#include <charconv>
#include <cmath>
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

template <class Number>
bool parseNumber(std::string_view text, Number* value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size();
}

// Checks and stores the value of an option that takes one; false with *error.
bool takeValue(std::string_view option, std::string_view value, HostOptions& options, std::string* error) {
    if (option == "-g") {
        options.bundlePath = value;
    } else if (option == "--failed") {
        options.failedPath = value;
    } else if (option == "--db") {
        options.dbPath = value;
    } else if (option == "-j") {
        if (!parseNumber(value, &options.jobs) || options.jobs < 1 || options.jobs > 1024) {
            *error = "-j needs a number of workers from 1 to 1024, not \"" + std::string(value) + "\"";
            return false;
        }
    } else if (option == "--timeout") {
        double seconds = 0;
        if (!parseNumber(value, &seconds) || !std::isfinite(seconds) || seconds <= 0 || seconds > 1e6) {
            *error = "--timeout needs a number of seconds above 0, not \"" + std::string(value) + "\"";
            return false;
        }
        options.timeoutSeconds = seconds;
    } else if (option == "--max-memory") {
        // A worker needs a few tens of MiB just to load the bundle.
        if (!parseNumber(value, &options.maxMemoryMiB) || options.maxMemoryMiB < 64 ||
            options.maxMemoryMiB > (uint64_t(1) << 30)) {
            *error = "--max-memory needs a number of MiB of at least 64, not \"" + std::string(value) + "\"";
            return false;
        }
    }
    return true;
}

// An option's value: attached to it ("-j2", "--timeout=5"), or the next argument.
std::optional<std::string_view> valueOf(std::optional<std::string_view> attached, int& i, int argc,
                                        const char* const* argv) {
    if (attached) return attached;
    if (i + 1 < argc) return argv[++i];
    return std::nullopt;
}

bool takesValue(std::string_view option) {
    return option == "--timeout" || option == "--max-memory" || option == "--failed" || option == "--db";
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
        } else if (arg == "--index") {
            options.index = true;
        } else if (arg.starts_with("--")) {
            // "--timeout 5" or "--timeout=5"
            const size_t equals = arg.find('=');
            const std::string_view name = arg.substr(0, equals);
            if (!takesValue(name)) {
                *error = "unknown option " + std::string(arg);
                return std::nullopt;
            }
            const auto value = valueOf(equals == std::string_view::npos ? std::nullopt
                                                                          : std::optional(arg.substr(equals + 1)),
                                       i, argc, argv);
            if (!value) {
                *error = std::string(name) + " needs a value";
                return std::nullopt;
            }
            if (!takeValue(name, *value, options, error)) return std::nullopt;
        } else {
            // Grouped short flags ("-rt"); -g and -j take the rest of the word or the next argument.
            for (size_t k = 1; k < arg.size(); ++k) {
                if (arg[k] == 'g' || arg[k] == 'j') {
                    const std::string option = {'-', arg[k]};
                    const auto value =
                        valueOf(k + 1 < arg.size() ? std::optional(arg.substr(k + 1)) : std::nullopt, i, argc, argv);
                    if (!value) {
                        *error = option + " needs a value";
                        return std::nullopt;
                    }
                    if (!takeValue(option, *value, options, error)) return std::nullopt;
                    break;
                }
                if (!takeFlag(arg[k], options)) {
                    *error = "unknown option -" + std::string(1, arg[k]);
                    return std::nullopt;
                }
            }
        }
    }
    if (options.index && (options.json || options.timings || !options.failedPath.empty())) {
        *error = "--index stores what it imports: --json, -t and --failed do not go with it";
        return std::nullopt;
    }
    if (!options.index && !options.dbPath.empty()) {
        *error = "--db names the index of an --index run";
        return std::nullopt;
    }
    return options;
}

const char* HostOptions::usage() {
    return "usage: ossel-mdimport [-r] [-t] [-L] [--json] [-j N] [--timeout SECONDS] [--max-memory MIB]\n"
           "                      [--failed FILE] [-g BUNDLE] FILE|DIRECTORY...\n"
           "       ossel-mdimport --index [--db PATH] [-r] [-j N] [--timeout SECONDS] [--max-memory MIB]\n"
           "                      [-g BUNDLE] FILE|DIRECTORY...\n"
           "  Loads the importer bundle the way the indexing service does and imports each file\n"
           "  in worker processes, so that no file can take the run down.\n"
           "  -r                walk directories; special files, dangling or looping links, links to\n"
           "                    directories and files that are not clip annotations are skipped, each\n"
           "                    with a note on standard error\n"
           "  -g BUNDLE         the importer bundle (default: OsselImporter.mdimporter beside this program,\n"
           "                    else the one installed with it)\n"
           "  --json            JSON Lines, one object per file, instead of the attribute listing\n"
           "  -j N              N worker processes (default: one per processor)\n"
           "  --timeout SECONDS a file still importing after this long fails and its worker is\n"
           "                    replaced (default 30)\n"
           "  --max-memory MIB  the memory a worker may use; a file that needs more fails (default 2048)\n"
           "  --failed FILE     also write the files that failed, with the causes, to FILE as JSON Lines\n"
           "  -L                list what the bundle declares: factories, plug-in types, content types\n"
           "  -t                add each file's import time\n"
           "  --index           store the attributes in the index for ossel-mdfind and ossel-mdls instead\n"
           "                    of printing them, and end with \"N added, N updated, N removed,\n"
           "                    N unchanged, N failed\" on standard error. Files whose identity (device,\n"
           "                    inode, size, times) is unchanged are not read again, unless a catalog\n"
           "                    they were matched against changed or appeared; files gone from a walked\n"
           "                    directory are removed, except below a directory that could not be read;\n"
           "                    files whose worker crashed, timed out or ran out of memory are retried\n"
           "                    on every run\n"
           "  --db PATH         the index (default: $OSSEL_INDEX, else $XDG_DATA_HOME/ossel/index.sqlite,\n"
           "                    else ~/.local/share/ossel/index.sqlite)\n"
           "exit status: 0 every file imported or skipped, 1 some failed (with --index: in this run),\n"
           "2 bad usage, a bundle that does not load, an index that is not ours or that another --index\n"
           "run is writing, 3 the output or the index could not be written (wins over 1)\n";
}

}  // namespace ossel
