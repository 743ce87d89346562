#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <unordered_set>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using ossel::testing::dictionaryOf;

TEST(Number, EqualValuesOfDifferentKindsAreEqualAndHashAlike) {
    const Ref<Number> same[] = {Number::withInt(3), Number::withUnsigned(3), Number::withDouble(3.0),
                                Number::withFloat(3.0f)};
    for (const auto& a : same) {
        for (const auto& b : same) {
            EXPECT_TRUE(a->isEqual(b.get())) << a->description() << " " << b->description();
            EXPECT_EQ(a->hash(), b->hash());
        }
    }
    EXPECT_TRUE(Number::withBool(true)->isEqual(Number::withInt(1).get()));
    EXPECT_FALSE(Number::withInt(3)->isEqual(Number::withDouble(3.5).get()));
    EXPECT_FALSE(Number::withInt(3)->isEqual(str("3").get()));
}

TEST(Number, ComparisonIsExactAtTheEdgesOfEachKind) {
    // 2^63 fits an unsigned but not a signed integer, and is exactly a double.
    const auto twoTo63 = Number::withUnsigned(9223372036854775808ULL);
    EXPECT_TRUE(twoTo63->isEqual(Number::withDouble(0x1p63).get()));
    EXPECT_FALSE(twoTo63->isEqual(Number::withInt(std::numeric_limits<int64_t>::min()).get()));
    EXPECT_EQ(Number::withInt(-1)->compare(*Number::withUnsigned(UINT64_MAX)), -1);
    // 2^53 + 1 has no double; the double 2^53 must not compare equal to it.
    EXPECT_FALSE(Number::withInt((1LL << 53) + 1)->isEqual(Number::withDouble(0x1p53).get()));
    EXPECT_EQ(Number::withDouble(2.5)->compare(*Number::withInt(2)), 1);
    EXPECT_EQ(Number::withDouble(-2.5)->compare(*Number::withInt(-2)), -1);
    const auto nan = Number::withDouble(std::nan(""));
    EXPECT_TRUE(nan->isEqual(Number::withDouble(std::nan("")).get()));
    EXPECT_FALSE(nan->isEqual(Number::withInt(0).get()));
}

TEST(Number, ConversionsTruncateWrapAndSaturateLikeThePlatform) {
    EXPECT_EQ(Number::withDouble(3.99)->intValue(), 3);
    EXPECT_EQ(Number::withDouble(-3.99)->intValue(), -3);
    EXPECT_EQ(Number::withDouble(1e10)->intValue(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(Number::withDouble(std::nan(""))->intValue(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(Number::withInt(4294967297LL)->intValue(), 1);
    EXPECT_EQ(Number::withInt(-1)->unsignedIntValue(), 4294967295u);
    EXPECT_EQ(Number::withUnsigned(UINT64_MAX)->longLongValue(), -1);
    EXPECT_EQ(Number::withDouble(1e19)->unsignedLongLongValue(), 10000000000000000000ULL);
    EXPECT_FLOAT_EQ(Number::withDouble(0.1)->floatValue(), 0.1f);
    EXPECT_TRUE(Number::withDouble(0.5)->boolValue());
    EXPECT_FALSE(Number::withUnsigned(0)->boolValue());
    EXPECT_EQ(Number::withFloat(0.1f)->description(), "0.1");
    EXPECT_EQ(Number::withDouble(0.1)->description(), "0.1");
    EXPECT_EQ(Number::withUnsigned(UINT64_MAX)->description(), "18446744073709551615");
}

TEST(Dictionary, KeepsInsertionOrderThroughReplaceRemoveAndGrowth) {
    auto d = Dictionary::make();
    for (int i = 0; i < 40; ++i) d->setObject(Number::withInt(i), "k" + std::to_string(39 - i));
    d->setObject(str("again"), "k20");  // replacing keeps the position
    d->removeObjectForKey("k39");
    d->setObject(nullptr, "k38");  // a null value removes
    ASSERT_EQ(d->count(), 38u);
    EXPECT_EQ(d->entries().front().first, "k37");
    EXPECT_EQ(d->entries()[17].first, "k20");
    EXPECT_TRUE(d->objectForKey("k20")->isEqual(str("again").get()));
    for (int i = 0; i < 38; ++i) ASSERT_TRUE(d->containsKey("k" + std::to_string(i))) << i;
    EXPECT_FALSE(d->containsKey("k38"));
    EXPECT_EQ(d->objectForKey("missing"), nullptr);
}

TEST(Dictionary, EqualityIgnoresOrderAndCopiesAreShallow) {
    const auto shared = Array::make({str("x")});
    const auto a = dictionaryOf({{"list", shared}, {"n", Number::withInt(1)}});
    const auto b = dictionaryOf({{"n", Number::withDouble(1.0)}, {"list", Array::make({str("x")})}});
    EXPECT_TRUE(a->isEqual(b.get()));
    auto copy = a->mutableCopy();
    copy->setObject(str("y"), "n");
    EXPECT_TRUE(a->objectForKey("n")->isEqual(Number::withInt(1).get()));
    EXPECT_EQ(copy->objectForKey("list"), shared);
    auto frozen = kindCast<Dictionary>(a->copy());
    EXPECT_FALSE(frozen->isMutable());
    EXPECT_EQ(frozen->copy(), frozen);
}

TEST(Dictionary, ALargeCopyGrowsItsOwnIndex) {
    auto original = Dictionary::make();
    for (int i = 0; i < 100; ++i) original->setObject(Number::withInt(i), "k" + std::to_string(i));
    auto copy = original->mutableCopy();
    for (int i = 100; i < 300; ++i) copy->setObject(Number::withInt(i), "k" + std::to_string(i));
    copy->setObject(str("changed"), "k5");
    for (int i = 0; i < 300; ++i) {
        const std::string key = "k" + std::to_string(i);
        ASSERT_EQ(original->containsKey(key), i < 100) << key;
        ASSERT_TRUE(copy->containsKey(key)) << key;
    }
    EXPECT_TRUE(original->objectForKey("k5")->isEqual(Number::withInt(5).get()));
    EXPECT_EQ(copy->objectForKey("k5")->description(), "changed");
}

TEST(Collections, OldStyleDescriptionQuotesOnlyWhatNeedsIt) {
    const auto inner = dictionaryOf({{"name", str("Ann Lee")}, {"kind", str("plain")}});
    const auto list = Array::make({str("a"), Number::withInt(2), inner, Array::make(), str("")});
    const std::string expected = ossel::testing::fileContent(OSSEL_TEST_DATA "/foundation/old-style-description.txt");
    EXPECT_EQ(list->description() + "\n", expected);
    EXPECT_EQ(str("say \"hi\"")->description(), "say \"hi\"");
    EXPECT_EQ(Array::make({str("say \"hi\"\n")})->description(), "(\n    \"say \\\"hi\\\"\\n\"\n)");
}

TEST(Date, DescribesTheWholeCalendarInUtc) {
    EXPECT_EQ(Date::withTimeIntervalSinceReferenceDate(0)->description(), "2001-01-01 00:00:00 +0000");
    EXPECT_EQ(Date::withTimeIntervalSince1970(1142331725)->description(), "2006-03-14 10:22:05 +0000");
    EXPECT_EQ(Date::withTimeIntervalSince1970(-2208988800.0 - 0.5)->description(), "1899-12-31 23:59:59 +0000");
    EXPECT_EQ(Date::withTimeIntervalSince1970(4102444800.0)->description(), "2100-01-01 00:00:00 +0000");
    for (double t : {-1e11, -86400.5, 0.0, 951782400.0, 1e11}) {
        const UtcFields f = utcFieldsOf(t);
        EXPECT_EQ(sinceReferenceDateOf(f), std::floor(t)) << t;
    }
}

TEST(Objects, HashedContainersUseValueEquality) {
    const std::unordered_set<Ref<Object>, ObjectHash, ObjectEqual> set{
        str("a"), str("a"), Number::withInt(1), Number::withDouble(1.0), Data::make({1, 2, 3}), Data::make({1, 2, 3}),
        Null::null()};
    EXPECT_EQ(set.size(), 4u);
    EXPECT_EQ(Data::make({0, 1, 2, 3, 4})->description(), "<00010203 04>");
    EXPECT_EQ(str("a\xF0\x9F\x98\x80" "b\xC3\xA9")->length(), 5u);  // surrogate pair counts two
}
