#include <gtest/gtest.h>

#include <cmath>

#include <random>

#include "foundation/DateFormatter.h"
#include "foundation/Number.h"
#include "support/Cases.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using ossel::testing::utc;
using ossel::testing::ZoneScope;

namespace {

inline constexpr const char* kPattern = "%Y-%m-%d %H:%M:%S %z";

// The parsed calendar date, or null with the error in *error.
Ref<CalendarDate> parse(const DateFormatter& f, std::string_view text, std::string* error = nullptr) {
    Ref<Object> value = str("left over");
    std::string message;
    const bool ok = f.getObjectValue(&value, text, &message);
    if (error) *error = message;
    if (!ok) {
        EXPECT_FALSE(value) << "a failed parse leaves no value";
        EXPECT_FALSE(message.empty());
        return nullptr;
    }
    auto date = kindCast<CalendarDate>(value);
    EXPECT_TRUE(date) << text;
    return date;
}

}  // namespace

TEST(DateFormatter, WritesCalendarDatesInTheirZoneAndPlainDatesInTheDefaultZone) {
    const DateFormatter f(kPattern, true);
    const auto zurich = CalendarDate::dateWithYear(2006, 7, 14, 10, 22, 5, TimeZone::timeZoneWithName("Europe/Zurich"));
    EXPECT_EQ(f.stringForObjectValue(zurich.get()), "2006-07-14 10:22:05 +0200");
    const auto newYork = CalendarDate::dateWithYear(2006, 1, 2, 3, 4, 5, TimeZone::timeZoneWithName("America/New_York"));
    EXPECT_EQ(f.stringForObjectValue(newYork.get()), "2006-01-02 03:04:05 -0500");
    ZoneScope scope(std::string("America/New_York"), TimeZone::timeZoneWithName("Asia/Kolkata"));
    EXPECT_EQ(f.stringForObjectValue(Date::withTimeIntervalSinceReferenceDate(utc(2006, 3, 14, 9, 22, 5))),
              "2006-03-14 14:52:05 +0530");
    EXPECT_FALSE(f.stringForObjectValue(nullptr));
    EXPECT_FALSE(f.stringForObjectValue(str("2006-03-14 10:22:05 +0100")));
    EXPECT_FALSE(f.stringForObjectValue(Number::withDouble(1.0)));
}

TEST(DateFormatter, RoundTripsInstantsInManyZonesIntoTheOffsetsZone) {
    const auto date = parse(DateFormatter(kPattern, false), "1999-12-31 23:59:59 -0930");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->timeIntervalSinceReferenceDate(), utc(2000, 1, 1, 9, 29, 59));
    EXPECT_EQ(date->timeZone()->name(), "GMT-0930");
    EXPECT_EQ(date->hourOfDay(), 23);

    std::mt19937 random(17);
    std::uniform_real_distribution<double> instants(utc(1800, 1, 1), utc(2300, 1, 1));
    const DateFormatter strict(kPattern, false), natural(kPattern, true);
    for (const char* name : {"Europe/Zurich", "Australia/Lord_Howe", "Pacific/Kiritimati", "America/St_Johns"}) {
        const auto zone = TimeZone::timeZoneWithName(name);
        for (int i = 0; i < 500; ++i) {
            const double t = std::floor(instants(random));
            const auto text = strict.stringForObjectValue(CalendarDate::withDate(Date(t), zone).get());
            ASSERT_TRUE(text);
            for (const DateFormatter* f : {&strict, &natural}) {
                const auto back = parse(*f, *text);
                ASSERT_TRUE(back) << *text;
                // Local mean time offsets of the 19th century have seconds, which "%z" cannot show.
                if (zone->secondsFromGMTForDate(t) % 60 != 0) {
                    ASSERT_LT(std::abs(back->timeIntervalSinceReferenceDate() - t), 60.0) << *text;
                    continue;
                }
                ASSERT_EQ(back->timeIntervalSinceReferenceDate(), t) << name << " " << *text;
                ASSERT_EQ(f->stringForObjectValue(back.get()), text);
            }
        }
    }
}

TEST(DateFormatter, ReadsEveryConversionItWritesAndZonesByName) {
    ZoneScope scope(std::string("UTC"), TimeZone::timeZoneWithName("America/New_York"));
    const auto source = CalendarDate::dateWithYear(2004, 2, 29, 15, 4, 5, TimeZone::timeZoneWithName("America/New_York"));
    for (const char* format : {"%A, %B %e, %Y %I:%M:%S %p %z", "%a %b %d %y %T %Z", "%F %T", "%Y%m%d%H%M%S",
                               "%j/%Y %H-%M-%S", "%%%Y%%-%m-%d %H:%M:%S %z"}) {
        const DateFormatter f(format, false);
        const auto text = f.stringForObjectValue(source.get());
        ASSERT_TRUE(text) << format;
        const auto back = parse(f, *text);
        ASSERT_TRUE(back) << format << " -> " << *text;
        EXPECT_EQ(back->timeIntervalSinceReferenceDate(), source->timeIntervalSinceReferenceDate()) << *text;
    }
    for (const auto& c : ossel::testing::casesFrom("foundation/dates-read-in-zones.txt", 5)) {
        const ZoneScope zone(std::string("UTC"), TimeZone::timeZoneWithName(c[0]));
        const auto date = parse(DateFormatter(c[1], false), c[2]);
        const auto u = c.numbers(3);
        ASSERT_TRUE(date && u.size() == 6) << c.where;
        EXPECT_EQ(date->timeIntervalSinceReferenceDate(), utc(u[0], u[1], u[2], u[3], u[4], u[5])) << c.where;
        EXPECT_EQ(date->hourOfDay(), c.number(4)) << c.where;
    }
    const auto tokyo = parse(DateFormatter("%F %T %Z", false), "2006-07-01 12:00:00 Asia/Tokyo");
    EXPECT_EQ(tokyo ? tokyo->timeZone()->name() : "nothing", "Asia/Tokyo");
}

TEST(DateFormatter, NaturalReadingAcceptsIsoSpellingsTheStrictOneRefusesAndNeitherTakesMalformedTexts) {
    ZoneScope scope(std::string("UTC"), TimeZone::timeZoneWithName("Europe/Zurich"));
    const DateFormatter natural(kPattern, true), strict(kPattern, false);
    for (const auto& c : ossel::testing::casesFrom("foundation/dates-read-naturally.txt", 2)) {
        std::string error;
        const auto date = parse(natural, c[0], &error);
        EXPECT_FALSE(parse(strict, c[0])) << c.where;
        if (c[1] == "refused") {
            EXPECT_FALSE(date) << c.where;
            EXPECT_EQ(error, "Could not parse '" + c[0] + "' as a date") << c.where;
            continue;
        }
        int y, mo, d, h, mi;
        double seconds;
        std::istringstream(c[1]) >> y >> mo >> d >> h >> mi >> seconds;
        ASSERT_TRUE(date) << c.where;
        EXPECT_EQ(date->timeIntervalSinceReferenceDate(), utc(y, mo, d, h, mi) + seconds) << c.where;
    }
    Ref<Object> value;
    std::string error;
    EXPECT_FALSE(natural.getObjectValue(&value, std::nullopt, &error));
    EXPECT_EQ(error, "Could not parse '(null)' as a date");
    EXPECT_FALSE(natural.getObjectValue(nullptr, "garbage", nullptr)) << "both slots may be absent";
    EXPECT_TRUE(natural.getObjectValue(nullptr, "2006-03-14 10:22:05 +0100", nullptr));
}

// Every cut of a text, handed over as a view of exactly that many bytes, so that
// the sanitiser build catches any read past the end; damaged texts are the
// text-form fuzzer's.
TEST(DateFormatter, EveryCutOfATextIsReadWithinItsBytes) {
    const std::string text = "2006-03-14T10:22:05.125+01:00";
    for (size_t n = 0; n <= text.size(); ++n) {
        const std::string piece = text.substr(0, n);
        Ref<Object> value;
        DateFormatter(kPattern, true).getObjectValue(&value, std::string_view(piece.data(), piece.size()), nullptr);
    }
}
