#include "dv/TLDVSystemFormatter.h"

#include <gtest/gtest.h>

#include <optional>

#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"
#include "foundation/String.h"
#include "support/Cases.h"

namespace ossel {
namespace {

constexpr const char* kCustomText = "dvsystem//:Custom 1080?HD?1080?1920?576000?10?1500?25.000000?1.777778?25?0";

Ref<DVSystem> read(std::optional<std::string_view> text, std::string* error = nullptr) {
    Ref<Object> value = str("untouched");
    std::string message;
    const bool ok = TLDVSystemFormatter::defaultFormatter()->getObjectValue(&value, text, &message);
    EXPECT_EQ(ok, value != nullptr) << text.value_or("(nothing)");
    if (error) *error = message;
    return kindCast<DVSystem>(value);
}

std::string write(const Ref<Object>& value) {
    return TLDVSystemFormatter().stringForObjectValue(value).value_or("nothing");
}

Ref<DVSystem> custom() {
    return DVSystem::make(str("HD"), str("Custom 1080"), 1080, 1920, 576000, 10, 1500, 25.0, 16.0 / 9.0, 25, false);
}

TEST(TLDVSystemFormatter, WrittenTextsReadBackAsTheSameSystem) {
    EXPECT_EQ(write(DVSystem::system625_50()), "dvsystem//:System 625/50");
    EXPECT_EQ(read("dvsystem//:System 625/50").get(), DVSystem::system625_50().get());
    // Equal to the shared system although its rate differs: written short, read as the shared one.
    const auto faster =
        DVSystem::make(str("NTSC"), str("System 525/60"), 480, 720, 120000, 10, 1500, 30.0, 4.0 / 3.0, 30, true);
    EXPECT_EQ(read(write(faster)).get(), DVSystem::system525_60().get());

    EXPECT_EQ(write(custom()), kCustomText);
    const auto back = read(kCustomText);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(custom().get()));
    EXPECT_EQ(back->aspectRatio(), 1.777778);
    // A shared long name with other fields is no shared system; unsigned fields
    // past 2^31 are written as negative numbers and read back the same.
    const auto impostor =
        DVSystem::make(str("PAL"), str("System 625/50"), 576, 720, 144000, 12, 1800, 25.0, 4.0 / 3.0, 30, true);
    const auto huge = DVSystem::make(str("B"), str("Big"), 0x80000000u, 1, 2, 3, 4, 1, 1, 0xFFFFFFFFu, true);
    EXPECT_EQ(write(huge), "dvsystem//:Big?B?-2147483648?1?2?3?4?1.000000?1.000000?-1?1");
    for (const auto& system : {impostor, huge}) {
        const auto again = read(write(system));
        ASSERT_TRUE(again) << write(system);
        EXPECT_NE(again.get(), DVSystem::system625_50().get());
        EXPECT_TRUE(again->isEqual(system.get())) << write(system);
    }
    EXPECT_EQ(write(DVTimeCode::zeroTimeCode()), "Type error");
    EXPECT_EQ(write(Ref<Object>()), "Type error");
}

TEST(TLDVSystemFormatter, ScanningSkipsWhiteSpaceAndRereadsTrailingSets) {
    const auto spaced = read("dvsystem//:Custom 1080?HD? 1080 ?\t1920?576000 ?10?1500?25?1.777778?25?0\n");
    ASSERT_TRUE(spaced);
    EXPECT_TRUE(spaced->isEqual(custom().get()));
    // A second set of fields replaces the first, which ends with its "0".
    const auto second = read(std::string(kCustomText) + "Other?OT?1?2?3?4?5?6?7?8?300");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->longName()->utf8(), "Other");
    EXPECT_EQ(second->timebase(), 8u);
    EXPECT_TRUE(second->ntsc());  // 300 = 0x12C: the low byte is not 0
    EXPECT_FALSE(read("dvsystem//:A?B?1?2?3?4?5?6?7?8?256")->ntsc());
}

TEST(TLDVSystemFormatter, FailuresCarryTheirMessagesAndLeaveNoValue) {
    for (const auto& c : testing::casesFrom("dv/system-texts-refused.txt", 2)) {
        std::string error;
        EXPECT_FALSE(read(c[0] == "(none)" ? std::nullopt : std::optional<std::string_view>(c[0]), &error)) << c.where;
        EXPECT_EQ(error, c[1]) << c.where;
    }
}

}  // namespace
}  // namespace ossel
