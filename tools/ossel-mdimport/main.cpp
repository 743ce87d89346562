// ossel-mdimport: runs the importer bundle over clip annotation files the way
// the indexing service would, and prints the attributes it produced.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "HostOptions.h"
#include "HostRun.h"
#include "ImporterSession.h"
#include "JsonLinesWriter.h"
#include "MdlsWriter.h"
#include "foundation/Format.h"
#include "platform/CFPlugIn.h"

using namespace ossel;

namespace {

constexpr int kExitUsage = 2;
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

void listBundle(const PlugInBundle& bundle) {
    std::string text = format("bundle: %@\nexecutable: %@\n", bundle.bundlePath(), bundle.executablePath());
    for (const auto& factory : bundle.factories()) {
        text += format("factory: %@ -> %@\n", factory.factoryId, factory.functionName);
    }
    for (const auto& type : bundle.typeIds()) text += format("type: %@\n", type);
    for (const auto& type : bundle.contentTypes()) text += format("content type: %@\n", type);
    writeOut(stdout, text);
}

}  // namespace

int main(int argc, char** argv) {
    // Into a file or pipe, records go out in large blocks; a terminal keeps its line buffering.
    static char outputBuffer[1 << 16];
    if (!isatty(STDOUT_FILENO)) std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    std::string error;
    const auto options = HostOptions::parse(argc, argv, &error);
    if (!options) {
        std::fprintf(stderr, "ossel-mdimport: %s\n%s", error.c_str(), HostOptions::usage());
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(HostOptions::usage(), stdout);
        return 0;
    }
    if (options->inputs.empty() && !options->list) {
        std::fprintf(stderr, "ossel-mdimport: no files given\n%s", HostOptions::usage());
        return kExitUsage;
    }
    const std::string bundlePath = options->bundlePath.empty() ? defaultBundlePath() : options->bundlePath;
    auto session = ImporterSession::open(bundlePath, &error);
    if (!session) {
        std::fprintf(stderr, "ossel-mdimport: %s\n", error.c_str());
        return kExitUsage;
    }
    if (options->list) listBundle(session->bundle());

    std::unique_ptr<ResultWriter> writer;
    if (options->json) {
        writer = std::make_unique<JsonLinesWriter>(stdout);
    } else {
        writer = std::make_unique<MdlsWriter>(stdout);
    }
    const int status = HostRun(*options, *session, *writer).run();
    session.reset();
    return status;
}
