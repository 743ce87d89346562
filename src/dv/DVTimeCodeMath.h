#pragma once
// Internal to the dv folder: the small integer helpers that DVTimeCode and
// DVTimeCodeUtils share, kept inline because they sit on the per-frame paths.

#include <cstdint>
#include <limits>

namespace ossel::tcmath {

// Labels dropped per full hour: 54 dropping minutes, 2 labels each.
inline constexpr int32_t DROPPED_PER_HOUR = 108;
// Labels dropped in a whole day (24 x 108); wraps an adjustment that crossed midnight.
inline constexpr int32_t DROPPED_PER_DAY = 24 * DROPPED_PER_HOUR;

inline constexpr bool inRange(int64_t v, int64_t low, int64_t high) { return v >= low && v <= high; }

// Drop-frame labels skipped before h:m in an NTSC system. Stored components may
// hold anything an archive gave them, so the sum wraps in 32 bits as a C int
// would instead of overflowing.
inline int32_t droppedLabels(int32_t hours, int32_t minutes) {
    const uint32_t perHour = static_cast<uint32_t>(DROPPED_PER_HOUR) * static_cast<uint32_t>(hours);
    const uint32_t inHour = 2u * (static_cast<uint32_t>(minutes) - static_cast<uint32_t>(minutes / 10));
    return static_cast<int32_t>(perHour + inHour);
}

// h x 3600 + m x 60 + s in wrapping 32-bit arithmetic.
inline uint32_t secondsOfDay(int32_t hours, int32_t minutes, int32_t seconds) {
    return static_cast<uint32_t>(hours) * 3600u + static_cast<uint32_t>(minutes) * 60u +
           static_cast<uint32_t>(seconds);
}

// A 64-bit value as a component argument: values a 32-bit component cannot
// hold become -1, which every setter rejects, so the timecode turns invalid
// instead of taking a wrapped, plausible-looking value.
inline int32_t narrowComponent(int64_t v) {
    return inRange(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())
               ? static_cast<int32_t>(v)
               : -1;
}

}  // namespace ossel::tcmath
