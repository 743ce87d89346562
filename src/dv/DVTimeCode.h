#pragma once
// An SMPTE timecode: hours, minutes, seconds and frames, and whether they form
// a usable label. A component set out of range becomes 255 and makes the
// value invalid for good. Conversions to frame counts count NTSC drop-frame
// when the given system says so; arithmetic between timecodes lives in
// DVTimeCodeUtils.

#include <cstdint>
#include <string>
#include <string_view>

#include "dv/DVSystem.h"
#include "foundation/Object.h"

namespace ossel {

class Decoder;

inline constexpr int32_t TIMECODE_UNDEFINED_COMPONENT = 255;
inline constexpr std::string_view TIMECODE_UNDEFINED_STR = "--:--:--.--";
inline constexpr std::string_view TIMECODE_UNDEFINED_COMPONENT_STR = "--";

class DVTimeCode : public Object {
public:
    // The zero timecode, 00:00:00:00.
    DVTimeCode() = default;
    // Starts valid, then stores each component through its setter.
    DVTimeCode(int32_t hours, int32_t minutes, int32_t seconds, int32_t frames) {
        setHours(hours);
        setMinutes(minutes);
        setSeconds(seconds);
        setFrames(frames);
    }

    static Ref<DVTimeCode> timeCodeWithHours(int32_t hours, int32_t minutes, int32_t seconds, int32_t frames);
    static Ref<DVTimeCode> zeroTimeCode();
    static Ref<DVTimeCode> undefinedTimeCode();
    // Answers the zero timecode whatever the text: text is read by DVTimeCodeFormatter.
    static Ref<DVTimeCode> timeCodeWithString(std::string_view text);

    int32_t hours() const { return hours_; }
    int32_t minutes() const { return minutes_; }
    int32_t seconds() const { return seconds_; }
    int32_t frames() const { return frames_; }
    bool valid() const { return valid_; }

    // A value outside the range stores 255 and makes the timecode invalid; nothing makes it valid again.
    void setHours(int32_t hours) { store(hours_, hours, 23); }
    void setMinutes(int32_t minutes) { store(minutes_, minutes, 59); }
    void setSeconds(int32_t seconds) { store(seconds_, seconds, 59); }
    // The bound is 59 whatever the system's timebase.
    void setFrames(int32_t frames) { store(frames_, frames, 59); }

    std::string asSmpteString() const;
    std::string asColumnSeparatedString() const;

    // Labels skipped by drop-frame counting before this timecode; 0 unless the system is NTSC.
    static int32_t droppedFrames(const DVTimeCode* timeCode, const DVSystem* system);
    static int32_t droppedFrames(const Ref<DVTimeCode>& timeCode, const Ref<DVSystem>& system) {
        return droppedFrames(timeCode.get(), system.get());
    }
    uint32_t asFrames(const Ref<DVSystem>& system) const;
    uint32_t asNonDropFrames(const Ref<DVSystem>& system) const;
    double asSeconds(const Ref<DVSystem>& system) const;

    // -1, 0 or 1 by components; validity plays no part.
    int32_t compare(const Ref<DVTimeCode>& other) const;
    // Distance in frames counted at 30 a second; the system is not consulted.
    int32_t compareFrames(const Ref<DVTimeCode>& other, const Ref<DVSystem>& system) const;

    Ref<DVTimeCode> previousFrameTimeCodeWithSystem(const Ref<DVSystem>& system) const;

    std::string className() const override { return "DVTimeCode"; }
    // Components only: validity is not compared.
    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    std::string description() const override;
    Ref<Object> copy() const override;
    void encodeWithCoder(Coder& coder) const override;
    // Restores the five fields as archived, without range checks.
    static Ref<DVTimeCode> initWithCoder(Decoder& decoder);

private:
    void store(int32_t& component, int32_t value, int32_t highest) {
        if (value >= 0 && value <= highest) {
            component = value;
            return;
        }
        component = TIMECODE_UNDEFINED_COMPONENT;
        valid_ = false;
    }

    bool valid_ = true;
    int32_t hours_ = 0;
    int32_t minutes_ = 0;
    int32_t seconds_ = 0;
    int32_t frames_ = 0;
};

}  // namespace ossel
