#include "dv/DVTimeCodeFormatter.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "dv/DVSystem.h"
#include "dv/DVTestSupport.h"
#include "dv/DVTimeCode.h"
#include "foundation/String.h"
#include "foundation/Unicode.h"

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

TEST(DVTimeCodeFormatter, ReadsElevenUnitsFieldByFieldLikeIntValue) {
    const std::pair<const char*, const char*> cases[] = {
        {"01:02:03.04", "1:2:3:4"},         {"01x02y03z04", "1:2:3:4"},   // any separator
        {"--:--:--.--", "255:255:255:255!"}, {"--:--:--:--", "0:0:0:0"},
        {"25:00:00.00", "255:0:0:0!"},      {"-1:00:00.00", "255:0:0:0!"},
        {"+1:0x:-0.7a", "1:0:0:7"},         {"1 :\t2:3-.4 ", "1:2:3:4"},
        {"00:00:00.45", "0:0:0:45"},
        // Eleven UTF-16 units that are not all ASCII: the fields are taken by unit.
        {"01:02:03.\u00e94", "1:2:3:0"},    {"\u00a01:02:03.04", "1:2:3:4"},
        {"01:02:\U0001F600.04", "1:2:0:4"},
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(read(text), want) << text;
}

TEST(DVTimeCodeFormatter, FailsForNothingOrTheWrongLengthAndLeavesTheValue) {
    EXPECT_EQ(read(std::nullopt), "Cannot parse an undefined string");
    for (const std::string text : {"1:02:03.04", "001:02:03.04", "", "01:02:03.04\n", "01:02:03.\u00e9"}) {
        EXPECT_EQ(read(text), "String '" + text + "' cannot be parsed into a timecode as it has not the expected length");
    }
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
