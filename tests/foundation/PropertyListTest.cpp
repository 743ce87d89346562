#include "foundation/PropertyList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "foundation/BinaryPlistBuilder.h"
#include "foundation/Null.h"
#include "support/Cases.h"
#include "support/Scratch.h"

using namespace ossel;
namespace fs = std::filesystem;
using ossel::testing::encodeBinaryPlist;

namespace {

Ref<Object> readText(std::string_view text, PropertyListError* error = nullptr, PropertyListReadOptions options = {}) {
    return readPropertyList({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, error, options);
}

std::string wrap(std::string_view body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + std::string(body) + "\n</plist>\n";
}

Ref<Object> xmlRoundTrip(const Object* value) {
    const std::string xml = xmlPropertyListData(value);
    PropertyListError error;
    Ref<Object> back = readText(xml, &error);
    EXPECT_TRUE(back) << error.description() << "\n" << xml;
    return back;
}

Ref<Object> binaryRoundTrip(const Object* value) {
    PropertyListError error;
    Ref<Object> back = readPropertyList(encodeBinaryPlist(value), &error);
    EXPECT_TRUE(back) << error.description();
    return back;
}

Ref<Number> numberOf(const Ref<Object>& o) { return kindCast<Number>(o); }

// Every kind of value, with the extremes of each.
Ref<Dictionary> everyKind() {
    return kindCast<Dictionary>(readPropertyListFromFile(OSSEL_TEST_DATA "/plist/good-every-kind.plist"));
}

}  // namespace

TEST(PropertyListWriter, RefusesWhatIsNotAPropertyListValue) {
    std::string error;
    EXPECT_EQ(xmlPropertyListData(Null::null().get(), &error), "");
    EXPECT_NE(error.find("Null"), std::string::npos) << error;
    auto d = Dictionary::make();
    d->setObject(Array::make({str("ok"), Null::null()}), "list");
    EXPECT_FALSE(isPropertyListValue(d.get()));
    EXPECT_EQ(xmlPropertyListData(d.get(), &error), "");
    EXPECT_FALSE(isPropertyListValue(nullptr));
    EXPECT_TRUE(isPropertyListValue(everyKind().get()));
    // An array that holds itself must not send the writer into endless recursion.
    auto loop = Array::make({str("x")});
    loop->addObject(loop);
    EXPECT_FALSE(isPropertyListValue(loop.get()));
    EXPECT_EQ(xmlPropertyListData(loop.get(), &error), "");
    EXPECT_NE(error.find("512"), std::string::npos) << error;
    loop->removeAllObjects();  // break the cycle so the array can be freed
}

TEST(PropertyListRoundTrip, EveryKindThroughXmlAndBinary) {
    const auto original = everyKind();
    for (const auto& back : {xmlRoundTrip(original.get()), binaryRoundTrip(original.get())}) {
        ASSERT_TRUE(back);
        EXPECT_TRUE(original->isEqual(back.get()));
        const auto d = kindCast<Dictionary>(back);
        ASSERT_TRUE(d);
        EXPECT_EQ(numberOf(d->objectForKey("yes"))->kind(), Number::Kind::Bool);
        EXPECT_EQ(numberOf(d->objectForKey("uint64 max"))->kind(), Number::Kind::UInt);
        EXPECT_EQ(numberOf(d->objectForKey("int64 min"))->kind(), Number::Kind::Int);
        EXPECT_EQ(numberOf(d->objectForKey("tenth"))->kind(), Number::Kind::Double);
        EXPECT_TRUE(std::signbit(numberOf(d->objectForKey("negative zero"))->doubleValue()));
        EXPECT_TRUE(std::isnan(numberOf(d->objectForKey("nan"))->doubleValue()));
    }
}

TEST(PropertyListRoundTrip, RealsComeBackBitForBit) {
    std::mt19937_64 random(20061403);
    auto list = Array::make();
    while (list->count() < 2000) {
        const double v = std::bit_cast<double>(random());
        if (!std::isnan(v)) list->addObject(Number::withDouble(v));
    }
    const auto back = kindCast<Array>(xmlRoundTrip(list.get()));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->count(), list->count());
    for (size_t i = 0; i < list->count(); ++i) {
        const double a = numberOf(list->objectAtIndex(i))->doubleValue();
        ASSERT_EQ(std::bit_cast<uint64_t>(a), std::bit_cast<uint64_t>(numberOf(back->objectAtIndex(i))->doubleValue())) << a;
    }
    EXPECT_NE(xmlPropertyListData(Number::withDouble(0.1).get()).find("<real>0.1</real>"), std::string::npos);
}

TEST(PropertyListRoundTrip, DatesOverTheCalendar) {
    // From the year -9999 to 9999 in uneven steps, and around 2^31 seconds of the epoch.
    auto list = Array::make();
    for (double t = -378691200000.0; t < 252423993600.0; t += 86400.0 * 3652.4 + 3671.0) {
        list->addObject(Date::withTimeIntervalSinceReferenceDate(t));
    }
    for (double t : {-1.0, 59.0, -86401.0, 2147483647.0 - 978307200.0, 2147483648.0 - 978307200.0}) {
        list->addObject(Date::withTimeIntervalSinceReferenceDate(t));
    }
    EXPECT_TRUE(list->isEqual(xmlRoundTrip(list.get()).get()));
    // Writing drops the fraction (rounding down); reading keeps it.
    EXPECT_NE(xmlPropertyListData(Date::withTimeIntervalSinceReferenceDate(-0.25).get()).find("2000-12-31T23:59:59Z"),
              std::string::npos);
    const auto exact = kindCast<Date>(readText(wrap("<date>2006-03-14T10:22:05.25Z</date>")));
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->timeIntervalSinceReferenceDate(), 164024525.25);
}

TEST(PropertyListReader, TextFeatures) {
    const auto d = kindCast<Dictionary>(readPropertyListFromFile(OSSEL_TEST_DATA "/plist/good-text-features.plist"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->objectForKeyAs<String>("refs")->utf8(), "{😀é<>&\"'");
    EXPECT_EQ(d->objectForKeyAs<String>("cdata")->utf8(), "a<b> & c");
    EXPECT_EQ(d->objectForKeyAs<String>("blank")->utf8(), "   ");
    EXPECT_EQ(d->objectForKeyAs<Number>("hex")->longLongValue(), 31);
    EXPECT_EQ(d->objectForKeyAs<Number>("spaced")->longLongValue(), 42);
    EXPECT_EQ(d->objectForKeyAs<Number>("inf")->doubleValue(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(d->objectForKeyAs<Data>("data")->bytes(), (std::vector<uint8_t>{0, 1, 2, 3}));
    EXPECT_EQ(d->objectForKeyAs<String>("crlf")->utf8(), "a\nb");
    EXPECT_EQ(d->entries().front().first, "refs");  // keys keep the file's order
    EXPECT_EQ(d->entries().back().first, "crlf");
    EXPECT_TRUE(str("alone")->isEqual(readText("<string>alone</string>").get()));  // no <plist> element
}

TEST(PropertyListReader, IntegerBoundaries) {
    for (const auto& c : ossel::testing::casesFrom("foundation/plist-integers.txt", 2)) {
        const auto n = numberOf(readText(wrap("<integer>" + c[0] + "</integer>")));
        EXPECT_EQ(n ? (n->kind() == Number::Kind::UInt ? "unsigned " : "") + n->description() : "refused", c[1]) << c.where;
    }
}

TEST(PropertyListReader, MutableContainersOptionAndRepeatedKeys) {
    const std::string xml = wrap("<dict><key>a</key><array><dict/></array></dict>");
    for (const bool wanted : {false, true}) {
        const auto d = kindCast<Dictionary>(readText(xml, nullptr, {.mutableContainers = wanted}));
        ASSERT_TRUE(d);
        EXPECT_EQ(d->isMutable(), wanted);
        EXPECT_EQ(d->objectForKeyAs<Array>("a")->isMutable(), wanted);
        EXPECT_EQ(kindCast<Dictionary>(d->objectForKeyAs<Array>("a")->objectAtIndex(0))->isMutable(), wanted);
        const auto fromBinary = kindCast<Dictionary>(readPropertyList(encodeBinaryPlist(d.get()), nullptr, {.mutableContainers = wanted}));
        ASSERT_TRUE(fromBinary);
        EXPECT_EQ(fromBinary->objectForKeyAs<Array>("a")->isMutable(), wanted);
    }
    // A repeated key keeps the later value, in small dictionaries and large ones (a different check), in both formats.
    for (const int filler : {0, 40}) {
        std::string body = "<dict><key>a</key><integer>1</integer>";
        for (int i = 0; i < filler; ++i) body += "<key>k" + std::to_string(i) + "</key><true/>";
        const auto d = kindCast<Dictionary>(readText(wrap(body + "<key>a</key><integer>2</integer></dict>")));
        ASSERT_TRUE(d);
        EXPECT_EQ(d->count(), static_cast<size_t>(filler + 1));
        EXPECT_EQ(d->objectForKeyAs<Number>("a")->longLongValue(), 2);
    }
    const auto d = kindCast<Dictionary>(
        readPropertyList(ossel::testing::assembleBinary({{0xD2, 1, 1, 2, 3}, {0x51, 'a'}, {0x10, 1}, {0x10, 2}})));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->count(), 1u);
    EXPECT_EQ(d->objectForKeyAs<Number>("a")->longLongValue(), 2);
}

TEST(PropertyListFiles, AtomicAndPlainWritesAndTheirFailures) {
    const ossel::testing::ScratchDir dir;
    const std::string path = dir.write("defaults.plist", "original");
    std::string error;
    // A value that cannot be written leaves the old file as it was, either way.
    for (const bool atomically : {true, false}) EXPECT_FALSE(writePropertyListToFile(Null::null().get(), path, atomically, &error));
    EXPECT_EQ(ossel::testing::fileContent(path), "original");
    // The atomic write replaces it and leaves no temporary behind.
    const auto value = everyKind();
    ASSERT_TRUE(writePropertyListToFile(value.get(), path, true, &error)) << error;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
    EXPECT_TRUE(value->isEqual(readPropertyListFromFile(path, &error).get())) << error;
    ASSERT_TRUE(writePropertyListToFile(str("text").get(), path, false));
    EXPECT_TRUE(str("text")->isEqual(readPropertyListFromFile(path).get()));
    for (const bool atomically : {true, false}) {
        error.clear();
        EXPECT_FALSE(writePropertyListToFile(str("x").get(), (dir / "no" / "file.plist").string(), atomically, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(PropertyListFiles, TheSampleReadsAlikeInUtf16OfEitherByteOrderAndInBinary) {
    const auto sample = readPropertyListFromFile(OSSEL_TEST_DATA "/plist/good-xml.plist");
    ASSERT_TRUE(sample);
    for (const char* other : {"good-utf16be.plist", "good-utf16le.plist", "good-binary.plist"}) {
        const auto read = readPropertyListFromFile(OSSEL_TEST_DATA "/plist/" + std::string(other));
        EXPECT_TRUE(sample->isEqual(read.get())) << other;
    }
}
