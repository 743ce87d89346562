#include <gtest/gtest.h>

#include "foundation/Scanner.h"
#include "support/Cases.h"

using namespace ossel;

TEST(Scanner, SkipsAsciiAndUnicodeSpaceBeforeEveryStepButNotInsideItems) {
    // tab, CR, LF, NBSP, line separator, paragraph separator, ideographic space
    Scanner s(" \t\r\n\xC2\xA0\xE2\x80\xA8\xE2\x80\xA9\xE3\x80\x80" "42\n\n ?x \n ");
    int32_t v = 0;
    ASSERT_TRUE(s.scanInt(&v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(s.scanString("?"));
    EXPECT_FALSE(s.isAtEnd());
    EXPECT_TRUE(s.scanString("X"));
    const size_t end = s.scanLocation();
    EXPECT_TRUE(s.isAtEnd());
    EXPECT_EQ(s.scanLocation(), end) << "asking whether the scanner is at its end moves nothing";
    s.setScanLocation(1000);
    EXPECT_EQ(s.scanLocation(), s.string().size());

    Scanner signSpace("- 5");  // skipped before an item, never inside it
    EXPECT_FALSE(signSpace.scanInt(&v));
    // A lone lead byte of a Unicode space at the very end is not skippable and not read past.
    Scanner cut(std::string_view("7 \xE2\x80", 4));
    ASSERT_TRUE(cut.scanInt(&v));
    EXPECT_FALSE(cut.isAtEnd());

    Scanner raw(" 1");
    raw.setSkipsWhitespace(false);
    EXPECT_FALSE(raw.scanInt(&v));
    EXPECT_TRUE(raw.scanString(" "));
    EXPECT_TRUE(raw.scanInt(&v));
}

TEST(Scanner, StringMatchIgnoresCaseUnlessAskedAndKeepsPositionOnFailure) {
    Scanner s("  dvSYSTEM//:rest");
    EXPECT_FALSE(s.scanString("dvsystem//;"));
    EXPECT_EQ(s.scanLocation(), 0u) << "a failed match must not even keep the skipped white space";
    EXPECT_TRUE(s.scanString("DVsystem//:"));
    EXPECT_EQ(s.scanLocation(), 13u);
    Scanner exact("Clip//:1");
    exact.setCaseSensitive(true);
    EXPECT_FALSE(exact.scanString("clip//:"));
    EXPECT_TRUE(exact.scanString("Clip//:"));
    Scanner shortText("ab");
    EXPECT_FALSE(shortText.scanString("abc"));
    EXPECT_FALSE(shortText.scanString(""));
}

TEST(Scanner, NumbersTakeSignFractionExponentAndClamp) {
    for (const auto& c : ossel::testing::casesFrom("foundation/scanner-numbers.txt", 4)) {
        Scanner s(c[1]);
        const bool fails = c[2] == "fail";
        double value = 9;
        if (c[0] == "int") {
            int32_t v = 9;
            EXPECT_EQ(s.scanInt(&v), !fails) << c.where;
            value = v;
        } else {
            EXPECT_EQ(s.scanDouble(&value), !fails) << c.where;
        }
        EXPECT_EQ(value, fails ? 9 : std::stod(c[2])) << c.where;
        EXPECT_EQ(s.scanLocation(), size_t(c.number(3))) << c.where;
    }
    Scanner extremes("9223372036854775808 -9223372036854775809");
    int64_t big = 0, small = 0;
    ASSERT_TRUE(extremes.scanLongLong(&big) && extremes.scanLongLong(&small));
    EXPECT_EQ(big, INT64_MAX);
    EXPECT_EQ(small, INT64_MIN);
}

TEST(Scanner, UpToStringStopsBeforeTheStopTextOrAtTheEnd) {
    Scanner s("  Custom 1080?HD??tail");
    std::string into = "unchanged";
    ASSERT_TRUE(s.scanUpToString("?", &into));
    EXPECT_EQ(into, "Custom 1080");
    EXPECT_TRUE(s.scanString("?"));
    ASSERT_TRUE(s.scanUpToString("?", &into));
    EXPECT_TRUE(s.scanString("?"));
    const size_t before = s.scanLocation();
    EXPECT_FALSE(s.scanUpToString("?", &into)) << "the stop text comes next";
    EXPECT_EQ(into, "HD");
    EXPECT_EQ(s.scanLocation(), before);
    EXPECT_TRUE(s.scanString("?"));
    ASSERT_TRUE(s.scanUpToString("?", &into));
    EXPECT_EQ(into, "tail") << "no stop text: everything to the end";
    EXPECT_FALSE(s.scanUpToString("?", &into));

    // Inner and trailing white space belong to the text; the stop text matches ignoring case.
    Scanner multi("  host NAME --PARENT");
    ASSERT_TRUE(multi.scanUpToString("--parent", &into));
    EXPECT_EQ(into, "host NAME ");
    Scanner blank("   ");
    EXPECT_FALSE(blank.scanUpToString(":", &into));
}

TEST(Scanner, NoInputReadsPastItsEnd) {
    // Every prefix, scanned through a view of exactly that many bytes (the sanitiser build
    // catches any read past the end).
    const std::string text = "sequenceClip//:h:7:1.5e+3:-3-1199149200.5:0-parent?\xE2\x80\xA8";
    for (size_t n = 0; n <= text.size(); ++n) {
        const std::string piece = text.substr(0, n);
        Scanner s{std::string_view(piece.data(), piece.size())};
        std::string into;
        int32_t i = 0;
        double d = 0;
        while (!s.isAtEnd()) {
            const size_t at = s.scanLocation();
            s.scanString("sequenceClip//:");
            s.scanUpToString(":", &into);
            s.scanString(":");
            s.scanInt(&i);
            s.scanDouble(&d);
            s.scanString("-");
            if (s.scanLocation() == at) s.setScanLocation(at + 1);
        }
    }
}
