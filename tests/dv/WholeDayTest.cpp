// Every frame of a day, in both systems: labels from frame counts against an
// independent closed form, counts back from labels, the written text read back,
// and one frame back from every label.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "dv/DVSystem.h"
#include "dv/DVTestSupport.h"
#include "dv/DVTimeCode.h"
#include "dv/DVTimeCodeFormatter.h"
#include "dv/DVTimeCodeUtils.h"

namespace ossel {
namespace {

using U = DVTimeCodeUtils;
using dvtest::show;

constexpr uint32_t kDropFrameDay = 2589408;  // 24 x 107892
constexpr uint32_t kNonDropDay30 = 2592000;  // 24 x 3600 x 30
constexpr uint32_t kPalDay = 2160000;        // 24 x 3600 x 25

std::string text(uint32_t label, uint32_t base) {
    return std::to_string(label / (3600 * base)) + ":" + std::to_string(label / (60 * base) % 60) + ":" +
           std::to_string(label / base % 60) + ":" + std::to_string(label % base);
}

// The textbook drop-frame layout: every ten minutes hold 17982 frames; within
// them the first minute keeps all 1800 labels and each later one holds 1798.
std::string dropFrameLabel(uint32_t n) {
    const uint32_t within = n % 17982;
    const uint32_t skipped = 18 * (n / 17982) + (within >= 2 ? 2 * ((within - 2) / 1798) : 0);
    return text(n + skipped, 30);
}
std::string palLabel(uint32_t n) { return text(n, 25); }

// Counts failures over a range and keeps the first one for the message.
struct Mismatches {
    uint64_t count = 0;
    std::string first;
    void check(bool ok, uint32_t n, const std::string& what) {
        if (!ok && count++ == 0) first = "frame " + std::to_string(n) + ": " + what;
    }
};

void checkWholeDay(const Ref<DVSystem>& system, uint32_t day, std::string (*expected)(uint32_t)) {
    const DVTimeCodeFormatter formatter;
    Mismatches bad;
    Ref<Object> read;
    for (uint32_t n = 0; n < day; ++n) {
        const std::string want = expected(n);
        const Ref<DVTimeCode> t = U::dropFrameTimeCodeFromFrames(n, system);
        bad.check(show(t) == want, n, "label " + show(t) + ", not " + want);
        bad.check(t->asFrames(system) == n, n, "asFrames gives " + std::to_string(t->asFrames(system)));
        const std::string written = formatter.stringForObjectValue(t).value_or("");
        const bool parsed = formatter.getObjectValue(&read, written, nullptr);
        bad.check(parsed && show(kindCast<DVTimeCode>(read)) == want, n, "'" + written + "' does not read back");
        const std::string before = expected(n == 0 ? day - 1 : n - 1);
        bad.check(show(U::previousTimeCodeFromTimeCode(t, system)) == before, n, "does not step back to " + before);
        // The plain layout of the count converts to the same label.
        const auto plain = U::nonDropFrameDurationFromFrames(n, system);
        bad.check(show(plain) == text(n, system->timebase()), n, "plain layout " + show(plain));
        bad.check(show(U::dropFrameTimeCodeFromTimeCode(plain, system)) == want, n, "from plain " + show(plain));
    }
    EXPECT_EQ(bad.count, 0u) << bad.first;
}

TEST(WholeDay, EveryFrameOf525_60) { checkWholeDay(DVSystem::system525_60(), kDropFrameDay, dropFrameLabel); }

TEST(WholeDay, EveryFrameOf625_50) {
    checkWholeDay(DVSystem::system625_50(), kPalDay, palLabel);
    EXPECT_FALSE(U::nonDropFrameDurationFromFrames(kPalDay, DVSystem::system625_50())->valid());
}

// Counts past the drop-frame day wrap until the plain layout reaches 24 hours.
TEST(WholeDay, CountsPastThe525_60DayWrapThenHaveNoLabel) {
    const auto& ntsc = DVSystem::system525_60();
    Mismatches bad;
    for (uint32_t n = kDropFrameDay; n < kNonDropDay30; ++n) {
        bad.check(show(U::dropFrameTimeCodeFromFrames(n, ntsc)) == dropFrameLabel(n - kDropFrameDay), n, "no wrap");
    }
    EXPECT_EQ(bad.count, 0u) << bad.first;
    for (uint32_t n : {kNonDropDay30, kNonDropDay30 + 1, UINT32_MAX}) {
        const auto t = U::dropFrameTimeCodeFromFrames(n, ntsc);
        EXPECT_FALSE(t->valid()) << n;
        EXPECT_EQ(t->hours(), TIMECODE_UNDEFINED_COMPONENT) << n;
    }
}

}  // namespace
}  // namespace ossel
