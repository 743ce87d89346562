#pragma once
// The built ossel-mdimport run as a user would run it, from a scratch folder
// that also serves as HOME, so that no real catalog leaks in.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/Scratch.h"

namespace ossel::testing {

namespace fs = std::filesystem;

inline const std::string kHost = OSSEL_BINARY_DIR "/ossel-mdimport";
inline const std::string kTroubleBundle = OSSEL_BINARY_DIR "/TroubleImporter.mdimporter";
inline const std::string kSourceDir = OSSEL_SOURCE_DIR;

struct RunResult {
    int status = -1;
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

inline std::string quote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::string readAll(const fs::path& path) { return fileContent(path); }

class Host : public ::testing::Test {
protected:
    Host() { fs::create_directories(scratch_ / "home"); }

    // Runs a shell command line in `cwd` with HOME in the scratch folder; "$HOST" names the host.
    RunResult shell(const std::string& commandLine, const fs::path& cwd = kSourceDir) {
        const fs::path errFile = scratch_ / "stderr";
        const std::string command = "cd " + quote(cwd.string()) + " && export HOME=" +
                                    quote((scratch_ / "home").string()) + " HOST=" + quote(kHost) + " && " +
                                    commandLine + " 2>" + quote(errFile.string());
        RunResult result;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return result;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
        const int raw = pclose(pipe);
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.err = readAll(errFile);
        return result;
    }

    RunResult run(const std::string& arguments, const fs::path& cwd = kSourceDir) {
        return shell("\"$HOST\" " + arguments, cwd);
    }

    fs::path writeFile(const fs::path& relative, const std::string& contents) { return dir_.write(relative, contents); }

    // A small clip annotation with no catalog near it.
    fs::path writeClip(const fs::path& relative, const std::string& title = "A clip") {
        return writeFile(relative, "<plist version=\"1.0\"><dict><key>clipName</key><string>" + title +
                                       "</string><key>clipRating</key><integer>3</integer></dict></plist>");
    }

    const ScratchDir dir_;
    const fs::path scratch_ = dir_.path();
};

}  // namespace ossel::testing
