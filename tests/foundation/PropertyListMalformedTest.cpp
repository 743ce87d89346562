// Malformed property lists: each must be refused with the kind of problem and
// where it is, and nothing may crash.
#include <gtest/gtest.h>

#include <set>

#include "foundation/Array.h"
#include "foundation/BinaryPlistBuilder.h"
#include "foundation/Dictionary.h"
#include "foundation/PropertyList.h"
#include "foundation/String.h"

using namespace ossel;
using ossel::testing::assembleBinary;
using ossel::testing::BinaryTrailer;
using Kind = PropertyListErrorKind;

namespace {

std::span<const uint8_t> bytesOf(std::string_view s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

PropertyListError errorOf(std::span<const uint8_t> bytes, PropertyListReadOptions options = {}) {
    PropertyListError error;
    EXPECT_FALSE(readPropertyList(bytes, &error, options));
    EXPECT_FALSE(error.message.empty());
    return error;
}

// Where a refusal is expected: a line for XML, a byte offset for binary.
struct Expected {
    Kind kind;
    size_t line = 0;
    size_t offset = 0;
};

void expectRefusal(std::span<const uint8_t> bytes, const Expected& expected, const std::string& label) {
    const PropertyListError error = errorOf(bytes);
    EXPECT_TRUE(error.kind == expected.kind && error.line == expected.line && error.offset == expected.offset)
        << label << " -> " << static_cast<int>(error.kind) << " " << error.description();
}

std::vector<uint8_t> ascii(std::string_view s) {
    std::vector<uint8_t> o{static_cast<uint8_t>(0x50 | s.size())};
    o.insert(o.end(), s.begin(), s.end());
    return o;
}

}  // namespace

TEST(PropertyListMalformed, XmlRefusalsNameTheirKindAndLine) {
    // Each body follows two header lines.
    const std::pair<const char*, Expected> cases[] = {
        {"<array>\n<integer>12abc</integer>\n</array></plist>", {Kind::badValue, 4}},
        {"<array>\n\n<integer/>\n</array></plist>", {Kind::badValue, 5}},
        {"<integer>18446744073709551616</integer></plist>", {Kind::outOfRange, 3}},
        {"<dict>\n<key>r</key>\n<real>1,5</real>\n</dict></plist>", {Kind::badValue, 5}},
        {"<real>1e999</real></plist>", {Kind::outOfRange, 3}},
        {"<real></real></plist>", {Kind::badValue, 3}},
        {"<date>2007-02-29T00:00:00Z</date></plist>", {Kind::badValue, 3}},
        {"<date>2006-03-14 10:22:05</date></plist>", {Kind::badValue, 3}},
        {"<date>999999999-01-01T00:00:00Z</date></plist>", {Kind::outOfRange, 3}},
        {"<data>AA!A</data></plist>", {Kind::badValue, 3}},
        {"<true>yes</true></plist>", {Kind::badValue, 3}},
        {"<dict>\n<key>a</key>\n</dict></plist>", {Kind::structure, 4}},
        {"<dict>\n<key>a</key>\n<key>b</key><string/>\n</dict></plist>", {Kind::structure, 4}},
        {"<dict>\n<string>v</string>\n</dict></plist>", {Kind::structure, 4}},
        {"<key>a</key></plist>", {Kind::structure, 3}},
        {"<string>a<b>c</b></string></plist>", {Kind::structure, 3}},
        {"</plist>", {Kind::structure, 2}},
        {"<string/><string/></plist>", {Kind::structure, 3}},
        {"<string>a &nbsp; b</string></plist>", {Kind::syntax, 3}},
        {"<string>\n\nAT&T</string></plist>", {Kind::syntax, 5}},
        {"<string>&#xD800;</string></plist>", {Kind::syntax, 3}},
        {"<array>\n<string>x</array>\n</plist>", {Kind::syntax, 4}},
        {"<dict>\n<key>a</key>\n<string>x</string>\n", {Kind::truncated, 6}},
        {"<array>\n<blob/>\n</array></plist>", {Kind::unknownElement, 4}},
        {"<string>caf\xC3</string></plist>", {Kind::encoding, 3}},
        {"<string>\n\xED\xA0\x80</string></plist>", {Kind::encoding, 4}},  // a surrogate in UTF-8
    };
    for (const auto& [body, expected] : cases) {
        const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + std::string(body);
        expectRefusal(bytesOf(text), expected, body);
    }
    const char withNul[] = "<plist>\n\n<string>a\0b</string></plist>";
    expectRefusal(bytesOf({withNul, sizeof withNul - 1}), {Kind::encoding, 3}, "NUL");
    expectRefusal(std::vector<uint8_t>{0xFF, 0xFE, '<', 0, 0x00, 0xD8, '>', 0}, {Kind::encoding, 0, 4}, "unpaired");
    expectRefusal(std::vector<uint8_t>{0xFE, 0xFF, 0, '<', 0}, {Kind::encoding, 0, 4}, "odd UTF-16 length");
    expectRefusal({}, {Kind::empty}, "empty");
    for (const char* text : {"hello world", "<html><body>hi</body></html>", "\xEF\xBB\xBF", "<?xml version=\"1.0\"?>"}) {
        EXPECT_EQ(errorOf(bytesOf(text)).line, 1u) << text;
    }
}

TEST(PropertyListMalformed, NestingDeeperThan512) {
    auto deep = [](int depth) {
        std::string s = "<plist>";
        for (int i = 0; i < depth; ++i) s += "<array>";
        for (int i = 0; i < depth; ++i) s += "</array>";
        return s + "</plist>";
    };
    EXPECT_TRUE(readPropertyList(bytesOf(deep(512))));
    expectRefusal(bytesOf(deep(513)), {Kind::tooDeep, 1}, "513 levels");
    errorOf(bytesOf(deep(200000)));  // far deeper than any stack would survive by recursion
    // The writer and the binary reader hold the same limit.
    Ref<Object> value = str("bottom");
    for (int i = 0; i < 512; ++i) value = Array::make({value});
    EXPECT_TRUE(value->isEqual(readPropertyList(ossel::testing::encodeBinaryPlist(value.get())).get()));
    const std::string xml = xmlPropertyListData(value.get());
    EXPECT_TRUE(value->isEqual(readPropertyList(bytesOf(xml)).get()));
    value = Array::make({value});
    EXPECT_EQ(xmlPropertyListData(value.get()), "");
    EXPECT_EQ(errorOf(ossel::testing::encodeBinaryPlist(value.get())).kind, Kind::tooDeep);
}

TEST(PropertyListMalformed, BinaryTrailersAndOffsetTables) {
    const std::vector<std::vector<uint8_t>> one{ascii("hi")};
    const auto good = assembleBinary(one);
    ASSERT_TRUE(readPropertyList(good));
    const size_t trailer = good.size() - 32;
    const std::pair<BinaryTrailer, size_t> trailers[] = {
        {{.offsetSize = 9}, 6}, {{.refSize = 0}, 7}, {{.objectCount = 0}, 8}, {{.topObject = 1}, 16},
        {{.objectCount = UINT64_MAX - 1}, 8}, {{.objectCount = 2}, 8}, {{.tableOffset = 1u << 20}, 24},
        {{.tableOffset = 3}, 24},
    };
    for (const auto& [fields, at] : trailers) {
        const auto bytes = assembleBinary(one, fields);
        expectRefusal(bytes, {Kind::badTrailer, 0, bytes.size() - 32 + at}, "trailer byte " + std::to_string(at));
    }
    auto bytes = good;
    bytes[trailer - 1] = 0xF0;  // the offset table's only entry points past the objects
    expectRefusal(bytes, {Kind::badReference, 0, trailer - 1}, "offset past the objects");
    expectRefusal(std::vector<uint8_t>{'b', 'p', 'l', 'i', 's', 't', '0', '0'}, {Kind::truncated}, "no trailer");
    bytes = good;
    bytes[7] = '1';
    expectRefusal(bytes, {Kind::unsupported}, "version 01");
}

TEST(PropertyListMalformed, BinaryObjectsReferencesAndCycles) {
    // Objects start at offset 8, one after the other.
    const std::pair<std::vector<std::vector<uint8_t>>, Expected> cases[] = {
        {{{0xA1, 5}, ascii("x")}, {Kind::badReference, 0, 9}},
        {{{0xA1, 0}}, {Kind::cycle, 0, 8}},
        {{{0xA1, 1}, {0xD1, 2, 0}, ascii("k")}, {Kind::cycle, 0, 8}},  // through a dictionary
        {{{0xAE, 0}}, {Kind::truncated, 0, 8}},
        {{{0x5F, 0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0}}, {Kind::truncated, 0, 8}},
        {{{0x5F, 0x23}}, {Kind::badValue, 0, 8}},
        {{{0x68, 0, 'a'}}, {Kind::truncated, 0, 8}},
        {{{0x13, 0, 0}}, {Kind::truncated, 0, 8}},
        {{{0xD1, 1, 1}, {0x10, 7}}, {Kind::badValue, 0, 9}},
        {{{0x00}}, {Kind::unsupported, 0, 8}},
        {{{0x0F}}, {Kind::unsupported, 0, 8}},
        {{{0x07}}, {Kind::unsupported, 0, 8}},
        {{{0x70}}, {Kind::unsupported, 0, 8}},
        {{{0x80, 1}}, {Kind::unsupported, 0, 8}},
        {{{0xC0}}, {Kind::unsupported, 0, 8}},
        {{{0x15, 0}}, {Kind::unsupported, 0, 8}},
        {{{0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}}, {Kind::outOfRange, 0, 8}},
        {{{0x21, 0, 0}}, {Kind::unsupported, 0, 8}},
        {{{0x33, 0x7F, 0xF8, 0, 0, 0, 0, 0, 0}}, {Kind::outOfRange, 0, 8}},
        {{{0x51, 0xE9}}, {Kind::encoding, 0, 9}},
        {{{0x62, 0xDC, 0x00, 0xD8, 0x00}}, {Kind::encoding, 0, 9}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        expectRefusal(assembleBinary(cases[i].first), cases[i].second, "binary case " + std::to_string(i));
    }
}

TEST(PropertyListMalformed, SharedContainersAreChargedAgainstABudget) {
    // Arrays each holding the next one twice: two to the fortieth objects from a tiny file.
    const auto chain = [](uint8_t arrays) {
        std::vector<std::vector<uint8_t>> objects;
        for (uint8_t i = 0; i < arrays; ++i) objects.push_back({0xA2, uint8_t(i + 1), uint8_t(i + 1)});
        objects.push_back(ascii("leaf"));
        return assembleBinary(objects);
    };
    // Each repeat is charged its tree (2^(41-k) - 1 objects for array k) before it is built, so
    // the charges pass 8 million at the second reference to array 19, at offset 8 + 3 * 19.
    for (const bool copies : {false, true}) {
        const auto error = errorOf(chain(40), {.mutableContainers = copies});
        EXPECT_EQ(error.kind, Kind::tooManyObjects);
        EXPECT_EQ(error.offset, 65u);
    }
    // Below the budget the same sharing reads: each array at most twice, shared, or as copies
    // when every one must be changeable on its own (2^12 - 1 arrays in all).
    for (const bool copies : {false, true}) {
        const auto top = readPropertyList(chain(12), nullptr, {.mutableContainers = copies});
        ASSERT_TRUE(top);
        std::set<const Object*> distinct;
        size_t visited = 0;
        const auto walk = [&](const auto& self, const Object* node) -> void {
            const auto* array = dynamic_cast<const Array*>(node);
            if (!array) return;
            ++visited;
            distinct.insert(node);
            EXPECT_EQ(array->isMutable(), copies);
            for (const auto& item : *array) self(self, item.get());
        };
        walk(walk, top.get());
        EXPECT_EQ(visited, 4095u);
        EXPECT_EQ(distinct.size() == 4095u, copies);
        EXPECT_LE(distinct.size(), copies ? 4095u : 24u);
    }
}

// Every cut of a file in either format is refused; damaged bytes are the property-list fuzzer's.
TEST(PropertyListMalformed, EveryTruncationFailsCleanly) {
    auto root = Dictionary::make();
    root->setObject(Array::make({str("a"), str("é😀"), Number::withInt(-3), Number::withDouble(2.5)}), "list");
    root->setObject(Dictionary::make(), "inner");
    root->setObject(str("text & more"), "s");
    const std::string xml = xmlPropertyListData(root.get());
    const auto binary = ossel::testing::encodeBinaryPlist(root.get());
    for (size_t n = 0; n < binary.size(); ++n) errorOf(std::span(binary.data(), n));
    for (size_t n = 0; n + 1 < xml.size(); ++n) errorOf(bytesOf(std::string_view(xml).substr(0, n)));
}
