#pragma once
// String tables: translations of message keys, looked up in a resources
// directory as "<table>.strings" (the platform's "key" = "value"; text form) or
// "<table>.plist" (a dictionary). No directory, no table or no entry: the key itself.

#include <string>
#include <string_view>

namespace ossel {

// The resources directory: OSSEL_RESOURCES when set, else none until set.
void setResourcesDirectory(std::string path);
const std::string& resourcesDirectory();

// The translation of `key` in `table`. Without one: `fallback` when it is not
// empty, else the key itself.
std::string localizedString(std::string_view key, std::string_view table, std::string_view fallback = "");

}  // namespace ossel
