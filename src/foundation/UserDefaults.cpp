#include "foundation/UserDefaults.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <optional>
#include <vector>

#include "foundation/ErrorLog.h"
#include "foundation/Dictionary.h"
#include "foundation/Format.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "foundation/String.h"

namespace ossel {
namespace {

// What a stat tells about the file's content: a writer always renames a new
// file into place, so any write changes the inode, and the times and size
// catch edits made in place by other programs.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileIdentity& o) const {
        if (exists != o.exists) return false;
        if (!exists) return true;
        return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec &&
               changed.tv_nsec == o.changed.tv_nsec;
    }
};

FileIdentity identityOf(const struct stat& st) {
    return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// nullopt when stat fails for another reason than a missing file.
std::optional<FileIdentity> statIdentity(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) return identityOf(st);
    if (errno == ENOENT || errno == ENOTDIR) return FileIdentity{};
    return std::nullopt;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (it can report a failed write).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// The file as it is now: missing, a dictionary, or present but unreadable.
struct FileContent {
    enum class Status { Missing, Dictionary, Unreadable };
    Status status = Status::Missing;
    Ref<Dictionary> dictionary;  // set for Dictionary
    FileIdentity identity;
    std::string error;  // set for Unreadable
};

bool readAll(int fd, std::vector<uint8_t>& bytes) {
    uint8_t buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
}

FileContent readContent(const std::string& path) {
    FileContent content;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT) return content;
        content.status = FileContent::Status::Unreadable;
        content.error = std::strerror(errno);
        return content;
    }
    struct stat st{};
    std::vector<uint8_t> bytes;
    if (::fstat(fd.get(), &st) != 0 || !readAll(fd.get(), bytes)) {
        content.status = FileContent::Status::Unreadable;
        content.error = std::strerror(errno);
        return content;
    }
    content.identity = identityOf(st);
    std::string error;
    auto dictionary = kindCast<Dictionary>(readPropertyList(bytes, &error));
    if (!dictionary) {
        content.status = FileContent::Status::Unreadable;
        content.error = error.empty() ? "not a dictionary" : error;
        return content;
    }
    content.status = FileContent::Status::Dictionary;
    content.dictionary = std::move(dictionary);
    return content;
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Writes beside the file and renames over it, so that a reader sees the old
// content or the new, never a part; the data is on disk before the name moves.
bool replaceFile(const std::string& path, std::string_view text, std::string& error) {
    const std::string temporary = format("%@.tmp.%d", path, static_cast<int>(::getpid()));
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        error = format("cannot create %@: %s", temporary, std::strerror(errno));
        return false;
    }
    const bool written = writeAll(fd.get(), text) && ::fsync(fd.get()) == 0;
    const int writeErrno = errno;
    if (!fd.close() || !written) {
        error = format("cannot write %@: %s", temporary, std::strerror(written ? errno : writeErrno));
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = format("cannot rename %@ to %@: %s", temporary, path, std::strerror(errno));
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Holds an exclusive flock on "<file>.lock" for its lifetime; the lock file is
// never removed, so that every writer locks the same inode.
class WriteLock {
public:
    explicit WriteLock(const std::string& path) : fd_(openCreatingDirectory(path + ".lock")) {
        if (!fd_.valid()) return;
        while (::flock(fd_.get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                fd_.close();
                return;
            }
        }
        locked_ = true;
    }
    ~WriteLock() {
        if (locked_) ::flock(fd_.get(), LOCK_UN);
    }
    bool locked() const { return locked_; }

private:
    // The store's directory is made on the first write that finds it missing.
    static int openCreatingDirectory(const std::string& lockPath) {
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != ENOENT) return fd;
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(lockPath).parent_path(), ignored);
        return ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }

    FileDescriptor fd_;
    bool locked_ = false;
};

// The platform reads a text's leading integer: white space, an optional sign,
// digits; anything after is ignored, and values beyond the range clamp.
int64_t leadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        const int digit = text[i] - '0';
        if (value > (std::numeric_limits<int64_t>::max() - digit) / 10)
            return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

double leadingReal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    double value = 0;
    const auto result = std::from_chars(text.data() + i, text.data() + text.size(), value, std::chars_format::general);
    return result.ec == std::errc() ? value : 0.0;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return ".";
}

struct Standard {
    std::mutex mutex;
    std::unique_ptr<UserDefaults> defaults;
};

Standard& standard() {
    static Standard instance;
    return instance;
}

}  // namespace

struct UserDefaults::State {
    std::mutex mutex;
    std::optional<FileIdentity> cachedIdentity;  // unset until the first read
    Ref<Dictionary> cached = Dictionary::make(false);

    // The file's current dictionary; a stat when nothing changed since the last read.
    Ref<Dictionary> current(const std::string& path) {
        const auto identity = statIdentity(path);
        if (identity && cachedIdentity && *identity == *cachedIdentity) return cached;
        FileContent content = readContent(path);
        remember(content.status == FileContent::Status::Dictionary ? content.dictionary : Dictionary::make(false),
                 content.identity);
        return cached;
    }

    void remember(Ref<Dictionary> dictionary, const FileIdentity& identity) {
        cached = std::move(dictionary);
        cachedIdentity = identity;
    }
};

UserDefaults& UserDefaults::standardUserDefaults() {
    Standard& s = standard();
    const std::lock_guard lock(s.mutex);
    if (!s.defaults) s.defaults = std::make_unique<UserDefaults>(defaultPath());
    return *s.defaults;
}

void UserDefaults::resetStandardUserDefaults() {
    Standard& s = standard();
    const std::lock_guard lock(s.mutex);
    s.defaults.reset();
}

std::string UserDefaults::defaultPath() {
    if (const char* explicitPath = std::getenv("OSSEL_DEFAULTS"); explicitPath && *explicitPath) return explicitPath;
    // A relative XDG_CONFIG_HOME is invalid by the base-directory rules and is ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return std::string(config) + "/ossel/defaults.plist";
    return homeDirectory() + "/.config/ossel/defaults.plist";
}

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)), state_(std::make_unique<State>()) {}
UserDefaults::~UserDefaults() = default;

Ref<Object> UserDefaults::objectForKey(std::string_view key) {
    const std::lock_guard lock(state_->mutex);
    return state_->current(path_)->objectForKey(key);
}

int64_t UserDefaults::integerForKey(std::string_view key) {
    const auto value = objectForKey(key);
    if (auto number = kindCast<Number>(value)) return number->longLongValue();
    if (auto text = kindCast<String>(value)) return leadingInteger(text->view());
    return 0;
}

double UserDefaults::doubleForKey(std::string_view key) {
    const auto value = objectForKey(key);
    if (auto number = kindCast<Number>(value)) return number->doubleValue();
    if (auto text = kindCast<String>(value)) return leadingReal(text->view());
    return 0;
}

float UserDefaults::floatForKey(std::string_view key) {
    const auto value = objectForKey(key);
    if (auto number = kindCast<Number>(value)) return number->floatValue();
    if (auto text = kindCast<String>(value)) return static_cast<float>(leadingReal(text->view()));
    return 0;
}

bool UserDefaults::boolForKey(std::string_view key) {
    const auto value = objectForKey(key);
    if (auto number = kindCast<Number>(value)) return number->boolValue();
    if (auto text = kindCast<String>(value)) {
        if (equalsIgnoringCase(text->view(), "yes") || equalsIgnoringCase(text->view(), "true")) return true;
        return leadingInteger(text->view()) != 0;
    }
    return false;
}

bool UserDefaults::setInteger(int64_t value, std::string_view key) { return setObject(Number::withInt(value), key); }

bool UserDefaults::removeObjectForKey(std::string_view key) { return setObject(nullptr, key); }

bool UserDefaults::synchronize() { return true; }

bool UserDefaults::setObject(Ref<Object> value, std::string_view key) {
    if (value && !isPropertyListValue(value.get())) {
        writeErrorLine(format("User defaults: the value for \"%@\" is not a property-list value; not stored", key));
        return false;
    }
    const std::lock_guard threadLock(state_->mutex);
    const WriteLock lock(path_);
    if (!lock.locked()) {
        writeErrorLine(format("User defaults: cannot lock %@.lock: %s", path_, std::strerror(errno)));
        return false;
    }
    // Re-read under the lock: another process may have written other keys since our last read.
    FileContent content = readContent(path_);
    if (content.status == FileContent::Status::Unreadable) {
        writeErrorLine(format("User defaults: %@ cannot be read (%@); it is left as it is and \"%@\" is not stored",
                                     path_, content.error, key));
        return false;
    }
    auto dictionary = content.dictionary ? content.dictionary->mutableCopy() : Dictionary::make(true);
    if (value) {
        // A copy, so that a caller changing its mutable value later does not change our cache.
        dictionary->setObject(value->copy(), std::string(key));
    } else {
        dictionary->removeObjectForKey(key);
    }

    std::string error;
    const std::string xml = xmlPropertyListData(dictionary.get(), &error);
    if (xml.empty() || !replaceFile(path_, xml, error)) {
        writeErrorLine(format("User defaults: cannot write %@: %@", path_, error));
        return false;
    }
    if (const auto identity = statIdentity(path_)) state_->remember(std::move(dictionary), *identity);
    return true;
}

}  // namespace ossel
