#include <gtest/gtest.h>

#include <cmath>
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

// The one-shot function and a format parsed once must write the same text.
template <class... A>
void expectText(const char* fmt, const std::string& want, const A&... args) {
    EXPECT_EQ(format(fmt, args...), want) << fmt;
    EXPECT_EQ(ParsedFormat(fmt)(args...), want) << fmt << " (parsed once)";
}

TEST(Format, IntegerConversionsMatchPrintf) {
    const int values[] = {0, 1, -1, 7, 42, 99, 100, 255, -255, 2147483647, -2147483647 - 1};
    const char* formats[] = {"%d",  "%02d", "%04d", "%i",   "%5d", "%-5d|", "%+d",   "% d",   "%.3d", "%.0d|",
                             "%x",  "%X",   "%08x", "%#x",  "%#X", "%#08x", "%#10x", "%o",    "%#o",  "%#.0o",
                             "%u",  "%hhd", "%hd",  "%-+6d", "%+05d"};
    for (const char* f : formats) {
        for (int v : values) expectText(f, printfOf(f, v), v);
    }
    const long long big[] = {0, -1, 9223372036854775807LL, -9223372036854775807LL - 1, 4294967296LL};
    for (long long v : big) {
        expectText("%lld", printfOf("%lld", v), v);
        expectText("%ld", printfOf("%ld", static_cast<long>(v)), v);
        expectText("%llu", printfOf("%llu", static_cast<unsigned long long>(v)), v);
    }
    // "%d" takes a 32-bit int, as in C.
    expectText("%d", "-2147483648", 2147483648u);
    expectText("%u", "4294967295", 4294967295u);
}

TEST(Format, RealConversionsMatchPrintf) {
    const double values[] = {0.0,  1.0, -1.5, 29.97, 25.0, 4.0 / 3.0, 16.0 / 9.0, 1199145600.25, 1199149200.5,
                             1e-9, 123456789.123456789, -0.0, 1e300, INFINITY, -NAN};
    const char* formats[] = {"%f", "%.8f", "%.2f", "%10.3f", "%-10.1f|", "%e", "%g", "%.3g", "%+f", "%a", "%010.2f"};
    for (const char* f : formats) {
        for (double v : values) expectText(f, printfOf(f, v), v);
    }
}

TEST(Format, WidthAndPrecisionFromTheArguments) {
    expectText("%*d|%-*d|%*d", printfOf("%*d|%-*d|%*d", 5, 42, 4, 7, -4, 7), 5, 42, 4, 7, -4, 7);
    expectText("%.*f|%.*s", printfOf("%.*f|%.*s", 3, 2.5, 2, "abc"), 3, 2.5, 2, "abc");
    expectText("%*d", "%*d", 5);  // the width took the only argument
}

TEST(Format, ObjectsTextsAndTheSystemsOwnFormats) {
    auto s = str("Sequence.studio-mac.local-7-1199145600.250000");
    expectText("%@-%@.%d", "Clip-Sequence.studio-mac.local-7-1199145600.250000.3", str("Clip"), s, 3);
    expectText("%@%@:%d:%.8f", "sequence//:studio-mac.local:7:1199145600.25000000", "sequence//:", "studio-mac.local",
               7, 1199145600.25);
    expectText("%@ %@", "(null) x", Ref<String>(), str("x"));
    expectText("%@", "3", Number::withInt(3));
    expectText("%s|%5s|%-5s|%.2s", "abc|   ab|ab   |ab", "abc", "ab", "ab", "abcdef");
    expectText("100%% %c", "100% x", 'x');
    expectText("%@", "(\n    \"a b\",\n    2\n)", Array::make({str("a b"), Number::withInt(2)}));
}

TEST(Format, MissingArgumentsAndUnknownConversionsStayAsWritten) {
    expectText("%d and %d", "1 and %d", 1);
    expectText("%y %d", "%y 5", 5);
    expectText("tail %", "tail %");
    expectText("%d", "0", "text");
}

}  // namespace
