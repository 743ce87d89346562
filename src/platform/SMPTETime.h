#pragma once
// The platform's SMPTE time record, laid out field for field as the OS
// declares it, so that a record handed over by a capture device can be read
// here unchanged.

#include <cstdint>

namespace ossel {

// Frame-rate kinds of SMPTETime::type.
inline constexpr uint32_t kSMPTETimeType24 = 0;
inline constexpr uint32_t kSMPTETimeType25 = 1;
inline constexpr uint32_t kSMPTETimeType30Drop = 2;
inline constexpr uint32_t kSMPTETimeType30 = 3;
inline constexpr uint32_t kSMPTETimeType2997 = 4;
inline constexpr uint32_t kSMPTETimeType2997Drop = 5;

struct SMPTETime {
    int16_t subframes = 0;
    int16_t subframeDivisor = 0;
    uint32_t counter = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    int16_t hours = 0;
    int16_t minutes = 0;
    int16_t seconds = 0;
    int16_t frames = 0;
};

}  // namespace ossel
