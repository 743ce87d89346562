#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "foundation/CalendarDate.h"
#include "foundation/ZoneScope.h"

using namespace ossel;
using ossel::testing::ZoneScope;

namespace {

double utc(int64_t y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return sinceReferenceDateOf(UtcFields{y, mo, d, h, mi, s});
}

Ref<TimeZone> zone(const char* name) { return TimeZone::timeZoneWithName(name); }

// "YYYY-MM-DD hh:mm:ss" of a calendar date's own fields.
std::string fieldsOf(const Ref<CalendarDate>& d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d->yearOfCommonEra(), d->monthOfYear(),
                  d->dayOfMonth(), d->hourOfDay(), d->minuteOfHour(), d->secondOfMinute());
    return buffer;
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

TEST(CalendarDate, FieldsOfAnInstantInAZone) {
    const Date instant(utc(2006, 3, 14, 9, 22, 5));
    EXPECT_EQ(fieldsOf(CalendarDate::withDate(instant, zone("Europe/Zurich"))), "2006-03-14 10:22:05");
    EXPECT_EQ(fieldsOf(CalendarDate::withDate(instant, zone("America/New_York"))), "2006-03-14 04:22:05");
    EXPECT_EQ(fieldsOf(CalendarDate::withDate(instant, TimeZone::timeZoneForSecondsFromGMT(-36000))),
              "2006-03-13 23:22:05");
    // Fractions of a second round down, before the reference date too.
    EXPECT_EQ(fieldsOf(CalendarDate::withDate(Date(-0.25), zone("UTC"))), "2000-12-31 23:59:59");
    EXPECT_EQ(CalendarDate::withDate(Date(utc(2006, 3, 14) + 0.75), zone("UTC"))->secondOfMinute(), 0);
}

TEST(CalendarDate, NullZoneMeansTheDefaultZoneNotTheSystemZone) {
    ZoneScope scope(std::string("America/New_York"), zone("Europe/Zurich"));
    const auto d = CalendarDate::dateWithYear(2006, 3, 14, 10, 22, 5);
    EXPECT_EQ(d->timeZone()->name(), "Europe/Zurich");
    EXPECT_EQ(d->timeIntervalSinceReferenceDate(), utc(2006, 3, 14, 9, 22, 5));
    EXPECT_EQ(CalendarDate::withDate(Date(0))->timeZone()->name(), "Europe/Zurich");
    TimeZone::setDefaultTimeZone(nullptr);
    EXPECT_EQ(CalendarDate::dateWithYear(2006, 3, 14, 10, 22, 5)->timeIntervalSinceReferenceDate(),
              utc(2006, 3, 14, 15, 22, 5));
}

TEST(CalendarDate, FieldsRoundTripThroughInstantsEveryDayOfFourCenturies) {
    const auto zurich = zone("Europe/Zurich");
    for (int y = 1800; y < 2200; ++y) {
        for (int m = 1; m <= 12; ++m) {
            const int days = m == 2 ? (isLeap(y) ? 29 : 28) : (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31;
            for (int d = 1; d <= days; ++d) {
                const auto date = CalendarDate::dateWithYear(y, m, d, 12, 34, 56, zurich);
                ASSERT_EQ(date->yearOfCommonEra(), y);
                ASSERT_EQ(date->monthOfYear(), m);
                ASSERT_EQ(date->dayOfMonth(), d);
                ASSERT_EQ(date->hourOfDay(), 12);
                ASSERT_EQ(date->minuteOfHour(), 34);
                ASSERT_EQ(date->secondOfMinute(), 56);
            }
        }
    }
}

TEST(CalendarDate, OutOfRangeFieldsCarryLikeTheCalendar) {
    const auto z = zone("UTC");
    struct Case {
        int y, mo, d, h, mi, s;
        const char* expected;
    };
    const Case cases[] = {
        {2006, 13, 1, 0, 0, 0, "2007-01-01 00:00:00"},
        {2006, 0, 15, 0, 0, 0, "2005-12-15 00:00:00"},
        {2006, -13, 1, 0, 0, 0, "2004-11-01 00:00:00"},
        {2006, 25, 1, 0, 0, 0, "2008-01-01 00:00:00"},
        {2006, 3, 0, 0, 0, 0, "2006-02-28 00:00:00"},
        {2004, 3, 0, 0, 0, 0, "2004-02-29 00:00:00"},
        {2006, 1, 32, 0, 0, 0, "2006-02-01 00:00:00"},
        {2006, 2, 30, 0, 0, 0, "2006-03-02 00:00:00"},  // days count from the first of the month
        {2006, 1, -30, 0, 0, 0, "2005-12-01 00:00:00"},
        {2006, 1, 366, 0, 0, 0, "2007-01-01 00:00:00"},
        {2006, 12, 31, 24, 0, 0, "2007-01-01 00:00:00"},
        {2006, 3, 14, 10, -1, 0, "2006-03-14 09:59:00"},
        {2006, 3, 14, 10, 22, 75, "2006-03-14 10:23:15"},
        {2006, 3, 14, 0, 0, -1, "2006-03-13 23:59:59"},
        {2006, 3, 14, -25, 0, 0, "2006-03-12 23:00:00"},
        {2006, 3, 14, 0, 0, 86400 * 2, "2006-03-16 00:00:00"},
        {2006, 14, 0, 0, 0, 0, "2007-01-31 00:00:00"},  // months first, then days
        {0, 0, 0, 0, 0, 0, "-001-11-30 00:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fieldsOf(CalendarDate::dateWithYear(c.y, c.mo, c.d, c.h, c.mi, c.s, z)), c.expected)
            << c.y << "-" << c.mo << "-" << c.d << " " << c.h << ":" << c.mi << ":" << c.s;
    }
}

TEST(CalendarDate, NormalisedFieldsNameTheSameInstantAsTheirCarriedForm) {
    // Any spread of fields equals the date built from its carried form, in a zone
    // with daylight saving too (away from the changes, where the carried form is unique).
    std::mt19937 random(5);
    std::uniform_int_distribution<int> year(1900, 2100), month(-30, 40), day(-400, 400), hour(-50, 50),
        minute(-200, 200), second(-5000, 5000);
    const auto z = zone("UTC");
    for (int i = 0; i < 5000; ++i) {
        const int y = year(random), mo = month(random), d = day(random), h = hour(random), mi = minute(random),
                  s = second(random);
        const auto a = CalendarDate::dateWithYear(y, mo, d, h, mi, s, z);
        const auto b = CalendarDate::dateWithYear(a->yearOfCommonEra(), a->monthOfYear(), a->dayOfMonth(),
                                                  a->hourOfDay(), a->minuteOfHour(), a->secondOfMinute(), z);
        ASSERT_EQ(a->timeIntervalSinceReferenceDate(), b->timeIntervalSinceReferenceDate());
        // The time of day is a plain duration from the start of the (carried) day.
        const auto midnight = CalendarDate::dateWithYear(y, mo, d, 0, 0, 0, z);
        ASSERT_EQ(a->timeIntervalSinceReferenceDate() - midnight->timeIntervalSinceReferenceDate(),
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
    const auto overlap = CalendarDate::dateWithYear(2006, 10, 29, 2, 30, 0, zurich);
    EXPECT_EQ(fieldsOf(overlap), "2006-10-29 02:30:00");
    EXPECT_EQ(overlap->timeIntervalSinceReferenceDate(), utc(2006, 10, 29, 0, 30));
    // Hour 26 of the day of the change is a wall-clock carry to 02:00 the next day.
    EXPECT_EQ(fieldsOf(CalendarDate::dateWithYear(2006, 3, 25, 26, 0, 0, zurich)), "2006-03-26 03:00:00");
    const auto newYork = zone("America/New_York");
    EXPECT_EQ(fieldsOf(CalendarDate::dateWithYear(2006, 4, 2, 2, 15, 0, newYork)), "2006-04-02 03:15:00");
    EXPECT_EQ(CalendarDate::dateWithYear(2006, 10, 29, 1, 30, 0, newYork)->timeIntervalSinceReferenceDate(),
              utc(2006, 10, 29, 5, 30));
}

TEST(CalendarDate, AddingMonthsClampsTheDayToTheMonthsEnd) {
    const auto z = zone("UTC");
    struct Case {
        int y, mo, d, addY, addMo, addD;
        const char* expected;
    };
    const Case cases[] = {
        {2006, 1, 31, 0, 1, 0, "2006-02-28 10:00:00"},
        {2004, 1, 31, 0, 1, 0, "2004-02-29 10:00:00"},
        {2000, 1, 31, 0, 1, 0, "2000-02-29 10:00:00"},
        {1900, 1, 31, 0, 1, 0, "1900-02-28 10:00:00"},
        {2004, 2, 29, 1, 0, 0, "2005-02-28 10:00:00"},
        {2004, 2, 29, 4, 0, 0, "2008-02-29 10:00:00"},
        {2000, 2, 29, 100, 0, 0, "2100-02-28 10:00:00"},
        {2006, 3, 31, 0, -1, 0, "2006-02-28 10:00:00"},
        {2006, 1, 31, 0, 1, 1, "2006-03-01 10:00:00"},  // clamp first, then the days
        {2006, 12, 31, 0, 2, 0, "2007-02-28 10:00:00"},
        {2006, 5, 31, 0, -17, 0, "2004-12-31 10:00:00"},
        {2006, 3, 14, 0, 0, -365, "2005-03-14 10:00:00"},
        {2006, 3, 14, 0, 0, 1000, "2008-12-08 10:00:00"},
        {2006, 3, 14, -2006, 0, 0, "0000-03-14 10:00:00"},
    };
    for (const auto& c : cases) {
        const auto start = CalendarDate::dateWithYear(c.y, c.mo, c.d, 10, 0, 0, z);
        EXPECT_EQ(fieldsOf(start->dateByAddingYears(c.addY, c.addMo, c.addD, 0, 0, 0)), c.expected)
            << c.y << "-" << c.mo << "-" << c.d << " + " << c.addY << "y " << c.addMo << "m " << c.addD << "d";
    }
}

TEST(CalendarDate, AddingDaysKeepsTheWallClockAndAddingHoursCountsElapsedTime) {
    const auto zurich = zone("Europe/Zurich");
    const auto before = CalendarDate::dateWithYear(2006, 3, 25, 12, 0, 0, zurich);
    const auto nextDay = before->dateByAddingYears(0, 0, 1, 0, 0, 0);
    EXPECT_EQ(fieldsOf(nextDay), "2006-03-26 12:00:00");
    EXPECT_EQ(nextDay->timeIntervalSinceDate(*before), 23 * 3600.0);
    const auto dayOfHours = before->dateByAddingYears(0, 0, 0, 24, 0, 0);
    EXPECT_EQ(fieldsOf(dayOfHours), "2006-03-26 13:00:00");
    EXPECT_EQ(dayOfHours->timeIntervalSinceDate(*before), 24 * 3600.0);
    EXPECT_EQ(dayOfHours->timeZone()->name(), "Europe/Zurich");

    const auto autumn = CalendarDate::dateWithYear(2006, 10, 28, 12, 0, 0, zurich);
    EXPECT_EQ(autumn->dateByAddingYears(0, 0, 1, 0, 0, 0)->timeIntervalSinceDate(*autumn), 25 * 3600.0);
    // Through the repeated hour: 02:30 summer time plus one hour is 02:30 winter time.
    const auto first = CalendarDate::dateWithYear(2006, 10, 29, 2, 30, 0, zurich);
    const auto second = first->dateByAddingYears(0, 0, 0, 1, 0, 0);
    EXPECT_EQ(fieldsOf(second), "2006-10-29 02:30:00");
    EXPECT_EQ(second->timeIntervalSinceDate(*first), 3600.0);

    const auto newYork = zone("America/New_York");
    const auto march = CalendarDate::dateWithYear(2006, 4, 1, 2, 30, 0, newYork);
    EXPECT_EQ(fieldsOf(march->dateByAddingYears(0, 0, 1, 0, 0, 0)), "2006-04-02 03:30:00");
    EXPECT_EQ(fieldsOf(march->dateByAddingYears(0, 1, 0, 0, 0, 0)), "2006-05-01 02:30:00");

    // 23:59:30 plus 45 seconds is 00:00:15 of the next day; fractions of a second survive.
    const auto late = std::make_shared<CalendarDate>(utc(2006, 12, 31, 23, 59, 30) + 0.5, zone("UTC"));
    const auto later = late->dateByAddingYears(0, 0, 0, 0, 0, 45);
    EXPECT_EQ(fieldsOf(later), "2007-01-01 00:00:15");
    EXPECT_EQ(later->timeIntervalSinceDate(*late), 45.0);
    EXPECT_EQ(late->dateByAddingYears(0, 0, 1, 0, 0, 0)->timeIntervalSinceDate(*late), 86400.0);
}

TEST(CalendarDate, ExtremeYearsNeitherCrashNorWrap) {
    const auto z = zone("Europe/Zurich");
    for (int y : {INT_MIN, -1000000, -1, 0, 1, 9999, 10000, 1000000, INT_MAX}) {
        const auto d = CalendarDate::dateWithYear(y, 6, 15, 12, 0, 0, z);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->monthOfYear(), 6) << y;
        EXPECT_EQ(d->dayOfMonth(), 15) << y;
        EXPECT_EQ(d->yearOfCommonEra(), y);
        EXPECT_FALSE(d->description().empty());
        const auto moved = d->dateByAddingYears(INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX);
        EXPECT_TRUE(moved);
        EXPECT_TRUE(d->dateByAddingYears(INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN));
    }
    EXPECT_TRUE(CalendarDate::dateWithYear(INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, z));
    EXPECT_TRUE(CalendarDate::dateWithYear(INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, z));
    for (double t : {1e300, -1e300, std::nan("")}) {
        const auto d = std::make_shared<CalendarDate>(t, z);
        EXPECT_GE(d->monthOfYear(), 1);
        EXPECT_LE(d->monthOfYear(), 12);
        EXPECT_FALSE(d->descriptionWithCalendarFormat("%Y %B %A %j %Z").empty());
    }
}

TEST(CalendarDate, CalendarFormatConversions) {
    const auto zurich = zone("Europe/Zurich");
    const auto d = CalendarDate::dateWithYear(2006, 3, 5, 14, 7, 9, zurich);
    EXPECT_EQ(d->description(), "2006-03-05 14:07:09 +0100");
    EXPECT_EQ(d->descriptionWithCalendarFormat("%Y|%y|%m|%d|%e|%H|%I|%M|%S|%p|%z|%Z|%b|%B|%a|%A|%j|%F|%T|%%|%q"),
              "2006|06|03|05| 5|14|02|07|09|PM|+0100|CET|Mar|March|Sun|Sunday|064|2006-03-05|14:07:09|%|%q");
    const auto summer = CalendarDate::dateWithYear(2004, 12, 31, 0, 0, 0, zone("America/New_York"));
    EXPECT_EQ(summer->descriptionWithCalendarFormat("%j %I%p %z %Z %a"), "366 12AM -0500 EST Fri");
    const auto india = CalendarDate::dateWithYear(99, 7, 1, 12, 0, 0, TimeZone::timeZoneForSecondsFromGMT(-19800));
    EXPECT_EQ(india->descriptionWithCalendarFormat("%Y %y %z %Z %I %p"), "0099 99 -0530 GMT-0530 12 PM");
    EXPECT_EQ(d->descriptionWithCalendarFormat("trailing %"), "trailing %");
    const auto utcZone0 = zone("UTC");
    EXPECT_EQ(CalendarDate::dateWithYear(-1, 1, 9, 0, 0, 0, utcZone0)->descriptionWithCalendarFormat("%Y|%y|%e|%F"),
              "-001|99| 9|-001-01-09");
    EXPECT_EQ(CalendarDate::dateWithYear(12345, 12, 31, 23, 59, 59, utcZone0)->description(),
              "12345-12-31 23:59:59 +0000");

    // Weekdays step through the week day by day across years and leap days.
    std::string previous;
    const auto utcZone = zone("UTC");
    for (int i = 0; i < 800; ++i) {
        const auto day = CalendarDate::dateWithYear(1999, 12, 25 + i, 0, 0, 0, utcZone);
        ASSERT_EQ(day->dayOfWeek(), (6 + i) % 7) << fieldsOf(day);  // 1999-12-25 was a Saturday
        ASSERT_EQ(day->dayOfYear(), CalendarDate::dateWithYear(day->yearOfCommonEra(), 1, day->dayOfYear(), 0, 0, 0,
                                                               utcZone)->dayOfYear());
    }
}
