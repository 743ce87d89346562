#include "dv/DVTimeCodeUtils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "dv/DVSystem.h"
#include "dv/DVTestSupport.h"
#include "dv/DVTimeCode.h"
#include "foundation/String.h"

namespace ossel {
namespace {

using U = DVTimeCodeUtils;
using dvtest::archived;
using dvtest::show;
using dvtest::tc;

const Ref<DVSystem> ntsc = DVSystem::system525_60();
const Ref<DVSystem> pal = DVSystem::system625_50();
const Ref<DVSystem> none;

TEST(AdjustFunctions, CarryByDivisionAndBorrowOnce) {
    const struct {
        char unit;
        int32_t h, m, s, f;
        const char* want;
    } cases[] = {
        {'h', 25, 0, 0, 0, "1:0:0:0"},          {'h', -1, 0, 0, 0, "23:0:0:0"},
        {'h', INT32_MIN, 0, 0, 0, "16:0:0:0"},  {'m', 0, -1, 0, 0, "23:59:0:0"},
        {'m', 0, -61, 0, 0, "23:-1:0:0"},       {'m', 22, 150, 0, 0, "0:30:0:0"},  // one borrow only
        {'s', 0, 0, -1, 0, "23:59:59:0"},       {'s', 0, 0, -70, 0, "23:59:-10:0"},
        {'f', 0, 0, 0, 2591999, "23:59:59:29"}, {'f', 0, 0, 10, -31, "0:0:9:-1"},
        {'f', 0, 0, 0, INT32_MAX, "12:6:28:7"},  // 2^31 - 1 frames, carried by division
    };
    for (const auto& c : cases) {
        int32_t h = c.h, m = c.m, s = c.s, f = c.f;
        if (c.unit == 'h') adjustHours(h);
        if (c.unit == 'm') adjustMinutes(h, m);
        if (c.unit == 's') adjustSeconds(h, m, s);
        if (c.unit == 'f') adjustFrames(h, m, s, f, 30);
        EXPECT_EQ(std::to_string(h) + ":" + std::to_string(m) + ":" + std::to_string(s) + ":" + std::to_string(f),
                  c.want);
    }
    // A base that leaves no second to carry into leaves the frames alone.
    for (int32_t base : {0, -5}) {
        int32_t h = 1, m = 2, s = 3, f = 1000;
        adjustFrames(h, m, s, f, base);
        EXPECT_EQ(f, 1000);
    }
}

// Adding and removing frames across minute, ten-minute, hour and day
// boundaries, in both systems and with none.
TEST(TimeCodeUtils, AddingAndRemovingFrames) {
    const struct {
        bool add;
        uint32_t n;
        Ref<DVTimeCode> t;
        Ref<DVSystem> system;
        const char* want;
    } cases[] = {
        {true, 1, tc(0, 0, 59, 29), ntsc, "0:1:0:2"},
        {true, 1, tc(0, 9, 59, 29), ntsc, "0:10:0:0"},
        {true, 1, tc(23, 59, 59, 29), ntsc, "0:0:0:0"},
        {true, 107892, tc(1, 0, 0, 0), ntsc, "2:0:0:0"},
        // Sums past the day wrap until they reach 24 plain hours; from there on there is no label.
        {true, 2589408, tc(0, 0, 0, 5), ntsc, "0:0:0:5"},
        {true, 10, tc(23, 59, 59, 24), pal, "0:0:0:9"},
        {true, 1, tc(0, 9, 59, 24), pal, "0:10:0:0"},
        {true, 2160000, tc(5, 6, 7, 8), pal, "5:6:7:8"},
        {true, UINT32_MAX, tc(0, 0, 0, 5), pal, "9:51:32:0"},  // (2^32 + 4) / 25 s, wrapped to a day
        {true, 1, tc(0, 0, 59, 29), none, "0:1:0:0"},
        {true, 30 * 3600, tc(23, 0, 0, 0), none, "0:0:0:0"},
        {true, 1, DVTimeCode::undefinedTimeCode(), pal, "19:19:25:6"},  // carried as the numbers it holds
        {false, 5, tc(0, 0, 0, 3), ntsc, "0:0:0:0"},
        {false, 1, tc(0, 1, 0, 2), ntsc, "0:0:59:29"},
        {false, 1, tc(0, 10, 0, 0), ntsc, "0:9:59:29"},
        {false, 2589407, tc(23, 59, 59, 29), ntsc, "0:0:0:0"},
        {false, 25, tc(0, 0, 10, 0), pal, "0:0:9:0"},
        {false, 26, tc(0, 0, 10, 0), pal, "0:0:9:255!"},  // the single borrow
        {false, 1, tc(0, 0, 0, 0), pal, "23:59:59:24"},
        {false, 1, tc(1, 0, 0, 0), none, "0:59:59:29"},
        {false, 31, tc(0, 0, 0, 0), none, "23:59:59:255!"},
    };
    for (const auto& c : cases) {
        const auto r = c.add ? U::timeCodeByAddingFrames(c.n, c.t, c.system) : U::timeCodeByRemovingFrames(c.n, c.t, c.system);
        EXPECT_EQ(show(r), c.want) << (c.add ? "+" : "-") << c.n << " " << show(c.t);
    }
    EXPECT_FALSE(U::timeCodeByAddingFrames(2589408, tc(13, 7, 21, 9), ntsc)->valid());
    EXPECT_FALSE(U::timeCodeByRemovingFrames(UINT32_MAX, tc(0, 0, 0, 0), pal)->valid());
    // A sum past 32 bits does not wrap into a plausible label, even where the timebase would allow one.
    const auto slow = DVSystem::make(str("S"), str("Slow"), 1, 1, 1, 1, 1, 1, 1, 100000, true);
    EXPECT_EQ(show(U::timeCodeByAddingFrames(UINT32_MAX, tc(0, 0, 0, 5), slow)), "255:255:255:255!");
    const auto t = tc(1, 2, 3, 4);
    EXPECT_EQ(U::timeCodeByAddingFrames(0, t, ntsc).get(), t.get());
    EXPECT_EQ(U::timeCodeByRemovingFrames(0, t, pal).get(), t.get());
    EXPECT_FALSE(U::timeCodeByAddingFrames(1, nullptr, ntsc));
    EXPECT_FALSE(U::timeCodeByRemovingFrames(1, nullptr, none));
}

TEST(TimeCodeUtils, DurationsAndElapsedTimes) {
    EXPECT_EQ(show(U::timeCodeByAddingDuration(tc(0, 0, 30, 20), tc(1, 59, 30, 10), pal)), "2:0:1:5");
    EXPECT_EQ(show(U::timeCodeByAddingDuration(tc(23, 59, 59, 29), tc(23, 59, 59, 29), none)), "23:59:59:28");
    // In drop-frame both are read as labels: 00:01:00;02 is 1800 frames.
    EXPECT_EQ(show(U::timeCodeByAddingDuration(tc(0, 1, 0, 2), tc(0, 8, 59, 29), ntsc)), "0:10:0:1");
    EXPECT_EQ(show(U::timeCodeByAddingDuration(tc(0, 0, 0, 1), tc(23, 59, 59, 29), ntsc)), "0:0:0:0");
    const auto t = tc(1, 2, 3, 4);
    EXPECT_EQ(U::timeCodeByAddingDuration(nullptr, t, pal).get(), t.get());
    EXPECT_FALSE(U::timeCodeByAddingDuration(t, nullptr, pal));

    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(23, 59, 59, 24), tc(0, 0, 0, 0), pal)), "0:0:0:2");
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(10, 0, 0, 0), tc(9, 0, 0, 0), pal)), "23:0:0:1");
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(0, 0, 59, 29), tc(0, 1, 0, 2), ntsc)), "0:0:0:4");
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(0, 0, 0, 0), tc(0, 0, 0, 29))), "0:0:1:0");
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(0, 0, 0, 0), DVTimeCode::undefinedTimeCode(), pal)), "255:255:255:255!");
    EXPECT_FALSE(U::elapsedTimeFromStart(nullptr, tc(0, 0, 0, 0), pal));
    // The base is the average rate rounded up, whatever the timebase says.
    const auto odd = DVSystem::make(str("O"), str("Odd"), 1, 1, 1, 1, 1, 24.5, 1, 30, false);
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(0, 0, 0, 0), tc(0, 0, 0, 24), odd)), "0:0:1:0");
    EXPECT_EQ(U::elapsedSince0(t), 3723);
    EXPECT_EQ(U::elapsedSince0(nullptr), -1);

    EXPECT_EQ(show(U::nonDropFrameDuratiomFromStart(tc(0, 0, 59, 29), tc(0, 1, 0, 2), ntsc)), "0:0:0:2");
    EXPECT_FALSE(U::nonDropFrameDuratiomFromStart(tc(0, 0, 0, 5), tc(0, 0, 0, 1), pal)->valid());
    EXPECT_FALSE(U::nonDropFrameDuratiomFromStart(tc(0, 0, 0, 0), tc(0, 0, 0, 1), none));
}

TEST(TimeCodeUtils, OrderingRespectsValidity) {
    const auto undefined = DVTimeCode::undefinedTimeCode();
    EXPECT_TRUE(U::isTimeCodeLessThan(tc(0, 0, 0, 1), tc(0, 0, 1, 0)));
    EXPECT_FALSE(U::isTimeCodeLessThan(tc(1, 2, 3, 4), tc(1, 2, 3, 4)));
    EXPECT_FALSE(U::isTimeCodeLessThan(tc(0, 0, 0, 0), undefined));
    EXPECT_FALSE(U::isTimeCodeLessThan(nullptr, tc(0, 0, 0, 0)));
    EXPECT_TRUE(U::isTimeCodeLessOrEqualThan(undefined, undefined));
    EXPECT_TRUE(U::isTimeCodeLessOrEqualThan(tc(0, 59, 59, 29), tc(1, 0, 0, 0)));
    EXPECT_FALSE(U::isTimeCodeLessOrEqualThan(tc(1, 0, 0, 1), tc(1, 0, 0, 0)));
    EXPECT_FALSE(U::isTimeCodeLessOrEqualThan(tc(0, 0, 0, 0), nullptr));
}

TEST(TimeCodeUtils, LabelConversionsAndSteppingBack) {
    EXPECT_EQ(show(U::nonDropTimeCodeFromTimeCode(tc(0, 1, 0, 2), ntsc)), "0:1:0:0");
    EXPECT_EQ(show(U::dropFrameTimeCodeFromTimeCode(tc(0, 10, 0, 45), ntsc)), "0:10:2:3");  // frames carried
    // No label for what is not one: it comes back as it is.
    for (const auto& t : {tc(0, 0, 30, 5), DVTimeCode::undefinedTimeCode(), archived(true, 0, 5, 0, -3)}) {
        EXPECT_EQ(U::dropFrameTimeCodeFromTimeCode(t, ntsc).get(), t.get()) << show(t);
    }
    EXPECT_FALSE(U::nonDropFrameDurationFromFrames(5, none));
    EXPECT_FALSE(U::dropFrameTimeCodeFromFrames(5, none));
    const auto zeroRate = DVSystem::make(str("Z"), str("Zero"), 1, 1, 1, 1, 1, 0, 1, 0, true);
    EXPECT_FALSE(U::dropFrameTimeCodeFromFrames(5, zeroRate)->valid());
    // A drop-frame system at another timebase still ends with a label.
    const auto odd = DVSystem::make(str("O"), str("Odd"), 1, 1, 1, 1, 1, 7, 1, 7, true);
    EXPECT_EQ(U::dropFrameTimeCodeFromFrames(7 * 600, odd)->asFrames(odd), 7u * 600);

    EXPECT_EQ(show(U::previousTimeCodeFromTimeCode(tc(0, 0, 0, 0), none)), "23:59:59:29");
    EXPECT_EQ(show(U::previousTimeCodeFromTimeCode(Ref<DVTimeCode>(), ntsc)), "23:59:59:29");
    EXPECT_EQ(show(tc(10, 0, 0, 0)->previousFrameTimeCodeWithSystem(pal)), "9:59:59:24");
}

TEST(TimeCodeUtils, PlainStepsReportTheDropFrameLabelsCrossed) {
    int32_t crossed = -1;
    EXPECT_EQ(show(U::_nonDropTimeCodeByAddingFrames(2, tc(0, 0, 59, 29), ntsc, &crossed)), "0:1:0:1");
    EXPECT_EQ(crossed, 2);
    EXPECT_EQ(show(U::_nonDropTimeCodeByAddingFrames(5, tc(23, 59, 59, 28), ntsc, &crossed)), "0:0:0:3");
    EXPECT_EQ(crossed, 0);
    EXPECT_EQ(show(U::_nonDropTimeCodeByRemovingFrames(2, tc(0, 1, 0, 1), ntsc, &crossed)), "0:0:59:29");
    EXPECT_EQ(crossed, 2590);
    EXPECT_EQ(show(U::_nonDropTimeCodeByAddingFrames(2, tc(0, 0, 59, 24), pal, &crossed)), "0:1:0:1");
    EXPECT_EQ(crossed, 0);
    // Hours no timecode could hold: the result wraps to a day, the count of drops does not overflow.
    EXPECT_EQ(show(U::_nonDropTimeCodeByAddingFrames(1, archived(true, 19884108, 0, 0, 0), ntsc, &crossed)),
              "12:0:0:1");
}

// Whatever an archive gives a timecode, every operation ends with a timecode
// and no arithmetic overflows (the sanitizer build aborts on one).
TEST(TimeCodeUtils, ArchivedNumbersOfAnySizeStayHarmless) {
    const int32_t extremes[] = {INT32_MIN, -61, -1, 0, 59, 255, INT32_MAX};
    const auto odd = DVSystem::make(str("O"), str("Odd"), 1, 1, 1, 1, 1, 1e300, 1, 0x80000001u, true);
    size_t results = 0;
    for (int32_t a : extremes)
        for (int32_t b : extremes) {
            const auto t = archived(true, a, b, b, a);
            const auto u = archived(true, b, a, a, b);
            for (const auto& system : {ntsc, pal, none, odd}) {
                for (uint32_t n : {1u, 1799u, UINT32_MAX}) {
                    results += U::timeCodeByAddingFrames(n, t, system) != nullptr;
                    results += U::timeCodeByRemovingFrames(n, t, system) != nullptr;
                }
                results += U::timeCodeByAddingDuration(u, t, system) != nullptr;
                results += U::elapsedTimeFromStart(u, t, system) != nullptr;
                results += U::previousTimeCodeFromTimeCode(t, system) != nullptr;
                results += U::dropFrameTimeCodeFromTimeCode(t, system) != nullptr;
                results += U::nonDropTimeCodeFromTimeCode(t, system) != nullptr;
                results += U::_nonDropTimeCodeByRemovingFrames(7, t, system, nullptr) != nullptr;
                (void)U::nonDropFrameDuratiomFromStart(u, t, system);
                (void)t->asSeconds(system);
                (void)t->compareFrames(u, system);
            }
            (void)U::isTimeCodeLessOrEqualThan(t, u);
            (void)U::elapsedSince0(t);
        }
    EXPECT_EQ(results, std::size(extremes) * std::size(extremes) * 4 * 12);
}

}  // namespace
}  // namespace ossel
