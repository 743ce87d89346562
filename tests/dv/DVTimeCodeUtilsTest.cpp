#include "dv/DVTimeCodeUtils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"
#include "dv/DVTestSupport.h"
#include "foundation/String.h"

namespace ossel {
namespace {

using U = DVTimeCodeUtils;
using dvtest::archived;
using dvtest::show;
using dvtest::tc;

const Ref<DVSystem>& ntsc() { return DVSystem::system525_60(); }
const Ref<DVSystem>& pal() { return DVSystem::system625_50(); }
const Ref<DVSystem> none;

struct Parts {
    int32_t h, m, s, f;
};

TEST(AdjustFunctions, CarryAsOftenAsNeededAndBorrowOnce) {
    int32_t h = 25;
    adjustHours(h);
    EXPECT_EQ(h, 1);
    h = -1;
    adjustHours(h);
    EXPECT_EQ(h, 23);
    h = INT32_MIN;
    adjustHours(h);
    EXPECT_EQ(h, static_cast<int32_t>((int64_t{INT32_MIN} % 24 + 24) % 24));

    Parts p{0, -1, 0, 0};
    adjustMinutes(p.h, p.m);
    EXPECT_EQ(p.h, 23);
    EXPECT_EQ(p.m, 59);
    p = {0, -61, 0, 0};  // more than one hour below: one borrow, still negative
    adjustMinutes(p.h, p.m);
    EXPECT_EQ(p.h, 23);
    EXPECT_EQ(p.m, -1);
    p = {22, 150, 0, 0};
    adjustMinutes(p.h, p.m);
    EXPECT_EQ(p.h, 0);
    EXPECT_EQ(p.m, 30);

    p = {0, 0, -1, 0};
    adjustSeconds(p.h, p.m, p.s);
    EXPECT_EQ(show(tc(p.h, p.m, p.s, 0)), "23:59:59:0");
    p = {0, 0, -70, 0};
    adjustSeconds(p.h, p.m, p.s);
    EXPECT_EQ(p.s, -10);
    EXPECT_EQ(p.m, 59);

    // A whole day of frames and the largest counts carry by division.
    p = {0, 0, 0, 2591999};
    adjustFrames(p.h, p.m, p.s, p.f, 30);
    EXPECT_EQ(show(tc(p.h, p.m, p.s, p.f)), "23:59:59:29");
    p = {0, 0, 0, INT32_MAX};
    adjustFrames(p.h, p.m, p.s, p.f, 25);
    const int64_t seconds = INT32_MAX / 25;
    EXPECT_EQ(p.f, INT32_MAX % 25);
    EXPECT_EQ(p.s, seconds % 60);
    EXPECT_EQ(p.m, seconds / 60 % 60);
    EXPECT_EQ(p.h, seconds / 3600 % 24);
    p = {0, 0, 0, -1};
    adjustFrames(p.h, p.m, p.s, p.f, 25);
    EXPECT_EQ(show(tc(p.h, p.m, p.s, p.f)), "23:59:59:24");
    p = {0, 0, 10, -26};  // one second borrowed only
    adjustFrames(p.h, p.m, p.s, p.f, 25);
    EXPECT_EQ(p.s, 9);
    EXPECT_EQ(p.f, -1);
    // A base that leaves no second to carry into ends and leaves the frames alone.
    for (int32_t base : {0, -5}) {
        p = {1, 2, 3, 1000};
        adjustFrames(p.h, p.m, p.s, p.f, base);
        EXPECT_EQ(show(tc(p.h, p.m, p.s, 0)), "1:2:3:0");
        EXPECT_EQ(p.f, 1000);
    }
}

TEST(TimeCodeUtils, AddingFramesInDropFrame) {
    EXPECT_EQ(show(U::timeCodeByAddingFrames(1, tc(0, 0, 59, 29), ntsc())), "0:1:0:2");
    EXPECT_EQ(show(U::timeCodeByAddingFrames(1, tc(0, 9, 59, 29), ntsc())), "0:10:0:0");
    EXPECT_EQ(show(U::timeCodeByAddingFrames(1, tc(0, 59, 59, 29), ntsc())), "1:0:0:0");
    EXPECT_EQ(show(U::timeCodeByAddingFrames(1, tc(23, 59, 59, 29), ntsc())), "0:0:0:0");
    EXPECT_EQ(show(U::timeCodeByAddingFrames(1800, tc(0, 0, 0, 0), ntsc())), "0:1:0:2");
    EXPECT_EQ(show(U::timeCodeByAddingFrames(107892, tc(1, 0, 0, 0), ntsc())), "2:0:0:0");
    // Sums past the day's frames wrap until they reach 24 plain hours; from there on there is no label.
    EXPECT_EQ(show(U::timeCodeByAddingFrames(2589408, tc(0, 0, 0, 5), ntsc())), "0:0:0:5");
    EXPECT_FALSE(U::timeCodeByAddingFrames(2589408, tc(13, 7, 21, 9), ntsc())->valid());
    EXPECT_FALSE(U::timeCodeByAddingFrames(UINT32_MAX - 100, tc(0, 0, 0, 0), ntsc())->valid());
    // A sum past 32 bits does not wrap into a plausible label, even where the timebase would allow one.
    const auto slow = DVSystem::make(str("S"), str("Slow"), 1, 1, 1, 1, 1, 1, 1, 100000, true);
    EXPECT_EQ(show(U::timeCodeByAddingFrames(UINT32_MAX, tc(0, 0, 0, 5), slow)), "255:255:255:255!");
    EXPECT_TRUE(U::timeCodeByAddingFrames(4, tc(0, 0, 0, 5), slow)->valid());
    const auto t = tc(1, 2, 3, 4);
    EXPECT_EQ(U::timeCodeByAddingFrames(0, t, ntsc()).get(), t.get());
    EXPECT_FALSE(U::timeCodeByAddingFrames(1, nullptr, ntsc()));
}

TEST(TimeCodeUtils, AddingFramesWithoutDropFrame) {
    EXPECT_EQ(show(U::timeCodeByAddingFrames(10, tc(23, 59, 59, 24), pal())), "0:0:0:9");
    EXPECT_EQ(show(U::timeCodeByAddingFrames(90000, tc(1, 0, 0, 0), pal())), "2:0:0:0");
    EXPECT_EQ(show(U::timeCodeByAddingFrames(1, tc(0, 9, 59, 24), pal())), "0:10:0:0");
    EXPECT_EQ(show(U::timeCodeByAddingFrames(2160000, tc(5, 6, 7, 8), pal())), "5:6:7:8");
    EXPECT_EQ(show(U::timeCodeByAddingFrames(1, tc(0, 0, 59, 29), none)), "0:1:0:0");
    EXPECT_EQ(show(U::timeCodeByAddingFrames(30 * 3600, tc(23, 0, 0, 0), none)), "0:0:0:0");
    // Every 32-bit count adds exactly that many frames, modulo a day.
    const uint32_t big = UINT32_MAX;
    const uint64_t total = uint64_t{big} + 5;
    const uint64_t second = total / 25;
    EXPECT_EQ(show(U::timeCodeByAddingFrames(big, tc(0, 0, 0, 5), pal())),
              std::to_string(second / 3600 % 24) + ":" + std::to_string(second / 60 % 60) + ":" +
                  std::to_string(second % 60) + ":" + std::to_string(total % 25));
    // An undefined timecode is carried as the numbers it holds.
    EXPECT_EQ(show(U::timeCodeByAddingFrames(1, DVTimeCode::undefinedTimeCode(), pal())), "19:19:25:6");
}

TEST(TimeCodeUtils, RemovingFrames) {
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(5, tc(0, 0, 0, 3), ntsc())), "0:0:0:0");
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(1, tc(0, 1, 0, 2), ntsc())), "0:0:59:29");
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(1, tc(0, 10, 0, 0), ntsc())), "0:9:59:29");
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(2589407, tc(23, 59, 59, 29), ntsc())), "0:0:0:0");
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(20, tc(0, 0, 10, 5), pal())), "0:0:9:10");
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(25, tc(0, 0, 10, 0), pal())), "0:0:9:0");
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(26, tc(0, 0, 10, 0), pal())), "0:0:9:255!");
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(1, tc(0, 0, 0, 0), pal())), "23:59:59:24");
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(1, tc(0, 0, 0, 0), none)), "23:59:59:29");
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(1, tc(1, 0, 0, 0), none)), "0:59:59:29");
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(30, tc(0, 0, 0, 0), none)), "23:59:59:0");
    EXPECT_EQ(show(U::timeCodeByRemovingFrames(31, tc(0, 0, 0, 0), none)), "23:59:59:255!");
    // Far more than a second below zero: the frame field cannot hold it.
    EXPECT_FALSE(U::timeCodeByRemovingFrames(UINT32_MAX, tc(0, 0, 0, 0), pal())->valid());
    const auto t = tc(1, 2, 3, 4);
    EXPECT_EQ(U::timeCodeByRemovingFrames(0, t, pal()).get(), t.get());
    EXPECT_FALSE(U::timeCodeByRemovingFrames(1, nullptr, none));
}

TEST(TimeCodeUtils, AddingDurations) {
    EXPECT_EQ(show(U::timeCodeByAddingDuration(tc(0, 0, 30, 20), tc(1, 59, 30, 10), pal())), "2:0:1:5");
    EXPECT_EQ(show(U::timeCodeByAddingDuration(tc(1, 0, 0, 0), tc(23, 30, 0, 0), pal())), "0:30:0:0");
    EXPECT_EQ(show(U::timeCodeByAddingDuration(tc(0, 0, 0, 15), tc(0, 0, 0, 20), none)), "0:0:1:5");
    EXPECT_EQ(show(U::timeCodeByAddingDuration(tc(23, 59, 59, 29), tc(23, 59, 59, 29), none)), "23:59:59:28");
    // In drop-frame both are read as labels: 00:01:00;02 is 1800 frames.
    EXPECT_EQ(show(U::timeCodeByAddingDuration(tc(0, 1, 0, 2), tc(0, 8, 59, 29), ntsc())), "0:10:0:1");
    EXPECT_EQ(show(U::timeCodeByAddingDuration(tc(0, 0, 0, 1), tc(23, 59, 59, 29), ntsc())), "0:0:0:0");
    const auto t = tc(1, 2, 3, 4);
    EXPECT_EQ(U::timeCodeByAddingDuration(nullptr, t, pal()).get(), t.get());
    EXPECT_FALSE(U::timeCodeByAddingDuration(t, nullptr, pal()));
    // Validity is not consulted: undefined components are added as numbers.
    EXPECT_EQ(show(U::timeCodeByAddingDuration(DVTimeCode::undefinedTimeCode(), tc(0, 0, 0, 0), pal())),
              "19:19:25:5");
}

TEST(TimeCodeUtils, ElapsedTime) {
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(0, 0, 0, 0), tc(0, 0, 1, 0), pal())), "0:0:1:1");
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(23, 59, 59, 24), tc(0, 0, 0, 0), pal())), "0:0:0:2");
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(10, 0, 0, 0), tc(9, 0, 0, 0), pal())), "23:0:0:1");
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(0, 0, 59, 29), tc(0, 1, 0, 2), ntsc())), "0:0:0:4");
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(0, 0, 0, 0), tc(0, 0, 0, 29))), "0:0:1:0");
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(1, 2, 3, 4), tc(1, 2, 3, 4))), "0:0:0:1");
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(0, 0, 0, 0), DVTimeCode::undefinedTimeCode(), pal())),
              "255:255:255:255!");
    EXPECT_FALSE(U::elapsedTimeFromStart(nullptr, tc(0, 0, 0, 0), pal()));
    // The base is the average rate rounded up, whatever the timebase says.
    const auto odd = DVSystem::make(str("O"), str("Odd"), 1, 1, 1, 1, 1, 24.5, 1, 30, false);
    EXPECT_EQ(show(U::elapsedTimeFromStart(tc(0, 0, 0, 0), tc(0, 0, 0, 24), odd)), "0:0:1:0");

    EXPECT_EQ(U::elapsedSince0(tc(1, 2, 3, 4)), 3723);
    EXPECT_EQ(U::elapsedSince0(DVTimeCode::undefinedTimeCode()), TIMECODE_UNDEFINED_ELAPSED);
    EXPECT_EQ(U::elapsedSince0(nullptr), -1);
}

TEST(TimeCodeUtils, OrderingRespectsValidity) {
    EXPECT_TRUE(U::isTimeCodeLessThan(tc(0, 0, 0, 1), tc(0, 0, 1, 0)));
    EXPECT_FALSE(U::isTimeCodeLessThan(tc(0, 0, 1, 0), tc(0, 0, 0, 1)));
    EXPECT_FALSE(U::isTimeCodeLessThan(tc(1, 0, 0, 0), tc(1, 0, 0, 0)));
    EXPECT_FALSE(U::isTimeCodeLessThan(tc(0, 0, 0, 0), DVTimeCode::undefinedTimeCode()));
    EXPECT_FALSE(U::isTimeCodeLessThan(nullptr, tc(0, 0, 0, 0)));
    EXPECT_TRUE(U::isTimeCodeLessOrEqualThan(DVTimeCode::undefinedTimeCode(), DVTimeCode::undefinedTimeCode()));
    EXPECT_TRUE(U::isTimeCodeLessOrEqualThan(tc(1, 0, 0, 0), tc(1, 0, 0, 0)));
    EXPECT_TRUE(U::isTimeCodeLessOrEqualThan(tc(0, 59, 59, 29), tc(1, 0, 0, 0)));
    EXPECT_FALSE(U::isTimeCodeLessOrEqualThan(tc(1, 0, 0, 1), tc(1, 0, 0, 0)));
    EXPECT_FALSE(U::isTimeCodeLessOrEqualThan(tc(0, 0, 0, 0), nullptr));
}

TEST(TimeCodeUtils, NonDropConversions) {
    EXPECT_EQ(show(U::nonDropFrameDurationFromFrames(2159999, pal())), "23:59:59:24");
    EXPECT_EQ(show(U::nonDropFrameDurationFromFrames(2160000, pal())), "255:0:0:0!");
    EXPECT_FALSE(U::nonDropFrameDurationFromFrames(5, none));
    const auto zeroRate = DVSystem::make(str("Z"), str("Zero"), 1, 1, 1, 1, 1, 0, 1, 0, true);
    EXPECT_FALSE(U::nonDropFrameDurationFromFrames(5, zeroRate)->valid());
    EXPECT_FALSE(U::dropFrameTimeCodeFromFrames(5, zeroRate)->valid());
    EXPECT_FALSE(U::dropFrameTimeCodeFromFrames(5, none));

    EXPECT_EQ(show(U::nonDropFrameDuratiomFromStart(tc(1, 2, 3, 4), tc(1, 2, 3, 4), pal())), "0:0:0:1");
    EXPECT_EQ(show(U::nonDropFrameDuratiomFromStart(tc(0, 0, 59, 29), tc(0, 1, 0, 2), ntsc())), "0:0:0:2");
    EXPECT_FALSE(U::nonDropFrameDuratiomFromStart(tc(0, 0, 0, 5), tc(0, 0, 0, 1), pal())->valid());
    EXPECT_EQ(show(U::nonDropFrameDuratiomFromStart(tc(0, 0, 0, 0), DVTimeCode::undefinedTimeCode(), pal())),
              "255:255:255:255!");
    EXPECT_FALSE(U::nonDropFrameDuratiomFromStart(tc(0, 0, 0, 0), tc(0, 0, 0, 1), none));
    EXPECT_FALSE(U::nonDropFrameDuratiomFromStart(nullptr, tc(0, 0, 0, 1), pal()));

    EXPECT_EQ(show(U::nonDropTimeCodeFromTimeCode(tc(0, 1, 0, 2), ntsc())), "0:1:0:0");
    const auto t = tc(0, 1, 0, 2);
    EXPECT_EQ(U::nonDropTimeCodeFromTimeCode(t, pal()).get(), t.get());
    EXPECT_EQ(U::nonDropTimeCodeFromTimeCode(t, none).get(), t.get());
}

TEST(TimeCodeUtils, DropFrameLabelsFromNonDropLabels) {
    EXPECT_EQ(show(U::dropFrameTimeCodeFromTimeCode(tc(0, 1, 0, 0), ntsc())), "0:1:0:2");
    EXPECT_EQ(show(U::dropFrameTimeCodeFromTimeCode(tc(0, 9, 59, 29), ntsc())), "0:10:0:17");
    EXPECT_EQ(show(U::dropFrameTimeCodeFromTimeCode(tc(0, 10, 0, 0), ntsc())), "0:10:0:18");
    // Frames past the timebase are carried like any other count.
    EXPECT_EQ(show(U::dropFrameTimeCodeFromTimeCode(tc(0, 10, 0, 45), ntsc())), "0:10:2:3");
    const auto early = tc(0, 0, 30, 5);
    EXPECT_EQ(U::dropFrameTimeCodeFromTimeCode(early, ntsc()).get(), early.get());
    EXPECT_EQ(U::dropFrameTimeCodeFromTimeCode(tc(0, 1, 0, 0), pal())->frames(), 0);
    // No label for what is not one: it comes back as it is.
    const auto undefined = DVTimeCode::undefinedTimeCode();
    EXPECT_EQ(U::dropFrameTimeCodeFromTimeCode(undefined, ntsc()).get(), undefined.get());
    const auto negative = archived(true, 0, 5, 0, -3);
    EXPECT_EQ(U::dropFrameTimeCodeFromTimeCode(negative, ntsc()).get(), negative.get());
    EXPECT_FALSE(U::dropFrameTimeCodeFromTimeCode(nullptr, ntsc()));
    // A drop-frame system at another timebase still ends with a label.
    const auto odd = DVSystem::make(str("O"), str("Odd"), 1, 1, 1, 1, 1, 7, 1, 7, true);
    const auto label = U::dropFrameTimeCodeFromFrames(7 * 600, odd);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->asFrames(odd), 7u * 600);
}

TEST(TimeCodeUtils, SteppingBack) {
    EXPECT_EQ(show(U::previousTimeCodeFromTimeCode(tc(0, 1, 0, 2), ntsc())), "0:0:59:29");
    EXPECT_EQ(show(U::previousTimeCodeFromTimeCode(tc(0, 0, 0, 0), ntsc())), "23:59:59:29");
    EXPECT_EQ(show(U::previousTimeCodeFromTimeCode(tc(0, 1, 0, 5), ntsc())), "0:1:0:4");
    EXPECT_EQ(show(U::previousTimeCodeFromTimeCode(tc(0, 0, 0, 0), pal())), "23:59:59:24");
    EXPECT_EQ(show(U::previousTimeCodeFromTimeCode(tc(0, 0, 0, 0), none)), "23:59:59:29");
    EXPECT_EQ(show(U::previousTimeCodeFromTimeCode(Ref<DVTimeCode>(), none)), "23:59:59:29");
    EXPECT_EQ(show(U::previousTimeCodeFromTimeCode(Ref<DVTimeCode>(), ntsc())), "23:59:59:29");
    EXPECT_EQ(show(tc(10, 0, 0, 0)->previousFrameTimeCodeWithSystem(pal())), "9:59:59:24");
    const DVTimeCode onStack(0, 10, 0, 0);
    EXPECT_EQ(show(onStack.previousFrameTimeCodeWithSystem(ntsc())), "0:9:59:29");
}

TEST(TimeCodeUtils, PlainStepsReportTheDropFrameLabelsCrossed) {
    int32_t adjustment = -1;
    EXPECT_EQ(show(U::_nonDropTimeCodeByAddingFrames(2, tc(0, 0, 59, 29), ntsc(), &adjustment)), "0:1:0:1");
    EXPECT_EQ(adjustment, 2);
    EXPECT_EQ(show(U::_nonDropTimeCodeByAddingFrames(5, tc(23, 59, 59, 28), ntsc(), &adjustment)), "0:0:0:3");
    EXPECT_EQ(adjustment, 0);
    EXPECT_EQ(show(U::_nonDropTimeCodeByRemovingFrames(2, tc(0, 1, 0, 1), ntsc(), &adjustment)), "0:0:59:29");
    EXPECT_EQ(adjustment, 2590);
    EXPECT_EQ(show(U::_nonDropTimeCodeByAddingFrames(2, tc(0, 0, 59, 24), pal(), &adjustment)), "0:1:0:1");
    EXPECT_EQ(adjustment, 0);
    EXPECT_EQ(show(U::_nonDropTimeCodeByAddingFrames(2, tc(0, 0, 59, 29), none, nullptr)), "0:1:0:1");
    EXPECT_FALSE(U::_nonDropTimeCodeByAddingFrames(2, nullptr, ntsc(), &adjustment));
    // Hours no timecode could hold: the result wraps to a day, the count of drops does not overflow.
    EXPECT_EQ(show(U::_nonDropTimeCodeByAddingFrames(1, archived(true, 19884108, 0, 0, 0), ntsc(), &adjustment)),
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
            for (const auto& system : {ntsc(), pal(), none, odd}) {
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
            (void)t->hash();
        }
    EXPECT_EQ(results, std::size(extremes) * std::size(extremes) * 4 * 12);
}

}  // namespace
}  // namespace ossel
