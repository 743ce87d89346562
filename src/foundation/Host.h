#pragma once
// The current host's name (the platform's "current host"), with a seam for tests.

#include <functional>
#include <optional>
#include <string>

namespace ossel {

// The host's name, or an empty text when the platform gives none.
std::string currentHostName();

// Replaces the host name source (null restores gethostname). Tests only.
void setHostNameForTesting(std::function<std::string()> source);

}  // namespace ossel
