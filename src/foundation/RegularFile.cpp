#include "foundation/RegularFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace ossel {
namespace {

constexpr uint64_t kMiB = uint64_t(1) << 20;
constexpr uint64_t kDefaultFileLimitMiB = 64;
constexpr uint64_t kDefaultCatalogLimitMiB = 512;

// Wrapping arithmetic: a time stamp outside 1678-2262 (a file touched to the
// year 2400) must not overflow. Identities are compared for equality, which
// the wrapped value still serves.
int64_t nanoseconds(const timespec& t) {
    return static_cast<int64_t>(static_cast<uint64_t>(t.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(t.tv_nsec));
}

// A limit from the environment in MiB; a missing or malformed setting keeps the default.
uint64_t limitFromEnvironment(const char* name, uint64_t defaultMiB) {
    const char* text = std::getenv(name);
    uint64_t mib = 0;
    if (text) {
        const std::string_view view = text;
        const auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), mib);
        if (ec != std::errc() || end != view.data() + view.size() || mib == 0 || mib > (uint64_t(1) << 40)) mib = 0;
    }
    return (mib ? mib : defaultMiB) * kMiB;
}

FileErrorKind kindOfErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return FileErrorKind::notFound;
        case EACCES:
        case EPERM: return FileErrorKind::permissionDenied;
        case ELOOP: return FileErrorKind::linkLoop;
        case ENXIO:  // opening a socket
        case ENODEV: return FileErrorKind::notRegularFile;
        default: return FileErrorKind::ioError;
    }
}

std::string sizeText(uint64_t bytes) {
    if (bytes >= kMiB) return std::to_string((bytes + kMiB - 1) / kMiB) + " MiB";
    return std::to_string(bytes) + " bytes";
}

bool fail(FileError* error, FileErrorKind kind, std::string message) {
    if (error) *error = {kind, std::move(message)};
    return false;
}

bool failErrno(FileError* error, int saved) { return fail(error, kindOfErrno(saved), std::strerror(saved)); }

// Refuses what must not be read; true when the file may be read.
bool admissible(const struct stat& info, uint64_t limit, FileError* error) {
    if (!S_ISREG(info.st_mode)) {
        return fail(error, FileErrorKind::notRegularFile, std::string("is ") + fileTypeName(info.st_mode) + ", not a regular file");
    }
    if (static_cast<uint64_t>(info.st_size) > limit) {
        return fail(error, FileErrorKind::tooLarge,
                    "is " + sizeText(info.st_size) + ", larger than the limit of " + sizeText(limit));
    }
    return true;
}

}  // namespace

FileIdentity FileIdentity::of(const struct stat& info) {
    return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino), static_cast<int64_t>(info.st_size),
            nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)};
}

bool FileIdentity::isSettled() const {
    constexpr int64_t kTwoSeconds = 2'000'000'000;
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    return modifiedNanoseconds <= now - kTwoSeconds || modifiedNanoseconds >= now + kTwoSeconds;
}

std::optional<FileIdentity> fileIdentityAtPath(const std::string& path) {
    return fileIdentityAt(AT_FDCWD, path.c_str());
}

std::optional<FileIdentity> fileIdentityAt(int directory, const char* name) {
    struct stat info {};
    if (::fstatat(directory, name, &info, 0) != 0) return std::nullopt;
    return FileIdentity::of(info);
}

bool FileDescriptor::close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
}

uint64_t fileSizeLimit() { return limitFromEnvironment("OSSEL_MAX_FILE_MIB", kDefaultFileLimitMiB); }

uint64_t catalogSizeLimit() { return limitFromEnvironment("OSSEL_MAX_CATALOG_MIB", kDefaultCatalogLimitMiB); }

const char* fileTypeName(mode_t mode) {
    if (S_ISREG(mode)) return "a regular file";
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISLNK(mode)) return "a symbolic link";
    return "a special file";
}

namespace {

// Opens what `path` names for reading if it is a regular file within `limit`;
// -1 with *error otherwise. *info is what the open descriptor holds.
int openRegularFile(const std::string& path, uint64_t limit, struct stat& info, FileError* error) {
    // Checked before the open: opening some devices has effects of its own.
    if (::stat(path.c_str(), &info) != 0) return failErrno(error, errno), -1;
    if (!admissible(info, limit, error)) return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failErrno(error, errno), -1;
    // The path may name another file by now; what counts is what was opened.
    const bool checked = ::fstat(fd, &info) == 0 ? admissible(info, limit, error) : failErrno(error, errno);
    if (!checked) {
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

}  // namespace

bool readRegularFileHead(const std::string& path, size_t count, std::vector<uint8_t>& bytes, FileError* error) {
    struct stat info {};
    const FileDescriptor fd(openRegularFile(path, UINT64_MAX, info, error));
    if (fd.get() < 0) return false;
    bytes.resize(count);
    size_t filled = 0;
    while (filled < count) {
        const ssize_t n = ::read(fd.get(), bytes.data() + filled, count - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failErrno(error, errno);
        if (n == 0) break;
        filled += static_cast<size_t>(n);
    }
    bytes.resize(filled);
    return true;
}

bool readRegularFile(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes, FileError* error,
                     FileIdentity* identity) {
    struct stat info {};
    const FileDescriptor fd(openRegularFile(path, limit, info, error));
    if (fd.get() < 0) return false;

    // The size is a hint: a file that grows while it is read is read on, up to the limit.
    bytes.resize(static_cast<size_t>(info.st_size) + 1);
    size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > limit) {
                return fail(error, FileErrorKind::tooLarge, "grew past the limit of " + sizeText(limit) + " while it was read");
            }
            bytes.resize(std::min<uint64_t>(limit + 1, bytes.size() * 2 + 65536));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failErrno(error, errno);
        if (n == 0) break;
        filled += static_cast<size_t>(n);
    }
    if (filled > limit) {
        return fail(error, FileErrorKind::tooLarge, "grew past the limit of " + sizeText(limit) + " while it was read");
    }
    bytes.resize(filled);
    if (identity) *identity = FileIdentity::of(info);
    return true;
}

}  // namespace ossel
