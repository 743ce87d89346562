#pragma once
// A POSIX time-zone rule ("CET-1CEST,M3.5.0,M10.5.0/3", "JST-9"): the form the
// C library reads from TZ and compiled zone files carry in their footer for the
// years after their last listed transition.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ossel {

class PosixTimeZoneRule {
public:
    // Nothing when the text is not a rule.
    static std::optional<PosixTimeZoneRule> parse(std::string_view text);

    // Offset east of Greenwich (seconds) and abbreviation at an instant (seconds since 1970).
    int offsetAt(int64_t unixSeconds) const;
    std::string abbreviationAt(int64_t unixSeconds) const;
    const std::string& text() const { return text_; }

    // The day a rule names in a year: Julian day without leap day ("Jn"), day of
    // the year from 0 ("n"), or a weekday of a week of a month ("Mm.w.d").
    struct Day {
        enum class Kind { JulianNoLeap, ZeroBased, MonthWeekDay } kind = Kind::MonthWeekDay;
        int number = 0, month = 0, week = 0, weekday = 0;
        int time = 2 * 3600;  // local wall-clock seconds after midnight (may be negative or past 24h)
    };

private:
    bool isDaylightAt(int64_t unixSeconds) const;
    // The instant (seconds since 1970) of a rule day's transition in a year,
    // given the offset in effect before it.
    static int64_t transitionIn(int64_t year, const Day& day, int offsetBefore);

    std::string text_;
    std::string standardName_, daylightName_;
    int standardOffset_ = 0, daylightOffset_ = 0;
    bool hasDaylight_ = false;
    Day start_, end_;
};

}  // namespace ossel
