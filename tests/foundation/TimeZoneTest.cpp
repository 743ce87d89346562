#include <gtest/gtest.h>

#include <cmath>

#include <unistd.h>

#include <random>

#include "foundation/PosixTimeZoneRule.h"
#include "support/Cases.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using ossel::testing::utc;
using ossel::testing::ZoneScope;

namespace {

int64_t unixOf(double t) { return static_cast<int64_t>(t + kTimeIntervalBetween1970AndReferenceDate); }

// The C library's own reading of TZ: what our zones must agree with.
long libcOffset(double sinceReferenceDate) {
    const time_t t = unixOf(sinceReferenceDate);
    struct tm fields {};
    localtime_r(&t, &fields);
    return fields.tm_gmtoff;
}

}  // namespace

TEST(TimeZone, NamesLinksAndFixedOffsets) {
    const auto zurich = TimeZone::timeZoneWithName("Europe/Zurich");
    ASSERT_TRUE(zurich);
    EXPECT_TRUE(zurich->isEqual(TimeZone::timeZoneWithName("Europe/Zurich").get()));
    // A link keeps the name it was asked by, and so is a zone of its own.
    EXPECT_EQ(TimeZone::timeZoneWithName("US/Eastern")->name(), "US/Eastern");
    EXPECT_FALSE(TimeZone::timeZoneWithName("US/Eastern")->isEqual(TimeZone::timeZoneWithName("America/New_York").get()));
    EXPECT_FALSE(TimeZone::timeZoneWithName(""));
    for (const auto& c : ossel::testing::casesFrom("foundation/zone-names-refused.txt", 1)) {
        EXPECT_FALSE(TimeZone::timeZoneWithName(c[0])) << c.where;
    }
    for (const auto& [seconds, name] : {std::pair{3600, "GMT+0100"}, {-34200, "GMT-0930"}, {0, "GMT"}}) {
        const auto zone = TimeZone::timeZoneForSecondsFromGMT(seconds);
        EXPECT_EQ(zone->name(), name);
        for (double t : {utc(1900, 1, 1), utc(2006, 3, 26, 1), utc(2200, 7, 1)}) {
            EXPECT_EQ(zone->secondsFromGMTForDate(t), seconds);
            EXPECT_EQ(zone->instantForLocalTime(t + seconds), t);
        }
        EXPECT_TRUE(TimeZone::timeZoneWithName(name)->isEqual(zone.get())) << "the name reads back";
    }
    EXPECT_EQ(TimeZone::timeZoneWithName("UTC+01:00")->secondsFromGMTForDate(0), 3600);
}

TEST(TimeZone, OffsetsFollowDaylightSavingChangesAndTheFooterRule) {
    for (const auto& c : ossel::testing::casesFrom("foundation/zone-offsets.txt", 4)) {
        const auto zone = TimeZone::timeZoneWithName(c[0]);
        const auto f = c.numbers(1);
        ASSERT_TRUE(zone && f.size() == 6) << c.where;
        const double t = utc(f[0], f[1], f[2], f[3], f[4], f[5]);
        EXPECT_EQ(zone->secondsFromGMTForDate(t), c.number(2)) << c.where;
        EXPECT_EQ(zone->abbreviationForDate(t), c[3]) << c.where;
    }
    const auto newYork = TimeZone::timeZoneWithName("America/New_York");
    for (double t : {-1e300, -1e15, 1e15, 1e300, std::nan("")}) {
        EXPECT_LE(std::abs(newYork->secondsFromGMTForDate(t)), 18 * 3600);
        EXPECT_FALSE(newYork->abbreviationForDate(t).empty());
    }
}

TEST(TimeZone, OffsetsAgreeWithTheCLibraryFrom1970To2100) {
    // The C library reads the same files, footers included; without TZ both read the machine's zone.
    std::mt19937 random(3);
    std::uniform_real_distribution<double> instants(utc(1970, 1, 1), utc(2100, 1, 1));
    for (const std::optional<std::string>& name : {std::optional<std::string>("Europe/Zurich"), {"Australia/Sydney"},
                                                  {"America/Sao_Paulo"}, {"Pacific/Chatham"}, {"Europe/Dublin"},
                                                  {"Africa/Casablanca"}, std::optional<std::string>()}) {
        ZoneScope scope(name);
        const auto zone = TimeZone::systemTimeZone();
        if (name) {
            ASSERT_EQ(zone->name(), *name);
        }
        for (int i = 0; i < 2000; ++i) {
            const double t = std::floor(instants(random));
            ASSERT_EQ(zone->secondsFromGMTForDate(t), libcOffset(t)) << zone->name() << " at " << Date(t).description();
        }
    }
}

TEST(TimeZone, PosixRulesMatchTheDatabaseWhereBothApply) {
    const auto rule = PosixTimeZoneRule::parse("CET-1CEST,M3.5.0,M10.5.0/3");
    ASSERT_TRUE(rule);
    const auto zurich = TimeZone::timeZoneWithName("Europe/Zurich");
    for (double t = utc(1996, 1, 1); t < utc(2037, 1, 1); t += 3 * 3600 + 17) {
        ASSERT_EQ(rule->offsetAt(unixOf(t)), zurich->secondsFromGMTForDate(t)) << Date(t).description();
    }
    const auto julian = PosixTimeZoneRule::parse("XXX3YYY,J60/1,300");  // 1 March (never the leap day) to day 300
    ASSERT_TRUE(julian);
    EXPECT_EQ(julian->offsetAt(unixOf(utc(2004, 3, 1, 3, 59, 59))), -3 * 3600);
    EXPECT_EQ(julian->offsetAt(unixOf(utc(2004, 3, 1, 4))), -2 * 3600);
    EXPECT_EQ(julian->abbreviationAt(unixOf(utc(2004, 6, 1))), "YYY");
    EXPECT_EQ(PosixTimeZoneRule::parse("<+0330>-3:30")->offsetAt(0), 12600);
    for (const char* bad : {"", "E", "EST", "EST5EDT,M3", "EST5EDT,M13.1.0,M11.1.0", "EST5EDT,M3.2.0", "<+03", "EST99"}) {
        EXPECT_FALSE(PosixTimeZoneRule::parse(bad)) << bad;
    }
}

TEST(TimeZone, LocalTimesInGapsAndOverlaps) {
    // Gaps and overlaps themselves are the calendar dates' tests. Everywhere else the
    // local time is the instant's wall-clock time, hour by hour through two years.
    const auto zurich = TimeZone::timeZoneWithName("Europe/Zurich");
    for (const auto& zone : {zurich, TimeZone::timeZoneWithName("America/New_York")}) {
        for (double t = utc(2006, 1, 1); t < utc(2008, 1, 1); t += 3600) {
            const double local = t + zone->secondsFromGMTForDate(t);
            const double back = zone->instantForLocalTime(local);
            if (back == t) continue;
            // Only the second pass through an overlap may map to another instant: the earlier one.
            ASSERT_EQ(back, t - 3600) << zone->name() << " " << Date(t).description();
            ASSERT_EQ(back + zone->secondsFromGMTForDate(back), local);
        }
    }
}

TEST(TimeZone, SystemZoneComesFromTzInAllItsSpellings) {
    const auto zoneIn = [](const std::string& tz) {
        ZoneScope scope(tz);
        return std::make_pair(TimeZone::systemTimeZone()->name(),
                              TimeZone::systemTimeZone()->secondsFromGMTForDate(utc(2006, 7, 1)));
    };
    for (const auto& c : ossel::testing::casesFrom("foundation/tz-spellings.txt", 3)) {
        const auto [name, offset] = zoneIn(c[0]);
        EXPECT_EQ(offset, c.number(2)) << c.where;
        if (c[1] != "-") {
            EXPECT_EQ(name, c[1]) << c.where;
        }
    }
    // A link somewhere else names its target's zone; a copy is recognised by its contents.
    const ossel::testing::ScratchDir dir;
    std::filesystem::create_symlink("/usr/share/zoneinfo/Australia/Sydney", dir / "link");
    std::filesystem::copy_file("/usr/share/zoneinfo/America/Sao_Paulo", dir / "copy");
    EXPECT_EQ(zoneIn((dir / "link").string()).first, "Australia/Sydney");
    EXPECT_EQ(zoneIn((dir / "copy").string()).first, "America/Sao_Paulo");
}

TEST(TimeZone, SystemZoneIsCachedAndTheDefaultZoneIsSetApart) {
    ZoneScope scope(std::string("Europe/Zurich"));
    EXPECT_EQ(TimeZone::systemTimeZone()->name(), "Europe/Zurich");
    setenv("TZ", "America/New_York", 1);
    EXPECT_EQ(TimeZone::systemTimeZone()->name(), "Europe/Zurich") << "cached until reset";
    TimeZone::resetSystemTimeZone();
    EXPECT_EQ(TimeZone::systemTimeZone()->name(), "America/New_York");
    // The default zone follows the system zone until it is set, and again once cleared.
    EXPECT_EQ(TimeZone::defaultTimeZone()->name(), "America/New_York");
    TimeZone::setDefaultTimeZone(TimeZone::timeZoneForSecondsFromGMT(3600));
    EXPECT_EQ(TimeZone::defaultTimeZone()->name(), "GMT+0100");
    EXPECT_EQ(TimeZone::systemTimeZone()->name(), "America/New_York");
    TimeZone::setDefaultTimeZone(nullptr);
    EXPECT_EQ(TimeZone::defaultTimeZone()->name(), "America/New_York");
}
