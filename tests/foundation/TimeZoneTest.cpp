#include <gtest/gtest.h>

#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "foundation/CalendarDate.h"
#include "foundation/Clock.h"
#include "foundation/PosixTimeZoneRule.h"
#include "foundation/TimeZone.h"
#include "foundation/ZoneScope.h"

using namespace ossel;
using ossel::testing::ZoneScope;

namespace {

// Seconds since the reference date of a UTC wall-clock time.
double utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return sinceReferenceDateOf(UtcFields{y, mo, d, h, mi, s});
}

// The C library's own reading of TZ: what our zones must agree with.
long libcOffset(double sinceReferenceDate) {
    const time_t t = static_cast<time_t>(sinceReferenceDate + kTimeIntervalBetween1970AndReferenceDate);
    struct tm fields {};
    localtime_r(&t, &fields);
    return fields.tm_gmtoff;
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/ossel-tz-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace

TEST(TimeZone, NamedZonesKeepTheirNameAndCompareByIt) {
    const auto zurich = TimeZone::timeZoneWithName("Europe/Zurich");
    ASSERT_TRUE(zurich);
    EXPECT_EQ(zurich->name(), "Europe/Zurich");
    EXPECT_TRUE(zurich->isEqual(TimeZone::timeZoneWithName("Europe/Zurich").get()));
    EXPECT_EQ(zurich->hash(), TimeZone::timeZoneWithName("Europe/Zurich")->hash());
    EXPECT_FALSE(zurich->isEqual(TimeZone::timeZoneWithName("Europe/Berlin").get()));

    // A link keeps the name it was asked by, and so is a zone of its own.
    const auto eastern = TimeZone::timeZoneWithName("US/Eastern");
    ASSERT_TRUE(eastern);
    EXPECT_EQ(eastern->name(), "US/Eastern");
    EXPECT_FALSE(eastern->isEqual(TimeZone::timeZoneWithName("America/New_York").get()));

    for (const char* name : {"UTC", "GMT"}) {
        const auto zone = TimeZone::timeZoneWithName(name);
        ASSERT_TRUE(zone) << name;
        EXPECT_EQ(zone->secondsFromGMTForDate(utc(2006, 7, 1)), 0);
    }
    for (const char* name : {"", "Nowhere/Special", "europe/zurich", "../../etc/passwd", "/etc/localtime", "posixrules",
                             "Europe/Zurich/", "GMT+25", "GMT+0160"}) {
        EXPECT_FALSE(TimeZone::timeZoneWithName(name)) << name;
    }
}

TEST(TimeZone, FixedOffsetsAreNamedAfterTheirOffset) {
    struct Case {
        int seconds;
        const char* name;
    };
    for (const auto& c : {Case{3600, "GMT+0100"}, Case{-18000, "GMT-0500"}, Case{19800, "GMT+0530"}, Case{0, "GMT"},
                          Case{-34200, "GMT-0930"}}) {
        const auto zone = TimeZone::timeZoneForSecondsFromGMT(c.seconds);
        EXPECT_EQ(zone->name(), c.name);
        for (double t : {utc(1900, 1, 1), utc(2006, 3, 26, 1), utc(2006, 10, 29, 1), utc(2200, 7, 1)}) {
            EXPECT_EQ(zone->secondsFromGMTForDate(t), c.seconds);
            EXPECT_EQ(zone->instantForLocalTime(t + c.seconds), t);
        }
        // The name reads back as the same fixed zone.
        const auto again = TimeZone::timeZoneWithName(c.name);
        ASSERT_TRUE(again) << c.name;
        EXPECT_TRUE(again->isEqual(zone.get()));
        EXPECT_EQ(again->secondsFromGMTForDate(utc(2006, 7, 1)), c.seconds);
    }
    EXPECT_EQ(TimeZone::timeZoneWithName("UTC+01:00")->secondsFromGMTForDate(0), 3600);
}

TEST(TimeZone, OffsetsFollowDaylightSavingChanges) {
    const auto zurich = TimeZone::timeZoneWithName("Europe/Zurich");
    // Summer time began 2006-03-26 at 01:00 UTC and ended 2006-10-29 at 01:00 UTC.
    EXPECT_EQ(zurich->secondsFromGMTForDate(utc(2006, 3, 26, 0, 59, 59)), 3600);
    EXPECT_EQ(zurich->secondsFromGMTForDate(utc(2006, 3, 26, 1)), 7200);
    EXPECT_EQ(zurich->secondsFromGMTForDate(utc(2006, 10, 29, 0, 59, 59)), 7200);
    EXPECT_EQ(zurich->secondsFromGMTForDate(utc(2006, 10, 29, 1)), 3600);
    EXPECT_EQ(zurich->abbreviationForDate(utc(2006, 7, 1)), "CEST");
    EXPECT_EQ(zurich->abbreviationForDate(utc(2006, 1, 1)), "CET");

    const auto newYork = TimeZone::timeZoneWithName("America/New_York");
    EXPECT_EQ(newYork->secondsFromGMTForDate(utc(2006, 4, 2, 6, 59, 59)), -18000);
    EXPECT_EQ(newYork->secondsFromGMTForDate(utc(2006, 4, 2, 7)), -14400);
    // Past the last transition the zone file lists, its footer rule still keeps summer time.
    EXPECT_EQ(newYork->secondsFromGMTForDate(utc(2050, 7, 1)), -14400);
    EXPECT_EQ(newYork->secondsFromGMTForDate(utc(2050, 1, 1)), -18000);
    EXPECT_EQ(newYork->abbreviationForDate(utc(2050, 7, 1)), "EDT");
    const auto sydney = TimeZone::timeZoneWithName("Australia/Sydney");
    EXPECT_EQ(sydney->secondsFromGMTForDate(utc(2060, 1, 15)), 39600);
    EXPECT_EQ(sydney->secondsFromGMTForDate(utc(2060, 7, 15)), 36000);
    // Far outside the database the answers stay sane and nothing breaks.
    for (double t : {-1e300, -1e15, 1e15, 1e300, std::nan("")}) {
        const int offset = newYork->secondsFromGMTForDate(t);
        EXPECT_LE(std::abs(offset), 18 * 3600);
        EXPECT_FALSE(newYork->abbreviationForDate(t).empty());
    }
}

TEST(TimeZone, OffsetsAgreeWithTheCLibraryFrom1970To2100) {
    // The C library reads the same files, footers included; sample every zone
    // at random instants, summer and winter, both hemispheres.
    std::mt19937 random(3);
    std::uniform_real_distribution<double> instants(utc(1970, 1, 1), utc(2100, 1, 1));
    for (const char* name : {"Europe/Zurich", "America/New_York", "Australia/Sydney", "Asia/Kolkata",
                             "America/Sao_Paulo", "Pacific/Chatham", "Europe/Dublin", "Africa/Casablanca"}) {
        ZoneScope scope{std::string(name)};
        const auto zone = TimeZone::systemTimeZone();
        ASSERT_EQ(zone->name(), name);
        for (int i = 0; i < 3000; ++i) {
            const double t = std::floor(instants(random));
            ASSERT_EQ(zone->secondsFromGMTForDate(t), libcOffset(t)) << name << " at " << Date(t).description();
        }
    }
}

TEST(TimeZone, PosixRulesMatchTheDatabaseWhereBothApply) {
    const auto rule = PosixTimeZoneRule::parse("CET-1CEST,M3.5.0,M10.5.0/3");
    ASSERT_TRUE(rule);
    const auto zurich = TimeZone::timeZoneWithName("Europe/Zurich");
    for (double t = utc(1996, 1, 1); t < utc(2037, 1, 1); t += 3 * 3600 + 17) {
        const int64_t unix = static_cast<int64_t>(t + kTimeIntervalBetween1970AndReferenceDate);
        ASSERT_EQ(rule->offsetAt(unix), zurich->secondsFromGMTForDate(t)) << Date(t).description();
    }
    const auto julian = PosixTimeZoneRule::parse("XXX3YYY,J60/1,300");  // 1 March (never the leap day) to day 300
    ASSERT_TRUE(julian);
    const auto unixOf = [](double t) { return static_cast<int64_t>(t + kTimeIntervalBetween1970AndReferenceDate); };
    EXPECT_EQ(julian->offsetAt(unixOf(utc(2004, 3, 1, 3, 59, 59))), -3 * 3600);
    EXPECT_EQ(julian->offsetAt(unixOf(utc(2004, 3, 1, 4))), -2 * 3600);
    EXPECT_EQ(julian->abbreviationAt(unixOf(utc(2004, 6, 1))), "YYY");
    EXPECT_EQ(PosixTimeZoneRule::parse("<+0330>-3:30")->offsetAt(0), 12600);
    for (const char* bad : {"", "E", "EST", "EST5EDT,M3", "EST5EDT,M13.1.0,M11.1.0", "EST5EDT,M3.2.0", "<+03", "EST99"}) {
        EXPECT_FALSE(PosixTimeZoneRule::parse(bad)) << bad;
    }
}

TEST(TimeZone, LocalTimesInGapsAndOverlaps) {
    const auto zurich = TimeZone::timeZoneWithName("Europe/Zurich");
    // 02:30 on 26 March 2006 never happened in Zurich: the time after the gap, 03:30 CEST.
    EXPECT_EQ(zurich->instantForLocalTime(utc(2006, 3, 26, 2, 30)), utc(2006, 3, 26, 1, 30));
    // 02:30 on 29 October 2006 happened twice: the earlier one, still in summer time.
    EXPECT_EQ(zurich->instantForLocalTime(utc(2006, 10, 29, 2, 30)), utc(2006, 10, 29, 0, 30));
    EXPECT_EQ(zurich->instantForLocalTime(utc(2006, 10, 29, 3, 0)), utc(2006, 10, 29, 2, 0));

    // Everywhere else the local time is the instant's wall-clock time, hour by hour through two years.
    const auto newYork = TimeZone::timeZoneWithName("America/New_York");
    for (const auto& zone : {zurich, newYork}) {
        for (double t = utc(2006, 1, 1); t < utc(2008, 1, 1); t += 3600) {
            const double local = t + zone->secondsFromGMTForDate(t);
            const double back = zone->instantForLocalTime(local);
            if (back != t) {
                // Only the second pass through an overlap may map to another instant: the earlier one.
                ASSERT_EQ(back, t - 3600) << zone->name() << " " << Date(t).description();
                ASSERT_EQ(back + zone->secondsFromGMTForDate(back), local);
            }
        }
    }
}

TEST(TimeZone, SystemZoneComesFromTzInAllItsSpellings) {
    const auto offsetIn = [](const std::string& tz) {
        ZoneScope scope(tz);
        return std::make_pair(TimeZone::systemTimeZone()->name(),
                              TimeZone::systemTimeZone()->secondsFromGMTForDate(utc(2006, 7, 1)));
    };
    EXPECT_EQ(offsetIn("Europe/Zurich"), std::make_pair(std::string("Europe/Zurich"), 7200));
    EXPECT_EQ(offsetIn(":Europe/Zurich"), std::make_pair(std::string("Europe/Zurich"), 7200));
    EXPECT_EQ(offsetIn("/usr/share/zoneinfo/America/New_York"), std::make_pair(std::string("America/New_York"), -14400));
    EXPECT_EQ(offsetIn(":/usr/share/zoneinfo/posix/Asia/Tokyo"), std::make_pair(std::string("Asia/Tokyo"), 32400));
    EXPECT_EQ(offsetIn("").second, 0);
    EXPECT_EQ(offsetIn("Atlantis/Lost").second, 0);
    EXPECT_EQ(offsetIn("JST-9").second, 32400);
    EXPECT_EQ(offsetIn("NST3:30NDT,M3.2.0,M11.1.0").second, -9000);

    TempDir dir;
    // A link somewhere else names its target's zone; a copy is recognised by its contents.
    const auto link = dir.path() / "localtime-link";
    std::filesystem::create_symlink("/usr/share/zoneinfo/Australia/Sydney", link);
    EXPECT_EQ(offsetIn(link.string()).first, "Australia/Sydney");
    const auto copy = dir.path() / "localtime-copy";
    std::filesystem::copy_file("/usr/share/zoneinfo/America/Sao_Paulo", copy);
    {
        ZoneScope scope(copy.string());
        const auto zone = TimeZone::systemTimeZone();
        const auto original = TimeZone::timeZoneWithName("America/Sao_Paulo");
        for (double t = utc(1980, 1, 1); t < utc(2030, 1, 1); t += 86400 * 7) {
            ASSERT_EQ(zone->secondsFromGMTForDate(t), original->secondsFromGMTForDate(t));
        }
    }
    EXPECT_EQ(offsetIn((dir.path() / "missing").string()).second, 0);
}

TEST(TimeZone, SystemZoneIsCachedAndTheDefaultZoneIsSetApart) {
    ZoneScope scope(std::string("Europe/Zurich"));
    const auto system = TimeZone::systemTimeZone();
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

TEST(TimeZone, WithoutTzTheSystemZoneIsTheMachinesLocalTime) {
    ZoneScope scope(std::nullopt);
    const auto zone = TimeZone::systemTimeZone();
    ASSERT_TRUE(zone);
    for (double t = utc(1990, 1, 1); t < utc(2040, 1, 1); t += 86400 * 13 + 3600) {
        ASSERT_EQ(zone->secondsFromGMTForDate(t), libcOffset(t)) << zone->name();
    }
}
