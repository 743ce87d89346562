#include "dv/DVTimeCodeFormatter.h"

#include <gtest/gtest.h>

#include <optional>

#include "dv/DVTestSupport.h"
#include "foundation/Unicode.h"
#include "support/Cases.h"

namespace ossel {
namespace {

using dvtest::show;

// What a text reads as: the stored components, or the error message.
std::string read(std::optional<std::string_view> text) {
    Ref<Object> value = str("kept");
    std::string error;
    if (!DVTimeCodeFormatter().getObjectValue(&value, text, &error)) {
        return error + (value && value->isEqual(str("kept").get()) ? "" : " (value touched)");
    }
    return error.empty() ? show(kindCast<DVTimeCode>(value)) : "error set: " + error;
}

TEST(DVTimeCodeFormatter, WritesValidTimecodesAndAPlaceholderForAnythingElse) {
    const DVTimeCodeFormatter formatter;
    EXPECT_EQ(formatter.stringForObjectValue(DVTimeCode::timeCodeWithHours(23, 59, 59, 59)), "23:59:59.59");
    for (const Ref<Object>& other : {Ref<Object>(DVTimeCode::timeCodeWithHours(1, 2, 3, 60)),
                                     Ref<Object>(DVSystem::system525_60()), Ref<Object>(str("01:02:03.04")),
                                     Ref<Object>()}) {
        EXPECT_EQ(formatter.stringForObjectValue(other), "--:--:--.--");
    }
}

// Eleven UTF-16 units are read field by field, like intValue; any other length fails and leaves the value.
TEST(DVTimeCodeFormatter, ReadsElevenUnitsAndFailsForNothingOrAnotherLength) {
    for (const auto& c : testing::casesFrom("dv/timecode-texts.txt", 2)) EXPECT_EQ(read(c[0]), c[1]) << c.where;
    EXPECT_EQ(read(std::nullopt), "Cannot parse an undefined string");
    EXPECT_FALSE(DVTimeCodeFormatter().getObjectValue(nullptr, "short", nullptr));
    // Malformed UTF-8 reads or fails by its UTF-16 length alone, never crashes.
    for (const std::string text : {"01:02:03.\xe9\xe9", "01:02:03:\xe9\xe9", "\xf0\x9f\x98:02:03.0", "\xff\xfe:02:03.04",
                                   "0\xc3:02:03.04", "01:02:03.0\xf4\x90\x80\x80", "\x80\x80\x80\x80\x80\x80\x80\x80"}) {
        Ref<Object> value;
        EXPECT_EQ(DVTimeCodeFormatter().getObjectValue(&value, text, nullptr), unicode::utf16Length(text) == 11) << text;
        EXPECT_EQ(value != nullptr, unicode::utf16Length(text) == 11) << text;
    }
}

}  // namespace
}  // namespace ossel
