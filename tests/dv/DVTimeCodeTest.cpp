#include "dv/DVTimeCode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dv/DVSystem.h"
#include "dv/DVTestSupport.h"
#include "foundation/Archiver.h"
#include "foundation/Format.h"
#include "foundation/String.h"

namespace ossel {
namespace {

const Ref<DVSystem>& ntsc() { return DVSystem::system525_60(); }
const Ref<DVSystem>& pal() { return DVSystem::system625_50(); }
using dvtest::archived;
using dvtest::tc;

TEST(DVTimeCode, SettersMakeOutOfRangeComponentsUndefinedForGood) {
    const auto t = tc(24, 0, 0, 0);
    EXPECT_FALSE(t->valid());
    EXPECT_EQ(t->hours(), TIMECODE_UNDEFINED_COMPONENT);
    EXPECT_EQ(t->description(), "--:--:--.--");
    t->setHours(5);
    EXPECT_EQ(t->hours(), 5);
    EXPECT_FALSE(t->valid());

    EXPECT_TRUE(tc(23, 59, 59, 59)->valid());
    EXPECT_TRUE(tc(0, 0, 0, 29)->valid());
    for (const auto& bad : {tc(-1, 0, 0, 0), tc(0, 60, 0, 0), tc(0, 0, 60, 0), tc(0, 0, 0, 60), tc(0, 0, 0, -1)}) {
        EXPECT_FALSE(bad->valid()) << bad->asColumnSeparatedString();
    }
    const auto frames = tc(1, 2, 3, -1);
    EXPECT_EQ(frames->frames(), 255);
    EXPECT_EQ(frames->seconds(), 3);

    const auto zero = DVTimeCode::zeroTimeCode();
    EXPECT_TRUE(zero->valid());
    EXPECT_EQ(zero->asColumnSeparatedString(), "00:00:00:00");
    EXPECT_TRUE(DVTimeCode::timeCodeWithString("12:34:56:07")->isEqual(zero.get()));
    const DVTimeCode plain;
    EXPECT_TRUE(plain.isEqual(zero.get()));
    const auto undefined = DVTimeCode::undefinedTimeCode();
    EXPECT_FALSE(undefined->valid());
    EXPECT_EQ(undefined->frames(), 255);
}

// The texts are written without the generic formatter; they must still be
// exactly what the format strings give, for any component an archive can hold.
TEST(DVTimeCode, TextFormsMatchTheirFormatStringsForAnyComponent) {
    const auto t = tc(12, 34, 56, 7);
    EXPECT_EQ(t->description(), "12:34:56.07");
    EXPECT_EQ(t->asSmpteString(), "12:34:56;07");
    EXPECT_EQ(t->asColumnSeparatedString(), "12:34:56:07");
    EXPECT_EQ(DVTimeCode::undefinedTimeCode()->asSmpteString(), "--:--:--.--");
    EXPECT_EQ(DVTimeCode::undefinedTimeCode()->asColumnSeparatedString(), "--:--:--:--");
    const std::vector<int32_t> values = {0, 1, 9, 10, 59, 99, 100, 255, 1000, -1, -9, -10, -100, INT32_MAX, INT32_MIN};
    for (int32_t a : values) {
        for (int32_t b : values) {
            const auto t = archived(true, a, b, b, a);
            ASSERT_TRUE(t);
            EXPECT_EQ(t->description(), format("%02d:%02d:%02d.%02d", a, b, b, a));
            EXPECT_EQ(t->asSmpteString(), format("%02d:%02d:%02d;%02d", a, b, b, a));
            EXPECT_EQ(t->asColumnSeparatedString(), format("%02d:%02d:%02d:%02d", a, b, b, a));
        }
    }
}

TEST(DVTimeCode, DroppedFramesAndFrameCounts) {
    EXPECT_EQ(DVTimeCode::droppedFrames(tc(1, 10, 0, 2), ntsc()), 126);
    EXPECT_EQ(DVTimeCode::droppedFrames(tc(0, 1, 0, 0), ntsc()), 2);
    EXPECT_EQ(DVTimeCode::droppedFrames(tc(0, 10, 0, 0), ntsc()), 18);
    EXPECT_EQ(DVTimeCode::droppedFrames(tc(1, 10, 0, 2), pal()), 0);
    EXPECT_EQ(DVTimeCode::droppedFrames(tc(1, 10, 0, 2), nullptr), 0);
    EXPECT_EQ(DVTimeCode::droppedFrames(nullptr, ntsc()), 0);

    EXPECT_EQ(tc(0, 1, 0, 2)->asFrames(ntsc()), 1800u);
    EXPECT_EQ(tc(0, 10, 0, 0)->asFrames(ntsc()), 17982u);
    EXPECT_EQ(tc(1, 0, 0, 0)->asFrames(ntsc()), 107892u);
    EXPECT_EQ(tc(23, 59, 59, 29)->asFrames(ntsc()), 2589407u);
    EXPECT_EQ(tc(1, 0, 0, 0)->asNonDropFrames(ntsc()), 108000u);
    EXPECT_EQ(tc(1, 0, 0, 0)->asFrames(pal()), 90000u);
    EXPECT_EQ(tc(1, 0, 0, 0)->asFrames(nullptr), 108000u);
    EXPECT_EQ(tc(1, 0, 0, 0)->asNonDropFrames(nullptr), 108000u);
    // A dropped label counts back two frames: ;00 of minute 1 is frame 1798.
    EXPECT_EQ(tc(0, 1, 0, 0)->asFrames(ntsc()), 1798u);
    // Undefined components count as 255, and a count below zero wraps as unsigned.
    const auto undefined = DVTimeCode::undefinedTimeCode();
    EXPECT_EQ(undefined->asFrames(pal()), (255u * 3600 + 255 * 60 + 255) * 25 + 255);
    EXPECT_EQ(archived(true, 0, 0, 0, -5)->asFrames(pal()), 0xFFFFFFFBu);
    // Without a system the count is kept to 0 ... 2^32 - 1.
    EXPECT_EQ(archived(true, 0, 0, 0, -5)->asFrames(nullptr), 0u);
    EXPECT_EQ(archived(true, INT32_MAX, 0, 0, 0)->asFrames(nullptr), 0xFFFFFFFFu);
}

TEST(DVTimeCode, SecondsUseTheAverageRateWithoutDropFrame) {
    EXPECT_DOUBLE_EQ(tc(0, 0, 1, 15)->asSeconds(nullptr), 1.5);
    EXPECT_DOUBLE_EQ(tc(0, 0, 1, 15)->asSeconds(pal()), 1.6);
    EXPECT_DOUBLE_EQ(tc(0, 0, 1, 15)->asSeconds(ntsc()), 1.0 + 15 / 29.97);
    EXPECT_NEAR(tc(0, 0, 1, 15)->asSeconds(ntsc()), 1.5005005, 1e-7);
    EXPECT_NEAR(tc(0, 1, 0, 2)->asSeconds(ntsc()), 60.0667, 1e-4);
}

TEST(DVTimeCode, OrderingAndDistance) {
    EXPECT_EQ(tc(0, 0, 0, 1)->compare(tc(0, 0, 1, 0)), -1);
    EXPECT_EQ(tc(0, 0, 1, 0)->compare(tc(0, 0, 0, 1)), 1);
    EXPECT_EQ(tc(1, 2, 3, 4)->compare(tc(1, 2, 3, 4)), 0);
    EXPECT_EQ(tc(1, 2, 3, 4)->compare(nullptr), 1);
    EXPECT_EQ(DVTimeCode::undefinedTimeCode()->compare(tc(23, 59, 59, 59)), 1);
    EXPECT_EQ(tc(2, 0, 0, 0)->compare(tc(1, 59, 59, 59)), 1);

    for (const auto& system : {ntsc(), pal(), Ref<DVSystem>()}) {
        EXPECT_EQ(tc(0, 0, 1, 0)->compareFrames(tc(0, 0, 0, 5), system), 25);
        EXPECT_EQ(tc(0, 0, 0, 5)->compareFrames(tc(0, 0, 1, 0), system), 25);
    }
    EXPECT_EQ(tc(1, 0, 0, 0)->compareFrames(tc(0, 0, 0, 0), ntsc()), 108000);
}

TEST(DVTimeCode, EqualityAndHashLookAtComponentsOnly) {
    EXPECT_TRUE(DVTimeCode::undefinedTimeCode()->isEqual(DVTimeCode::undefinedTimeCode().get()));
    const auto invalidInRange = archived(false, 1, 2, 3, 4);
    ASSERT_TRUE(invalidInRange);
    EXPECT_TRUE(invalidInRange->isEqual(tc(1, 2, 3, 4).get()));
    EXPECT_FALSE(tc(1, 2, 3, 4)->isEqual(tc(1, 2, 3, 5).get()));
    EXPECT_FALSE(tc(1, 2, 3, 4)->isEqual(tc(2, 2, 3, 4).get()));
    EXPECT_FALSE(tc(0, 0, 0, 0)->isEqual(nullptr));
    EXPECT_FALSE(tc(0, 0, 0, 0)->isEqual(str("00:00:00.00").get()));
    EXPECT_EQ(tc(1, 2, 3, 4)->hash(), 31810u);
    EXPECT_EQ(invalidInRange->hash(), 31810u);
    EXPECT_EQ(archived(true, -1, 0, 0, 0)->hash(), static_cast<uint32_t>(-1) * 29791u);
}

TEST(DVTimeCode, CopiesAreNewAndRecomputeValidity) {
    const auto t = tc(1, 2, 3, 4);
    const auto copy = kindCast<DVTimeCode>(t->copy());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), t.get());
    EXPECT_TRUE(copy->isEqual(t.get()));
    EXPECT_FALSE(kindCast<DVTimeCode>(DVTimeCode::undefinedTimeCode()->copy())->valid());
    // Read with valid false but components in range: stays invalid, its copy is valid.
    const auto invalidInRange = archived(false, 1, 2, 3, 4);
    EXPECT_FALSE(invalidInRange->valid());
    EXPECT_TRUE(kindCast<DVTimeCode>(invalidInRange->copy())->valid());
}

TEST(DVTimeCode, ArchivesKeepTheFieldsAsTheyAre) {
    for (const auto& t : {tc(23, 59, 59, 29), DVTimeCode::undefinedTimeCode(), archived(true, 300, -4, 0, 77)}) {
        const auto bytes = Coder::archivedDataWithRootObject(t.get());
        const auto back = kindCast<DVTimeCode>(Decoder::unarchiveObjectWithData(bytes));
        ASSERT_TRUE(back);
        EXPECT_TRUE(back->isEqual(t.get()));
        EXPECT_EQ(back->valid(), t->valid());
        EXPECT_EQ(back->hours(), t->hours());
    }
    const auto bytes = Coder::archivedDataWithRootObject(tc(1, 2, 3, 4).get());
    for (size_t keep = 0; keep < bytes.size(); ++keep) {
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
        EXPECT_FALSE(Decoder::unarchiveObjectWithData(cut)) << keep;
    }
}

#if defined(__SANITIZE_ADDRESS__)
// Freed timecodes are kept for reuse; the sanitizer must still see them as freed.
TEST(DVTimeCodeDeathTest, TouchingAFreedTimecodeIsCaught) {
    const auto touchFreed = [] {
        auto t = DVTimeCode::timeCodeWithHours(1, 2, 3, 4);
        const DVTimeCode* freed = t.get();
        t.reset();
        return freed->hours();
    };
    EXPECT_DEATH(touchFreed(), "use-after-poison");
}
#endif

}  // namespace
}  // namespace ossel
