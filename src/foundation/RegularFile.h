#pragma once
// The one place that opens the files the system reads: clips, catalogs, the
// bundle's Info.plist, the defaults store, string tables. A home directory
// holds FIFOs, sockets, devices and links to /dev/zero beside its documents;
// reading must never block on one of them or grow without bound. So a file is
// read only when it is a regular file no larger than the caller's limit, and
// it is opened without blocking (a FIFO that slips in between the check and
// the open cannot hang the open either).

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ossel {

// What stat tells about a file's content. Writers that replace a file give it
// a new inode; edits in place change the size or the times. Two equal
// identities are taken to mean the same content.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNanoseconds = 0;
    int64_t changedNanoseconds = 0;

    static FileIdentity of(const struct stat& info);
    bool operator==(const FileIdentity&) const = default;

    // False while the modification time lies within 2 s of now (by the system's
    // real clock, which file times come from): a rewrite of the same size within
    // one tick of the file system's clock would keep every field, so what was
    // read may not be what the identity will name. Kept copies are made only of
    // settled files.
    bool isSettled() const;
};

// The identity of what `path` names (links followed); nothing when it does
// not exist or cannot be reached.
std::optional<FileIdentity> fileIdentityAtPath(const std::string& path);
// The same for `name` within the open directory `directory`: the kernel looks
// up one name instead of walking the whole path again.
std::optional<FileIdentity> fileIdentityAt(int directory, const char* name);

// An open descriptor, closed with its owner.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~FileDescriptor() { close(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (it can report a failed write).
    bool close();

private:
    int fd_;
};

enum class FileErrorKind {
    notFound,          // no such file, or a dangling link
    permissionDenied,
    linkLoop,          // too many levels of symbolic links
    notRegularFile,    // a directory, FIFO, socket or device
    tooLarge,
    ioError,
};

struct FileError {
    FileErrorKind kind = FileErrorKind::ioError;
    // Why, without the path, for the caller to put after it: "is a FIFO, not a regular file".
    std::string message;
};

// The limits a read is held to, in bytes. Clips, bundles and settings:
// OSSEL_MAX_FILE_MIB (default 64). Catalog files: OSSEL_MAX_CATALOG_MIB
// (default 512, a quarter of a worker's default memory cap).
uint64_t fileSizeLimit();
uint64_t catalogSizeLimit();

// Reads the whole regular file at `path` if it holds at most `limit` bytes.
// False with *error otherwise; *identity, when asked for, is that of the file
// that was read.
bool readRegularFile(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes, FileError* error = nullptr,
                     FileIdentity* identity = nullptr);

// The first `count` bytes (fewer when the file is shorter) of the regular file
// at `path`, whatever its size: enough to tell what kind of document it is.
bool readRegularFileHead(const std::string& path, size_t count, std::vector<uint8_t>& bytes, FileError* error = nullptr);

// "a FIFO", "a socket", "a directory", ... for messages about a file's type.
const char* fileTypeName(mode_t mode);

}  // namespace ossel
