#include "foundation/Host.h"

#include <unistd.h>

#include <climits>

namespace ossel {
namespace {
std::function<std::string()>& hostOverride() {
    static std::function<std::string()> source;
    return source;
}
}  // namespace

std::string currentHostName() {
    if (const auto& source = hostOverride()) return source();
    char buffer[HOST_NAME_MAX + 1] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) return {};
    return buffer;
}

void setHostNameForTesting(std::function<std::string()> source) { hostOverride() = std::move(source); }

}  // namespace ossel
