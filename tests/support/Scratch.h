#pragma once
// A scratch directory and an environment variable, each set for one scope and
// put back after it, so that no test leaves files or settings behind; and the
// old file times that readers keeping copies trust.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace ossel::testing {

// Sets a variable, or unsets it for nullopt, until the end of the scope.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) old_ = old;
        set(value);
    }
    // A null pointer unsets.
    ScopedEnv(std::string name, const char* value)
        : ScopedEnv(std::move(name), value ? std::optional<std::string>(value) : std::nullopt) {}
    ~ScopedEnv() { set(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void set(const std::optional<std::string>& value) const {
        value ? ::setenv(name_.c_str(), value->c_str(), 1) : ::unsetenv(name_.c_str());
    }
    std::string name_;
    std::optional<std::string> old_;
};

// A fresh directory, removed with everything in it at the end of the scope.
class ScratchDir {
public:
    explicit ScratchDir(const std::filesystem::path& under = std::filesystem::temp_directory_path()) {
        std::string pattern = (under / "ossel-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : throw std::filesystem::filesystem_error("mkdtemp", under, {});
    }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }
    // Writes a file, making its directories, and answers its path.
    std::string write(const std::filesystem::path& relative, const std::string& contents) const {
        const auto file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << contents;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

// A modification time well in the past, and different for every call: readers
// that keep what they read (the catalog cache, the index) trust such a file at
// once, where one changed in the last 2 s is read again, and every change to it
// still shows in its identity.
inline void setOldModificationTime(const std::filesystem::path& path) {
    static time_t when = time(nullptr) - 10 * 86400;
    const timespec times[2] = {{0, UTIME_OMIT}, {++when, 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        throw std::filesystem::filesystem_error("utimensat", path, std::error_code(errno, std::generic_category()));
    }
}

// The same for every file below `tree` changed in the last minute.
inline void settleNewFiles(const std::filesystem::path& tree) {
    const auto recent = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tree)) {
        if (entry.is_regular_file() && entry.last_write_time() > recent) setOldModificationTime(entry.path());
    }
}

inline std::string fileContent(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace ossel::testing
