#include <gtest/gtest.h>

#include <cmath>

#include <climits>
#include <random>
#include <tuple>

#include "support/Cases.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using ossel::testing::utc;
using ossel::testing::ZoneScope;

namespace {

Ref<TimeZone> zone(const char* name) { return TimeZone::timeZoneWithName(name); }

// "YYYY-MM-DD hh:mm:ss" of a calendar date's own fields.
std::string fieldsOf(const Ref<CalendarDate>& d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d->yearOfCommonEra(), d->monthOfYear(),
                  d->dayOfMonth(), d->hourOfDay(), d->minuteOfHour(), d->secondOfMinute());
    return buffer;
}

}  // namespace

TEST(CalendarDate, FieldsOfAnInstantInAZoneAndTheDefaultZone) {
    const Date instant(utc(2006, 3, 14, 9, 22, 5));
    EXPECT_EQ(fieldsOf(CalendarDate::withDate(instant, zone("America/New_York"))), "2006-03-14 04:22:05");
    EXPECT_EQ(fieldsOf(CalendarDate::withDate(instant, TimeZone::timeZoneForSecondsFromGMT(-36000))),
              "2006-03-13 23:22:05");
    // Fractions of a second round down, before the reference date too.
    EXPECT_EQ(fieldsOf(CalendarDate::withDate(Date(-0.25), zone("UTC"))), "2000-12-31 23:59:59");

    // No zone means the default zone, not the system zone.
    ZoneScope scope(std::string("America/New_York"), zone("Europe/Zurich"));
    EXPECT_EQ(CalendarDate::dateWithYear(2006, 3, 14, 10, 22, 5)->timeIntervalSinceReferenceDate(), instant.timeIntervalSinceReferenceDate());
    EXPECT_EQ(CalendarDate::withDate(Date(0))->timeZone()->name(), "Europe/Zurich");
    TimeZone::setDefaultTimeZone(nullptr);
    EXPECT_EQ(CalendarDate::dateWithYear(2006, 3, 14, 10, 22, 5)->timeIntervalSinceReferenceDate(),
              utc(2006, 3, 14, 15, 22, 5));
}

TEST(CalendarDate, FieldsRoundTripThroughInstantsEveryDayOfFourCenturies) {
    const auto zurich = zone("Europe/Zurich");
    for (int y = 1800; y < 2200; ++y) {
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        for (int m = 1; m <= 12; ++m) {
            const int days = m == 2 ? 28 + leap : 30 + (m + m / 8) % 2;
            for (int d = 1; d <= days; ++d) {
                const auto t = CalendarDate::dateWithYear(y, m, d, 12, 34, 56, zurich);
                ASSERT_EQ(std::make_tuple(t->yearOfCommonEra(), t->monthOfYear(), t->dayOfMonth(), t->hourOfDay(),
                                          t->minuteOfHour(), t->secondOfMinute()),
                          std::make_tuple(y, m, d, 12, 34, 56));
            }
        }
    }
}

TEST(CalendarDate, OutOfRangeFieldsCarryAndAddedMonthsClampTheDay) {
    const auto u = zone("UTC");
    for (const auto& c : ossel::testing::casesFrom("foundation/calendar-dates.txt", 3)) {
        const auto f = c.numbers(1);
        ASSERT_EQ(f.size(), 6u) << c.where;
        if (c[0] == "carry") {
            EXPECT_EQ(fieldsOf(CalendarDate::dateWithYear(f[0], f[1], f[2], f[3], f[4], f[5], u)), c[2]) << c.where;
        } else {
            const auto start = CalendarDate::dateWithYear(f[0], f[1], f[2], 10, 0, 0, u);
            EXPECT_EQ(fieldsOf(start->dateByAddingYears(f[3], f[4], f[5], 0, 0, 0)), c[2]) << c.where;
        }
    }
    // Any spread of fields names the same instant as its carried form, and the time of day
    // is a plain duration from the start of the carried day.
    std::mt19937 random(5);
    const auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int i = 0; i < 2000; ++i) {
        const int y = in(1900, 2100), mo = in(-30, 40), d = in(-400, 400), h = in(-50, 50), mi = in(-200, 200),
                  s = in(-5000, 5000);
        const auto a = CalendarDate::dateWithYear(y, mo, d, h, mi, s, u);
        const auto b = CalendarDate::dateWithYear(a->yearOfCommonEra(), a->monthOfYear(), a->dayOfMonth(),
                                                  a->hourOfDay(), a->minuteOfHour(), a->secondOfMinute(), u);
        ASSERT_EQ(a->timeIntervalSinceReferenceDate(), b->timeIntervalSinceReferenceDate());
        ASSERT_EQ(a->timeIntervalSinceReferenceDate() -
                      CalendarDate::dateWithYear(y, mo, d, 0, 0, 0, u)->timeIntervalSinceReferenceDate(),
                  h * 3600.0 + mi * 60.0 + s);
    }
}

TEST(CalendarDate, FieldsInDaylightSavingGapsAndOverlaps) {
    const auto zurich = zone("Europe/Zurich");
    // 02:30 does not exist on 26 March 2006: the time after the gap.
    const auto gap = CalendarDate::dateWithYear(2006, 3, 26, 2, 30, 0, zurich);
    EXPECT_EQ(fieldsOf(gap), "2006-03-26 03:30:00");
    EXPECT_EQ(gap->timeIntervalSinceReferenceDate(), utc(2006, 3, 26, 1, 30));
    // 02:30 exists twice on 29 October 2006: the earlier, summer-time one.
    EXPECT_EQ(CalendarDate::dateWithYear(2006, 10, 29, 2, 30, 0, zurich)->timeIntervalSinceReferenceDate(),
              utc(2006, 10, 29, 0, 30));
    // Hour 26 of the day before the change is a wall-clock carry into the gap.
    EXPECT_EQ(fieldsOf(CalendarDate::dateWithYear(2006, 3, 25, 26, 0, 0, zurich)), "2006-03-26 03:00:00");
    EXPECT_EQ(CalendarDate::dateWithYear(2006, 10, 29, 1, 30, 0, zone("America/New_York"))->timeIntervalSinceReferenceDate(),
              utc(2006, 10, 29, 5, 30));
}

TEST(CalendarDate, AddingDaysKeepsTheWallClockAndAddingHoursCountsElapsedTime) {
    const auto zurich = zone("Europe/Zurich");
    const auto before = CalendarDate::dateWithYear(2006, 3, 25, 12, 0, 0, zurich);
    const auto nextDay = before->dateByAddingYears(0, 0, 1, 0, 0, 0);
    EXPECT_EQ(fieldsOf(nextDay), "2006-03-26 12:00:00");
    EXPECT_EQ(nextDay->timeIntervalSinceDate(*before), 23 * 3600.0);
    const auto dayOfHours = before->dateByAddingYears(0, 0, 0, 24, 0, 0);
    EXPECT_EQ(fieldsOf(dayOfHours), "2006-03-26 13:00:00");
    const auto autumn = CalendarDate::dateWithYear(2006, 10, 28, 12, 0, 0, zurich);
    EXPECT_EQ(autumn->dateByAddingYears(0, 0, 1, 0, 0, 0)->timeIntervalSinceDate(*autumn), 25 * 3600.0);
    // Through the repeated hour: 02:30 summer time plus one hour is 02:30 winter time.
    const auto first = CalendarDate::dateWithYear(2006, 10, 29, 2, 30, 0, zurich);
    const auto second = first->dateByAddingYears(0, 0, 0, 1, 0, 0);
    EXPECT_EQ(fieldsOf(second), "2006-10-29 02:30:00");
    EXPECT_EQ(second->timeIntervalSinceDate(*first), 3600.0);
    // A day added into the gap lands after it.
    const auto april = CalendarDate::dateWithYear(2006, 4, 1, 2, 30, 0, zone("America/New_York"));
    EXPECT_EQ(fieldsOf(april->dateByAddingYears(0, 0, 1, 0, 0, 0)), "2006-04-02 03:30:00");
    // Seconds carry across the year's end; fractions of a second survive.
    const auto late = std::make_shared<CalendarDate>(utc(2006, 12, 31, 23, 59, 30) + 0.5, zone("UTC"));
    const auto later = late->dateByAddingYears(0, 0, 0, 0, 0, 45);
    EXPECT_EQ(fieldsOf(later), "2007-01-01 00:00:15");
    EXPECT_EQ(later->timeIntervalSinceDate(*late), 45.0);
}

TEST(CalendarDate, ExtremeYearsNeitherCrashNorWrap) {
    const auto z = zone("Europe/Zurich");
    for (int y : {INT_MIN, -1, 0, 10000, INT_MAX}) {
        const auto d = CalendarDate::dateWithYear(y, 6, 15, 12, 0, 0, z);
        EXPECT_EQ(std::make_tuple(d->yearOfCommonEra(), d->monthOfYear(), d->dayOfMonth()), std::make_tuple(y, 6, 15));
        EXPECT_TRUE(d->dateByAddingYears(INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX));
        EXPECT_TRUE(d->dateByAddingYears(INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN));
    }
    EXPECT_TRUE(CalendarDate::dateWithYear(INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, z));
    for (double t : {1e300, -1e300, std::nan("")}) {
        const auto d = std::make_shared<CalendarDate>(t, z);
        EXPECT_TRUE(d->monthOfYear() >= 1 && d->monthOfYear() <= 12);
        EXPECT_FALSE(d->descriptionWithCalendarFormat("%Y %B %A %j %Z").empty());
    }
}

TEST(CalendarDate, CalendarFormatConversionsAndWeekdays) {
    const auto d = CalendarDate::dateWithYear(2006, 3, 5, 14, 7, 9, zone("Europe/Zurich"));
    EXPECT_EQ(d->description(), "2006-03-05 14:07:09 +0100");
    EXPECT_EQ(d->descriptionWithCalendarFormat("%Y|%y|%m|%d|%e|%H|%I|%M|%S|%p|%z|%Z|%b|%B|%a|%A|%j|%F|%T|%%|%q|"),
              "2006|06|03|05| 5|14|02|07|09|PM|+0100|CET|Mar|March|Sun|Sunday|064|2006-03-05|14:07:09|%|%q|");
    EXPECT_EQ(CalendarDate::dateWithYear(2004, 12, 31, 0, 0, 0, zone("America/New_York"))
                  ->descriptionWithCalendarFormat("%j %I%p %Z trailing %"),
              "366 12AM EST trailing %");
    EXPECT_EQ(CalendarDate::dateWithYear(-1, 7, 1, 12, 0, 0, TimeZone::timeZoneForSecondsFromGMT(-19800))
                  ->descriptionWithCalendarFormat("%Y %y %z %Z"),
              "-001 99 -0530 GMT-0530");
    EXPECT_EQ(CalendarDate::dateWithYear(12345, 12, 31, 23, 59, 59, zone("UTC"))->description(),
              "12345-12-31 23:59:59 +0000");
    // Weekdays step through the week day by day across years and leap days.
    const auto u = zone("UTC");
    for (int i = 0; i < 800; ++i) {
        const auto day = CalendarDate::dateWithYear(1999, 12, 25 + i, 0, 0, 0, u);
        ASSERT_EQ(day->dayOfWeek(), (6 + i) % 7) << fieldsOf(day);  // 1999-12-25 was a Saturday
    }
}
