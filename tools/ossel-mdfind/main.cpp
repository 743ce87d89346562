// ossel-mdfind: the clips in the index that match a query.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "JsonLinesWriter.h"
#include "index/IndexError.h"
#include "index/IndexPaths.h"
#include "index/IndexReader.h"
#include "index/Query.h"

using namespace ossel;

namespace {

constexpr int kExitNoIndex = 1;
constexpr int kExitUsage = 2;

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
    "exit status: 0 done (nothing found included), 1 no usable index, 2 bad usage or a malformed query\n";

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

void writeRecord(std::string_view path, const Dictionary* attributes, const Options& options) {
    if (options.json) {
        JsonLinesWriter(stdout).imported(std::string(path), *attributes, std::nullopt);
        return;
    }
    std::fwrite(path.data(), 1, path.size(), stdout);
    std::fputc(options.nul ? '\0' : '\n', stdout);
}

int run(const Options& options) {
    IndexReader index(indexPath(options.db));
    if (options.failed) {
        int64_t count = 0;
        index.forEachFailure(options.onlyIn, [&](std::string_view path, std::string_view cause) {
            ++count;
            if (options.count) return;
            if (options.json) {
                JsonLinesWriter(stdout).failed(std::string(path), std::string(cause));
            } else if (options.nul) {
                writeRecord(path, nullptr, options);
            } else {
                std::string line(path);
                line.append(": ").append(cause).push_back('\n');
                std::fwrite(line.data(), 1, line.size(), stdout);
            }
        });
        if (options.count) std::printf("%lld\n", static_cast<long long>(count));
        return 0;
    }
    QueryError error;
    const auto query = parseQuery(options.queries.front(), &error);
    if (!query) {
        std::fprintf(stderr, "ossel-mdfind: malformed query: %s\n", error.message().c_str());
        return kExitUsage;
    }
    if (options.count) {
        std::printf("%lld\n", static_cast<long long>(index.countMatches(*query, options.onlyIn)));
        return 0;
    }
    index.forEachMatch(*query, options.onlyIn, options.json, [&](std::string_view path, const Dictionary* attributes) {
        writeRecord(path, attributes, options);
    });
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    static char outputBuffer[1 << 16];
    if (!isatty(STDOUT_FILENO)) std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "ossel-mdfind: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    try {
        const int status = run(options);
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::perror("ossel-mdfind: standard output");
            return kExitNoIndex;
        }
        return status;
    } catch (const IndexError& failure) {
        std::fprintf(stderr, "ossel-mdfind: %s\n", failure.what());
        return kExitNoIndex;
    }
}
