#include "foundation/PropertyList.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "foundation/BinaryPlistBuilder.h"

using namespace ossel;
namespace fs = std::filesystem;

namespace {

std::span<const uint8_t> bytesOf(std::string_view s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

Ref<Object> readText(std::string_view text, std::string* error = nullptr, PropertyListReadOptions options = {}) {
    return readPropertyList(bytesOf(text), error, options);
}

std::string wrap(std::string_view body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + std::string(body) + "\n</plist>\n";
}

Ref<Object> xmlRoundTrip(const Object* value) {
    std::string error;
    const std::string xml = xmlPropertyListData(value, &error);
    EXPECT_FALSE(xml.empty()) << error;
    Ref<Object> back = readText(xml, &error);
    EXPECT_TRUE(back) << error << "\n" << xml;
    return back;
}

Ref<Object> binaryRoundTrip(const Object* value) {
    const auto bytes = ossel::testing::encodeBinaryPlist(value);
    std::string error;
    Ref<Object> back = readPropertyList(bytes, &error);
    EXPECT_TRUE(back) << error;
    return back;
}

Ref<Number> numberOf(const Ref<Object>& o) { return kindCast<Number>(o); }

// Every kind of value, with the extremes of each.
Ref<Dictionary> everyKind() {
    auto d = Dictionary::make();
    d->setObject(Number::withBool(true), "yes");
    d->setObject(Number::withBool(false), "no");
    d->setObject(Number::withInt(0), "zero");
    d->setObject(Number::withInt(std::numeric_limits<int64_t>::min()), "int64 min");
    d->setObject(Number::withInt(std::numeric_limits<int64_t>::max()), "int64 max");
    d->setObject(Number::withUnsigned(uint64_t(1) << 63), "2^63");
    d->setObject(Number::withUnsigned(std::numeric_limits<uint64_t>::max()), "uint64 max");
    d->setObject(Number::withInt(255), "one byte");
    d->setObject(Number::withInt(65536), "three bytes");
    d->setObject(Number::withDouble(0.1), "tenth");
    d->setObject(Number::withDouble(-0.0), "negative zero");
    d->setObject(Number::withDouble(std::numeric_limits<double>::denorm_min()), "smallest");
    d->setObject(Number::withDouble(std::numeric_limits<double>::max()), "largest");
    d->setObject(Number::withDouble(std::numeric_limits<double>::infinity()), "infinity");
    d->setObject(Number::withDouble(-std::numeric_limits<double>::infinity()), "minus infinity");
    d->setObject(Number::withDouble(std::nan("")), "nan");
    d->setObject(Date::withTimeIntervalSinceReferenceDate(0), "reference date");
    d->setObject(Date::withTimeIntervalSinceReferenceDate(-3187296000.0), "1900");  // before 1901
    d->setObject(Date::withTimeIntervalSinceReferenceDate(1.2e9), "2039");           // after 2038
    d->setObject(Date::withTimeIntervalSinceReferenceDate(-63113904000.0), "year 1");
    d->setObject(Data::make({}), "empty data");
    std::vector<uint8_t> bytes(300);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    d->setObject(Data::make(bytes), "data");
    d->setObject(str(""), "empty string");
    d->setObject(str("  spaced  "), "spaces");
    d->setObject(str("<a & b> \"q\" 'a' ]]>"), "markup");
    d->setObject(str("é ü ß 日本 😀 𝄞"), "unicode");
    d->setObject(str("tab\tline\ncarriage\rcontrol\x01\x1f"), "controls");
    d->setObject(str("key value"), "ключ & <key>");
    d->setObject(Array::make(), "empty array");
    d->setObject(Dictionary::make(), "empty dict");
    auto nested = Array::make({str("a"), Array::make({Number::withInt(1), Dictionary::make()}), Number::withInt(-1)});
    d->setObject(nested, "nested");
    return d;
}

}  // namespace

TEST(PropertyListWriter, LaysFilesOutTheWayThePlatformDoes) {
    auto inner = Dictionary::make();
    inner->setObject(Number::withInt(-7), "n");
    inner->setObject(Array::make(), "list");
    auto root = Dictionary::make();
    root->setObject(str("x & <y>"), "zeta");
    root->setObject(Number::withBool(true), "alpha");
    root->setObject(inner, "Beta");
    root->setObject(Array::make({Number::withBool(false), Number::withDouble(2.5), Number::withUnsigned(1)}), "gamma");
    root->setObject(Date::withTimeIntervalSinceReferenceDate(164024525.75), "date");
    root->setObject(Data::make(std::vector<uint8_t>(60, 0xFF)), "data");
    root->setObject(Dictionary::make(), "empty");
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n"
        "<dict>\n"
        "\t<key>Beta</key>\n"
        "\t<dict>\n"
        "\t\t<key>list</key>\n"
        "\t\t<array/>\n"
        "\t\t<key>n</key>\n"
        "\t\t<integer>-7</integer>\n"
        "\t</dict>\n"
        "\t<key>alpha</key>\n"
        "\t<true/>\n"
        "\t<key>data</key>\n"
        "\t<data>\n"
        "\t////////////////////////////////////////////////////////////////////\n"
        "\t////////////\n"
        "\t</data>\n"
        "\t<key>date</key>\n"
        "\t<date>2006-03-14T10:22:05Z</date>\n"
        "\t<key>empty</key>\n"
        "\t<dict/>\n"
        "\t<key>gamma</key>\n"
        "\t<array>\n"
        "\t\t<false/>\n"
        "\t\t<real>2.5</real>\n"
        "\t\t<integer>1</integer>\n"
        "\t</array>\n"
        "\t<key>zeta</key>\n"
        "\t<string>x &amp; &lt;y&gt;</string>\n"
        "</dict>\n"
        "</plist>\n";
    EXPECT_EQ(xmlPropertyListData(root.get()), expected);
}

TEST(PropertyListWriter, SortsKeysByBytesAndEscapesTheirText) {
    auto root = Dictionary::make();
    for (const char* k : {"b", "B", "a", "é", "_", "a&b", "10", "9"}) root->setObject(str(k), k);
    const std::string xml = xmlPropertyListData(root.get());
    std::vector<std::string> keys;
    for (size_t p = 0; (p = xml.find("<key>", p)) != std::string::npos; p += 5) {
        keys.push_back(xml.substr(p + 5, xml.find("</key>", p) - p - 5));
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"10", "9", "B", "_", "a", "a&amp;b", "b", "é"}));
}

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
    auto loop = Array::make();
    loop->addObject(str("x"));
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
        EXPECT_EQ(numberOf(d->objectForKey("uint64 max"))->unsignedLongLongValue(), UINT64_MAX);
        EXPECT_EQ(numberOf(d->objectForKey("int64 min"))->kind(), Number::Kind::Int);
        EXPECT_EQ(numberOf(d->objectForKey("int64 min"))->longLongValue(), INT64_MIN);
        EXPECT_EQ(numberOf(d->objectForKey("tenth"))->kind(), Number::Kind::Double);
        EXPECT_TRUE(std::signbit(numberOf(d->objectForKey("negative zero"))->doubleValue()));
        EXPECT_TRUE(std::isnan(numberOf(d->objectForKey("nan"))->doubleValue()));
        EXPECT_EQ(d->objectForKeyAs<String>("unicode")->utf8(), "é ü ß 日本 😀 𝄞");
    }
}

TEST(PropertyListRoundTrip, RealsComeBackBitForBit) {
    std::mt19937_64 random(20061403);
    auto list = Array::make();
    for (int i = 0; i < 20000; ++i) {
        double v = std::bit_cast<double>(random());
        if (std::isnan(v)) continue;
        list->addObject(Number::withDouble(v));
    }
    const auto back = kindCast<Array>(xmlRoundTrip(list.get()));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->count(), list->count());
    for (size_t i = 0; i < list->count(); ++i) {
        const double a = numberOf(list->objectAtIndex(i))->doubleValue();
        const double b = numberOf(back->objectAtIndex(i))->doubleValue();
        ASSERT_EQ(std::bit_cast<uint64_t>(a), std::bit_cast<uint64_t>(b)) << a;
    }
    EXPECT_NE(xmlPropertyListData(Number::withDouble(0.1).get()).find("<real>0.1</real>"), std::string::npos);
}

TEST(PropertyListRoundTrip, WholeSecondDatesOverTheCalendar) {
    // From the year -9999 to 9999 in uneven steps, every date reads back to the same second.
    auto list = Array::make();
    for (double t = -378691200000.0 + 0.0; t < 252423993600.0; t += 86400.0 * 3652.4 + 3671.0) {
        list->addObject(Date::withTimeIntervalSinceReferenceDate(t));
    }
    for (double t : {-1.0, 59.0, 60.0, 86399.0, -86401.0, 2147483647.0 - 978307200.0, 2147483648.0 - 978307200.0}) {
        list->addObject(Date::withTimeIntervalSinceReferenceDate(t));
    }
    const auto back = xmlRoundTrip(list.get());
    EXPECT_TRUE(list->isEqual(back.get()));
}

TEST(PropertyListRoundTrip, FractionalSecondsAreDroppedOnWriteAsThePlatformDoes) {
    const auto date = Date::withTimeIntervalSinceReferenceDate(-0.25);
    const std::string xml = xmlPropertyListData(date.get());
    EXPECT_NE(xml.find("<date>2000-12-31T23:59:59Z</date>"), std::string::npos) << xml;
    const auto exact = kindCast<Date>(readText(wrap("<date>2006-03-14T10:22:05.25Z</date>")));
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->timeIntervalSinceReferenceDate(), 164024525.25);
}

TEST(PropertyListRoundTrip, DeepNestingUpToTheLimit) {
    Ref<Object> value = str("bottom");
    for (int i = 0; i < 512; ++i) value = Array::make({value});
    EXPECT_TRUE(value->isEqual(xmlRoundTrip(value.get()).get()));
    EXPECT_TRUE(value->isEqual(binaryRoundTrip(value.get()).get()));
    std::string error;
    const Ref<Object> tooDeep = Array::make({value});
    EXPECT_EQ(xmlPropertyListData(tooDeep.get(), &error), "");
    EXPECT_FALSE(readPropertyList(ossel::testing::encodeBinaryPlist(tooDeep.get()), &error));
    EXPECT_NE(error.find("512"), std::string::npos);
}

TEST(PropertyListReader, TextFeatures) {
    const char* body =
        "<dict>\n"
        "  <!-- a comment -->\n"
        "  <key>refs</key><string>&#123;&#x1F600;&#xe9;&lt;&gt;&amp;&quot;&apos;</string>\n"
        "  <key>cdata</key><string>a<![CDATA[<b> & ]]>c</string>\n"
        "  <key>blank</key><string>   </string>\n"
        "  <key>empty</key><string/>\n"
        "  <key>hex</key><integer>0x1F</integer>\n"
        "  <key>spaced</key><integer> 42 </integer>\n"
        "  <key>plus</key><real>+1.5e3</real>\n"
        "  <key>inf</key><real>-infinity</real>\n"
        "  <key>data</key><data>\n  AAEC\n  Aw==\n  </data>\n"
        "  <key>crlf</key><string>a\r\nb</string>\n"
        "</dict>";
    std::string error;
    const auto d = kindCast<Dictionary>(readText(wrap(body), &error));
    ASSERT_TRUE(d) << error;
    EXPECT_EQ(d->objectForKeyAs<String>("refs")->utf8(), "{😀é<>&\"'");
    EXPECT_EQ(d->objectForKeyAs<String>("cdata")->utf8(), "a<b> & c");
    EXPECT_EQ(d->objectForKeyAs<String>("blank")->utf8(), "   ");
    EXPECT_EQ(d->objectForKeyAs<String>("empty")->utf8(), "");
    EXPECT_EQ(d->objectForKeyAs<Number>("hex")->longLongValue(), 31);
    EXPECT_EQ(d->objectForKeyAs<Number>("spaced")->longLongValue(), 42);
    EXPECT_EQ(d->objectForKeyAs<Number>("plus")->doubleValue(), 1500.0);
    EXPECT_EQ(d->objectForKeyAs<Number>("inf")->doubleValue(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(d->objectForKeyAs<Data>("data")->bytes(), (std::vector<uint8_t>{0, 1, 2, 3}));
    EXPECT_EQ(d->objectForKeyAs<String>("crlf")->utf8(), "a\nb");
    // Keys keep the file's order.
    EXPECT_EQ(d->entries().front().first, "refs");
    EXPECT_EQ(d->entries().back().first, "crlf");
}

TEST(PropertyListReader, Utf16WithEitherByteOrder) {
    const std::u16string text = u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<plist version=\"1.0\">\n"
                                u"<array><string>h\u00e9llo \U0001F600</string><integer>-5</integer></array>\n</plist>\n";
    for (const bool big : {true, false}) {
        std::vector<uint8_t> bytes;
        for (char16_t c : text) {
            const uint8_t hi = static_cast<uint8_t>(c >> 8), lo = static_cast<uint8_t>(c & 0xFF);
            bytes.push_back(big ? hi : lo);
            bytes.push_back(big ? lo : hi);
        }
        std::string error;
        const auto a = kindCast<Array>(readPropertyList(bytes, &error));
        ASSERT_TRUE(a) << error;
        EXPECT_EQ(kindCast<String>(a->objectAtIndex(0))->utf8(), "héllo 😀");
        EXPECT_EQ(numberOf(a->objectAtIndex(1))->longLongValue(), -5);
    }
}

TEST(PropertyListReader, IntegerBoundaries) {
    struct Case {
        const char* text;
        bool ok;
        Number::Kind kind;
    } cases[] = {
        {"9223372036854775807", true, Number::Kind::Int},   {"9223372036854775808", true, Number::Kind::UInt},
        {"18446744073709551615", true, Number::Kind::UInt}, {"-9223372036854775808", true, Number::Kind::Int},
        {"18446744073709551616", false, {}},                {"-9223372036854775809", false, {}},
        {"0xFFFFFFFFFFFFFFFF", true, Number::Kind::UInt},   {"-0", true, Number::Kind::Int},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto n = numberOf(readText(wrap(std::string("<integer>") + c.text + "</integer>"), &error));
        EXPECT_EQ(bool(n), c.ok) << c.text << " " << error;
        if (n) EXPECT_EQ(n->kind(), c.kind) << c.text;
    }
    EXPECT_EQ(numberOf(readText(wrap("<integer>-9223372036854775808</integer>")))->longLongValue(), INT64_MIN);
}

TEST(PropertyListReader, MutableContainersOption) {
    const std::string xml = wrap("<dict><key>a</key><array><dict/></array></dict>");
    for (const bool wanted : {false, true}) {
        const auto d = kindCast<Dictionary>(readText(xml, nullptr, {.mutableContainers = wanted}));
        ASSERT_TRUE(d);
        EXPECT_EQ(d->isMutable(), wanted);
        const auto a = d->objectForKeyAs<Array>("a");
        EXPECT_EQ(a->isMutable(), wanted);
        EXPECT_EQ(kindCast<Dictionary>(a->objectAtIndex(0))->isMutable(), wanted);
        const auto bin = ossel::testing::encodeBinaryPlist(d.get());
        const auto fromBinary = kindCast<Dictionary>(readPropertyList(bin, nullptr, {.mutableContainers = wanted}));
        ASSERT_TRUE(fromBinary);
        EXPECT_EQ(fromBinary->objectForKeyAs<Array>("a")->isMutable(), wanted);
    }
}

TEST(PropertyListReader, BareValueWithoutPlistElement) {
    const auto s = kindCast<String>(readText("<string>alone</string>"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->utf8(), "alone");
}

class PropertyListFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("ossel-plist-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir_;
};

TEST_F(PropertyListFiles, AtomicWriteReplacesTheOldFileAndLeavesNoTemporary) {
    const std::string path = (dir_ / "defaults.plist").string();
    std::ofstream(path) << "old contents that are not a property list";
    const auto value = everyKind();
    std::string error;
    ASSERT_TRUE(writePropertyListToFile(value.get(), path, true, &error)) << error;
    EXPECT_EQ(entries(), std::vector<std::string>{"defaults.plist"});
    const auto back = readPropertyListFromFile(path, &error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(value->isEqual(back.get()));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_read, fs::perms::owner_read);
}

TEST_F(PropertyListFiles, FailedWritesKeepTheOldFile) {
    const std::string path = (dir_ / "keep.plist").string();
    std::ofstream(path) << "original";
    std::string error;
    EXPECT_FALSE(writePropertyListToFile(Null::null().get(), path, true, &error));
    EXPECT_FALSE(writePropertyListToFile(Null::null().get(), path, false, &error));
    std::ifstream in(path);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "original");
    EXPECT_EQ(entries(), std::vector<std::string>{"keep.plist"});
    const std::string missingDir = (dir_ / "no" / "such" / "file.plist").string();
    for (const bool atomically : {true, false}) {
        error.clear();
        EXPECT_FALSE(writePropertyListToFile(str("x").get(), missingDir, atomically, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(PropertyListFiles, PlainWriteAndReadingMissingOrOddFiles) {
    const std::string path = (dir_ / "plain.plist").string();
    ASSERT_TRUE(writePropertyListToFile(str("text").get(), path, false));
    EXPECT_TRUE(str("text")->isEqual(readPropertyListFromFile(path).get()));
    std::string error;
    EXPECT_FALSE(readPropertyListFromFile((dir_ / "absent.plist").string(), &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(readPropertyListFromFile(dir_.string(), &error));
    EXPECT_NE(error.find("directory"), std::string::npos) << error;
}

TEST(PropertyListFixtures, ReadEveryGoodFixture) {
    // Files named good-*.plist must read; the catalog sample must be the array of people it claims.
    size_t seen = 0;
    for (const auto& e : fs::directory_iterator(fs::path(OSSEL_TEST_DATA) / "plist")) {
        const std::string name = e.path().filename().string();
        if (!name.starts_with("good-")) continue;
        std::string error;
        EXPECT_TRUE(readPropertyListFromFile(e.path().string(), &error)) << name << ": " << error;
        ++seen;
    }
    EXPECT_GE(seen, 3u);
    const auto people = kindCast<Array>(readPropertyListFromFile(std::string(OSSEL_TEST_DATA) + "/plist/good-People 2.xml"));
    ASSERT_TRUE(people);
    ASSERT_EQ(people->count(), 2u);
    const auto first = kindCast<Dictionary>(people->objectAtIndex(0));
    EXPECT_EQ(first->objectForKeyAs<String>("peopleId")->utf8(), "OsselPeople.studio_mac_local-12-1199145600.123457");
    EXPECT_EQ(first->objectForKeyAs<Dictionary>("peopleData")->objectForKeyAs<String>("firstName")->utf8(), "Ann");
}

TEST(PropertyListReader, RepeatedKeyKeepsTheLaterValue) {
    // Small dictionaries and large ones (a different check) alike, in both formats.
    for (const int filler : {0, 40}) {
        std::string body = "<dict><key>a</key><integer>1</integer>";
        for (int i = 0; i < filler; ++i) body += "<key>k" + std::to_string(i) + "</key><true/>";
        body += "<key>a</key><integer>2</integer></dict>";
        const auto d = kindCast<Dictionary>(readText(wrap(body)));
        ASSERT_TRUE(d);
        EXPECT_EQ(d->count(), static_cast<size_t>(filler + 1));
        EXPECT_EQ(d->objectForKeyAs<Number>("a")->longLongValue(), 2);
    }
    const auto bytes = ossel::testing::assembleBinary({{0xD2, 1, 1, 2, 3}, {0x51, 'a'}, {0x10, 1}, {0x10, 2}});
    const auto d = kindCast<Dictionary>(readPropertyList(bytes));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->count(), 1u);
    EXPECT_EQ(d->objectForKeyAs<Number>("a")->longLongValue(), 2);
}
