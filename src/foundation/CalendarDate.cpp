#include "foundation/CalendarDate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "foundation/Clock.h"

namespace ossel {
namespace {

inline constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                              "July",    "August",   "September", "October", "November", "December"};
inline constexpr const char* kWeekdayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                "Thursday", "Friday", "Saturday"};

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

int clampToInt(int64_t value) {
    constexpr int64_t kMax = std::numeric_limits<int>::max();
    constexpr int64_t kMin = std::numeric_limits<int>::min();
    return static_cast<int>(value > kMax ? kMax : value < kMin ? kMin : value);
}

// A year and a month count carried into a year and a month of 1...12.
struct YearMonth {
    int64_t year;
    int month;
};
YearMonth carryMonths(int64_t year, int64_t month) {
    const int64_t total = year * 12 + (month - 1);
    return {floorDiv(total, 12), static_cast<int>(total - floorDiv(total, 12) * 12) + 1};
}

// Wall-clock seconds since the reference date, counted as if the zone were UTC,
// for a day counted from the first of a month and a time of day given as a
// duration (so day 0, hour 24 or second 75 simply carry).
double localSeconds(YearMonth ym, int64_t dayOfMonth, int64_t hour, int64_t minute, int64_t second) {
    const double firstOfMonth = sinceReferenceDateOf(UtcFields{ym.year, ym.month, 1, 0, 0, 0});
    return firstOfMonth + static_cast<double>(dayOfMonth - 1) * 86400.0 + static_cast<double>(hour) * 3600.0 +
           static_cast<double>(minute) * 60.0 + static_cast<double>(second);
}

Ref<TimeZone> zoneOrDefault(Ref<TimeZone> zone) { return zone ? std::move(zone) : TimeZone::defaultTimeZone(); }

// Appends a number padded to `width` with `pad`, its sign first (as "%04d" prints it).
void appendNumber(std::string& out, int64_t value, int width, char pad = '0') {
    char digits[24];
    size_t count = 0;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0) {
        if (pad == '0') {
            out += '-';
            --width;
        } else {
            digits[count++] = '-';
        }
    }
    for (int i = static_cast<int>(count); i < width; ++i) out += pad;
    while (count > 0) out += digits[--count];
}

void appendOffset(std::string& out, int seconds) {
    out += seconds < 0 ? '-' : '+';
    const int magnitude = std::abs(seconds);
    appendNumber(out, magnitude / 3600, 2);
    appendNumber(out, magnitude / 60 % 60, 2);
}

}  // namespace

CalendarDate::CalendarDate(double sinceReferenceDate, Ref<TimeZone> zone)
    : Date(sinceReferenceDate), zone_(zoneOrDefault(std::move(zone))) {
    const double local = sinceReferenceDate + zone_->secondsFromGMTForDate(sinceReferenceDate);
    const UtcFields f = utcFieldsOf(local);
    year_ = clampToInt(f.year);
    month_ = f.month;
    day_ = f.day;
    hour_ = f.hour;
    minute_ = f.minute;
    second_ = f.second;
}

Ref<CalendarDate> CalendarDate::dateWithYear(int year, int month, int day, int hour, int minute, int second,
                                             Ref<TimeZone> zone) {
    zone = zoneOrDefault(std::move(zone));
    const double local = localSeconds(carryMonths(year, month), day, hour, minute, second);
    return std::make_shared<CalendarDate>(zone->instantForLocalTime(local), zone);
}

Ref<CalendarDate> CalendarDate::withDate(const Date& date, Ref<TimeZone> zone) {
    return std::make_shared<CalendarDate>(date.timeIntervalSinceReferenceDate(), std::move(zone));
}

Ref<CalendarDate> CalendarDate::dateByAddingYears(int years, int months, int days, int hours, int minutes,
                                                  int seconds) const {
    const YearMonth ym = carryMonths(int64_t{year_} + years, int64_t{month_} + months);
    // A day the new month does not have becomes its last day (31 January + 1 month = end of February).
    const int day = std::min(day_, daysInMonth(ym.year, ym.month));
    const double local = localSeconds(ym, int64_t{day} + days, hour_, minute_, second_);
    // Whole days keep the wall-clock time; hours, minutes and seconds are elapsed time.
    const double fraction = timeIntervalSinceReferenceDate() - std::floor(timeIntervalSinceReferenceDate());
    const double instant = zone_->instantForLocalTime(local) + fraction + int64_t{hours} * 3600.0 +
                           int64_t{minutes} * 60.0 + static_cast<double>(seconds);
    return std::make_shared<CalendarDate>(instant, zone_);
}

std::string CalendarDate::descriptionWithCalendarFormat(std::string_view format) const {
    std::string out;
    out.reserve(format.size() + 16);
    const double instant = timeIntervalSinceReferenceDate();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        const char conversion = format[++i];
        switch (conversion) {
            case 'Y': appendNumber(out, year_, 4); break;
            case 'y': appendNumber(out, ((year_ % 100) + 100) % 100, 2); break;
            case 'm': appendNumber(out, month_, 2); break;
            case 'd': appendNumber(out, day_, 2); break;
            case 'e': appendNumber(out, day_, 2, ' '); break;
            case 'H': appendNumber(out, hour_, 2); break;
            case 'I': appendNumber(out, hour_ % 12 == 0 ? 12 : hour_ % 12, 2); break;
            case 'M': appendNumber(out, minute_, 2); break;
            case 'S': appendNumber(out, second_, 2); break;
            case 'p': out += hour_ < 12 ? "AM" : "PM"; break;
            case 'z': appendOffset(out, zone_->secondsFromGMTForDate(instant)); break;
            case 'Z': out += zone_->abbreviationForDate(instant); break;
            case 'b': out.append(kMonthNames[month_ - 1], 3); break;
            case 'B': out += kMonthNames[month_ - 1]; break;
            case 'a': out.append(kWeekdayNames[dayOfWeek()], 3); break;
            case 'A': out += kWeekdayNames[dayOfWeek()]; break;
            case 'j': appendNumber(out, dayOfYear(), 3); break;
            case 'F': out += descriptionWithCalendarFormat("%Y-%m-%d"); break;
            case 'T': out += descriptionWithCalendarFormat("%H:%M:%S"); break;
            case '%': out += '%'; break;
            default:
                // An unknown conversion stays as written.
                out += '%';
                out += conversion;
        }
    }
    return out;
}

int CalendarDate::dayOfWeek() const {
    const double midnight = sinceReferenceDateOf(UtcFields{year_, month_, day_, 0, 0, 0});
    const int64_t days = static_cast<int64_t>(std::floor(midnight / 86400.0));
    return static_cast<int>(((days % 7) + 7 + 1) % 7);  // 2001-01-01 was a Monday
}

int CalendarDate::dayOfYear() const {
    int days = day_;
    for (int m = 1; m < month_; ++m) days += daysInMonth(year_, m);
    return days;
}

std::string CalendarDate::description() const { return descriptionWithCalendarFormat("%Y-%m-%d %H:%M:%S %z"); }

}  // namespace ossel
