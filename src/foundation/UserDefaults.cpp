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
#include "foundation/RegularFile.h"
#include "foundation/String.h"

namespace ossel {
namespace {

// The files beside the store. Writers hold the lock, so one temporary name
// serves them all, and a writer killed half-way leaves at most that one file,
// which the next writer replaces. The backup is written before the store at
// every save, so it is never older than the store: when the store is damaged,
// its values are the newest there are, and no id counter goes back.
struct StoreFiles {
    std::string store, lock, temporary, backup, corrupt;
    explicit StoreFiles(const std::string& path)
        : store(path), lock(path + ".lock"), temporary(path + ".tmp"), backup(path + ".backup"),
          corrupt(path + ".corrupt") {}
};

// The file as it is now.
struct FileContent {
    enum class Status {
        missing,
        dictionary,
        damaged,     // a regular file that is not a property-list dictionary
        unreadable,  // not a regular file, too large, or refused by the system
    };
    Status status = Status::missing;
    Ref<Dictionary> dictionary;  // set for dictionary
    std::optional<FileIdentity> identity;
    std::string error;  // set for damaged and unreadable
};

FileContent readContent(const std::string& path) {
    FileContent content;
    std::vector<uint8_t> bytes;
    FileError failure;
    FileIdentity identity;
    if (!readRegularFile(path, fileSizeLimit(), bytes, &failure, &identity)) {
        if (failure.kind != FileErrorKind::notFound) {
            content.status = FileContent::Status::unreadable;
            content.error = failure.message;
        }
        return content;
    }
    content.identity = identity;
    PropertyListError error;
    const auto root = readPropertyList(bytes, &error);
    auto dictionary = kindCast<Dictionary>(root);
    if (!dictionary) {
        content.status = FileContent::Status::damaged;
        content.error = root ? "not a dictionary" : error.description();
        return content;
    }
    content.status = FileContent::Status::dictionary;
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

// Writes the temporary file and renames it over `path`, so that a reader sees
// the old content or the new, never a part; the data is on disk before the
// name moves. Only a lock holder calls this.
bool replaceFile(const StoreFiles& files, const std::string& path, std::string_view text, std::string& error) {
    // Whatever a killed writer left under the temporary name goes first; creating
    // anew rather than truncating never opens a FIFO put there in its place.
    ::unlink(files.temporary.c_str());
    FileDescriptor fd(::open(files.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        error = format("cannot create %@: %s", files.temporary, std::strerror(errno));
        return false;
    }
    const bool written = writeAll(fd.get(), text) && ::fsync(fd.get()) == 0;
    const int writeErrno = errno;
    if (!fd.close() || !written) {
        error = format("cannot write %@: %s", files.temporary, std::strerror(written ? errno : writeErrno));
        ::unlink(files.temporary.c_str());
        return false;
    }
    if (::rename(files.temporary.c_str(), path.c_str()) != 0) {
        error = format("cannot rename %@ to %@: %s", files.temporary, path, std::strerror(errno));
        ::unlink(files.temporary.c_str());
        return false;
    }
    return true;
}

// The backup first, then the store: see StoreFiles.
bool save(const StoreFiles& files, const Dictionary& dictionary, std::string& error) {
    const std::string xml = xmlPropertyListData(&dictionary, &error);
    return !xml.empty() && replaceFile(files, files.backup, xml, error) && replaceFile(files, files.store, xml, error);
}

// Holds an exclusive flock on the lock file for its lifetime; the lock file is
// never removed, so that every writer locks the same inode.
class WriteLock {
public:
    explicit WriteLock(const std::string& path) : fd_(openCreatingDirectory(path, error_)) {
        if (!fd_.valid()) return;
        while (::flock(fd_.get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = std::strerror(errno);
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
    const std::string& error() const { return error_; }

private:
    // The store's directory is made on the first write that finds it missing.
    // A lock file that is not a regular file is refused: a FIFO opened for
    // writing would wait for a reader.
    static int openCreatingDirectory(const std::string& lockPath, std::string& error) {
        constexpr int kFlags = O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        int fd = ::open(lockPath.c_str(), kFlags, 0600);
        if (fd < 0 && errno == ENOENT) {
            std::error_code ignored;
            std::filesystem::create_directories(std::filesystem::path(lockPath).parent_path(), ignored);
            fd = ::open(lockPath.c_str(), kFlags, 0600);
        }
        if (fd < 0) {
            error = std::strerror(errno);
            return -1;
        }
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            error = std::string("is ") + fileTypeName(info.st_mode) + ", not a regular file";
            ::close(fd);
            return -1;
        }
        return fd;
    }

    std::string error_;
    FileDescriptor fd_;
    bool locked_ = false;
};

// Under the lock: a store that cannot be parsed is put aside and the backup
// takes its place. Without the lock (a lock file that cannot be made) the
// backup's values are read and nothing is moved.
FileContent recoverDamagedStore(const StoreFiles& files, const WriteLock& lock) {
    FileContent content = readContent(files.store);
    if (content.status != FileContent::Status::damaged) return content;  // another process was first
    FileContent backup = readContent(files.backup);
    const bool usable = backup.status == FileContent::Status::dictionary;
    // A second name rather than a rename, so that the store never goes missing
    // (a missing store reads as empty, and its counters would start again) until
    // the backup replaces it in one rename. Renamed only where links cannot be made.
    ::unlink(files.corrupt.c_str());
    const bool putAside = lock.locked() && (::link(files.store.c_str(), files.corrupt.c_str()) == 0 ||
                                            ::rename(files.store.c_str(), files.corrupt.c_str()) == 0);
    if (!putAside) {
        writeErrorLine(format("User defaults: %@ cannot be read (%@); %@", files.store, content.error,
                              usable ? format("the values of %@ are used", files.backup) : "it reads as empty"));
        backup.identity = content.identity;
        return usable ? backup : FileContent{FileContent::Status::missing, nullptr, content.identity, {}};
    }
    std::string error;
    if (!usable) {
        ::unlink(files.store.c_str());
    } else if (!save(files, *backup.dictionary, error)) {
        writeErrorLine(format("User defaults: cannot restore %@ from %@: %@", files.store, files.backup, error));
    }
    writeErrorLine(format("User defaults: %@ cannot be read (%@); it is kept as %@ and %@", files.store, content.error,
                          files.corrupt,
                          usable ? "the store starts again from its backup" : "the store starts empty (no backup)"));
    return readContent(files.store);
}

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
    explicit State(const std::string& path) : files(path) {}
    const StoreFiles files;  // named once: every read would otherwise build five paths
    std::mutex mutex;
    std::optional<FileIdentity> cachedIdentity;  // of the store the cache was read from, when there was one
    Ref<Dictionary> cached = Dictionary::make(false);

    // The store's current dictionary; a stat when nothing changed since the last read.
    Ref<Dictionary> current() {
        const auto identity = fileIdentityAtPath(files.store);
        if (identity && identity == cachedIdentity) return cached;
        FileContent content = readContent(files.store);
        if (content.status == FileContent::Status::damaged) content = recoverDamagedStore(files, WriteLock(files.lock));
        remember(content.status == FileContent::Status::dictionary ? content.dictionary : Dictionary::make(false),
                 content.identity);
        return cached;
    }

    void remember(Ref<Dictionary> dictionary, const std::optional<FileIdentity>& identity) {
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

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)), state_(std::make_unique<State>(path_)) {}
UserDefaults::~UserDefaults() = default;

Ref<Object> UserDefaults::objectForKey(std::string_view key) {
    const std::lock_guard lock(state_->mutex);
    return state_->current()->objectForKey(key);
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
    const StoreFiles& files = state_->files;
    const WriteLock lock(files.lock);
    if (!lock.locked()) {
        writeErrorLine(format("User defaults: %@: %@; \"%@\" is not stored", files.lock, lock.error(), key));
        return false;
    }
    // Re-read under the lock: another process may have written other keys since our last read.
    FileContent content = readContent(files.store);
    if (content.status == FileContent::Status::damaged) content = recoverDamagedStore(files, lock);
    if (content.status == FileContent::Status::unreadable || content.status == FileContent::Status::damaged) {
        writeErrorLine(format("User defaults: %@: %@; it is left as it is and \"%@\" is not stored", files.store,
                              content.error, key));
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
    if (!save(files, *dictionary, error)) {
        writeErrorLine(format("User defaults: cannot write %@: %@", files.store, error));
        return false;
    }
    state_->remember(std::move(dictionary), fileIdentityAtPath(files.store));
    return true;
}

}  // namespace ossel
