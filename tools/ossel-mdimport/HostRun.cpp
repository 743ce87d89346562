#include "HostRun.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "foundation/Dictionary.h"
#include "foundation/Format.h"
#include "foundation/PropertyList.h"

namespace fs = std::filesystem;

namespace ossel {

namespace {

// The indexer hands importers full paths; the path is not resolved further,
// so that "three directories up" follows the path as the user gave it.
std::string absolutePath(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::string articleFor(const std::string& className) {
    return className.find_first_of("AEIOU") == 0 ? "an " : "a ";
}

}  // namespace

HostRun::HostRun(const HostOptions& options, const ImporterSession& session, ResultWriter& writer)
    : options_(options), session_(session), writer_(writer), progress_(isatty(STDERR_FILENO) == 1) {}

int HostRun::run() {
    for (const auto& input : options_.inputs) importInput(input);
    progress_.finish();
    std::fflush(stdout);
    return failed_ ? 1 : 0;
}

std::string HostRun::refusalReason(const std::string& path) {
    std::string error;
    const Ref<Object> plist = readPropertyListFromFile(path, &error);
    if (!plist) return "not a property list (" + (error.empty() ? std::string("unreadable") : error) + ")";
    if (!isKindOf<Dictionary>(plist)) {
        const std::string kind = plist->className();
        return "not a clip annotation: the property list is " + articleFor(kind) + kind + ", not a dictionary";
    }
    return "the importer refused it";
}

void HostRun::fail(const std::string& path, const std::string& reason) {
    failed_ = true;
    progress_.message(path + ": " + reason);
    writer_.failed(path, reason);
}

void HostRun::importInput(const std::string& input) {
    std::error_code error;
    const fs::file_status status = fs::status(input, error);
    if (error || !fs::exists(status)) {
        fail(input, error ? error.message() : std::strerror(ENOENT));
        return;
    }
    if (fs::is_directory(status)) {
        if (options_.recursive) {
            walk(input);
        } else {
            fail(input, "is a directory (use -r to walk it)");
        }
        return;
    }
    if (!fs::is_regular_file(status)) {
        fail(input, "not a regular file");
        return;
    }
    importFile(input, false);
}

void HostRun::walk(const std::string& directory) {
    std::vector<std::string> files;
    std::error_code error;
    fs::recursive_directory_iterator it(directory, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code statusError;
        if (it->is_regular_file(statusError)) files.push_back(it->path().string());
    }
    if (error) fail(directory, error.message());
    // Directory order is the file system's; a sorted walk reads the same on every machine.
    std::sort(files.begin(), files.end());
    for (const auto& file : files) importFile(file, true);
}

bool HostRun::importFile(const std::string& path, bool walked) {
    const Ref<Dictionary> attributes = Dictionary::make();
    const auto start = std::chrono::steady_clock::now();
    const bool imported = session_.importFile(absolutePath(path), *attributes);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    progress_.fileDone();
    if (imported) {
        writer_.imported(path, *attributes, options_.timings ? std::optional<double>(seconds) : std::nullopt);
        return true;
    }
    if (walked) {
        progress_.message(path + ": skipped, " + refusalReason(path));
    } else {
        fail(path, refusalReason(path));
    }
    return false;
}

}  // namespace ossel
