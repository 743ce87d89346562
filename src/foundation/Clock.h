#pragma once
// The wall clock, with a seam that tests set so that nothing depends on the real time.

#include <functional>

namespace ossel {

// Seconds since 1970-01-01 00:00:00 UTC, with fraction.
double currentTimeIntervalSince1970();

// Replaces the clock (null restores the system clock). Tests only.
void setClockForTesting(std::function<double()> clock);

// Seconds between 1970-01-01 and 2001-01-01, the reference date of Date.
inline constexpr double kTimeIntervalBetween1970AndReferenceDate = 978307200.0;

}  // namespace ossel
