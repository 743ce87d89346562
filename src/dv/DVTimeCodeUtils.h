#pragma once
// Arithmetic between timecodes in a video system: ordering that respects
// validity, elapsed durations, adding and removing frames or a duration,
// frame counts to labels, drop-frame to non-drop labels and back, stepping
// one frame back. A missing system counts at 30 frames a second without
// drop-frame.
//
// A non-drop label lays a frame count out plainly at the system's timebase; a
// drop-frame label (NTSC) skips ;00 and ;01 at the start of every minute but
// minutes 00, 10, 20, 30, 40 and 50, so that a day holds 2589408 frames.

#include <cstdint>

#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"

namespace ossel {

inline constexpr int32_t DEFAULT_TIMEBASE = 30;
inline constexpr int32_t TIMECODE_MATHS_DEFAULT_TIMEBASE = 30;
inline constexpr double TIMECODE_MATHS_DEFAULT_FPS = 30.0;
inline constexpr int32_t TIMECODE_UNDEFINED_ELAPSED = -1;
inline constexpr int32_t SECONDS_IN_HOUR = 3600;
inline constexpr int32_t SECONDS_IN_MINUTE = 60;

// Carry and borrow between components. A component above its range carries
// into the next larger one as often as needed; one below zero borrows exactly
// once, so a component more than one unit below zero stays negative (and a
// timecode built from it is invalid). Hours always end in 0 ... 23.
void adjustHours(int32_t& hours);
void adjustMinutes(int32_t& hours, int32_t& minutes);
void adjustSeconds(int32_t& hours, int32_t& minutes, int32_t& seconds);
void adjustFrames(int32_t& hours, int32_t& minutes, int32_t& seconds, int32_t& frames, int32_t base);

class DVTimeCodeUtils {
public:
    DVTimeCodeUtils() = delete;

    static bool isTimeCodeLessThan(const Ref<DVTimeCode>& a, const Ref<DVTimeCode>& b);
    // Two undefined timecodes are less-or-equal although neither is less than the other.
    static bool isTimeCodeLessOrEqualThan(const Ref<DVTimeCode>& a, const Ref<DVTimeCode>& b);

    // The inclusive duration, component by component, with no drop-frame correction;
    // an end before the start lies on the next day.
    static Ref<DVTimeCode> elapsedTimeFromStart(const Ref<DVTimeCode>& start, const Ref<DVTimeCode>& end,
                                                const Ref<DVSystem>& system);
    static Ref<DVTimeCode> elapsedTimeFromStart(const Ref<DVTimeCode>& start, const Ref<DVTimeCode>& end);
    // Whole seconds since 00:00:00:00, or TIMECODE_UNDEFINED_ELAPSED.
    static int32_t elapsedSince0(const Ref<DVTimeCode>& timeCode);

    static Ref<DVTimeCode> timeCodeByAddingDuration(const Ref<DVTimeCode>& duration, const Ref<DVTimeCode>& timeCode,
                                                    const Ref<DVSystem>& system);
    static Ref<DVTimeCode> timeCodeByAddingFrames(uint32_t frames, const Ref<DVTimeCode>& timeCode,
                                                  const Ref<DVSystem>& system);
    static Ref<DVTimeCode> timeCodeByRemovingFrames(uint32_t frames, const Ref<DVTimeCode>& timeCode,
                                                    const Ref<DVSystem>& system);

    // The non-drop label of a frame count; invalid (hours 255) from 24 hours on.
    static Ref<DVTimeCode> nonDropFrameDurationFromFrames(uint32_t frames, const Ref<DVSystem>& system);
    // The non-drop label of the frame count from start to end, both included.
    static Ref<DVTimeCode> nonDropFrameDuratiomFromStart(const Ref<DVTimeCode>& start, const Ref<DVTimeCode>& end,
                                                         const Ref<DVSystem>& system);
    static Ref<DVTimeCode> nonDropTimeCodeFromTimeCode(const Ref<DVTimeCode>& timeCode, const Ref<DVSystem>& system);
    static Ref<DVTimeCode> dropFrameTimeCodeFromTimeCode(const Ref<DVTimeCode>& timeCode,
                                                         const Ref<DVSystem>& system);
    // The drop-frame label of frame n; the inverse of DVTimeCode::asFrames over a day.
    static Ref<DVTimeCode> dropFrameTimeCodeFromFrames(uint32_t frames, const Ref<DVSystem>& system);
    static Ref<DVTimeCode> previousTimeCodeFromTimeCode(const Ref<DVTimeCode>& timeCode, const Ref<DVSystem>& system);
    static Ref<DVTimeCode> previousTimeCodeFromTimeCode(const DVTimeCode* timeCode, const Ref<DVSystem>& system);

    // The plain non-drop steps. adjustmentFrames (may be null) receives the
    // drop-frame labels crossed, for NTSC systems, else 0.
    static Ref<DVTimeCode> _nonDropTimeCodeByAddingFrames(uint32_t frames, const Ref<DVTimeCode>& timeCode,
                                                          const Ref<DVSystem>& system, int32_t* adjustmentFrames);
    static Ref<DVTimeCode> _nonDropTimeCodeByRemovingFrames(uint32_t frames, const Ref<DVTimeCode>& timeCode,
                                                            const Ref<DVSystem>& system, int32_t* adjustmentFrames);
};

}  // namespace ossel
