#pragma once
// The built ossel-mdimport run as a user would run it, from a scratch folder
// that also serves as HOME, so that no real catalog leaks in.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <unistd.h>


#include "support/Run.h"

extern char** environ;

namespace ossel::testing {

namespace fs = std::filesystem;

inline const std::string kHost = OSSEL_BINARY_DIR "/ossel-mdimport";
inline const std::string kTroubleBundle = OSSEL_BINARY_DIR "/TroubleImporter.mdimporter";
inline const std::string kSourceDir = OSSEL_SOURCE_DIR;

class Host : public ::testing::Test {
protected:
    Host() { fs::create_directories(scratch_ / "home"); }

    // Runs a shell command line in `cwd` with HOME in the scratch folder; "$HOST" names the host.
    RunResult shell(const std::string& commandLine, const fs::path& cwd = kSourceDir) {
        return runShell("cd " + quote(cwd.string()) + " && export HOME=" + quote((scratch_ / "home").string()) +
                        " HOST=" + quote(kHost) + " && " + commandLine);
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

    // Starts the host without a shell, with HOME in the scratch folder, standard output
    // to `outFd` and standard error to /dev/null.
    pid_t spawnHost(std::vector<std::string> arguments, int outFd) const {
        arguments.insert(arguments.begin(), kHost);
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const ScopedEnv home("HOME", (scratch_ / "home").string());
        pid_t pid = -1;
        posix_spawn(&pid, kHost.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    const ScratchDir dir_;
    const fs::path scratch_ = dir_.path();
};

}  // namespace ossel::testing
