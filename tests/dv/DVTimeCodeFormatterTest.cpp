#include "dv/DVTimeCodeFormatter.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "dv/DVSystem.h"
#include "dv/DVTestSupport.h"
#include "dv/DVTimeCode.h"
#include "foundation/String.h"

namespace ossel {
namespace {

using dvtest::show;

struct Read {
    bool ok;
    Ref<DVTimeCode> value;
    std::string error;
};

Read read(std::optional<std::string_view> text) {
    Read result{false, nullptr, "untouched"};
    Ref<Object> value;
    result.ok = DVTimeCodeFormatter::defaultFormatter()->getObjectValue(&value, text, &result.error);
    result.value = kindCast<DVTimeCode>(value);
    return result;
}

TEST(DVTimeCodeFormatter, WritesValidTimecodesAndAPlaceholderForAnythingElse) {
    const auto formatter = DVTimeCodeFormatter::defaultFormatter();
    EXPECT_NE(formatter.get(), DVTimeCodeFormatter::defaultFormatter().get());
    EXPECT_EQ(formatter->stringForObjectValue(DVTimeCode::timeCodeWithHours(1, 2, 3, 4)), "01:02:03.04");
    EXPECT_EQ(formatter->stringForObjectValue(DVTimeCode::timeCodeWithHours(23, 59, 59, 59)), "23:59:59.59");
    EXPECT_EQ(formatter->stringForObjectValue(DVTimeCode::undefinedTimeCode()), "--:--:--.--");
    EXPECT_EQ(formatter->stringForObjectValue(DVTimeCode::timeCodeWithHours(1, 2, 3, 60)), "--:--:--.--");
    EXPECT_EQ(formatter->stringForObjectValue(DVSystem::system525_60()), "--:--:--.--");
    EXPECT_EQ(formatter->stringForObjectValue(str("01:02:03.04")), "--:--:--.--");
    EXPECT_EQ(formatter->stringForObjectValue(Ref<Object>()), "--:--:--.--");
}

TEST(DVTimeCodeFormatter, ReadsAnySeparator) {
    for (const char* text : {"01:02:03.04", "01:02:03;04", "01:02:03:04", "01x02y03z04"}) {
        const Read r = read(text);
        EXPECT_TRUE(r.ok) << text;
        EXPECT_EQ(show(r.value), "1:2:3:4") << text;
    }
}

TEST(DVTimeCodeFormatter, FieldsReadLikeIntValue) {
    EXPECT_EQ(show(read("--:--:--.--").value), "255:255:255:255!");
    EXPECT_EQ(show(read("--:--:--:--").value), "0:0:0:0");
    EXPECT_EQ(show(read("25:00:00.00").value), "255:0:0:0!");
    EXPECT_EQ(show(read("00:00:00.45").value), "0:0:0:45");
    EXPECT_EQ(show(read(" 1:02:03.04").value), "1:2:3:4");
    EXPECT_EQ(show(read("-1:00:00.00").value), "255:0:0:0!");
    EXPECT_EQ(show(read("+1:0x:-0.7a").value), "1:0:0:7");
    EXPECT_EQ(show(read("1 :\t2:3-.4 ").value), "1:2:3:4");
    // Eleven UTF-16 units that are not all ASCII: the fields are taken by unit.
    EXPECT_EQ(show(read("01:02:03.\u00e94").value), "1:2:3:0");
    EXPECT_EQ(show(read("\u00a01:02:03.04").value), "1:2:3:4");
    EXPECT_EQ(show(read("01:02:\U0001F600.04").value), "1:2:0:4");
}

TEST(DVTimeCodeFormatter, FailsOnlyForNothingOrTheWrongLength) {
    const Read missing = read(std::nullopt);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, "Cannot parse an undefined string");
    for (const char* text : {"1:02:03.04", "001:02:03.04", "", "01:02:03.04\n", "01:02:03.\u00e9"}) {
        const Read r = read(text);
        EXPECT_FALSE(r.ok) << text;
        EXPECT_EQ(r.error, std::string("String '") + text +
                               "' cannot be parsed into a timecode as it has not the expected length");
    }
    // Without an error slot the failure is still reported, and the value is left alone.
    Ref<Object> value = str("kept");
    EXPECT_FALSE(DVTimeCodeFormatter().getObjectValue(&value, std::nullopt, nullptr));
    EXPECT_FALSE(DVTimeCodeFormatter().getObjectValue(&value, "short", nullptr));
    EXPECT_TRUE(value && value->isEqual(str("kept").get()));
}

// Arbitrary bytes, valid UTF-8 or not: each text either reads or fails with
// the length message, and the answer follows the UTF-16 length alone.
TEST(DVTimeCodeFormatter, ArbitraryBytesReadOrFailByLength) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255), length(8, 24);
    const DVTimeCodeFormatter formatter;
    for (int i = 0; i < 5000; ++i) {
        std::string text(static_cast<size_t>(length(random)), '\0');
        for (auto& c : text) c = static_cast<char>(byte(random));
        Ref<Object> value;
        std::string error;
        const bool ok = formatter.getObjectValue(&value, text, &error);
        EXPECT_EQ(ok, utf16Length(text) == 11);
        EXPECT_EQ(ok, value != nullptr);
        EXPECT_EQ(ok, error.empty());
    }
}

}  // namespace
}  // namespace ossel
