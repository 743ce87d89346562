#include "InputWalk.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "foundation/RegularFile.h"

namespace ossel {

namespace {

WalkItem skipped(std::string path, std::string reason) {
    return {WalkItem::Kind::skipped, std::move(path), true, std::move(reason)};
}

WalkItem failed(std::string path, bool walked, std::string reason) {
    return {WalkItem::Kind::failed, std::move(path), walked, std::move(reason)};
}

}  // namespace

InputWalk::InputWalk(std::vector<std::string> inputs, bool recursive)
    : inputs_(std::move(inputs)), recursive_(recursive) {}

std::optional<WalkItem> InputWalk::next() {
    for (;;) {
        if (stack_.empty()) {
            if (nextInput_ == inputs_.size()) return std::nullopt;
            if (auto item = named(inputs_[nextInput_++])) return item;
            continue;
        }
        Directory& directory = stack_.back();
        if (directory.next == directory.entries.size()) {
            stack_.pop_back();
            continue;
        }
        const Entry& found = directory.entries[directory.next++];
        std::string path;
        path.reserve(directory.path.size() + found.length);
        path += directory.path;
        path += directory.name(found);
        const unsigned char type = found.type;
        if (auto item = entry(std::move(path), type)) return item;
    }
}

std::optional<FileIdentity> InputWalk::identity(const WalkItem& item) {
    if (item.walked && !stack_.empty()) {
        Directory& directory = stack_.back();
        const std::string& path = directory.path;
        if (item.path.starts_with(path) && item.path.find('/', path.size()) == std::string::npos) {
            if (!directory.fd.valid()) {
                directory.fd = FileDescriptor(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            }
            if (directory.fd.valid()) return fileIdentityAt(directory.fd.get(), item.path.c_str() + path.size());
        }
    }
    return fileIdentityAtPath(item.path);
}

std::optional<WalkItem> InputWalk::named(const std::string& input) {
    struct stat info {};
    if (::stat(input.c_str(), &info) != 0) return failed(input, false, std::strerror(errno));
    if (S_ISDIR(info.st_mode)) {
        if (!recursive_) return failed(input, false, "is a directory (use -r to walk it)");
        return enter(input, false);
    }
    if (!S_ISREG(info.st_mode)) {
        return failed(input, false, std::string("is ") + fileTypeName(info.st_mode) + ", not a regular file");
    }
    return WalkItem{WalkItem::Kind::file, input, false, {}};
}

std::optional<WalkItem> InputWalk::entry(std::string path, unsigned char type) {
    if (type == DT_REG) return WalkItem{WalkItem::Kind::file, std::move(path), true, {}};
    if (type == DT_DIR) return enter(path, true);
    struct stat info {};
    if (type == DT_UNKNOWN) {
        if (::lstat(path.c_str(), &info) != 0) return failed(path, true, std::strerror(errno));
        if (S_ISREG(info.st_mode)) return WalkItem{WalkItem::Kind::file, path, true, {}};
        if (S_ISDIR(info.st_mode)) return enter(path, true);
        if (!S_ISLNK(info.st_mode)) return skipped(path, fileTypeName(info.st_mode));
    } else if (type != DT_LNK) {
        return skipped(path, fileTypeName(DTTOIF(type)));
    }
    // A link: followed to a file, never into a directory, so that a walk cannot run in circles.
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return skipped(path, "a dangling symbolic link");
        if (errno == ELOOP) return skipped(path, "a symbolic link loop");
        return failed(path, true, std::strerror(errno));
    }
    if (S_ISREG(info.st_mode)) return WalkItem{WalkItem::Kind::file, std::move(path), true, {}};
    return skipped(path, std::string("a symbolic link to ") + fileTypeName(info.st_mode));
}

std::optional<WalkItem> InputWalk::enter(const std::string& path, bool walked) {
    DIR* stream = ::opendir(path.c_str());
    if (!stream) return failed(path, walked, std::strerror(errno));
    Directory directory;
    directory.path = path.ends_with('/') ? path : path + '/';
    errno = 0;
    while (const dirent* found = ::readdir(stream)) {
        const std::string_view name = found->d_name;
        if (name != "." && name != "..") {
            directory.entries.push_back({static_cast<uint32_t>(directory.names.size()),
                                         static_cast<uint32_t>(name.size()), found->d_type});
            directory.names += name;
        }
        errno = 0;
    }
    const int readError = errno;
    ::closedir(stream);
    if (readError != 0) return failed(path, walked, std::strerror(readError));
    std::sort(directory.entries.begin(), directory.entries.end(),
              [&](const Entry& a, const Entry& b) { return directory.name(a) < directory.name(b); });
    if (!stack_.empty()) stack_.back().fd.close();
    stack_.push_back(std::move(directory));
    return std::nullopt;
}

}  // namespace ossel
