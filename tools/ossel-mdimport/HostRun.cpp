#include "HostRun.h"

#include <dirent.h>
#include <sys/stat.h>
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

// The indexer hands importers full paths. A relative path is put under the
// working directory as it stands, not normalised: "three directories up" then
// walks the same directories the user's path names.
std::string absolutePath(const std::string& path) {
    if (path.starts_with('/')) return path;
    static const std::string workingDirectory = [] {
        std::error_code error;
        const fs::path cwd = fs::current_path(error);
        return error ? std::string() : cwd.string();
    }();
    if (workingDirectory.empty()) return path;
    return workingDirectory == "/" ? "/" + path : workingDirectory + "/" + path;
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
    collectFiles(directory, files);
    // Directory order is the file system's; a sorted walk reads the same on every machine.
    std::sort(files.begin(), files.end());
    for (const auto& file : files) importFile(file, true);
}

// Plain directory reading: a large tree is mostly names, and the entry type
// usually comes with the name, so most files cost no call of their own.
void HostRun::collectFiles(const std::string& directory, std::vector<std::string>& files) {
    DIR* stream = opendir(directory.c_str());
    if (!stream) {
        fail(directory, std::strerror(errno));
        return;
    }
    std::vector<std::string> subdirectories;
    while (const dirent* entry = readdir(stream)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::string path;
        path.reserve(directory.size() + 1 + name.size());
        path += directory;
        if (!directory.ends_with('/')) path += '/';
        path += name;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            // Links to files are followed, links to directories are not walked.
            struct stat info {};
            const bool isLink = type == DT_LNK;
            if (::stat(path.c_str(), &info) != 0) continue;
            type = S_ISREG(info.st_mode) ? DT_REG : (S_ISDIR(info.st_mode) && !isLink ? DT_DIR : DT_UNKNOWN);
        }
        if (type == DT_REG) files.push_back(std::move(path));
        if (type == DT_DIR) subdirectories.push_back(std::move(path));
    }
    closedir(stream);
    for (const auto& subdirectory : subdirectories) collectFiles(subdirectory, files);
}

bool HostRun::importFile(const std::string& path, bool walked) {
    const Ref<Dictionary> attributes = Dictionary::make();
    const std::string fullPath = absolutePath(path);
    std::optional<double> seconds;
    bool imported = false;
    if (options_.timings) {
        const auto start = std::chrono::steady_clock::now();
        imported = session_.importFile(fullPath, *attributes);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } else {
        imported = session_.importFile(fullPath, *attributes);
    }
    progress_.fileDone();
    if (imported) {
        writer_.imported(path, *attributes, seconds);
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
