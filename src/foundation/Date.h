#pragma once
// An instant, as seconds (with fraction) since the reference date 2001-01-01 00:00:00 UTC.
// Any double is a date: the whole calendar, before 1901 and after 2038 alike.

#include "foundation/Object.h"

namespace ossel {

class Date : public Object {
public:
    explicit Date(double sinceReferenceDate) : sinceReference_(sinceReferenceDate) {}
    static Ref<Date> withTimeIntervalSinceReferenceDate(double seconds);
    static Ref<Date> withTimeIntervalSince1970(double seconds);
    static Ref<Date> now();  // through the clock seam

    double timeIntervalSinceReferenceDate() const { return sinceReference_; }
    double timeIntervalSince1970() const;
    // This date minus the other, in seconds.
    double timeIntervalSinceDate(const Date& other) const { return sinceReference_ - other.sinceReference_; }

    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    // "2006-03-14 10:22:05 +0000"
    std::string description() const override;
    std::string className() const override { return "Date"; }

private:
    double sinceReference_;
};

// Calendar fields of an instant in UTC (whole seconds, rounded down), and back.
struct UtcFields {
    int64_t year;
    int month, day, hour, minute, second;
};
UtcFields utcFieldsOf(double sinceReferenceDate);
// "2006-03-14T10:22:05Z" (ISO 8601 in UTC, whole seconds; a year before 1 has its sign).
std::string iso8601UtcString(double sinceReferenceDate);
// The same text appended to `out`, for writers that render many records.
void appendIso8601UtcString(std::string& out, double sinceReferenceDate);
double sinceReferenceDateOf(const UtcFields& fields);

// The proleptic Gregorian calendar's leap years, and the days of a month (1 to 12) in a year.
constexpr bool isLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
constexpr int daysInMonth(int64_t year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace ossel
