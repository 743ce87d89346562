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

TEST(CalendarDate, FieldsCarryAndAddedUnitsClampTheDayOrCountElapsedTime) {
    for (const auto& c : ossel::testing::casesFrom("foundation/calendar-dates.txt", 6)) {
        const auto f = c.numbers(2);
        ASSERT_EQ(f.size(), 6u) << c.where;
        const auto start = CalendarDate::dateWithYear(f[0], f[1], f[2], f[3], f[4], f[5], zone(c[1].c_str()));
        if (c[0] == "carry") {
            EXPECT_EQ(fieldsOf(start), c[4]) << c.where;
            const auto u = c.numbers(5);
            if (u.size() == 6) {
                EXPECT_EQ(start->timeIntervalSinceReferenceDate(), utc(u[0], u[1], u[2], u[3], u[4], u[5])) << c.where;
            }
            continue;
        }
        const auto a = c.numbers(3);
        const auto sum = start->dateByAddingYears(a[0], a[1], a[2], a[3], a[4], a[5]);
        EXPECT_EQ(fieldsOf(sum), c[4]) << c.where;
        if (c[5] != "-") {
            EXPECT_EQ(sum->timeIntervalSinceDate(*start), double(c.number(5))) << c.where;
        }
    }
    // Seconds carry across the year's end; fractions of a second survive.
    const auto u = zone("UTC");
    const auto late = std::make_shared<CalendarDate>(utc(2006, 12, 31, 23, 59, 30) + 0.5, u);
    const auto later = late->dateByAddingYears(0, 0, 0, 0, 0, 45);
    EXPECT_EQ(fieldsOf(later), "2007-01-01 00:00:15");
    EXPECT_EQ(later->timeIntervalSinceDate(*late), 45.0);
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
    for (const auto& c : ossel::testing::casesFrom("foundation/calendar-formats.txt", 4)) {
        const auto f = c.numbers(1);
        ASSERT_EQ(f.size(), 6u) << c.where;
        const auto d = CalendarDate::dateWithYear(f[0], f[1], f[2], f[3], f[4], f[5], zone(c[0].c_str()));
        EXPECT_EQ(c[2] == "-" ? d->description() : d->descriptionWithCalendarFormat(c[2]), c[3]) << c.where;
    }
    // Weekdays step through the week day by day across years and leap days.
    const auto u = zone("UTC");
    for (int i = 0; i < 800; ++i) {
        const auto day = CalendarDate::dateWithYear(1999, 12, 25 + i, 0, 0, 0, u);
        ASSERT_EQ(day->dayOfWeek(), (6 + i) % 7) << fieldsOf(day);  // 1999-12-25 was a Saturday
    }
}
