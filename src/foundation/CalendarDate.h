#pragma once
// A date with calendar fields in a time zone (the platform's calendar date, a
// kind of Date). Fields that are out of range are normalised when a calendar
// date is built from them (month 13 is January of the next year, second 75 is
// 1:15 of the next minute, and so on).

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/Date.h"
#include "foundation/TimeZone.h"

namespace ossel {

class CalendarDate final : public Date {
public:
    CalendarDate(double sinceReferenceDate, Ref<TimeZone> zone);

    // From fields in a zone (null: the process default zone).
    static Ref<CalendarDate> dateWithYear(int year, int month, int day, int hour, int minute, int second,
                                          Ref<TimeZone> zone = nullptr);
    // An instant seen in a zone (null: the process default zone).
    static Ref<CalendarDate> withDate(const Date& date, Ref<TimeZone> zone = nullptr);

    const Ref<TimeZone>& timeZone() const { return zone_; }
    int yearOfCommonEra() const { return year_; }
    int monthOfYear() const { return month_; }
    int dayOfMonth() const { return day_; }
    int hourOfDay() const { return hour_; }
    int minuteOfHour() const { return minute_; }
    int secondOfMinute() const { return second_; }
    // 0 = Sunday ... 6 = Saturday.
    int dayOfWeek() const;
    // 1 ... 366.
    int dayOfYear() const;

    // Calendar arithmetic: adds the amounts to the fields, carries overflow into
    // the next larger unit, and keeps the zone.
    Ref<CalendarDate> dateByAddingYears(int years, int months, int days, int hours, int minutes, int seconds) const;

    // The date in a calendar format: %Y %y %m %d %e %H %I %M %S %p %z %Z %b %B %a %A %j %F %%.
    std::string descriptionWithCalendarFormat(std::string_view format) const;
    // "%Y-%m-%d %H:%M:%S %z"
    std::string description() const override;
    std::string className() const override { return "CalendarDate"; }

private:
    Ref<TimeZone> zone_;
    int year_, month_, day_, hour_, minute_, second_;
};

}  // namespace ossel
