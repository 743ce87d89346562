// Malformed property lists, grouped by kind: each must be refused with a message
// that names the problem and where it is, and nothing may crash.
#include <gtest/gtest.h>

#include <random>

#include "foundation/Array.h"
#include "foundation/BinaryPlistBuilder.h"
#include "foundation/Dictionary.h"
#include "foundation/PropertyList.h"
#include "foundation/String.h"

using namespace ossel;
using ossel::testing::assembleBinary;
using ossel::testing::BinaryTrailer;

namespace {

std::span<const uint8_t> bytesOf(std::string_view s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// The error for a document whose first three lines are the usual header.
std::string errorOf(std::string_view body) {
    const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + std::string(body);
    std::string error;
    const Ref<Object> result = readPropertyList(bytesOf(text), &error);
    EXPECT_FALSE(result) << body;
    EXPECT_FALSE(error.empty()) << body;
    return error;
}

std::string binaryErrorOf(const std::vector<uint8_t>& bytes) {
    std::string error;
    EXPECT_FALSE(readPropertyList(bytes, &error));
    EXPECT_FALSE(error.empty());
    return error;
}

bool contains(const std::string& haystack, const std::string& needle) { return haystack.find(needle) != std::string::npos; }

struct XmlCase {
    const char* body;
    const char* where;  // "line N"
    const char* what;   // a word of the message
};

void expectRefused(const std::vector<XmlCase>& cases) {
    for (const auto& c : cases) {
        const std::string error = errorOf(c.body);
        EXPECT_TRUE(contains(error, c.where)) << c.body << " -> " << error;
        EXPECT_TRUE(contains(error, c.what)) << c.body << " -> " << error;
    }
}

}  // namespace

TEST(PropertyListMalformedXml, JunkNumbersAndDates) {
    expectRefused({
        {"<array>\n<integer>12abc</integer>\n</array></plist>", "line 4", "12abc"},
        {"<array>\n<integer>1,5</integer>\n</array></plist>", "line 4", "not an integer"},
        {"<array>\n\n<integer/>\n</array></plist>", "line 5", "empty <integer>"},
        {"<integer>18446744073709551616</integer></plist>", "line 3", "out of range"},
        {"<integer>--1</integer></plist>", "line 3", "not an integer"},
        {"<integer>0x</integer></plist>", "line 3", "not an integer"},
        {"<dict>\n<key>r</key>\n<real>1,5</real>\n</dict></plist>", "line 5", "not a number"},
        {"<real>1e999</real></plist>", "line 3", "out of range"},
        {"<real>+-1</real></plist>", "line 3", "not a number"},
        {"<real></real></plist>", "line 3", "empty <real>"},
        {"<date>2006-13-01T00:00:00Z</date></plist>", "line 3", "not a date"},
        {"<date>2007-02-29T00:00:00Z</date></plist>", "line 3", "not a date"},
        {"<date>2006-03-14 10:22:05</date></plist>", "line 3", "not a date"},
        {"<date>2006-03-14T10:22:05.Z</date></plist>", "line 3", "not a date"},
        {"<date>999999999-01-01T00:00:00Z</date></plist>", "line 3", "out of range"},
        {"<data>AA!A</data></plist>", "line 3", "base64"},
        {"<data>A</data></plist>", "line 3", "base64"},
    });
}

TEST(PropertyListMalformedXml, DictionaryStructure) {
    expectRefused({
        {"<dict>\n<key>a</key>\n</dict></plist>", "line 4", "without a value"},
        {"<dict>\n<key>a</key>\n<key>b</key><string/>\n</dict></plist>", "line 4", "without a value"},
        {"<dict>\n<string>v</string>\n</dict></plist>", "line 4", "without a <key>"},
        {"<dict>\n<key>a</key><string>v</string>\nloose text\n</dict></plist>", "line 5", "loose text"},
        {"<key>a</key></plist>", "line 3", "outside of a <dict>"},
        {"<dict><key>a<b/></key><true/></dict></plist>", "line 3", "<b>"},
    });
}

TEST(PropertyListMalformedXml, EntitiesAndText) {
    expectRefused({
        {"<string>a &nbsp; b</string></plist>", "line 3", "undefined entity &nbsp;"},
        {"<string>\n\nAT&T</string></plist>", "line 5", "'&'"},
        {"<string>&#xD800;</string></plist>", "line 3", "character reference"},
        {"<string>&#x110000;</string></plist>", "line 3", "character reference"},
        {"<string>&#;</string></plist>", "line 3", "character reference"},
        {"<string>&#12a;</string></plist>", "line 3", "character reference"},
        {"<string>a<b>c</b></string></plist>", "line 3", "<b>"},
        {"<true>yes</true></plist>", "line 3", "inside <true/>"},
    });
}

TEST(PropertyListMalformedXml, DocumentStructure) {
    expectRefused({
        {"<dict>\n<key>a</key>\n<string>x</string>\n", "line 6", "the file ends inside <dict> (opened on line 3)"},  // truncated
        {"<array>\n<string>x</array>\n</plist>", "line 4", "malformed XML"},        // mismatched
        {"<array>\n<blob/>\n</array></plist>", "line 4", "unknown element <blob>"},
        {"</plist>", "line 2", "holds no value"},
        {"<string/><string/></plist>", "line 3", "more than one value"},
        {"text</plist>", "line 3", "inside <plist>"},
    });
    std::string error;
    EXPECT_FALSE(readPropertyList({}, &error));
    EXPECT_EQ(error, "empty input");
    for (const char* text : {"hello world", "<html><body>hi</body></html>", "   ", "\xEF\xBB\xBF", "{ a = b; }",
                             "<?xml version=\"1.0\"?>", "<plist><string>a</string></plist><plist/>"}) {
        error.clear();
        EXPECT_FALSE(readPropertyList(bytesOf(text), &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(PropertyListMalformedXml, BrokenEncodings) {
    const std::string invalidUtf8 = "<plist>\n<string>caf\xC3</string>\n</plist>";
    std::string error;
    EXPECT_FALSE(readPropertyList(bytesOf(invalidUtf8), &error));
    EXPECT_EQ(error, "line 2: invalid UTF-8");
    const char raw[] = "<plist>\n\n<string>a\0b</string></plist>";
    const std::string withNul(raw, sizeof raw - 1);
    EXPECT_FALSE(readPropertyList(bytesOf(withNul), &error));
    EXPECT_EQ(error, "line 3: NUL character");
    const std::vector<uint8_t> loneSurrogate{0xFF, 0xFE, '<', 0, 0x00, 0xD8, '>', 0};
    EXPECT_FALSE(readPropertyList(loneSurrogate, &error));
    EXPECT_TRUE(contains(error, "UTF-16")) << error;
    const std::vector<uint8_t> oddLength{0xFE, 0xFF, 0, '<', 0};
    EXPECT_FALSE(readPropertyList(oddLength, &error));
}

TEST(PropertyListMalformedXml, NestingDeeperThan512) {
    auto nested = [](int depth) {
        std::string s = "<plist>";
        for (int i = 0; i < depth; ++i) s += "<array>";
        for (int i = 0; i < depth; ++i) s += "</array>";
        return s + "</plist>";
    };
    std::string error;
    EXPECT_TRUE(readPropertyList(bytesOf(nested(512)), &error)) << error;
    EXPECT_FALSE(readPropertyList(bytesOf(nested(513)), &error));
    EXPECT_TRUE(contains(error, "512")) << error;
    // Far deeper than any stack would survive by recursion.
    EXPECT_FALSE(readPropertyList(bytesOf(nested(200000)), &error));
}

namespace {

std::vector<uint8_t> ascii(std::string_view s) {
    std::vector<uint8_t> o{static_cast<uint8_t>(0x50 | s.size())};
    o.insert(o.end(), s.begin(), s.end());
    return o;
}

}  // namespace

TEST(PropertyListMalformedBinary, TrailerAndOffsetTable) {
    const std::vector<std::vector<uint8_t>> one{ascii("hi")};
    EXPECT_TRUE(readPropertyList(assembleBinary(one)));

    auto withTrailer = [&](auto change) {
        BinaryTrailer t;
        change(t);
        return binaryErrorOf(assembleBinary(one, t));
    };
    const size_t trailerAt = assembleBinary(one).size() - 32;
    BinaryTrailer wide;
    wide.offsetSize = 9;
    const auto wideTable = assembleBinary(one, wide);
    EXPECT_EQ(binaryErrorOf(wideTable),
              "offset " + std::to_string(wideTable.size() - 32 + 6) + ": offset size must be 1 to 8 bytes");
    EXPECT_TRUE(contains(withTrailer([](auto& t) { t.refSize = 0; }), "reference size"));
    EXPECT_TRUE(contains(withTrailer([](auto& t) { t.objectCount = 0; }), "no objects"));
    EXPECT_TRUE(contains(withTrailer([](auto& t) { t.topObject = 1; }), "top object"));
    EXPECT_TRUE(contains(withTrailer([](auto& t) { t.objectCount = UINT64_MAX - 1; }), "overruns"));
    EXPECT_TRUE(contains(withTrailer([](auto& t) { t.objectCount = 2; }), "overruns"));
    EXPECT_TRUE(contains(withTrailer([](auto& t) { t.tableOffset = 1u << 20; }), "outside the file"));
    EXPECT_TRUE(contains(withTrailer([](auto& t) { t.tableOffset = 3; }), "outside the file"));

    // An offset table entry that points past the objects.
    auto bytes = assembleBinary(one);
    bytes[trailerAt - 1] = 0xF0;
    EXPECT_TRUE(contains(binaryErrorOf(bytes), "outside the object area"));

    EXPECT_EQ(binaryErrorOf({'b', 'p', 'l', 'i', 's', 't', '0', '0'}), "offset 0: binary property list too short for its trailer");
    auto future = assembleBinary(one);
    future[7] = '1';
    EXPECT_EQ(binaryErrorOf(future), "offset 0: unsupported binary property list version");
    EXPECT_TRUE(contains(binaryErrorOf({'b', 'p', 'l', 'i', 's', 't'}), "too short"));
}

TEST(PropertyListMalformedBinary, ReferencesCountsAndCycles) {
    // Object 0 is an array referring to object 5 of 2.
    EXPECT_EQ(binaryErrorOf(assembleBinary({{0xA1, 5}, ascii("x")})), "offset 9: reference to object 5 of 2");
    // An array that contains itself, directly and through a dictionary.
    EXPECT_TRUE(contains(binaryErrorOf(assembleBinary({{0xA1, 0}})), "object 0 contains itself"));
    EXPECT_TRUE(contains(binaryErrorOf(assembleBinary({{0xA1, 1}, {0xD1, 2, 0}, ascii("k")})), "contains itself"));
    // Counts that run past the object area.
    EXPECT_TRUE(contains(binaryErrorOf(assembleBinary({{0xAE, 0}})), "runs past"));
    EXPECT_TRUE(contains(binaryErrorOf(assembleBinary({{0x5F, 0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0}})),
                         "runs past"));
    EXPECT_TRUE(contains(binaryErrorOf(assembleBinary({{0x5F, 0x23}})), "not followed by an integer"));
    EXPECT_TRUE(contains(binaryErrorOf(assembleBinary({{0x4F}})), "not followed by an integer"));
    EXPECT_TRUE(contains(binaryErrorOf(assembleBinary({{0x68, 0, 'a'}})), "runs past"));
    EXPECT_TRUE(contains(binaryErrorOf(assembleBinary({{0x13, 0, 0}})), "runs past"));
    // Dictionary keys must be strings.
    EXPECT_TRUE(contains(binaryErrorOf(assembleBinary({{0xD1, 1, 1}, {0x10, 7}})), "key that is not a string"));
}

TEST(PropertyListMalformedBinary, ObjectTypes) {
    struct Case {
        std::vector<uint8_t> object;
        const char* what;
    } cases[] = {
        {{0x00}, "null object"},
        {{0x0F}, "fill byte"},
        {{0x07}, "unknown simple object 0x07"},
        {{0x80, 1}, "UID"},
        {{0xC0}, "sets"},
        {{0xB0}, "sets"},
        {{0x70}, "unknown object type"},
        {{0x15, 0}, "integer of 2^5 bytes"},
        {{0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, "128-bit"},
        {{0x21, 0, 0}, "real of 2^1 bytes"},
        {{0x32, 0, 0, 0, 0}, "date that is not an 8-byte real"},
        {{0x33, 0x7F, 0xF8, 0, 0, 0, 0, 0, 0}, "date out of range"},
        {{0x51, 0xE9}, "non-ASCII"},
        {{0x61, 0xD8, 0x00}, "unpaired"},
        {{0x62, 0xDC, 0x00, 0xD8, 0x00}, "unpaired"},
    };
    for (const auto& c : cases) {
        const std::string error = binaryErrorOf(assembleBinary({c.object}));
        EXPECT_TRUE(contains(error, c.what)) << error;
        EXPECT_TRUE(error.starts_with("offset ")) << error;
    }
}

TEST(PropertyListMalformedBinary, SharedContainersCannotExplode) {
    // Forty arrays each holding the next one twice: two to the fortieth paths through a tiny file.
    std::vector<std::vector<uint8_t>> objects;
    for (uint8_t i = 0; i < 40; ++i) objects.push_back({0xA2, uint8_t(i + 1), uint8_t(i + 1)});
    objects.push_back(ascii("leaf"));
    EXPECT_TRUE(contains(binaryErrorOf(assembleBinary(objects)), "shared too often"));
    // Sharing strings, as writers do to save room, is fine however often.
    std::vector<uint8_t> array{0xAF, 0x10, 200};
    array.insert(array.end(), 200, 1);
    const auto list = kindCast<Array>(readPropertyList(assembleBinary({array, ascii("same")})));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->count(), 200u);
}

TEST(PropertyListMalformed, EveryTruncationAndRandomDamageFailsCleanly) {
    auto root = Dictionary::make();
    root->setObject(Array::make({str("a"), str("é😀"), Number::withInt(-3), Number::withDouble(2.5)}), "list");
    root->setObject(Dictionary::make(), "inner");
    root->setObject(str("text & more"), "s");
    const std::string xml = xmlPropertyListData(root.get());
    const auto binary = ossel::testing::encodeBinaryPlist(root.get());
    // Every prefix of a good file: refused or, for binary, read only when it is whole.
    for (size_t n = 0; n < binary.size(); ++n) {
        std::string error;
        EXPECT_FALSE(readPropertyList(std::span(binary.data(), n), &error)) << n;
        EXPECT_FALSE(error.empty());
    }
    for (size_t n = 0; n + 1 < xml.size(); ++n) {
        EXPECT_FALSE(readPropertyList(bytesOf(std::string_view(xml).substr(0, n)))) << n;
    }
    // Random bytes changed: anything may happen except a crash, and success gives a writable value.
    std::mt19937 random(1403);
    for (int round = 0; round < 3000; ++round) {
        auto damaged = binary;
        for (int k = 0; k < 3; ++k) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
        std::string error;
        if (const auto value = readPropertyList(damaged, &error)) {
            EXPECT_FALSE(xmlPropertyListData(value.get()).empty());
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}
