#include "foundation/PosixTimeZoneRule.h"

#include "foundation/Clock.h"
#include "foundation/Date.h"

namespace ossel {
namespace {

// A cursor over the rule text; every read checks the end.
struct RuleReader {
    std::string_view text;
    size_t pos = 0;

    bool atEnd() const { return pos >= text.size(); }
    char peek() const { return atEnd() ? '\0' : text[pos]; }
    bool take(char c) {
        if (peek() != c) return false;
        ++pos;
        return true;
    }
    std::optional<int> number(int maxDigits) {
        int value = 0, digits = 0;
        while (digits < maxDigits && peek() >= '0' && peek() <= '9') {
            value = value * 10 + (text[pos++] - '0');
            ++digits;
        }
        if (digits == 0) return std::nullopt;
        return value;
    }
    // "EST" or "<+0330>": three or more letters, or anything between angle brackets.
    std::optional<std::string> name() {
        if (take('<')) {
            const size_t close = text.find('>', pos);
            if (close == std::string_view::npos || close - pos < 3) return std::nullopt;
            std::string result(text.substr(pos, close - pos));
            pos = close + 1;
            return result;
        }
        const size_t start = pos;
        while ((peek() >= 'A' && peek() <= 'Z') || (peek() >= 'a' && peek() <= 'z')) ++pos;
        if (pos - start < 3) return std::nullopt;
        return std::string(text.substr(start, pos - start));
    }
    // [+-]hh[:mm[:ss]] as seconds.
    std::optional<int> duration(int maxHours) {
        const bool negative = take('-');
        if (!negative) take('+');
        const auto hours = number(3);
        if (!hours || *hours > maxHours) return std::nullopt;
        int seconds = *hours * 3600;
        if (take(':')) {
            const auto minutes = number(2);
            if (!minutes || *minutes > 59) return std::nullopt;
            seconds += *minutes * 60;
            if (take(':')) {
                const auto secs = number(2);
                if (!secs || *secs > 59) return std::nullopt;
                seconds += *secs;
            }
        }
        return negative ? -seconds : seconds;
    }
    std::optional<PosixTimeZoneRule::Day> day() {
        using Kind = PosixTimeZoneRule::Day::Kind;
        PosixTimeZoneRule::Day d;
        if (take('M')) {
            d.kind = Kind::MonthWeekDay;
            const auto month = number(2);
            if (!month || *month < 1 || *month > 12 || !take('.')) return std::nullopt;
            const auto week = number(1);
            if (!week || *week < 1 || *week > 5 || !take('.')) return std::nullopt;
            const auto weekday = number(1);
            if (!weekday || *weekday > 6) return std::nullopt;
            d.month = *month, d.week = *week, d.weekday = *weekday;
        } else {
            d.kind = take('J') ? Kind::JulianNoLeap : Kind::ZeroBased;
            const auto n = number(3);
            const int low = d.kind == Kind::JulianNoLeap ? 1 : 0;
            if (!n || *n < low || *n > 365) return std::nullopt;
            d.number = *n;
        }
        if (take('/')) {
            const auto time = duration(167);
            if (!time) return std::nullopt;
            d.time = *time;
        }
        return d;
    }
};

// Seconds since 1970 of midnight UTC at the start of a civil day.
int64_t midnight(int64_t year, int month, int day) {
    const double reference = sinceReferenceDateOf(UtcFields{year, month, day, 0, 0, 0});
    return static_cast<int64_t>(reference + kTimeIntervalBetween1970AndReferenceDate);
}

// 0 = Sunday, as the rule counts weekdays.
int weekdayOf(int64_t unixMidnight) {
    const int64_t days = unixMidnight / 86400 - (unixMidnight % 86400 < 0 ? 1 : 0);
    return static_cast<int>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
}

}  // namespace

std::optional<PosixTimeZoneRule> PosixTimeZoneRule::parse(std::string_view text) {
    RuleReader reader{text};
    PosixTimeZoneRule rule;
    rule.text_ = std::string(text);
    const auto standardName = reader.name();
    const auto standardWest = standardName ? reader.duration(24) : std::nullopt;
    if (!standardWest) return std::nullopt;
    rule.standardName_ = *standardName;
    rule.standardOffset_ = -*standardWest;
    if (reader.atEnd()) return rule;

    const auto daylightName = reader.name();
    if (!daylightName) return std::nullopt;
    rule.hasDaylight_ = true;
    rule.daylightName_ = *daylightName;
    rule.daylightOffset_ = rule.standardOffset_ + 3600;
    if (reader.peek() != ',' && !reader.atEnd()) {
        const auto daylightWest = reader.duration(24);
        if (!daylightWest) return std::nullopt;
        rule.daylightOffset_ = -*daylightWest;
    }
    // Without dates the C library falls back to the US rules of 2007.
    if (reader.atEnd()) {
        rule.start_ = Day{Day::Kind::MonthWeekDay, 0, 3, 2, 0, 7200};
        rule.end_ = Day{Day::Kind::MonthWeekDay, 0, 11, 1, 0, 7200};
        return rule;
    }
    if (!reader.take(',')) return std::nullopt;
    const auto start = reader.day();
    if (!start || !reader.take(',')) return std::nullopt;
    const auto end = reader.day();
    if (!end || !reader.atEnd()) return std::nullopt;
    rule.start_ = *start;
    rule.end_ = *end;
    return rule;
}

int64_t PosixTimeZoneRule::transitionIn(int64_t year, const Day& day, int offsetBefore) {
    int64_t dayStart = 0;
    switch (day.kind) {
        case Day::Kind::JulianNoLeap: {
            // Day 60 is always 1 March: the leap day is never counted.
            const int n = day.number - 1 + (isLeapYear(year) && day.number >= 60 ? 1 : 0);
            dayStart = midnight(year, 1, 1) + int64_t{n} * 86400;
            break;
        }
        case Day::Kind::ZeroBased:
            dayStart = midnight(year, 1, 1) + int64_t{day.number} * 86400;
            break;
        case Day::Kind::MonthWeekDay: {
            const int64_t first = midnight(year, day.month, 1);
            int dayOfMonth = 1 + (day.weekday - weekdayOf(first) + 7) % 7 + (day.week - 1) * 7;
            // Week 5 means the last such weekday of the month.
            while (dayOfMonth > daysInMonth(year, day.month)) dayOfMonth -= 7;
            dayStart = first + int64_t{dayOfMonth - 1} * 86400;
            break;
        }
    }
    return dayStart + day.time - offsetBefore;
}

bool PosixTimeZoneRule::isDaylightAt(int64_t unixSeconds) const {
    if (!hasDaylight_) return false;
    const int64_t year = utcFieldsOf(static_cast<double>(unixSeconds + standardOffset_) -
                                     kTimeIntervalBetween1970AndReferenceDate)
                             .year;
    const int64_t start = transitionIn(year, start_, standardOffset_);
    const int64_t end = transitionIn(year, end_, daylightOffset_);
    // Southern-hemisphere rules run daylight time across the new year.
    if (start < end) return unixSeconds >= start && unixSeconds < end;
    return unixSeconds < end || unixSeconds >= start;
}

int PosixTimeZoneRule::offsetAt(int64_t unixSeconds) const {
    return isDaylightAt(unixSeconds) ? daylightOffset_ : standardOffset_;
}

std::string PosixTimeZoneRule::abbreviationAt(int64_t unixSeconds) const {
    return isDaylightAt(unixSeconds) ? daylightName_ : standardName_;
}

}  // namespace ossel
