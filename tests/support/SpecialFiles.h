#pragma once
// What a home directory holds besides documents, made on demand where a reader
// will look, and a time limit for reads that must not block on any of it.

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "foundation/RegularFile.h"

namespace ossel::testing {

struct SpecialFile {
    std::string name;
    FileErrorKind kind;
    std::string reason;  // what the bounded reader says after the path
    void (*make)(const std::filesystem::path& at, uint64_t limit);
};

namespace detail {

inline void fifo(const std::filesystem::path& at, uint64_t) { ::mkfifo(at.c_str(), 0600); }

// Bound from inside its directory: a socket's path may not exceed 107 bytes.
inline void socket(const std::filesystem::path& at, uint64_t) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(at.parent_path());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, at.filename().c_str(), sizeof address.sun_path - 1);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::close(fd);
    std::filesystem::current_path(previous);
}

}  // namespace detail

// Each kind a reader must refuse, with the reason given for a reader held to `limit` bytes.
inline std::vector<SpecialFile> specialFiles(uint64_t limit = fileSizeLimit()) {
    namespace fs = std::filesystem;
    using K = FileErrorKind;
    const std::string mib = std::to_string(limit >> 20);
    return {
        {"FIFO", K::notRegularFile, "is a FIFO, not a regular file", detail::fifo},
        {"socket", K::notRegularFile, "is a socket, not a regular file", detail::socket},
        {"directory", K::notRegularFile, "is a directory, not a regular file",
         [](const fs::path& at, uint64_t) { fs::create_directory(at); }},
        {"link loop", K::linkLoop, "Too many levels of symbolic links",
         [](const fs::path& at, uint64_t) {
             fs::create_symlink(at.string() + ".loop", at);
             fs::create_symlink(at, at.string() + ".loop");
         }},
        {"dangling link", K::notFound, "No such file or directory",
         [](const fs::path& at, uint64_t) { fs::create_symlink(at.string() + ".nowhere", at); }},
        {"link to a FIFO", K::notRegularFile, "is a FIFO, not a regular file",
         [](const fs::path& at, uint64_t) {
             detail::fifo(at.string() + ".fifo", 0);
             fs::create_symlink(at.string() + ".fifo", at);
         }},
        {"link to /dev/zero", K::notRegularFile, "is a character device, not a regular file",
         [](const fs::path& at, uint64_t) { fs::create_symlink("/dev/zero", at); }},
        // Sparse: no disk is spent on it.
        {"too large", K::tooLarge, "is " + std::to_string((limit >> 20) + 1) + " MiB, larger than the limit of " + mib + " MiB",
         [](const fs::path& at, uint64_t limit) {
             const int fd = ::open(at.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
             (void)!::ftruncate(fd, static_cast<off_t>(limit + (1 << 20)));
             ::close(fd);
         }},
    };
}

// Puts a file of that kind at `at`, in place of what was there.
inline void makeSpecialFile(const SpecialFile& file, const std::filesystem::path& at, uint64_t limit = fileSizeLimit()) {
    for (const char* sibling : {"", ".loop", ".nowhere", ".fifo"}) std::filesystem::remove_all(at.string() + sibling);
    file.make(at, limit);
}

// Ends the test program, naming `what`, when `read` takes longer than `seconds`:
// a read blocked on a FIFO would otherwise hang the whole run without a word.
inline void withinSeconds(unsigned seconds, const std::string& what, const std::function<void()>& read) {
    static std::string message;  // set before the alarm, only read by the handler
    message = "timed out: " + what + "\n";
    const auto previous = std::signal(SIGALRM, [](int) {
        (void)!::write(STDERR_FILENO, message.data(), message.size());
        ::_exit(124);
    });
    ::alarm(seconds);
    read();
    ::alarm(0);
    std::signal(SIGALRM, previous);
}

}  // namespace ossel::testing
