#include "foundation/Clock.h"

#include <chrono>

namespace ossel {
namespace {
std::function<double()>& clockOverride() {
    static std::function<double()> clock;
    return clock;
}
}  // namespace

double currentTimeIntervalSince1970() {
    if (const auto& clock = clockOverride()) return clock();
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

void setClockForTesting(std::function<double()> clock) { clockOverride() = std::move(clock); }

}  // namespace ossel
