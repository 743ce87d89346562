#include "dv/DVTimeCode.h"

#include <gtest/gtest.h>

#include "dv/DVTestSupport.h"
#include "foundation/Format.h"

namespace ossel {
namespace {

const Ref<DVSystem> ntsc = DVSystem::system525_60();
const Ref<DVSystem> pal = DVSystem::system625_50();
using dvtest::archived;
using dvtest::tc;

TEST(DVTimeCode, OutOfRangeComponentsAreUndefinedForGood) {
    EXPECT_TRUE(tc(23, 59, 59, 59)->valid());
    for (const auto& bad : {tc(24, 0, 0, 0), tc(-1, 0, 0, 0), tc(0, 60, 0, 0), tc(0, 0, 60, 0), tc(0, 0, 0, -1)}) {
        EXPECT_FALSE(bad->valid()) << bad->asColumnSeparatedString();
    }
    const auto t = tc(1, 2, 3, -1);
    EXPECT_EQ(dvtest::show(t), "1:2:3:255!");
    t->setFrames(4);
    EXPECT_FALSE(t->valid());
}

// Label texts take a short way for two-digit fields; any component an archive
// can hold must still give exactly what format() gives.
TEST(DVTimeCode, TextFormsMatchTheirFormatStringsForAnyComponent) {
    EXPECT_EQ(DVTimeCode::undefinedTimeCode()->description(), "--:--:--.--");
    EXPECT_EQ(DVTimeCode::undefinedTimeCode()->asSmpteString(), "--:--:--.--");
    EXPECT_EQ(DVTimeCode::undefinedTimeCode()->asColumnSeparatedString(), "--:--:--:--");
    const int32_t values[] = {0, 9, 10, 99, 100, 255, -1, -10, INT32_MAX, INT32_MIN};
    for (int32_t a : values) {
        for (int32_t b : values) {
            const auto t = archived(true, a, b, b, a);
            EXPECT_EQ(t->description(), format("%02d:%02d:%02d.%02d", a, b, b, a));
            EXPECT_EQ(t->asSmpteString(), format("%02d:%02d:%02d;%02d", a, b, b, a));
            EXPECT_EQ(t->asColumnSeparatedString(), format("%02d:%02d:%02d:%02d", a, b, b, a));
        }
    }
}

TEST(DVTimeCode, FrameCountsAndSeconds) {
    EXPECT_EQ(DVTimeCode::droppedFrames(tc(1, 10, 0, 2), ntsc), 126);
    EXPECT_EQ(DVTimeCode::droppedFrames(tc(1, 10, 0, 2), pal), 0);
    EXPECT_EQ(tc(0, 1, 0, 0)->asFrames(ntsc), 1798u);  // a dropped label counts back two frames
    EXPECT_EQ(tc(1, 0, 0, 0)->asNonDropFrames(ntsc), 108000u);
    EXPECT_EQ(tc(1, 0, 0, 0)->asFrames(nullptr), 108000u);
    // Undefined components count as 255, and a count below zero wraps as unsigned;
    // without a system the count is kept to 0 ... 2^32 - 1.
    EXPECT_EQ(DVTimeCode::undefinedTimeCode()->asFrames(pal), (255u * 3600 + 255 * 60 + 255) * 25 + 255);
    EXPECT_EQ(archived(true, 0, 0, 0, -5)->asFrames(pal), 0xFFFFFFFBu);
    EXPECT_EQ(archived(true, 0, 0, 0, -5)->asFrames(nullptr), 0u);
    EXPECT_EQ(archived(true, INT32_MAX, 0, 0, 0)->asFrames(nullptr), 0xFFFFFFFFu);

    EXPECT_DOUBLE_EQ(tc(0, 0, 1, 15)->asSeconds(nullptr), 1.5);
    EXPECT_DOUBLE_EQ(tc(0, 0, 1, 15)->asSeconds(pal), 1.6);
    EXPECT_DOUBLE_EQ(tc(0, 0, 1, 15)->asSeconds(ntsc), 1.0 + 15 / 29.97);
}

TEST(DVTimeCode, OrderingEqualityAndHash) {
    EXPECT_EQ(tc(0, 0, 0, 1)->compare(tc(0, 0, 1, 0)), -1);
    EXPECT_EQ(tc(2, 0, 0, 0)->compare(tc(1, 59, 59, 59)), 1);
    EXPECT_EQ(tc(1, 2, 3, 4)->compare(tc(1, 2, 3, 4)), 0);
    EXPECT_EQ(tc(1, 2, 3, 4)->compare(nullptr), 1);
    for (const auto& system : {ntsc, pal, Ref<DVSystem>()}) {  // counted at 30 frames a second in every system
        EXPECT_EQ(tc(0, 0, 0, 5)->compareFrames(tc(0, 0, 1, 0), system), 25);
    }
    EXPECT_EQ(tc(1, 0, 0, 0)->compareFrames(tc(0, 0, 0, 0), ntsc), 108000);

    // Validity takes no part: an archive can hold an invalid timecode with fields in range.
    const auto invalidInRange = archived(false, 1, 2, 3, 4);
    EXPECT_TRUE(invalidInRange->isEqual(tc(1, 2, 3, 4).get()));
    EXPECT_EQ(invalidInRange->hash(), tc(1, 2, 3, 4)->hash());
    EXPECT_FALSE(tc(1, 2, 3, 4)->isEqual(tc(1, 2, 3, 5).get()));
    EXPECT_FALSE(tc(0, 0, 0, 0)->isEqual(str("00:00:00.00").get()));
    EXPECT_NE(tc(1, 2, 3, 4)->hash(), tc(4, 3, 2, 1)->hash());
    (void)archived(true, INT32_MIN, INT32_MAX, -1, INT32_MAX)->hash();  // no overflow under the sanitizer
}

TEST(DVTimeCode, CopiesRecomputeValidityArchivesKeepItAsItIs) {
    const auto invalidInRange = archived(false, 1, 2, 3, 4);
    EXPECT_FALSE(invalidInRange->valid());
    const auto copy = kindCast<DVTimeCode>(invalidInRange->copy());
    EXPECT_NE(copy.get(), invalidInRange.get());
    EXPECT_TRUE(copy->valid());
    for (const auto& t : {tc(23, 59, 59, 29), invalidInRange, archived(true, 300, -4, 0, 77)}) {
        const auto back = kindCast<DVTimeCode>(Decoder::unarchiveObjectWithData(Coder::archivedDataWithRootObject(t.get())));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->asColumnSeparatedString(), t->asColumnSeparatedString());
        EXPECT_EQ(back->valid(), t->valid());
    }
}

}  // namespace
}  // namespace ossel
