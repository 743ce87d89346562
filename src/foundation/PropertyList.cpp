// The public face of property-list files: telling the two formats apart,
// files on disk, and what counts as a property-list value.
#include "foundation/PropertyList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "foundation/PropertyListFormats.h"
#include "foundation/RegularFile.h"
#include "foundation/String.h"

namespace ossel {

namespace plist {

// A dictionary's keys are unique in every file a writer makes; only a hand-made one
// repeats a key, and then the later value wins as the platform has it.
namespace {

bool hasDuplicateKeys(const std::vector<Dictionary::Entry>& entries) {
    if (entries.size() <= 24) {
        for (size_t i = 1; i < entries.size(); ++i) {
            for (size_t j = 0; j < i; ++j) {
                if (entries[i].first == entries[j].first) return true;
            }
        }
        return false;
    }
    std::vector<std::string_view> keys;
    keys.reserve(entries.size());
    for (const auto& e : entries) keys.emplace_back(e.first);
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) != keys.end();
}

}  // namespace

Ref<Dictionary> makeDictionary(std::vector<Dictionary::Entry> entries, bool isMutable) {
    if (hasDuplicateKeys(entries)) return std::make_shared<Dictionary>(std::move(entries), isMutable);
    return std::make_shared<Dictionary>(std::move(entries), isMutable, Dictionary::UniqueKeys{});
}

const Ref<Number>& sharedBool(bool value) {
    static const Ref<Number> yes = Number::withBool(true);
    static const Ref<Number> no = Number::withBool(false);
    return value ? yes : no;
}

}  // namespace plist

namespace {

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool writeDirectly(const std::string& path, std::string_view text, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = systemError("cannot create " + path);
        return false;
    }
    const bool written = writeAll(fd, text);
    const int savedErrno = errno;
    const bool closed = ::close(fd) == 0;
    errno = written ? errno : savedErrno;
    if (!written || !closed) {
        error = systemError("cannot write " + path);
        return false;
    }
    return true;
}

// A temporary file beside the target, renamed over it once complete, so that
// readers see either the old file or the whole new one.
bool writeAtomically(const std::string& path, std::string_view text, std::string& error) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = systemError("cannot create a temporary file beside " + path);
        return false;
    }
    // mkstemp makes the file private; give it the permissions a plain create would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        if (!written) errno = savedErrno;
        error = systemError("cannot write " + path);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string PropertyListError::description() const {
    if (line) return "line " + std::to_string(line) + ": " + message;
    if (kind == PropertyListErrorKind::empty) return message;
    return "offset " + std::to_string(offset) + ": " + message;
}

Ref<Object> readPropertyList(std::span<const uint8_t> bytes, PropertyListError* error, PropertyListReadOptions options) {
    PropertyListError failure;
    Ref<Object> result;
    if (bytes.empty()) {
        failure = {PropertyListErrorKind::empty, 0, 0, "empty input"};
    } else if (bytes.size() >= 6 && std::memcmp(bytes.data(), "bplist", 6) == 0) {
        result = plist::readBinary(bytes, failure, options);
    } else {
        result = plist::readXml(bytes, failure, options);
    }
    if (!result && error) *error = std::move(failure);
    return result;
}

Ref<Object> readPropertyListFromFile(const std::string& path, std::string* error, PropertyListReadOptions options) {
    std::vector<uint8_t> bytes;
    FileError failure;
    if (!readRegularFile(path, options.sizeLimit ? options.sizeLimit : fileSizeLimit(), bytes, &failure)) {
        if (error) *error = failure.message;
        return nullptr;
    }
    PropertyListError readError;
    auto result = readPropertyList(bytes, &readError, options);
    if (!result && error) *error = readError.description();
    return result;
}

namespace {

// A container that holds itself nests without end: the depth bound stops that too.
bool isValueWithin(const Object* object, int depth) {
    if (const auto* a = dynamic_cast<const Array*>(object)) {
        if (depth >= plist::kMaxNestingDepth) return false;
        for (const auto& item : *a) {
            if (!isValueWithin(item.get(), depth + 1)) return false;
        }
        return true;
    }
    if (const auto* d = dynamic_cast<const Dictionary*>(object)) {
        if (depth >= plist::kMaxNestingDepth) return false;
        for (const auto& entry : *d) {
            if (!isValueWithin(entry.second.get(), depth + 1)) return false;
        }
        return true;
    }
    return isKindOf<String>(object) || isKindOf<Number>(object) || isKindOf<Date>(object) || isKindOf<Data>(object);
}

}  // namespace

bool isPropertyListValue(const Object* object) { return isValueWithin(object, 0); }

bool writePropertyListToFile(const Object* root, const std::string& path, bool atomically, std::string* error) {
    std::string message;
    const std::string text = xmlPropertyListData(root, &message);
    if (text.empty()) {
        if (error) *error = message;
        return false;
    }
    const bool ok = atomically ? writeAtomically(path, text, message) : writeDirectly(path, text, message);
    if (!ok && error) *error = message;
    return ok;
}

}  // namespace ossel
