// Every frame of a day, in both systems: labels from frame counts against an
// independent closed form, counts back from labels, the stored text read back,
// and one frame back from every label.

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

constexpr uint32_t kDropFrameDay = 2589408;   // 24 x 107892
constexpr uint32_t kNonDropDay30 = 2592000;   // 24 x 3600 x 30
constexpr uint32_t kPalDay = 2160000;         // 24 x 3600 x 25

struct Label {
    int32_t h, m, s, f;
};

std::string text(const Label& l) {
    std::ostringstream out;
    out << l.h << ':' << l.m << ':' << l.s << ':' << l.f;
    return out.str();
}

// The textbook drop-frame layout: every ten minutes hold 17982 frames; within
// them the first minute keeps all 1800 labels and each later one holds 1798.
Label dropFrameLabel(uint32_t n) {
    const uint32_t tens = n / 17982;
    const uint32_t within = n % 17982;
    uint32_t skipped = 18 * tens;
    if (within >= 2) skipped += 2 * ((within - 2) / 1798);
    const uint32_t label = n + skipped;
    return {static_cast<int32_t>(label / 108000), static_cast<int32_t>(label / 1800 % 60),
            static_cast<int32_t>(label / 30 % 60), static_cast<int32_t>(label % 30)};
}

Label plainLabel(uint32_t n, uint32_t timebase) {
    return {static_cast<int32_t>(n / (3600 * timebase)), static_cast<int32_t>(n / (60 * timebase) % 60),
            static_cast<int32_t>(n / timebase % 60), static_cast<int32_t>(n % timebase)};
}

bool same(const DVTimeCode* t, const Label& l) {
    return t && t->valid() && t->hours() == l.h && t->minutes() == l.m && t->seconds() == l.s && t->frames() == l.f;
}

// Counts mismatches over a range and keeps the first one for the message.
class Mismatches {
public:
    void note(uint32_t n, const std::string& what) {
        if (count_++ == 0) first_ = "frame " + std::to_string(n) + ": " + what;
    }
    uint64_t count() const { return count_; }
    const std::string& first() const { return first_; }

private:
    uint64_t count_ = 0;
    std::string first_;
};

// Every label of a day, built from its frame count, names that count again.
void checkLabelsFromCounts(const Ref<DVSystem>& system, uint32_t dayFrames, Label (*expected)(uint32_t)) {
    Mismatches bad;
    for (uint32_t n = 0; n < dayFrames; ++n) {
        const Ref<DVTimeCode> t = DVTimeCodeUtils::dropFrameTimeCodeFromFrames(n, system);
        const Label want = expected(n);
        if (!same(t.get(), want)) bad.note(n, "label is not " + text(want));
        else if (t->asFrames(system) != n) bad.note(n, "asFrames gives " + std::to_string(t->asFrames(system)));
    }
    EXPECT_EQ(bad.count(), 0u) << bad.first();
}

// The stored text of every label reads back as an equal, valid timecode.
void checkTextsReadBack(uint32_t dayFrames, Label (*expected)(uint32_t)) {
    DVTimeCodeFormatter formatter;
    Mismatches bad;
    Ref<Object> read;
    for (uint32_t n = 0; n < dayFrames; ++n) {
        const Label l = expected(n);
        const DVTimeCode t(l.h, l.m, l.s, l.f);
        const std::string written = formatter.stringForObjectValue(&t).value_or("");
        if (!formatter.getObjectValue(&read, written, nullptr)) {
            bad.note(n, "'" + written + "' does not read");
            continue;
        }
        const auto* back = dynamic_cast<const DVTimeCode*>(read.get());
        if (!same(back, l)) bad.note(n, "'" + written + "' reads back as another timecode");
    }
    EXPECT_EQ(bad.count(), 0u) << bad.first();
}

// One frame back from every label is the label of the count before; from the
// first label of the day it is the last one.
void checkStepsBack(const Ref<DVSystem>& system, uint32_t dayFrames, Label (*expected)(uint32_t)) {
    Mismatches bad;
    for (uint32_t n = 0; n < dayFrames; ++n) {
        const Label l = expected(n);
        const DVTimeCode t(l.h, l.m, l.s, l.f);
        const Label want = expected(n == 0 ? dayFrames - 1 : n - 1);
        const Ref<DVTimeCode> back = DVTimeCodeUtils::previousTimeCodeFromTimeCode(&t, system);
        if (!same(back.get(), want)) bad.note(n, "steps back to " + back->description() + ", not " + text(want));
    }
    EXPECT_EQ(bad.count(), 0u) << bad.first();
}

Label palLabel(uint32_t n) { return plainLabel(n, 25); }

TEST(WholeDay525_60, EveryCountGivesTheClosedFormLabelAndBack) {
    checkLabelsFromCounts(DVSystem::system525_60(), kDropFrameDay, dropFrameLabel);
}

TEST(WholeDay525_60, EveryLabelTextReadsBackEqual) {
    checkTextsReadBack(kDropFrameDay, dropFrameLabel);
}

TEST(WholeDay525_60, EveryLabelStepsBackToTheCountBefore) {
    checkStepsBack(DVSystem::system525_60(), kDropFrameDay, dropFrameLabel);
}

TEST(WholeDay525_60, CountsPastTheDayWrapUntilThePlainLayoutReaches24Hours) {
    const auto& ntsc = DVSystem::system525_60();
    Mismatches bad;
    for (uint32_t n = kDropFrameDay; n < kNonDropDay30; ++n) {
        const auto t = DVTimeCodeUtils::dropFrameTimeCodeFromFrames(n, ntsc);
        if (!same(t.get(), dropFrameLabel(n - kDropFrameDay))) bad.note(n, "does not wrap to " + t->description());
    }
    EXPECT_EQ(bad.count(), 0u) << bad.first();
    for (uint32_t n : {kNonDropDay30, kNonDropDay30 + 1, UINT32_MAX}) {
        const auto t = DVTimeCodeUtils::dropFrameTimeCodeFromFrames(n, ntsc);
        ASSERT_TRUE(t);
        EXPECT_FALSE(t->valid()) << n;
        EXPECT_EQ(t->hours(), TIMECODE_UNDEFINED_COMPONENT) << n;
    }
}

TEST(WholeDay525_60, NonDropLabelsOfEveryCountConvertToTheDropFrameLabel) {
    const auto& ntsc = DVSystem::system525_60();
    Mismatches bad;
    for (uint32_t n = 0; n < kDropFrameDay; ++n) {
        const auto plain = DVTimeCodeUtils::nonDropFrameDurationFromFrames(n, ntsc);
        if (!same(plain.get(), plainLabel(n, 30))) {
            bad.note(n, "plain layout " + plain->description());
            continue;
        }
        if (!same(DVTimeCodeUtils::dropFrameTimeCodeFromTimeCode(plain, ntsc).get(), dropFrameLabel(n))) {
            bad.note(n, "drop-frame label of " + plain->description());
        }
    }
    EXPECT_EQ(bad.count(), 0u) << bad.first();
}

TEST(WholeDay625_50, EveryCountGivesThePlainLabelAndBack) {
    checkLabelsFromCounts(DVSystem::system625_50(), kPalDay, palLabel);
    const auto& pal = DVSystem::system625_50();
    Mismatches bad;
    for (uint32_t n = 0; n < kPalDay; ++n) {
        if (!same(DVTimeCodeUtils::nonDropFrameDurationFromFrames(n, pal).get(), palLabel(n))) bad.note(n, "layout");
    }
    EXPECT_EQ(bad.count(), 0u) << bad.first();
    EXPECT_FALSE(DVTimeCodeUtils::nonDropFrameDurationFromFrames(kPalDay, pal)->valid());
}

TEST(WholeDay625_50, EveryLabelTextReadsBackEqual) {
    checkTextsReadBack(kPalDay, palLabel);
}

TEST(WholeDay625_50, EveryLabelStepsBackToTheCountBefore) {
    checkStepsBack(DVSystem::system625_50(), kPalDay, palLabel);
}

}  // namespace
}  // namespace ossel
