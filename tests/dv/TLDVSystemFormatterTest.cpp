#include "dv/TLDVSystemFormatter.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"
#include "foundation/String.h"

namespace ossel {
namespace {

constexpr const char* kCustomText = "dvsystem//:Custom 1080?HD?1080?1920?576000?10?1500?25.000000?1.777778?25?0";

struct Read {
    bool ok;
    Ref<Object> value;
    std::string error;
};

Read read(std::optional<std::string_view> text) {
    Read result{false, str("untouched"), ""};
    result.ok = TLDVSystemFormatter::defaultFormatter()->getObjectValue(&result.value, text, &result.error);
    return result;
}

std::string write(const Ref<Object>& value) {
    return TLDVSystemFormatter().stringForObjectValue(value).value_or("nothing");
}

Ref<DVSystem> custom() {
    return DVSystem::make(str("HD"), str("Custom 1080"), 1080, 1920, 576000, 10, 1500, 25.0, 16.0 / 9.0, 25, false);
}

TEST(TLDVSystemFormatter, SharedSystemsAreWrittenByNameAndReadBackAsThemselves) {
    EXPECT_EQ(write(DVSystem::system625_50()), "dvsystem//:System 625/50");
    EXPECT_EQ(write(DVSystem::system525_60()), "dvsystem//:System 525/60");
    const Read pal = read("dvsystem//:System 625/50");
    EXPECT_TRUE(pal.ok);
    EXPECT_EQ(pal.value.get(), DVSystem::system625_50().get());
    // Equal to the shared system although its rate differs: written short, read as the shared one.
    const auto faster =
        DVSystem::make(str("NTSC"), str("System 525/60"), 480, 720, 120000, 10, 1500, 30.0, 4.0 / 3.0, 30, true);
    EXPECT_EQ(write(faster), "dvsystem//:System 525/60");
    const Read back = read(write(faster));
    EXPECT_EQ(back.value.get(), DVSystem::system525_60().get());
    EXPECT_EQ(DVSystem::system525_60()->averageFps(), 29.97);
}

TEST(TLDVSystemFormatter, OtherSystemsAreWrittenFieldByFieldAndReadBackEqual) {
    EXPECT_EQ(write(custom()), kCustomText);
    const Read r = read(kCustomText);
    ASSERT_TRUE(r.ok) << r.error;
    const auto system = kindCast<DVSystem>(r.value);
    ASSERT_TRUE(system);
    EXPECT_TRUE(system->isEqual(custom().get()));
    EXPECT_EQ(system->aspectRatio(), 1.777778);
    EXPECT_EQ(system->name()->utf8(), "HD");
    EXPECT_EQ(system->longName()->utf8(), "Custom 1080");
    EXPECT_EQ(system->timebase(), 25u);
    EXPECT_FALSE(system->ntsc());
    // A shared long name with other fields is no shared system: full form, a new system back.
    const auto impostor =
        DVSystem::make(str("PAL"), str("System 625/50"), 576, 720, 144000, 12, 1800, 25.0, 4.0 / 3.0, 30, true);
    const std::string text = write(impostor);
    EXPECT_EQ(text, "dvsystem//:System 625/50?PAL?576?720?144000?12?1800?25.000000?1.333333?30?1");
    const auto impostorBack = kindCast<DVSystem>(read(text).value);
    ASSERT_TRUE(impostorBack);
    EXPECT_NE(impostorBack.get(), DVSystem::system625_50().get());
    EXPECT_TRUE(impostorBack->isEqual(impostor.get()));
    // Unsigned fields past 2^31 are written as negative numbers and read back the same.
    const auto huge = DVSystem::make(str("B"), str("Big"), 0x80000000u, 1, 2, 3, 4, 1, 1, 0xFFFFFFFFu, true);
    EXPECT_EQ(write(huge), "dvsystem//:Big?B?-2147483648?1?2?3?4?1.000000?1.000000?-1?1");
    const auto hugeBack = kindCast<DVSystem>(read(write(huge)).value);
    ASSERT_TRUE(hugeBack);
    EXPECT_TRUE(hugeBack->isEqual(huge.get()));
}

TEST(TLDVSystemFormatter, ScanningSkipsWhiteSpaceAndRereadsTrailingSets) {
    const Read spaced = read("dvsystem//:Custom 1080?HD? 1080 ?\t1920?576000 ?10?1500?25?1.777778?25?0\n");
    ASSERT_TRUE(spaced.ok) << spaced.error;
    EXPECT_TRUE(spaced.value->isEqual(custom().get()));
    // A second set of fields replaces the first.
    const Read twice = read(std::string(kCustomText) + "Other?OT?1?2?3?4?5?6?7?8?300");
    ASSERT_TRUE(twice.ok) << twice.error;
    const auto second = kindCast<DVSystem>(twice.value);
    EXPECT_EQ(second->longName()->utf8(), "Other");  // the first set ends with its "0"
    EXPECT_EQ(second->timebase(), 8u);
    EXPECT_TRUE(second->ntsc());  // 300 = 0x12C: the low byte is not 0
    const auto lowByteZero = kindCast<DVSystem>(read("dvsystem//:A?B?1?2?3?4?5?6?7?8?256").value);
    ASSERT_TRUE(lowByteZero);
    EXPECT_FALSE(lowByteZero->ntsc());
}

TEST(TLDVSystemFormatter, FailuresCarryTheirMessagesAndLeaveNoValue) {
    const struct {
        std::optional<std::string_view> text;
        const char* message;
    } cases[] = {
        {std::nullopt, "Undefined type to parse"},
        {"Type error", "Undefined type to parse"},
        {"System 625/50", "Bad prefix for dv system"},
        {"DVSYSTEM//:System 625/50", "Bad prefix for dv system"},
        {"dvsystem//:", "Failed to scan"},
        {"dvsystem//:  \n", "Failed to scan"},
        {"dvsystem//:Custom 1080?HD?1080?1920?576000?10?1500?25.000000?1.777778?25", "Failed to scan"},
        {"dvsystem//:Custom 1080??1080?1920?576000?10?1500?25.000000?1.777778?25?0", "Failed to scan"},
        {"dvsystem//:Custom 1080?HD?1080?x?576000?10?1500?25.000000?1.777778?25?0", "Failed to scan"},
        {"dvsystem//:Custom 1080?HD?1080?1920?576000?10?1500?.?1.777778?25?0", "Failed to scan"},
        {"dvsystem//:System 525/60 ", "Failed to scan"},
        {std::string_view(kCustomText).substr(0, 40), "Failed to scan"},
    };
    for (const auto& c : cases) {
        const Read r = read(c.text);
        EXPECT_FALSE(r.ok) << c.text.value_or("(nothing)");
        EXPECT_FALSE(r.value) << c.text.value_or("(nothing)");
        EXPECT_EQ(r.error, c.message) << c.text.value_or("(nothing)");
    }
}

TEST(TLDVSystemFormatter, WritingSomethingElseGivesTypeError) {
    EXPECT_EQ(write(DVTimeCode::zeroTimeCode()), "Type error");
    EXPECT_EQ(write(Ref<Object>()), "Type error");
    EXPECT_EQ(write(str("dvsystem//:System 625/50")), "Type error");
}

}  // namespace
}  // namespace ossel
