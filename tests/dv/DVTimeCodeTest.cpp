#include "dv/DVTimeCode.h"

#include <gtest/gtest.h>

#include "dv/DVTestSupport.h"
#include "foundation/Format.h"
#include "support/TestEnvironment.h"

namespace ossel {
namespace {

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

// Frame counts and ordering are the arithmetic table's.
TEST(DVTimeCode, Seconds) {
    EXPECT_DOUBLE_EQ(tc(0, 0, 1, 15)->asSeconds(nullptr), 1.5);
    EXPECT_DOUBLE_EQ(tc(0, 0, 1, 15)->asSeconds(DVSystem::system625_50()), 1.6);
    EXPECT_DOUBLE_EQ(tc(0, 0, 1, 15)->asSeconds(DVSystem::system525_60()), 1.0 + 15 / 29.97);
}

TEST(DVTimeCode, EqualityAndHash) {
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
        const auto back = kindCast<DVTimeCode>(testing::archiveRoundTrip(*t));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->asColumnSeparatedString(), t->asColumnSeparatedString());
        EXPECT_EQ(back->valid(), t->valid());
    }
}

}  // namespace
}  // namespace ossel
