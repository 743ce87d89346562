// ossel-mdimport: runs the importer bundle over clip annotation files the way
// the indexing service would, and prints the attributes it produced or stores
// them in the index.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "ExitStatus.h"
#include "HostOptions.h"
#include "HostRun.h"
#include "ImportWorker.h"
#include "IndexRun.h"
#include "RecordOutput.h"
#include "WorkerProtocol.h"
#include "foundation/Format.h"
#include "platform/PlugInBundle.h"

using namespace ossel;

namespace {

constexpr const char* kDefaultBundleName = "OsselImporter.mdimporter";

// Beside the program in a build tree; in an installed tree, where the install put
// it relative to the program, so that any prefix works and the tree can be moved.
std::string defaultBundlePath() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return kDefaultBundleName;
    const auto beside = self.parent_path() / kDefaultBundleName;
    if (std::filesystem::exists(beside, error)) return beside.string();
    return (self.parent_path() / OSSEL_BUNDLE_DIR_FROM_BINDIR / kDefaultBundleName).lexically_normal().string();
}

// What -L shows. Reading the declarations loads the module, but calls nothing in it.
int listBundle(const std::string& bundlePath) {
    std::string error;
    const auto bundle = PlugInBundle::load(bundlePath, &error);
    if (!bundle) {
        writeErrorLine("ossel-mdimport: " + error);
        return kExitUsage;
    }
    std::string text = format("bundle: %@\nexecutable: %@\n", bundle->bundlePath(), bundle->executablePath());
    for (const auto& factory : bundle->factories()) {
        text += format("factory: %@ -> %@\n", factory.factoryId, factory.functionName);
    }
    for (const auto& type : bundle->typeIds()) text += format("type: %@\n", type);
    for (const auto& type : bundle->contentTypes()) text += format("content type: %@\n", type);
    RecordOutput out(STDOUT_FILENO, "standard output");
    out.add(text);
    if (out.flush()) return kExitSuccess;
    writeErrorLine("ossel-mdimport: " + out.error());
    return kExitOutputFailed;
}

int usageError(const std::string& message) {
    std::string text = "ossel-mdimport: " + message + "\n" + HostOptions::usage();
    text.pop_back();  // writeErrorLine ends the line
    writeErrorLine(std::move(text));
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && argv[1] == kWorkerModeArgument) return runImportWorker(argc, argv);

    std::string error;
    const auto options = HostOptions::parse(argc, argv, &error);
    if (!options) return usageError(error);
    if (options->help) {
        RecordOutput out(STDOUT_FILENO, "standard output");
        out.add(HostOptions::usage());
        return out.flush() ? kExitSuccess : kExitOutputFailed;
    }
    if (options->inputs.empty() && !options->list) return usageError("no files given");
    const std::string bundlePath = options->bundlePath.empty() ? defaultBundlePath() : options->bundlePath;
    if (options->list) {
        const int status = listBundle(bundlePath);
        if (status != kExitSuccess || options->inputs.empty()) return status;
    }

    if (options->index) return IndexRun(*options).run(bundlePath);

    int failedFd = -1;
    if (!options->failedPath.empty()) {
        failedFd = ::open(options->failedPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (failedFd < 0) {
            writeErrorLine("ossel-mdimport: cannot open " + options->failedPath + ": " + std::strerror(errno));
            return kExitUsage;
        }
    }
    const int status = HostRun(*options, failedFd).run(bundlePath);
    if (failedFd >= 0) ::close(failedFd);
    return status;
}
