#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "foundation/Scanner.h"

using namespace ossel;

TEST(Scanner, SkipsAsciiAndUnicodeSpaceBeforeEveryStepButNotInsideItems) {
    // tab, CR, LF, NBSP, line separator, paragraph separator, ideographic space
    Scanner s(" \t\r\n\xC2\xA0\xE2\x80\xA8\xE2\x80\xA9\xE3\x80\x80" "42\n\n ?x");
    int32_t v = 0;
    ASSERT_TRUE(s.scanInt(&v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(s.scanString("?"));
    EXPECT_FALSE(s.isAtEnd());
    EXPECT_TRUE(s.scanString("X"));
    EXPECT_TRUE(s.isAtEnd());

    // "- 5" is no number: white space is skipped before an item, never inside it.
    Scanner signSpace("- 5");
    EXPECT_FALSE(signSpace.scanInt(&v));
    EXPECT_EQ(signSpace.scanLocation(), 0u);

    // A lone lead byte of a Unicode space at the very end is not skippable and not read past.
    Scanner cut(std::string_view("7 \xE2\x80", 4));
    ASSERT_TRUE(cut.scanInt(&v));
    EXPECT_FALSE(cut.isAtEnd());
    EXPECT_FALSE(cut.scanString("\xE2\x80\xA8"));
}

TEST(Scanner, WithoutSkippingWhiteSpaceIsAnItemOfItsOwn) {
    Scanner s(" 1");
    s.setSkipsWhitespace(false);
    int32_t v = 0;
    EXPECT_FALSE(s.isAtEnd());
    EXPECT_FALSE(s.scanInt(&v));
    EXPECT_TRUE(s.scanString(" "));
    EXPECT_TRUE(s.scanInt(&v));
    EXPECT_TRUE(s.isAtEnd());
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
    EXPECT_EQ(shortText.scanLocation(), 0u);
}

TEST(Scanner, IntegersTakeASignClampToInt32AndConsumeEveryDigit) {
    struct Case {
        const char* text;
        int32_t value;
        size_t end;
    };
    const Case cases[] = {
        {"0", 0, 1},
        {"+17x", 17, 3},
        {"-17", -17, 3},
        {"007", 7, 3},
        {"2147483647", INT32_MAX, 10},
        {"2147483648", INT32_MAX, 10},
        {"-2147483648", INT32_MIN, 11},
        {"-2147483649", INT32_MIN, 11},
        {"99999999999999999999999999:", INT32_MAX, 26},
        {"-99999999999999999999999999", INT32_MIN, 27},
        {"12.5", 12, 2},
    };
    for (const auto& c : cases) {
        Scanner s(c.text);
        int32_t v = 123;
        ASSERT_TRUE(s.scanInt(&v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
        EXPECT_EQ(s.scanLocation(), c.end) << c.text;
    }
    for (const char* bad : {"", "   ", "+", "-", "+-1", "x1", "?", "\xC2"}) {
        Scanner s(bad);
        int32_t v = 123;
        EXPECT_FALSE(s.scanInt(&v)) << bad;
        EXPECT_EQ(v, 123) << "the target is untouched on failure";
        EXPECT_EQ(s.scanLocation(), 0u) << bad;
    }
}

TEST(Scanner, LongLongClampsToInt64) {
    int64_t v = 0;
    Scanner s("9223372036854775807 9223372036854775808 -9223372036854775808 -9223372036854775809");
    for (const int64_t expected : {INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN}) {
        ASSERT_TRUE(s.scanLongLong(&v));
        EXPECT_EQ(v, expected);
    }
    EXPECT_TRUE(s.isAtEnd());
}

TEST(Scanner, DecimalNumbersWithFractionAndExponent) {
    struct Case {
        const char* text;
        double value;
        size_t end;
    };
    const Case cases[] = {
        {"25.000000", 25.0, 9},
        {"-1.5", -1.5, 4},
        {"+2", 2.0, 2},
        {".5", 0.5, 2},
        {"5.", 5.0, 2},
        {"1.333333?", 1.333333, 8},
        {"1e3", 1000.0, 3},
        {"1E+2", 100.0, 4},
        {"2.5e-1", 0.25, 6},
        {"7e", 7.0, 1},      // an "e" without digits is not part of the number
        {"7e+", 7.0, 1},
        {"7e-x", 7.0, 1},
        {"3.25.5", 3.25, 4},
        {"1199145600.25000000:", 1199145600.25, 19},
    };
    for (const auto& c : cases) {
        Scanner s(c.text);
        double v = 0;
        ASSERT_TRUE(s.scanDouble(&v)) << c.text;
        EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        EXPECT_EQ(s.scanLocation(), c.end) << c.text;
    }
    for (const char* bad : {"", ".", "-.", "+", "e5", " .e1", "x1.0", "nan", "inf"}) {
        Scanner s(bad);
        double v = 9;
        EXPECT_FALSE(s.scanDouble(&v)) << bad;
        EXPECT_EQ(v, 9) << bad;
        EXPECT_EQ(s.scanLocation(), 0u) << bad;
    }
    double huge = 0, tiny = 1;
    Scanner extremes("1e999 1e-999");
    ASSERT_TRUE(extremes.scanDouble(&huge));
    ASSERT_TRUE(extremes.scanDouble(&tiny));
    EXPECT_TRUE(std::isinf(huge));
    EXPECT_EQ(tiny, 0.0);
}

TEST(Scanner, DecimalNumbersRoundTripPrintedDoubles) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> spread(-1e12, 1e12);
    for (int i = 0; i < 2000; ++i) {
        const double d = spread(random);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, i % 2 ? "%.17g" : "%.8f", d);
        Scanner s(buffer);
        double v = 0;
        ASSERT_TRUE(s.scanDouble(&v)) << buffer;
        ASSERT_TRUE(s.isAtEnd()) << buffer;
        ASSERT_EQ(v, std::strtod(buffer, nullptr)) << buffer;
    }
}

TEST(Scanner, UpToStringStopsBeforeTheStopTextOrAtTheEnd) {
    Scanner s("  Custom 1080?HD??tail");
    std::string into = "unchanged";
    ASSERT_TRUE(s.scanUpToString("?", &into));
    EXPECT_EQ(into, "Custom 1080");
    EXPECT_TRUE(s.scanString("?"));
    ASSERT_TRUE(s.scanUpToString("?", &into));
    EXPECT_EQ(into, "HD");
    EXPECT_TRUE(s.scanString("?"));
    const size_t before = s.scanLocation();
    EXPECT_FALSE(s.scanUpToString("?", &into)) << "the stop text comes next";
    EXPECT_EQ(into, "HD");
    EXPECT_EQ(s.scanLocation(), before);
    EXPECT_TRUE(s.scanString("?"));
    ASSERT_TRUE(s.scanUpToString("?", &into));
    EXPECT_EQ(into, "tail") << "no stop text: everything to the end";
    EXPECT_TRUE(s.isAtEnd());
    EXPECT_FALSE(s.scanUpToString("?", &into));

    // Inner and trailing white space belong to the text read; only leading white space is skipped.
    Scanner spaced("  a b :c");
    ASSERT_TRUE(spaced.scanUpToString(":", &into));
    EXPECT_EQ(into, "a b ");

    // A stop text of several characters, matched ignoring case like every literal.
    Scanner multi("host-NAME--PARENT");
    ASSERT_TRUE(multi.scanUpToString("--parent", &into));
    EXPECT_EQ(into, "host-NAME");

    Scanner blank("   ");
    EXPECT_FALSE(blank.scanUpToString(":", &into));
    EXPECT_EQ(blank.scanLocation(), 0u);
}

TEST(Scanner, AtEndWhenOnlySkippableCharactersRemain) {
    EXPECT_TRUE(Scanner("").isAtEnd());
    EXPECT_TRUE(Scanner(" \t\r\n").isAtEnd());
    Scanner s("clip//:42  \n ");
    int32_t v = 0;
    EXPECT_FALSE(s.isAtEnd());
    ASSERT_TRUE(s.scanString("clip//:"));
    ASSERT_TRUE(s.scanInt(&v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(s.isAtEnd());
    EXPECT_EQ(s.scanLocation(), 9u) << "asking whether the scanner is at its end moves nothing";
    s.setScanLocation(1000);
    EXPECT_EQ(s.scanLocation(), s.string().size());
}

TEST(Scanner, NoInputReadsPastItsEnd) {
    // Every prefix of a tricky text, scanned through a view of exactly that many
    // bytes, must behave (the sanitiser build catches any read past the end).
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
