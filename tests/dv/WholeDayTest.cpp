// Every frame of a day, in both systems: labels from frame counts against an
// independent closed form, counts back from labels, the written text read back,
// and one frame back from every label. Labels are compared as numbers; a text
// is built only for the first frame that fails.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"
#include "dv/DVTimeCodeFormatter.h"
#include "dv/DVTimeCodeUtils.h"

namespace ossel {
namespace {

using U = DVTimeCodeUtils;

constexpr uint32_t kDropFrameDay = 2589408;  // 24 x 107892
constexpr uint32_t kNonDropDay30 = 2592000;  // 24 x 3600 x 30
constexpr uint32_t kPalDay = 2160000;        // 24 x 3600 x 25

struct Label {
    int32_t h = -1, m = -1, s = -1, f = -1;
    bool valid = false;
    bool operator==(const Label&) const = default;
};

Label labelOf(const Ref<Object>& value) {
    const auto* t = dynamic_cast<const DVTimeCode*>(value.get());
    return t ? Label{t->hours(), t->minutes(), t->seconds(), t->frames(), t->valid()} : Label{};
}

std::ostream& operator<<(std::ostream& out, const Label& l) {
    return out << l.h << ':' << l.m << ':' << l.s << ':' << l.f << (l.valid ? "" : "!");
}

Label plainLabel(uint32_t n, uint32_t base) {
    return {static_cast<int32_t>(n / (3600 * base)), static_cast<int32_t>(n / (60 * base) % 60),
            static_cast<int32_t>(n / base % 60), static_cast<int32_t>(n % base), true};
}

// The textbook drop-frame layout: every ten minutes hold 17982 frames; within
// them the first minute keeps all 1800 labels and each later one holds 1798.
Label dropFrameLabel(uint32_t n) {
    const uint32_t within = n % 17982;
    const uint32_t skipped = 18 * (n / 17982) + (within >= 2 ? 2 * ((within - 2) / 1798) : 0);
    return plainLabel(n + skipped, 30);
}
Label palLabel(uint32_t n) { return plainLabel(n, 25); }

// Counts failures over a range; only the first is put into words.
struct Mismatches {
    uint64_t count = 0;
    std::string first;
    template <class T>
    void check(uint32_t n, const char* what, const T& got, const T& want) {
        if (got == want || count++ != 0) return;
        std::ostringstream out;
        out << "first at frame " << n << ", " << what << ": " << got << ", not " << want;
        first = out.str();
    }
};

void checkWholeDay(const Ref<DVSystem>& system, uint32_t day, Label (*expected)(uint32_t)) {
    const DVTimeCodeFormatter formatter;
    const uint32_t base = static_cast<uint32_t>(system->timebase());
    Mismatches bad;
    Ref<Object> read;
    for (uint32_t n = 0; n < day; ++n) {
        const Label want = expected(n);
        const Ref<DVTimeCode> t = U::dropFrameTimeCodeFromFrames(n, system);
        bad.check(n, "label", labelOf(t), want);
        bad.check(n, "count back", t->asFrames(system), n);
        read.reset();
        formatter.getObjectValue(&read, formatter.stringForObjectValue(t), nullptr);
        bad.check(n, "text read back", labelOf(read), want);
        bad.check(n, "one frame back", labelOf(U::previousTimeCodeFromTimeCode(t, system)),
                  expected(n == 0 ? day - 1 : n - 1));
        // The plain layout of the count converts to the same label.
        const auto plain = U::nonDropFrameDurationFromFrames(n, system);
        bad.check(n, "plain layout", labelOf(plain), plainLabel(n, base));
        bad.check(n, "from the plain layout", labelOf(U::dropFrameTimeCodeFromTimeCode(plain, system)), want);
    }
    EXPECT_EQ(bad.count, 0u) << bad.first;
}

TEST(WholeDay, EveryFrameOf525_60) { checkWholeDay(DVSystem::system525_60(), kDropFrameDay, dropFrameLabel); }

TEST(WholeDay, EveryFrameOf625_50) {
    checkWholeDay(DVSystem::system625_50(), kPalDay, palLabel);
    EXPECT_FALSE(U::nonDropFrameDurationFromFrames(kPalDay, DVSystem::system625_50())->valid());
}

// Counts past the drop-frame day wrap until the plain layout reaches 24 hours.
TEST(DayWrap, CountsPastThe525_60DayWrapThenHaveNoLabel) {
    const auto& ntsc = DVSystem::system525_60();
    Mismatches bad;
    for (uint32_t n = kDropFrameDay; n < kNonDropDay30; ++n) {
        bad.check(n, "wrapped label", labelOf(U::dropFrameTimeCodeFromFrames(n, ntsc)), dropFrameLabel(n - kDropFrameDay));
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
