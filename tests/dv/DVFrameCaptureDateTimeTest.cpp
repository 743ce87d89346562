#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <unistd.h>

#include "dv/DVFrameCaptureDateTime.h"
#include "dv/DVUtils.h"
#include "foundation/Archiver.h"
#include "foundation/CalendarDate.h"
#include "foundation/String.h"
#include "foundation/StringTable.h"
#include "foundation/TimeZone.h"
#include "foundation/UserDefaults.h"

using namespace ossel;

namespace {

// Each test gets its own defaults file, a system zone of Zurich (set through TZ)
// and a process default zone of New York, so that a mix-up of the two zones
// shows in every result that depends on one of them.
class CaptureDateTime : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("ossel-capture-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        saveEnv("OSSEL_DEFAULTS", savedDefaults_);
        saveEnv("TZ", savedTz_);
        ::setenv("OSSEL_DEFAULTS", (dir_ / "defaults.plist").c_str(), 1);
        ::setenv("TZ", "Europe/Zurich", 1);
        UserDefaults::resetStandardUserDefaults();
        TimeZone::resetSystemTimeZone();
        TimeZone::setDefaultTimeZone(TimeZone::timeZoneWithName("America/New_York"));
        DVFrameCaptureDateTime::resetFormatOrderForTesting();
    }
    void TearDown() override {
        restoreEnv("OSSEL_DEFAULTS", savedDefaults_);
        restoreEnv("TZ", savedTz_);
        UserDefaults::resetStandardUserDefaults();
        TimeZone::resetSystemTimeZone();
        TimeZone::setDefaultTimeZone(nullptr);
        DVFrameCaptureDateTime::resetFormatOrderForTesting();
        std::filesystem::remove_all(dir_);
    }
    static void storeShortDateFormat(const std::string& text) {
        UserDefaults::standardUserDefaults().setObject(str(text), "NSShortDateFormatString");
    }
    static void saveEnv(const char* name, std::optional<std::string>& into) {
        if (const char* v = std::getenv(name)) into = v;
    }
    static void restoreEnv(const char* name, const std::optional<std::string>& value) {
        if (value) ::setenv(name, value->c_str(), 1);
        else ::unsetenv(name);
    }

    std::filesystem::path dir_;
    std::optional<std::string> savedDefaults_, savedTz_;
};

Ref<DVFrameCaptureDateTime> full(int y, int mo, int d, int h, int mi, int s) {
    return DVFrameCaptureDateTime::dateWithYear(y, mo, d, h, mi, s);
}

void expectFields(const DVFrameCaptureDateTime& v, int y, int mo, int d, int h, int mi, int s) {
    EXPECT_EQ(v.year(), y);
    EXPECT_EQ(v.monthOfYear(), mo);
    EXPECT_EQ(v.dayOfMonth(), d);
    EXPECT_EQ(v.hourOfDay(), h);
    EXPECT_EQ(v.minuteOfHour(), mi);
    EXPECT_EQ(v.secondOfMinute(), s);
}

Ref<Object> archiveRoundTrip(const Object& value) {
    const auto bytes = Coder::archivedDataWithRootObject(&value);
    std::string error;
    auto back = Decoder::unarchiveObjectWithData(bytes, &error);
    EXPECT_TRUE(back) << error;
    return back;
}

}  // namespace

TEST_F(CaptureDateTime, DescriptionsDayFirstWithoutStoredFormatOrWithDayPrefixes) {
    DVFrameCaptureDateTime none;
    EXPECT_EQ(none.description(), "Undefined date and time");
    EXPECT_EQ(full(2006, 3, 14, 10, 22, 5)->description(), "14/03/2006 - 10:22:05");
    EXPECT_EQ(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)->description(), "14/03/2006 - time unknown");
    EXPECT_EQ(DVFrameCaptureDateTime::timeWithHours(10, 22, 5)->description(), "date unknown - 10:22:05");

    for (const char* dayFirst : {"%d/%m/%Y", "%e.%m.%y"}) {
        DVFrameCaptureDateTime::resetFormatOrderForTesting();
        storeShortDateFormat(dayFirst);
        EXPECT_EQ(full(2006, 3, 14, 10, 22, 5)->description(), "14/03/2006 - 10:22:05") << dayFirst;
        EXPECT_EQ(tFormatOrderString, dayFirst);
        EXPECT_FALSE(tFormatOrderStringMYD);
    }
}

TEST_F(CaptureDateTime, DescriptionsMonthFirstWhenStoredFormatStartsOtherwise) {
    storeShortDateFormat("%m/%d/%y");
    EXPECT_EQ(full(2006, 3, 14, 10, 22, 5)->description(), "03/14/2006 - 10:22:05");
    EXPECT_EQ(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)->description(), "03/14/2006 - time unknown");
    EXPECT_EQ(DVFrameCaptureDateTime::timeWithHours(10, 22, 5)->description(), "date unknown - 10:22:05");
    EXPECT_EQ(DVFrameCaptureDateTime().description(), "Undefined date and time");
    // "%D" is not "%d": the prefix test is exact.
    DVFrameCaptureDateTime::resetFormatOrderForTesting();
    storeShortDateFormat("%D");
    EXPECT_EQ(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)->description(), "03/14/2006 - time unknown");
}

TEST_F(CaptureDateTime, OrderIsReadUntilFoundThenNeverAgain) {
    const auto value = full(2006, 3, 14, 10, 22, 5);
    EXPECT_EQ(value->description(), "14/03/2006 - 10:22:05");
    storeShortDateFormat("%m/%d/%Y");  // found by the next description: the store is read again
    EXPECT_EQ(value->description(), "03/14/2006 - 10:22:05");
    storeShortDateFormat("%d/%m/%Y");  // no longer read
    EXPECT_EQ(value->description(), "03/14/2006 - 10:22:05");
    EXPECT_EQ(tFormatOrderString, "%m/%d/%Y");
}

TEST_F(CaptureDateTime, DescriptionFieldWidthsAndUncheckedValues) {
    EXPECT_EQ(full(99, 1, 2, 3, 4, 5)->description(), "02/01/0099 - 03:04:05");
    EXPECT_EQ(full(12345, 10, 31, 23, 59, 60)->description(), "31/10/12345 - 23:59:60");
    EXPECT_EQ(full(-44, 3, 15, -1, 0, 0)->description(), "15/03/-044 - -1:00:00");
}

TEST_F(CaptureDateTime, SettersCopyHalvesWithTheirFlags) {
    auto value = full(2006, 3, 14, 10, 22, 5);
    value->setDateFrom(nullptr);
    EXPECT_FALSE(value->isDateSet());
    EXPECT_TRUE(value->isTimeSet());
    expectFields(*value, 2006, 3, 14, 10, 22, 5);  // fields kept while unknown
    EXPECT_EQ(value->description(), "date unknown - 10:22:05");

    value->setTimeFrom(nullptr);  // nothing: no change at all
    EXPECT_TRUE(value->isTimeSet());

    auto other = DVFrameCaptureDateTime::timeWithHours(1, 2, 3);
    other->setDateWithYear(1999, 12, 31);
    other->setDateFrom(nullptr);  // other's date fields stay 1999-12-31, flag false
    auto target = full(2006, 3, 14, 10, 22, 5);
    target->setDateFrom(other.get());
    EXPECT_FALSE(target->isDateSet());
    expectFields(*target, 1999, 12, 31, 10, 22, 5);

    auto timeless = DVFrameCaptureDateTime::dateWithYear(2001, 2, 3);
    target->setTimeFrom(timeless.get());
    EXPECT_FALSE(target->isTimeSet());
    expectFields(*target, 1999, 12, 31, 0, 0, 0);
    EXPECT_EQ(target->description(), "Undefined date and time");

    target->setDateFrom(timeless.get());
    EXPECT_TRUE(target->isDateSet());
    EXPECT_FALSE(target->isFullySet());
}

TEST_F(CaptureDateTime, EqualityAndHashIgnoreTheFlags) {
    DVFrameCaptureDateTime none;
    const auto zeros = DVFrameCaptureDateTime::dateWithYear(0, 0, 0);
    EXPECT_TRUE(none.isEqual(zeros.get()));
    EXPECT_TRUE(zeros->isEqual(&none));
    EXPECT_EQ(none.hash(), 0u);
    EXPECT_EQ(zeros->hash(), 0u);
    EXPECT_FALSE(none.isFullySet());
    EXPECT_FALSE(none.isEqual(nullptr));
    EXPECT_FALSE(none.isEqual(str("Undefined date and time").get()));

    // year * 31^5: the year leads the hash.
    EXPECT_EQ(full(1, 0, 0, 0, 0, 0)->hash(), 28629151u);
    EXPECT_EQ(full(0, 0, 0, 0, 0, 1)->hash(), 1u);
    EXPECT_EQ(full(0, 0, 0, 0, 1, 0)->hash(), 31u);
    // Huge fields wrap instead of overflowing (the sanitizer would stop here).
    EXPECT_EQ(full(2147483647, 2147483647, 0, 0, 0, 0)->hash(), full(2147483647, 2147483647, 0, 0, 0, 0)->hash());

    // Each field takes part: changing any one breaks equality.
    const auto base = full(2006, 3, 14, 10, 22, 5);
    for (int i = 0; i < 6; ++i) {
        int f[6] = {2006, 3, 14, 10, 22, 5};
        ++f[i];
        EXPECT_FALSE(base->isEqual(full(f[0], f[1], f[2], f[3], f[4], f[5]).get())) << i;
    }
    auto timeUnknown = full(2006, 3, 14, 10, 22, 5);
    timeUnknown->setTimeFrom(DVFrameCaptureDateTime::dateWithYear(0, 0, 0).get());
    EXPECT_FALSE(base->isEqual(timeUnknown.get()));  // the time fields were copied as zeros
}

TEST_F(CaptureDateTime, CopiesZeroAnUnknownHalfArchivesKeepIt) {
    auto value = full(2006, 3, 14, 10, 22, 5);
    value->setDateFrom(nullptr);

    const auto copied = kindCast<DVFrameCaptureDateTime>(value->copy());
    ASSERT_TRUE(copied);
    EXPECT_NE(copied.get(), value.get());
    expectFields(*copied, 0, 0, 0, 10, 22, 5);
    EXPECT_FALSE(copied->isDateSet());
    EXPECT_TRUE(copied->isTimeSet());
    EXPECT_FALSE(copied->isEqual(value.get()));

    const auto back = kindCast<DVFrameCaptureDateTime>(archiveRoundTrip(*value));
    ASSERT_TRUE(back);
    expectFields(*back, 2006, 3, 14, 10, 22, 5);
    EXPECT_FALSE(back->isDateSet());
    EXPECT_TRUE(back->isTimeSet());
    EXPECT_TRUE(back->isEqual(value.get()));
    EXPECT_EQ(back->hash(), value->hash());

    // Each flag pattern survives, with the fields as they are.
    for (int pattern = 0; pattern < 4; ++pattern) {
        auto v = std::make_shared<DVFrameCaptureDateTime>();
        if (pattern & 1) v->setDateWithYear(-7, 13, 40);
        if (pattern & 2) v->setTimeWithHours(25, -1, 99);
        const auto r = kindCast<DVFrameCaptureDateTime>(archiveRoundTrip(*v));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->isDateSet(), v->isDateSet());
        EXPECT_EQ(r->isTimeSet(), v->isTimeSet());
        EXPECT_TRUE(r->isEqual(v.get()));
        EXPECT_EQ(r->description(), v->description());
    }
}

TEST_F(CaptureDateTime, DateUsesTheSystemZoneAndReferencesTheDefaultZone) {
    ASSERT_EQ(DVUtils::defaultTimeZone()->name(), "Europe/Zurich");
    ASSERT_EQ(TimeZone::defaultTimeZone()->name(), "America/New_York");

    const auto value = full(2006, 3, 14, 10, 22, 5);
    const auto date = value->date();
    ASSERT_TRUE(date);
    EXPECT_EQ(date->timeZone()->name(), "Europe/Zurich");
    // 10:22:05 in Zurich (UTC+1 in March) is 09:22:05 UTC.
    EXPECT_DOUBLE_EQ(date->timeIntervalSince1970(), 1142328125.0);

    const auto dayRef = value->dateReference();
    ASSERT_TRUE(dayRef);
    // 10:00 in New York (UTC-5 before its 2 April change) is 15:00 UTC.
    EXPECT_DOUBLE_EQ(dayRef->timeIntervalSince1970(), 1142348400.0);
    EXPECT_EQ(dayRef->hourOfDay(), 10);

    const auto timeRef = value->timeReference();
    ASSERT_TRUE(timeRef);
    EXPECT_EQ(timeRef->yearOfCommonEra(), 2001);
    EXPECT_EQ(timeRef->monthOfYear(), 1);
    EXPECT_EQ(timeRef->dayOfMonth(), 1);
    EXPECT_DOUBLE_EQ(timeRef->timeIntervalSinceReferenceDate(), 10 * 3600 + 22 * 60 + 5 + 5 * 3600);

    const auto dateOnly = DVFrameCaptureDateTime::dateWithYear(2006, 3, 14);
    EXPECT_FALSE(dateOnly->date());
    EXPECT_TRUE(dateOnly->dateReference());
    EXPECT_FALSE(dateOnly->timeReference());
    const auto timeOnly = DVFrameCaptureDateTime::timeWithHours(1, 2, 3);
    EXPECT_FALSE(timeOnly->date());
    EXPECT_FALSE(timeOnly->dateReference());
    EXPECT_TRUE(timeOnly->timeReference());
    DVFrameCaptureDateTime none;
    EXPECT_FALSE(none.date());
    EXPECT_FALSE(none.dateReference());
    EXPECT_FALSE(none.timeReference());
}

TEST_F(CaptureDateTime, BuildingFromInstantsAndCalendarDates) {
    // 2006-03-14 10:22:05 UTC is 05:22:05 in the default zone (and 11:22:05 in the system zone).
    const auto instant = Date::withTimeIntervalSince1970(1142331725.0);
    const auto fromInstant = DVFrameCaptureDateTime::dateWithNSDate(instant.get());
    EXPECT_TRUE(fromInstant->isFullySet());
    expectFields(*fromInstant, 2006, 3, 14, 5, 22, 5);

    const auto tokyo = CalendarDate::withDate(*instant, TimeZone::timeZoneWithName("Asia/Tokyo"));
    const auto fromCalendar = DVFrameCaptureDateTime::dateWithCalendarDate(tokyo.get());
    expectFields(*fromCalendar, 2006, 3, 14, 19, 22, 5);

    for (const auto& nothing : {DVFrameCaptureDateTime::dateWithNSDate(nullptr),
                                DVFrameCaptureDateTime::dateWithCalendarDate(nullptr)}) {
        EXPECT_TRUE(nothing->isFullySet());
        expectFields(*nothing, 0, 0, 0, 0, 0, 0);
    }

    // The system zone's fields round-trip through date().
    const auto back = DVFrameCaptureDateTime::dateWithCalendarDate(full(2006, 3, 14, 10, 22, 5)->date().get());
    expectFields(*back, 2006, 3, 14, 10, 22, 5);
}

TEST_F(CaptureDateTime, IntervalsAcrossMonthEndsLeapDaysAndDaylightSaving) {
    struct Case {
        int a[6], b[6];
        double seconds;
    } cases[] = {
        {{2006, 4, 1, 1, 0, 0}, {2006, 3, 31, 23, 0, 0}, 7200},
        {{2008, 3, 1, 12, 0, 0}, {2008, 2, 28, 12, 0, 0}, 2 * 86400},  // leap year
        {{2007, 3, 1, 12, 0, 0}, {2007, 2, 28, 12, 0, 0}, 86400},
        {{2000, 3, 1, 0, 0, 0}, {2000, 2, 28, 0, 0, 0}, 2 * 86400},    // 2000 is a leap year
        {{2100, 3, 1, 0, 0, 0}, {2100, 2, 28, 0, 0, 0}, 86400},        // 2100 is not
        {{2007, 1, 1, 0, 0, 0}, {2006, 12, 31, 23, 59, 59}, 1},
        // Zurich springs forward on 26 March 2006 (New York only on 2 April).
        {{2006, 3, 26, 3, 30, 0}, {2006, 3, 26, 1, 30, 0}, 3600},
        {{2006, 3, 27, 0, 0, 0}, {2006, 3, 26, 0, 0, 0}, 23 * 3600},
        // And falls back on 29 October.
        {{2006, 10, 30, 0, 0, 0}, {2006, 10, 29, 0, 0, 0}, 25 * 3600},
    };
    for (const auto& c : cases) {
        const auto a = full(c.a[0], c.a[1], c.a[2], c.a[3], c.a[4], c.a[5]);
        const auto b = full(c.b[0], c.b[1], c.b[2], c.b[3], c.b[4], c.b[5]);
        EXPECT_DOUBLE_EQ(a->timeIntervalSinceCaptureDateTime(b.get()), c.seconds) << a->description();
        EXPECT_DOUBLE_EQ(b->timeIntervalSinceCaptureDateTime(a.get()), -c.seconds) << a->description();
    }
}

TEST_F(CaptureDateTime, UndefinedIntervals) {
    const auto a = full(2006, 3, 14, 10, 22, 5);
    EXPECT_EQ(a->timeIntervalSinceCaptureDateTime(nullptr), UNDEFINED_TIME_INTERVAL);
    EXPECT_EQ(a->timeIntervalSinceCaptureDateTime(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14).get()), -10000.0);
    EXPECT_EQ(a->timeIntervalSinceCaptureDateTime(DVFrameCaptureDateTime::timeWithHours(10, 0, 0).get()), -10000.0);
    EXPECT_EQ(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)->timeIntervalSinceCaptureDateTime(a.get()), -10000.0);
    EXPECT_EQ(DVFrameCaptureDateTime::timeWithHours(1, 0, 0)->timeIntervalSinceCaptureDateTime(a.get()), -10000.0);
    // A genuine interval of -10000 seconds cannot be told apart from the marker.
    const auto later = a->dateByAddingYears(0, 0, 0, 0, 0, 10000);
    EXPECT_EQ(a->timeIntervalSinceCaptureDateTime(later.get()), UNDEFINED_TIME_INTERVAL);
    EXPECT_EQ(later->timeIntervalSinceCaptureDateTime(a.get()), 10000.0);
}

TEST_F(CaptureDateTime, AddingCarriesIntoLargerUnitsInTheSystemZone) {
    EXPECT_FALSE(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)->dateByAddingYears(0, 0, 1, 0, 0, 0));
    EXPECT_FALSE(DVFrameCaptureDateTime::timeWithHours(1, 2, 3)->dateByAddingYears(0, 0, 1, 0, 0, 0));

    auto sum = full(2006, 12, 31, 23, 59, 30)->dateByAddingYears(0, 0, 0, 0, 0, 45);
    ASSERT_TRUE(sum);
    EXPECT_TRUE(sum->isFullySet());
    expectFields(*sum, 2007, 1, 1, 0, 0, 15);

    expectFields(*full(2008, 2, 28, 23, 59, 30)->dateByAddingYears(0, 0, 0, 0, 0, 45), 2008, 2, 29, 0, 0, 15);
    expectFields(*full(2007, 2, 28, 23, 59, 30)->dateByAddingYears(0, 0, 0, 0, 0, 45), 2007, 3, 1, 0, 0, 15);
    expectFields(*full(2008, 2, 29, 8, 0, 0)->dateByAddingYears(0, 0, 0, 0, 0, -8 * 3600 - 1), 2008, 2, 28, 23, 59,
                 59);
    expectFields(*full(2006, 11, 30, 10, 0, 0)->dateByAddingYears(1, 1, 1, 1, 1, 1), 2007, 12, 31, 11, 1, 1);
    expectFields(*full(2006, 12, 31, 23, 59, 59)->dateByAddingYears(0, 0, 0, 0, 0, 1), 2007, 1, 1, 0, 0, 0);

    // A calendar day across Zurich's spring change keeps the wall clock: 23 hours pass.
    const auto before = full(2006, 3, 25, 12, 0, 0);
    const auto after = before->dateByAddingYears(0, 0, 1, 0, 0, 0);
    expectFields(*after, 2006, 3, 26, 12, 0, 0);
    EXPECT_DOUBLE_EQ(after->timeIntervalSinceCaptureDateTime(before.get()), 23 * 3600);
}

TEST_F(CaptureDateTime, DescriptionsOfAnUnknownHalfAreTranslatedThenFilledIn) {
    {
        std::ofstream table(dir_ / "GravelmothDV.strings");
        table << "\"date unknown - %02d:%02d:%02d\" = \"Datum unbekannt, %02d.%02d.%02d Uhr\";\n"
                 "\"%02d/%02d/%04d - time unknown\" = \"%02d.%02d.%04d, Zeit unbekannt\";\n"
                 "\"Undefined date and time\" = \"Kein Datum\";\n"
                 "\"%02d/%02d/%04d - %02d:%02d:%02d\" = \"never used\";\n";
    }
    const std::string savedResources = resourcesDirectory();
    setResourcesDirectory(dir_.string());
    EXPECT_EQ(DVFrameCaptureDateTime::timeWithHours(7, 5, 0)->description(), "Datum unbekannt, 07.05.00 Uhr");
    EXPECT_EQ(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)->description(), "14.03.2006, Zeit unbekannt");
    EXPECT_EQ(DVFrameCaptureDateTime().description(), "Kein Datum");
    EXPECT_EQ(full(2006, 3, 14, 10, 22, 5)->description(), "14/03/2006 - 10:22:05");  // never looked up
    setResourcesDirectory(savedResources);
}
