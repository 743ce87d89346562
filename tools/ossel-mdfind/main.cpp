// ossel-mdfind: the clips in the index that match a query.

#include <unistd.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ExitStatus.h"
#include "JsonRecord.h"
#include "RecordOutput.h"
#include "index/IndexError.h"
#include "index/IndexPaths.h"
#include "index/IndexReader.h"
#include "index/Query.h"

using namespace ossel;

namespace {

// A missing or unusable index is this program's one failed input.
constexpr int kExitNoIndex = kExitSomeFailed;

constexpr const char* kUsage =
    "usage: ossel-mdfind [--db PATH] [-onlyin DIR]... [-0 | --json | -count] QUERY\n"
    "       ossel-mdfind [--db PATH] [-onlyin DIR]... [-0 | --json | -count] --failed\n"
    "  Prints the indexed clips that match QUERY, one path a line, in byte order.\n"
    "  QUERY is either free words, each of which must start a word of a clip's title,\n"
    "  description, keywords, text content or video format (case and accents ignored):\n"
    "      ossel-mdfind 'maren harb'\n"
    "  or comparisons ATTRIBUTE OP VALUE joined by &&, || and !, with parentheses:\n"
    "      ossel-mdfind 'kMDItemStarRating >= 4 && kMDItemKeywords == \"maren*\"cd'\n"
    "    ATTRIBUTE  an attribute name, or * for any of the five text attributes above\n"
    "    OP         == != < > <= >=\n"
    "    VALUE      a number; a \"text\", where * matches any run of characters (== and !=),\n"
    "               \\* \\\" \\\\ escape, and a trailing c ignores case, d diacritics;\n"
    "               or a date: $time.iso(2007-05-19) or $time.iso(2007-05-19T13:58:12Z)\n"
    "  --db PATH    the index (default: $OSSEL_INDEX, else $XDG_DATA_HOME/ossel/index.sqlite,\n"
    "               else ~/.local/share/ossel/index.sqlite)\n"
    "  -onlyin DIR  only files below DIR (may be repeated)\n"
    "  -0           end each path with a NUL instead of a newline\n"
    "  --json       one JSON object per file, with its attributes\n"
    "  -count       only the number of files\n"
    "  --failed     the files whose import failed, each with its cause, instead of a query\n"
    "exit status: 0 done (nothing found included), 1 no usable index, 2 bad usage or a malformed query,\n"
    "3 the output could not be written\n";

struct Options {
    std::string db;
    std::vector<std::string> onlyIn;
    bool nul = false;
    bool json = false;
    bool count = false;
    bool failed = false;
    bool help = false;
    std::vector<std::string> queries;
};

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (optionsEnded || !arg.starts_with('-') || arg == "-") {
            options.queries.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--db") {
            if (!value(options.db)) return false;
        } else if (arg.starts_with("--db=")) {
            options.db = arg.substr(5);
        } else if (arg == "-onlyin") {
            std::string directory;
            if (!value(directory)) return false;
            options.onlyIn.push_back(normalizedAbsolutePath(directory));
        } else if (arg == "-0") {
            options.nul = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "-count") {
            options.count = true;
        } else if (arg == "--failed") {
            options.failed = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else {
            error = "unknown option " + std::string(arg);
            return false;
        }
    }
    if (options.help) return true;
    if (options.nul + options.json + options.count > 1) {
        error = "-0, --json and -count exclude one another";
        return false;
    }
    if (options.failed ? !options.queries.empty() : options.queries.size() != 1) {
        error = options.failed ? "--failed takes no query" : "one QUERY expected (quote it)";
        return false;
    }
    return true;
}

// Paths, failures or JSON objects, gathered into whole-record writes.
class MatchOutput {
public:
    explicit MatchOutput(const Options& options) : options_(options) {}

    void match(std::string_view path, const Dictionary* attributes) {
        record_.clear();
        if (options_.json) {
            JsonRecord::appendImported(record_, path, *attributes, std::nullopt);
        } else {
            record_.append(path).push_back(options_.nul ? '\0' : '\n');
        }
        out_.add(record_);
    }
    void failure(std::string_view path, std::string_view cause) {
        record_.clear();
        if (options_.json) {
            JsonRecord::appendFailed(record_, path, cause);
        } else if (options_.nul) {
            record_.append(path).push_back('\0');
        } else {
            record_.append(path).append(": ").append(cause).push_back('\n');
        }
        out_.add(record_);
    }
    void count(int64_t count) { out_.add(std::to_string(count) + '\n'); }
    RecordOutput& output() { return out_; }

private:
    const Options& options_;
    RecordOutput out_{STDOUT_FILENO, "standard output"};
    std::string record_;
};

int run(const Options& options, MatchOutput& out) {
    IndexReader index(indexPath(options.db));
    if (options.failed) {
        int64_t count = 0;
        index.forEachFailure(options.onlyIn, [&](std::string_view path, std::string_view cause) {
            ++count;
            if (!options.count) out.failure(path, cause);
        });
        if (options.count) out.count(count);
        return kExitSuccess;
    }
    QueryError error;
    const auto query = parseQuery(options.queries.front(), &error);
    if (!query) {
        writeErrorLine("ossel-mdfind: malformed query: " + error.message());
        return kExitUsage;
    }
    if (options.count) {
        out.count(index.countMatches(*query, options.onlyIn));
        return kExitSuccess;
    }
    index.forEachMatch(*query, options.onlyIn, options.json,
                       [&](std::string_view path, const Dictionary* attributes) { out.match(path, attributes); });
    return kExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        writeErrorLine("ossel-mdfind: " + error + "\n" + std::string(kUsage, std::strlen(kUsage) - 1));
        return kExitUsage;
    }
    MatchOutput out(options);
    if (options.help) {
        out.output().add(kUsage);
        return out.output().flush() ? kExitSuccess : kExitOutputFailed;
    }
    int status = kExitSuccess;
    try {
        status = run(options, out);
    } catch (const IndexError& failure) {
        out.output().flush();
        writeErrorLine(std::string("ossel-mdfind: ") + failure.what());
        status = kExitNoIndex;
    }
    if (!out.output().flush()) {
        writeErrorLine("ossel-mdfind: " + out.output().error());
        return kExitOutputFailed;
    }
    return status;
}
