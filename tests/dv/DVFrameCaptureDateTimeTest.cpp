#include <gtest/gtest.h>

#include "dv/DVUtils.h"
#include "support/Cases.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

// A system zone of Zurich and a process default zone of New York, so that a
// mix-up of the two zones shows in every result that depends on one of them.
class CaptureDateTime : public TestEnvironment {
protected:
    void SetUp() override {
        TestEnvironment::SetUp();
        zone_.reset();
        zone_ = std::make_unique<ZoneScope>("Europe/Zurich", TimeZone::timeZoneWithName("America/New_York"));
        DVFrameCaptureDateTime::resetFormatOrderForTesting();
    }
    void TearDown() override {
        DVFrameCaptureDateTime::resetFormatOrderForTesting();
        TestEnvironment::TearDown();
    }
    static void storeShortDateFormat(const std::string& text) {
        DVFrameCaptureDateTime::resetFormatOrderForTesting();
        UserDefaults::standardUserDefaults().setObject(str(text), "NSShortDateFormatString");
    }
};

Ref<DVFrameCaptureDateTime> full(int y, int mo, int d, int h, int mi, int s) {
    return DVFrameCaptureDateTime::dateWithYear(y, mo, d, h, mi, s);
}

std::string fields(const Ref<DVFrameCaptureDateTime>& v) {
    if (!v) return "nothing";
    return std::to_string(v->year()) + "-" + std::to_string(v->monthOfYear()) + "-" + std::to_string(v->dayOfMonth()) +
           " " + std::to_string(v->hourOfDay()) + ":" + std::to_string(v->minuteOfHour()) + ":" +
           std::to_string(v->secondOfMinute()) + (v->isDateSet() ? "" : " no date") + (v->isTimeSet() ? "" : " no time");
}

}  // namespace

TEST_F(CaptureDateTime, DescriptionsInBothOrdersAndWithEachHalfUnknown) {
    const auto value = full(2006, 3, 14, 10, 22, 5);
    const auto dateOnly = DVFrameCaptureDateTime::dateWithYear(2006, 3, 14);
    const auto timeOnly = DVFrameCaptureDateTime::timeWithHours(10, 22, 5);
    EXPECT_EQ(value->description(), "14/03/2006 - 10:22:05");
    EXPECT_EQ(dateOnly->description(), "14/03/2006 - time unknown");
    EXPECT_EQ(timeOnly->description(), "date unknown - 10:22:05");
    EXPECT_EQ(DVFrameCaptureDateTime().description(), "Undefined date and time");
    EXPECT_EQ(full(-44, 3, 15, -1, 0, 0)->description(), "15/03/-044 - -1:00:00");  // fields are not checked
    // Day first for formats starting "%d" or "%e"; month first for any other, "%D" too.
    for (const auto& [format, text] : {std::pair{"%e.%m.%y", "14/03/2006"}, {"%m/%d/%y", "03/14/2006"}, {"%D", "03/14/2006"}}) {
        storeShortDateFormat(format);
        EXPECT_EQ(dateOnly->description(), std::string(text) + " - time unknown") << format;
    }
    EXPECT_EQ(value->description(), "03/14/2006 - 10:22:05");
    EXPECT_EQ(timeOnly->description(), "date unknown - 10:22:05");
    // Once found, the order is never read again.
    UserDefaults::standardUserDefaults().setObject(str("%d/%m/%Y"), "NSShortDateFormatString");
    EXPECT_EQ(value->description(), "03/14/2006 - 10:22:05");
}

TEST_F(CaptureDateTime, DescriptionsOfAnUnknownHalfAreTranslatedThenFilledIn) {
    writeStringTable("GravelmothDV.strings",
                     "\"date unknown - %02d:%02d:%02d\" = \"Datum unbekannt, %02d.%02d.%02d Uhr\";\n"
                     "\"%02d/%02d/%04d - time unknown\" = \"%02d.%02d.%04d, Zeit unbekannt\";\n"
                     "\"%02d/%02d/%04d - %02d:%02d:%02d\" = \"never used\";\n");
    EXPECT_EQ(DVFrameCaptureDateTime::timeWithHours(7, 5, 0)->description(), "Datum unbekannt, 07.05.00 Uhr");
    EXPECT_EQ(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)->description(), "14.03.2006, Zeit unbekannt");
    EXPECT_EQ(full(2006, 3, 14, 10, 22, 5)->description(), "14/03/2006 - 10:22:05");  // never looked up
}

TEST_F(CaptureDateTime, UnknownHalvesKeepTheirFieldsInArchivesButNotInCopies) {
    auto value = full(2006, 3, 14, 10, 22, 5);
    value->setDateFrom(nullptr);
    EXPECT_EQ(fields(value), "2006-3-14 10:22:5 no date");
    EXPECT_EQ(fields(kindCast<DVFrameCaptureDateTime>(value->copy())), "0-0-0 10:22:5 no date");
    // Setting a half from one whose half is unknown copies the fields and the flag.
    auto target = full(2001, 1, 1, 1, 1, 1);
    target->setDateFrom(value.get());
    target->setTimeFrom(DVFrameCaptureDateTime::dateWithYear(2001, 2, 3).get());
    EXPECT_EQ(fields(target), "2006-3-14 0:0:0 no date no time");

    auto odd = full(-7, 13, 40, 25, -1, 99);  // fields are not checked
    for (const auto& v : {value, target, odd, std::make_shared<DVFrameCaptureDateTime>()}) {
        const auto back = kindCast<DVFrameCaptureDateTime>(archiveRoundTrip(*v));
        EXPECT_EQ(fields(back), fields(v));
        EXPECT_TRUE(back && back->isEqual(v.get()) && back->hash() == v->hash()) << fields(v);
    }
}

TEST_F(CaptureDateTime, EqualityAndHashTakeEveryFieldButNoFlag) {
    EXPECT_TRUE(DVFrameCaptureDateTime().isEqual(DVFrameCaptureDateTime::dateWithYear(0, 0, 0).get()));
    EXPECT_FALSE(DVFrameCaptureDateTime().isEqual(str("Undefined date and time").get()));
    const auto base = full(2006, 3, 14, 10, 22, 5);
    for (int i = 0; i < 6; ++i) {
        int f[6] = {2006, 3, 14, 10, 22, 5};
        ++f[i];
        const auto changed = full(f[0], f[1], f[2], f[3], f[4], f[5]);
        EXPECT_TRUE(!base->isEqual(changed.get()) && base->hash() != changed->hash()) << i;
    }
    (void)full(INT32_MAX, INT32_MAX, INT32_MAX, 0, 0, 0)->hash();  // wraps, no overflow under the sanitizer
}

TEST_F(CaptureDateTime, DateUsesTheSystemZoneAndReferencesTheDefaultZone) {
    const auto value = full(2006, 3, 14, 10, 22, 5);
    ASSERT_EQ(DVUtils::defaultTimeZone()->name(), "Europe/Zurich");
    // 10:22:05 in Zurich (UTC+1 in March) is 09:22:05 UTC.
    EXPECT_DOUBLE_EQ(value->date()->timeIntervalSince1970(), 1142328125.0);
    // 10:00 in New York (UTC-5 before its 2 April change) is 15:00 UTC.
    EXPECT_DOUBLE_EQ(value->dateReference()->timeIntervalSince1970(), 1142348400.0);
    EXPECT_DOUBLE_EQ(value->timeReference()->timeIntervalSinceReferenceDate(), 10 * 3600 + 22 * 60 + 5 + 5 * 3600);
    EXPECT_FALSE(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)->date());
    EXPECT_FALSE(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)->timeReference());
    EXPECT_FALSE(DVFrameCaptureDateTime::timeWithHours(1, 2, 3)->dateReference());

    // 2006-03-14 10:22:05 UTC is 05:22:05 in the default zone.
    const auto instant = Date::withTimeIntervalSince1970(1142331725.0);
    EXPECT_EQ(fields(DVFrameCaptureDateTime::dateWithNSDate(instant.get())), "2006-3-14 5:22:5");
    const auto tokyo = CalendarDate::withDate(*instant, TimeZone::timeZoneWithName("Asia/Tokyo"));
    EXPECT_EQ(fields(DVFrameCaptureDateTime::dateWithCalendarDate(tokyo.get())), "2006-3-14 19:22:5");
    EXPECT_EQ(fields(DVFrameCaptureDateTime::dateWithNSDate(nullptr)), "0-0-0 0:0:0");
    EXPECT_EQ(fields(DVFrameCaptureDateTime::dateWithCalendarDate(value->date().get())), "2006-3-14 10:22:5");
}

TEST_F(CaptureDateTime, IntervalsAndSumsAcrossMonthEndsLeapDaysAndDaylightSaving) {
    for (const auto& c : casesFrom("dv/capture-intervals.txt", 3)) {
        const auto x = c.numbers(0), y = c.numbers(1);
        const auto a = full(x[0], x[1], x[2], x[3], x[4], x[5]), b = full(y[0], y[1], y[2], y[3], y[4], y[5]);
        const double seconds = static_cast<double>(c.number(2));
        EXPECT_DOUBLE_EQ(a->timeIntervalSinceCaptureDateTime(b.get()), seconds) << c.where;
        EXPECT_DOUBLE_EQ(b->timeIntervalSinceCaptureDateTime(a.get()), -seconds) << c.where;
        EXPECT_EQ(fields(b->dateByAddingYears(0, 0, 0, 0, 0, static_cast<int>(seconds))), fields(a)) << c.where;
    }
    EXPECT_EQ(fields(full(2006, 11, 30, 10, 0, 0)->dateByAddingYears(1, 1, 1, 1, 1, 1)), "2007-12-31 11:1:1");
    EXPECT_EQ(fields(full(2008, 2, 29, 8, 0, 0)->dateByAddingYears(0, 0, 0, 0, 0, -8 * 3600 - 1)), "2008-2-28 23:59:59");
    // A calendar day across Zurich's spring change keeps the wall clock.
    EXPECT_EQ(fields(full(2006, 3, 25, 12, 0, 0)->dateByAddingYears(0, 0, 1, 0, 0, 0)), "2006-3-26 12:0:0");

    // Without both halves there is no interval and no sum; -10000 marks the undefined interval.
    const auto a = full(2006, 3, 14, 10, 22, 5);
    EXPECT_EQ(a->timeIntervalSinceCaptureDateTime(nullptr), UNDEFINED_TIME_INTERVAL);
    EXPECT_EQ(a->timeIntervalSinceCaptureDateTime(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14).get()), -10000.0);
    EXPECT_EQ(DVFrameCaptureDateTime::timeWithHours(1, 0, 0)->timeIntervalSinceCaptureDateTime(a.get()), -10000.0);
    EXPECT_FALSE(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)->dateByAddingYears(0, 0, 1, 0, 0, 0));
}
