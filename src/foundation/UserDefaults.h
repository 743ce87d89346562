#pragma once
// The user-defaults store: a property-list dictionary in a file.
// The file is named by OSSEL_DEFAULTS, else $XDG_CONFIG_HOME/ossel/defaults.plist
// (~/.config/ossel/defaults.plist when XDG_CONFIG_HOME is unset).
//
// Every write reaches the file at once: under an exclusive lock on a lock file
// beside it, the file is re-read, only the written key is changed, and the
// result replaces the file atomically. Two processes writing different keys
// therefore never lose each other's values. Reads see the file's current
// content. Every save writes a backup beside the store first; a store that is
// a regular file but no property-list dictionary is renamed with a ".corrupt"
// suffix and replaced by its backup, so that id counters never go back. A
// missing store reads as empty; one that cannot be read at all (a FIFO, a
// directory, too large, no permission) reads as empty and is never overwritten.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/Object.h"

namespace ossel {

class UserDefaults {
public:
    // The store of the process, at the path the environment names.
    static UserDefaults& standardUserDefaults();
    // Forgets the standard store so that the next call re-reads the environment. Tests only.
    static void resetStandardUserDefaults();
    // The file the environment names for the standard store.
    static std::string defaultPath();

    explicit UserDefaults(std::string path);
    ~UserDefaults();

    const std::string& path() const { return path_; }

    Ref<Object> objectForKey(std::string_view key);
    // Numbers convert; a text holding a number reads as that number; anything else is 0.
    int64_t integerForKey(std::string_view key);
    float floatForKey(std::string_view key);
    double doubleForKey(std::string_view key);
    bool boolForKey(std::string_view key);

    // Each write lands in the file before it returns; false when it could not.
    bool setInteger(int64_t value, std::string_view key);
    bool setObject(Ref<Object> value, std::string_view key);  // null removes the key
    bool removeObjectForKey(std::string_view key);
    // Writes already land at once; kept for the callers that flush explicitly.
    bool synchronize();

private:
    struct State;
    std::string path_;
    std::unique_ptr<State> state_;
};

}  // namespace ossel
