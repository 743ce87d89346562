#pragma once
// A command line run through the shell to its end, with what it wrote on
// standard output and standard error and how it ended.

#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "support/Scratch.h"

namespace ossel::testing {

struct RunResult {
    int status = -1;  // the exit status; -1 for a process killed by a signal
    std::string out;
    std::string err;
    std::vector<std::string> outLines() const { return linesOf(out); }
    std::vector<std::string> errLines() const { return linesOf(err); }
    static std::vector<std::string> linesOf(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream stream(text);
        for (std::string line; std::getline(stream, line);) lines.push_back(line);
        return lines;
    }
};

// One word for the shell, whatever it holds.
inline std::string quote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline RunResult runShell(const std::string& commandLine) {
    const ScratchDir dir;
    const std::string errFile = (dir / "stderr").string();
    RunResult result;
    FILE* pipe = ::popen(("{ " + commandLine + "; } 2>" + quote(errFile)).c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
    const int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.err = fileContent(errFile);
    return result;
}

}  // namespace ossel::testing
