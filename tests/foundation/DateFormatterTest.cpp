#include <gtest/gtest.h>

#include <random>

#include "foundation/CalendarDate.h"
#include "foundation/DateFormatter.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "foundation/ZoneScope.h"

using namespace ossel;
using ossel::testing::ZoneScope;

namespace {

inline constexpr const char* kPattern = "%Y-%m-%d %H:%M:%S %z";

double utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return sinceReferenceDateOf(UtcFields{y, mo, d, h, mi, s});
}

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

TEST(DateFormatter, WritesTheCodecPattern) {
    const DateFormatter f(kPattern, true);
    const auto plusOne = TimeZone::timeZoneForSecondsFromGMT(3600);
    const auto date = CalendarDate::dateWithYear(2006, 3, 14, 10, 22, 5, plusOne);
    EXPECT_EQ(f.stringForObjectValue(date.get()), "2006-03-14 10:22:05 +0100");
    const auto zurich = CalendarDate::dateWithYear(2006, 7, 14, 10, 22, 5, TimeZone::timeZoneWithName("Europe/Zurich"));
    EXPECT_EQ(f.stringForObjectValue(zurich.get()), "2006-07-14 10:22:05 +0200");
    const auto newYork = CalendarDate::dateWithYear(2006, 1, 2, 3, 4, 5, TimeZone::timeZoneWithName("America/New_York"));
    EXPECT_EQ(f.stringForObjectValue(newYork.get()), "2006-01-02 03:04:05 -0500");

    // A plain date is written in the default zone, not the system zone.
    ZoneScope scope(std::string("America/New_York"), TimeZone::timeZoneWithName("Asia/Kolkata"));
    const Ref<Object> plain = Date::withTimeIntervalSinceReferenceDate(utc(2006, 3, 14, 9, 22, 5));
    EXPECT_EQ(f.stringForObjectValue(plain), "2006-03-14 14:52:05 +0530");

    EXPECT_FALSE(f.stringForObjectValue(nullptr));
    EXPECT_FALSE(f.stringForObjectValue(str("2006-03-14 10:22:05 +0100")));
    EXPECT_FALSE(f.stringForObjectValue(Number::withDouble(1.0)));
}

TEST(DateFormatter, ReadsTheCodecPatternIntoTheOffsetsZone) {
    const DateFormatter f(kPattern, true);
    const auto date = parse(f, "2006-03-14 10:22:05 +0100");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->timeIntervalSinceReferenceDate(), utc(2006, 3, 14, 9, 22, 5));
    EXPECT_EQ(date->timeZone()->secondsFromGMTForDate(0), 3600);
    EXPECT_EQ(date->timeZone()->name(), "GMT+0100");
    EXPECT_EQ(date->hourOfDay(), 10);
    EXPECT_EQ(f.stringForObjectValue(date.get()), "2006-03-14 10:22:05 +0100");

    const auto west = parse(f, "1999-12-31 23:59:59 -0930");
    ASSERT_TRUE(west);
    EXPECT_EQ(west->timeIntervalSinceReferenceDate(), utc(2000, 1, 1, 9, 29, 59));
}

TEST(DateFormatter, RoundTripsManyInstantsInManyZones) {
    std::mt19937 random(17);
    std::uniform_real_distribution<double> instants(utc(1800, 1, 1), utc(2300, 1, 1));
    const DateFormatter strict(kPattern, false);
    const DateFormatter natural(kPattern, true);
    for (const char* name : {"Europe/Zurich", "America/New_York", "Asia/Kolkata", "Australia/Lord_Howe", "UTC",
                             "Pacific/Kiritimati", "America/St_Johns"}) {
        const auto zone = TimeZone::timeZoneWithName(name);
        ASSERT_TRUE(zone) << name;
        for (int i = 0; i < 1500; ++i) {
            const double t = std::floor(instants(random));
            const auto date = CalendarDate::withDate(Date(t), zone);
            const auto text = strict.stringForObjectValue(date.get());
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

TEST(DateFormatter, WithoutAZoneTheDefaultZoneReadsTheText) {
    ZoneScope scope(std::string("America/New_York"), TimeZone::timeZoneWithName("Europe/Zurich"));
    const DateFormatter f("%d.%m.%Y %H:%M", false);
    const auto date = parse(f, "14.03.2006 10:22");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->timeZone()->name(), "Europe/Zurich");
    EXPECT_EQ(date->timeIntervalSinceReferenceDate(), utc(2006, 3, 14, 9, 22));
    EXPECT_EQ(f.stringForObjectValue(date.get()), "14.03.2006 10:22");
    // In the spring gap the local time after it.
    const auto gap = parse(f, "26.03.2006 02:30");
    ASSERT_TRUE(gap);
    EXPECT_EQ(gap->hourOfDay(), 3);
}

TEST(DateFormatter, ReadsEveryConversionItWrites) {
    ZoneScope scope(std::string("UTC"), TimeZone::timeZoneWithName("America/New_York"));
    const auto source =
        CalendarDate::dateWithYear(2004, 2, 29, 15, 4, 5, TimeZone::timeZoneWithName("America/New_York"));
    for (const char* format : {"%A, %B %e, %Y %I:%M:%S %p %z", "%a %b %d %y %T %Z", "%F %T", "%Y%m%d%H%M%S",
                               "%j/%Y %H-%M-%S", "%%%Y%%-%m-%d %H:%M:%S %z", "%d %b %Y at %H:%M:%S"}) {
        const DateFormatter f(format, false);
        const auto text = f.stringForObjectValue(source.get());
        ASSERT_TRUE(text) << format;
        const auto back = parse(f, *text);
        ASSERT_TRUE(back) << format << " -> " << *text;
        EXPECT_EQ(back->timeIntervalSinceReferenceDate(), source->timeIntervalSinceReferenceDate())
            << format << " -> " << *text;
    }
    // Summer and winter abbreviations of the default zone pick the side of the change they name.
    const DateFormatter named("%Y-%m-%d %H:%M:%S %Z", false);
    EXPECT_EQ(parse(named, "2006-10-29 01:30:00 EDT")->timeIntervalSinceReferenceDate(), utc(2006, 10, 29, 5, 30));
    EXPECT_EQ(parse(named, "2006-10-29 01:30:00 EST")->timeIntervalSinceReferenceDate(), utc(2006, 10, 29, 6, 30));
    EXPECT_EQ(parse(named, "2006-07-01 12:00:00 CEST")->timeIntervalSinceReferenceDate(), utc(2006, 7, 1, 10));
    const auto tokyo = parse(named, "2006-07-01 12:00:00 Asia/Tokyo");
    ASSERT_TRUE(tokyo);
    EXPECT_EQ(tokyo->timeZone()->name(), "Asia/Tokyo");
    EXPECT_EQ(tokyo->timeIntervalSinceReferenceDate(), utc(2006, 7, 1, 3));
}

TEST(DateFormatter, NaturalLanguageAcceptsCommonIsoSpellings) {
    ZoneScope scope(std::string("UTC"), TimeZone::timeZoneWithName("Europe/Zurich"));
    const DateFormatter natural(kPattern, true);
    const DateFormatter strict(kPattern, false);
    struct Case {
        const char* text;
        double instant;
    };
    const double base = utc(2006, 3, 14, 9, 22, 5);
    const Case cases[] = {
        {"2006-03-14T10:22:05+01:00", base},
        {"2006-03-14T09:22:05Z", base},
        {"2006-03-14 09:22:05 z", base},
        {"2006-03-14 10:22:05+0100", base},
        {"2006-03-14 05:22:05 -04", base},
        {"2006-03-14T09:22:05 UTC", base},
        {"2006-03-14 10:22:05 GMT+01:00", base},
        {"2006-03-14 10:22:05", base},  // the default zone, Zurich
        {"2006-03-14 10:22 +0100", base - 5},
        {"2006-03-14T10:22:05.25+01:00", base + 0.25},
        {"2006/03/14 10:22:05 +0100", base},
        {"  2006-03-14  ", utc(2006, 3, 13, 23)},
        {"2006-03-14 +0100", utc(2006, 3, 13, 23)},
        {"2006-3-4", utc(2006, 3, 3, 23)},
        {"2006-03-14 10:22:05 CET", base},
        {"2006-03-14 10:22:05 Europe/Zurich", base},
    };
    for (const auto& c : cases) {
        const auto date = parse(natural, c.text);
        ASSERT_TRUE(date) << c.text;
        EXPECT_EQ(date->timeIntervalSinceReferenceDate(), c.instant) << c.text;
        std::string error;
        if (std::string_view(c.text) != "2006-03-14 10:22:05+0100") {
            EXPECT_FALSE(parse(strict, c.text, &error)) << "strict reading takes the pattern only: " << c.text;
        }
    }
    EXPECT_EQ(parse(natural, "2006-03-14 10:22")->timeZone()->name(), "Europe/Zurich");
    EXPECT_EQ(parse(natural, "2006-03-14T10:22:05+01:00")->timeZone()->name(), "GMT+0100");
}

TEST(DateFormatter, RejectsMalformedTextsWithAMessage) {
    const DateFormatter natural(kPattern, true);
    const char* bad[] = {
        "",
        " ",
        "(null)",
        "2006",
        "2006-03",
        "2006-13-14 10:22:05 +0100",
        "2006-00-14 10:22:05 +0100",
        "2006-02-29 10:22:05 +0100",
        "1900-02-29 10:22:05 +0100",
        "2006-03-32 10:22:05 +0100",
        "2006-03-14 24:00:00 +0100",
        "2006-03-14 10:60:00 +0100",
        "2006-03-14 10:22:60 +0100",
        "2006-03-14 10:22:05 +2400",
        "2006-03-14 10:22:05 +0160",
        "2006-03-14 10:22:05 0100",
        "2006-03-14 10:22:05 +0100 trailing",
        "2006-03-14 10:22:05 Nowhere/Zone",
        "2006-03-14 10:22:05 +0100?",
        "2006-03-14X10:22:05",
        "2006-03-14T",
        "2006-03-14T10",
        "2006-03-14T10:",
        "2006-03-14T10:2",
        "2006-03-14 10:22:",
        "2006-03-14 10:22:05.",
        "tomorrow",
        "@datetime:2006-03-14 10:22:05 +0100",
        "9999999999-01-01 00:00:00 +0000",
    };
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(parse(natural, text, &error)) << text;
        EXPECT_EQ(error, std::string("Could not parse '") + text + "' as a date");
    }
    // "+01" is an offset the natural reading accepts; it is only the strict pattern that needs four digits.
    EXPECT_TRUE(parse(natural, "2006-03-14 10:22:05 +01"));
    EXPECT_FALSE(parse(DateFormatter(kPattern, false), "2006-03-14 10:22:05 +01"));

    Ref<Object> value;
    std::string error;
    EXPECT_FALSE(natural.getObjectValue(&value, std::nullopt, &error));
    EXPECT_FALSE(value);
    EXPECT_EQ(error, "Could not parse '(null)' as a date");
    EXPECT_FALSE(natural.getObjectValue(nullptr, "garbage", nullptr)) << "both slots may be absent";
    EXPECT_TRUE(natural.getObjectValue(nullptr, "2006-03-14 10:22:05 +0100", nullptr));
}

TEST(DateFormatter, EveryCutAndEveryCorruptionOfATextFailsCleanly) {
    // Each prefix is handed over as a view of exactly that many bytes, so the
    // sanitiser build catches any read past the end.
    const std::string text = "2006-03-14T10:22:05.125+01:00";
    const DateFormatter natural(kPattern, true);
    for (size_t n = 0; n <= text.size(); ++n) {
        const std::string piece = text.substr(0, n);
        Ref<Object> value;
        natural.getObjectValue(&value, std::string_view(piece.data(), piece.size()), nullptr);
    }
    std::mt19937 random(23);
    const std::string alphabet = "0123456789-+:TZ. /%aAzZ\xC2\xA0";
    const std::string pattern = "2006-03-14 10:22:05 +0100";
    for (int i = 0; i < 5000; ++i) {
        std::string mutated = pattern;
        const int edits = 1 + static_cast<int>(random() % 3);
        for (int e = 0; e < edits; ++e) {
            const size_t at = random() % mutated.size();
            switch (random() % 3) {
                case 0: mutated[at] = alphabet[random() % alphabet.size()]; break;
                case 1: mutated.erase(at, 1); break;
                default: mutated.insert(at, 1, alphabet[random() % alphabet.size()]);
            }
            if (mutated.empty()) mutated = "x";
        }
        for (const bool lenient : {false, true}) {
            const DateFormatter f(kPattern, lenient);
            Ref<Object> value;
            std::string error;
            if (f.getObjectValue(&value, mutated, &error)) {
                // Whatever parses must write back to a text that parses to the same
                // instant (to the second: the pattern writes no fraction).
                const auto date = kindCast<CalendarDate>(value);
                ASSERT_TRUE(date) << mutated;
                const auto again = parse(f, *f.stringForObjectValue(date.get()));
                ASSERT_TRUE(again) << mutated;
                ASSERT_EQ(again->timeIntervalSinceReferenceDate(), std::floor(date->timeIntervalSinceReferenceDate()))
                    << mutated;
            } else {
                ASSERT_FALSE(value);
                ASSERT_EQ(error, "Could not parse '" + mutated + "' as a date");
            }
        }
    }
}
