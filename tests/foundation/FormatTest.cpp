#include <gtest/gtest.h>

#include <cstdio>

#include "foundation/Array.h"
#include "foundation/Format.h"
#include "foundation/Number.h"
#include "foundation/String.h"

using namespace ossel;

namespace {
template <class... A>
std::string printfOf(const char* fmt, A... args) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, fmt, args...);
    return buffer;
}
}  // namespace

TEST(Format, IntegerConversionsMatchPrintf) {
    const int values[] = {0, 1, -1, 7, 42, 99, 100, 255, -255, 2147483647, -2147483647 - 1};
    const char* formats[] = {"%d", "%02d", "%04d", "%i", "%5d", "%-5d|", "%+d", "% d", "%.3d", "%x", "%X", "%08x", "%o", "%u"};
    for (const char* f : formats) {
        for (int v : values) EXPECT_EQ(format(f, v), printfOf(f, v)) << f << " " << v;
    }
    const long long big[] = {0, -1, 9223372036854775807LL, -9223372036854775807LL - 1, 4294967296LL};
    for (long long v : big) {
        EXPECT_EQ(format("%lld", v), printfOf("%lld", v));
        EXPECT_EQ(format("%ld", v), printfOf("%ld", static_cast<long>(v)));
        EXPECT_EQ(format("%llu", v), printfOf("%llu", static_cast<unsigned long long>(v)));
    }
}

TEST(Format, UnsignedAboveTwoToThe31PrintsNegativeWithPercentD) {
    EXPECT_EQ(format("%d", 2147483648u), "-2147483648");
    EXPECT_EQ(format("%d", 4294967295u), "-1");
    EXPECT_EQ(format("%u", 4294967295u), "4294967295");
}

TEST(Format, RealConversionsMatchPrintf) {
    const double values[] = {0.0, 1.0, -1.5, 29.97, 25.0, 4.0 / 3.0, 16.0 / 9.0, 1199145600.25, 1199149200.5,
                             1e-9, 123456789.123456789, -0.0, 1e300};
    const char* formats[] = {"%f", "%.8f", "%.2f", "%10.3f", "%-10.1f|", "%e", "%g", "%.3g", "%+f", "%a", "%010.2f"};
    for (const char* f : formats) {
        for (double v : values) EXPECT_EQ(format(f, v), printfOf(f, v)) << f << " " << v;
    }
}

TEST(Format, ObjectsTextsAndTheSystemsOwnFormats) {
    auto s = str("Sequence.studio-mac.local-7-1199145600.250000");
    EXPECT_EQ(format("%@-%@.%d", str("Clip"), s, 3), "Clip-Sequence.studio-mac.local-7-1199145600.250000.3");
    EXPECT_EQ(format("%@%@:%d:%.8f", "sequence//:", "studio-mac.local", 7, 1199145600.25),
              "sequence//:studio-mac.local:7:1199145600.25000000");
    EXPECT_EQ(format("%@ %@", Ref<String>(), str("x")), "(null) x");
    EXPECT_EQ(format("%@", Number::withInt(3)), "3");
    EXPECT_EQ(format("%s|%5s|%-5s|%.2s", "abc", "ab", "ab", "abcdef"), "abc|   ab|ab   |ab");
    EXPECT_EQ(format("100%% %c", 'x'), "100% x");
    auto a = Array::make({str("a b"), Number::withInt(2)});
    EXPECT_EQ(format("%@", a), "(\n    \"a b\",\n    2\n)");
}

TEST(Format, MissingArgumentsAndUnknownConversionsStayAsWritten) {
    EXPECT_EQ(format("%d and %d", 1), "1 and %d");
    EXPECT_EQ(format("%y %d", 5), "%y 5");
    EXPECT_EQ(format("tail %"), "tail %");
    EXPECT_EQ(format("%d", "text"), "0");
}
