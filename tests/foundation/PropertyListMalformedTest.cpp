// Malformed property lists, grouped by kind: each must be refused with a message
// that names the problem and where it is, and nothing may crash.
#include <gtest/gtest.h>

#include <array>
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

std::string errorOf(std::span<const uint8_t> bytes) {
    std::string error;
    EXPECT_FALSE(readPropertyList(bytes, &error));
    EXPECT_FALSE(error.empty());
    return error;
}

bool contains(const std::string& haystack, const std::string& needle) { return haystack.find(needle) != std::string::npos; }

// Each body follows two header lines; the message must hold both "line N" and a word naming the problem.
void expectRefused(std::initializer_list<std::array<const char*, 3>> cases) {
    for (const auto& [body, where, what] : cases) {
        const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + std::string(body);
        const std::string error = errorOf(bytesOf(text));
        EXPECT_TRUE(contains(error, where) && contains(error, what)) << body << " -> " << error;
    }
}

std::vector<uint8_t> ascii(std::string_view s) {
    std::vector<uint8_t> o{static_cast<uint8_t>(0x50 | s.size())};
    o.insert(o.end(), s.begin(), s.end());
    return o;
}

}  // namespace

TEST(PropertyListMalformedXml, JunkValues) {
    expectRefused({
        {"<array>\n<integer>12abc</integer>\n</array></plist>", "line 4", "12abc"},
        {"<array>\n<integer>1,5</integer>\n</array></plist>", "line 4", "not an integer"},
        {"<array>\n\n<integer/>\n</array></plist>", "line 5", "empty <integer>"},
        {"<integer>18446744073709551616</integer></plist>", "line 3", "out of range"},
        {"<dict>\n<key>r</key>\n<real>1,5</real>\n</dict></plist>", "line 5", "not a number"},
        {"<real>1e999</real></plist>", "line 3", "out of range"},
        {"<real></real></plist>", "line 3", "empty <real>"},
        {"<date>2007-02-29T00:00:00Z</date></plist>", "line 3", "not a date"},
        {"<date>2006-03-14 10:22:05</date></plist>", "line 3", "not a date"},
        {"<date>999999999-01-01T00:00:00Z</date></plist>", "line 3", "out of range"},
        {"<data>AA!A</data></plist>", "line 3", "base64"},
        {"<true>yes</true></plist>", "line 3", "inside <true/>"},
    });
}

TEST(PropertyListMalformedXml, KeysEntitiesAndStructure) {
    expectRefused({
        {"<dict>\n<key>a</key>\n</dict></plist>", "line 4", "without a value"},
        {"<dict>\n<key>a</key>\n<key>b</key><string/>\n</dict></plist>", "line 4", "without a value"},
        {"<dict>\n<string>v</string>\n</dict></plist>", "line 4", "without a <key>"},
        {"<key>a</key></plist>", "line 3", "outside of a <dict>"},
        {"<string>a &nbsp; b</string></plist>", "line 3", "undefined entity &nbsp;"},
        {"<string>\n\nAT&T</string></plist>", "line 5", "'&'"},
        {"<string>&#xD800;</string></plist>", "line 3", "character reference"},
        {"<string>a<b>c</b></string></plist>", "line 3", "<b>"},
        {"<dict>\n<key>a</key>\n<string>x</string>\n", "line 6", "the file ends inside <dict> (opened on line 3)"},
        {"<array>\n<string>x</array>\n</plist>", "line 4", "malformed XML"},
        {"<array>\n<blob/>\n</array></plist>", "line 4", "unknown element <blob>"},
        {"</plist>", "line 2", "holds no value"},
        {"<string/><string/></plist>", "line 3", "more than one value"},
    });
    EXPECT_EQ(errorOf({}), "empty input");
    for (const char* text : {"hello world", "<html><body>hi</body></html>", "\xEF\xBB\xBF", "<?xml version=\"1.0\"?>"}) {
        errorOf(bytesOf(text));
    }
    EXPECT_EQ(errorOf(bytesOf("<plist>\n<string>caf\xC3</string>\n</plist>")), "line 2: invalid UTF-8");
    const char withNul[] = "<plist>\n\n<string>a\0b</string></plist>";
    EXPECT_EQ(errorOf(bytesOf({withNul, sizeof withNul - 1})), "line 3: NUL character");
    EXPECT_TRUE(contains(errorOf(std::vector<uint8_t>{0xFF, 0xFE, '<', 0, 0x00, 0xD8, '>', 0}), "UTF-16"));
    errorOf(std::vector<uint8_t>{0xFE, 0xFF, 0, '<', 0});  // odd length
}

TEST(PropertyListMalformedXml, NestingDeeperThan512) {
    auto deep = [](int depth) {
        std::string s = "<plist>";
        for (int i = 0; i < depth; ++i) s += "<array>";
        for (int i = 0; i < depth; ++i) s += "</array>";
        return s + "</plist>";
    };
    std::string error;
    EXPECT_TRUE(readPropertyList(bytesOf(deep(512)), &error)) << error;
    EXPECT_TRUE(contains(errorOf(bytesOf(deep(513))), "512"));
    errorOf(bytesOf(deep(200000)));  // far deeper than any stack would survive by recursion
}

TEST(PropertyListMalformedBinary, TrailerAndOffsetTable) {
    const std::vector<std::vector<uint8_t>> one{ascii("hi")};
    const auto good = assembleBinary(one);
    EXPECT_TRUE(readPropertyList(good));
    const auto wide = assembleBinary(one, {.offsetSize = 9});  // the size byte is the trailer's seventh
    EXPECT_EQ(errorOf(wide), "offset " + std::to_string(wide.size() - 32 + 6) + ": offset size must be 1 to 8 bytes");
    const std::pair<BinaryTrailer, const char*> trailers[] = {
        {{.refSize = 0}, "reference size"}, {{.objectCount = 0}, "no objects"}, {{.topObject = 1}, "top object"},
        {{.objectCount = UINT64_MAX - 1}, "overruns"}, {{.objectCount = 2}, "overruns"},
        {{.tableOffset = 1u << 20}, "outside the file"}, {{.tableOffset = 3}, "outside the file"},
    };
    for (const auto& [trailer, what] : trailers) EXPECT_TRUE(contains(errorOf(assembleBinary(one, trailer)), what)) << what;
    auto bytes = good;
    bytes[good.size() - 33] = 0xF0;  // the offset table entry points past the objects
    EXPECT_TRUE(contains(errorOf(bytes), "outside the object area"));
    EXPECT_EQ(errorOf(std::vector<uint8_t>{'b', 'p', 'l', 'i', 's', 't', '0', '0'}),
              "offset 0: binary property list too short for its trailer");
    bytes = good;
    bytes[7] = '1';
    EXPECT_EQ(errorOf(bytes), "offset 0: unsupported binary property list version");
}

TEST(PropertyListMalformedBinary, ReferencesCountsCyclesAndTypes) {
    EXPECT_EQ(errorOf(assembleBinary({{0xA1, 5}, ascii("x")})), "offset 9: reference to object 5 of 2");
    struct Case {
        std::vector<std::vector<uint8_t>> objects;
        const char* what;
    } cases[] = {
        {{{0xA1, 0}}, "object 0 contains itself"},
        {{{0xA1, 1}, {0xD1, 2, 0}, ascii("k")}, "contains itself"},  // through a dictionary
        {{{0xAE, 0}}, "runs past"},
        {{{0x5F, 0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0}}, "runs past"},
        {{{0x5F, 0x23}}, "not followed by an integer"},
        {{{0x68, 0, 'a'}}, "runs past"},
        {{{0x13, 0, 0}}, "runs past"},
        {{{0xD1, 1, 1}, {0x10, 7}}, "key that is not a string"},
        {{{0x00}}, "null object"},
        {{{0x0F}}, "fill byte"},
        {{{0x07}}, "unknown simple object 0x07"},
        {{{0x70}}, "unknown object type"},
        {{{0x80, 1}}, "UID"},
        {{{0xC0}}, "sets"},
        {{{0x15, 0}}, "integer of 2^5 bytes"},
        {{{0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}}, "128-bit"},
        {{{0x21, 0, 0}}, "real of 2^1 bytes"},
        {{{0x33, 0x7F, 0xF8, 0, 0, 0, 0, 0, 0}}, "date out of range"},
        {{{0x51, 0xE9}}, "non-ASCII"},
        {{{0x62, 0xDC, 0x00, 0xD8, 0x00}}, "unpaired"},
    };
    for (const auto& c : cases) {
        const std::string error = errorOf(assembleBinary(c.objects));
        EXPECT_TRUE(contains(error, c.what) && error.starts_with("offset ")) << c.what << " -> " << error;
    }
}

TEST(PropertyListMalformedBinary, SharedContainersCannotExplode) {
    // Forty arrays each holding the next one twice: two to the fortieth paths through a tiny file.
    std::vector<std::vector<uint8_t>> objects;
    for (uint8_t i = 0; i < 40; ++i) objects.push_back({0xA2, uint8_t(i + 1), uint8_t(i + 1)});
    objects.push_back(ascii("leaf"));
    EXPECT_TRUE(contains(errorOf(assembleBinary(objects)), "shared too often"));
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
    for (size_t n = 0; n < binary.size(); ++n) errorOf(std::span(binary.data(), n));
    for (size_t n = 0; n + 1 < xml.size(); ++n) errorOf(bytesOf(std::string_view(xml).substr(0, n)));
    // Random bytes changed: anything may happen except a crash, and success gives a writable value.
    std::mt19937 random(1403);
    for (int round = 0; round < 1000; ++round) {
        auto damaged = binary;
        for (int k = 0; k < 3; ++k) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
        std::string error;
        const auto value = readPropertyList(damaged, &error);
        EXPECT_TRUE(value ? !xmlPropertyListData(value.get()).empty() : !error.empty());
    }
}
