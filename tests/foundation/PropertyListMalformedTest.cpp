// Malformed property lists: each must be refused with the kind of problem and
// where it is, and nothing may crash.
#include <gtest/gtest.h>

#include <set>

#include "foundation/BinaryPlistBuilder.h"
#include "foundation/PropertyList.h"
#include "support/Cases.h"
#include "support/TestEnvironment.h"

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
    size_t line = 0, offset = 0;
};

void expectRefusal(std::span<const uint8_t> bytes, const Expected& expected, const std::string& label) {
    const PropertyListError error = errorOf(bytes);
    EXPECT_TRUE(error.kind == expected.kind && error.line == expected.line && error.offset == expected.offset)
        << label << " -> " << static_cast<int>(error.kind) << " " << error.description();
}

Kind kindNamed(const std::string& name) {
    const char* names[] = {"empty",     "encoding",   "syntax",  "unknownElement", "structure",
                           "badValue",  "outOfRange", "tooDeep", "truncated",      "badTrailer",
                           "badReference", "cycle",   "unsupported", "tooManyObjects"};
    const auto at = std::find(std::begin(names), std::end(names), name);
    EXPECT_NE(at, std::end(names)) << name;
    return static_cast<Kind>(at - std::begin(names));
}

std::vector<uint8_t> ascii(std::string_view s) {
    std::vector<uint8_t> o(s.size() + 1, static_cast<uint8_t>(0x50 | s.size()));
    std::copy(s.begin(), s.end(), o.begin() + 1);
    return o;
}

}  // namespace

TEST(PropertyListMalformed, XmlRefusalsNameTheirKindAndLine) {
    for (const auto& c : ossel::testing::casesFrom("foundation/plist-malformed-xml.txt", 3)) {
        const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + c[0];
        expectRefusal(bytesOf(text), {kindNamed(c[1]), size_t(c.number(2))}, c.where);
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
    for (const uint8_t offset : {0xF0, 0x03}) {  // the offset table's only entry: past the objects, into the header
        bytes[trailer - 1] = offset;
        expectRefusal(bytes, {Kind::badReference, 0, trailer - 1}, "offset " + std::to_string(offset));
    }
    expectRefusal(std::vector<uint8_t>{'b', 'p', 'l', 'i', 's', 't', '0', '0'}, {Kind::truncated}, "no trailer");
    bytes = good;
    bytes[7] = '1';
    expectRefusal(bytes, {Kind::unsupported}, "version 01");
}

TEST(PropertyListMalformed, BinaryObjectsReferencesAndCycles) {
    for (const auto& c : ossel::testing::casesFrom("foundation/plist-malformed-binary.txt", 3)) {
        std::vector<std::vector<uint8_t>> objects(1);
        std::istringstream bytes(c[0]);
        for (std::string byte; bytes >> byte;) {
            if (byte == "/") {
                objects.emplace_back();
            } else {
                objects.back().push_back(static_cast<uint8_t>(std::stoi(byte, nullptr, 16)));
            }
        }
        expectRefusal(assembleBinary(objects), {kindNamed(c[1]), 0, size_t(c.number(2))}, c.where);
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
    for (const bool copies : {false, true}) {
        // Each repeat is charged its tree (2^(41-k) - 1 objects for array k) before it is built, so
        // the charges pass 8 million at the second reference to array 19, at offset 8 + 3 * 19.
        const auto error = errorOf(chain(40), {.mutableContainers = copies});
        EXPECT_EQ(error.kind, Kind::tooManyObjects);
        EXPECT_EQ(error.offset, 65u);
        // Below the budget the same sharing reads: each array at most twice, shared, or as copies
        // when every one must be changeable on its own (2^12 - 1 arrays in all).
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
    const auto root = ossel::testing::dictionaryOf(
        {{"list", Array::make({str("a"), str("é😀"), Number::withInt(-3), Number::withDouble(2.5)})},
         {"inner", Dictionary::make()}, {"s", str("text & more")}});
    const std::string xml = xmlPropertyListData(root.get());
    const auto binary = ossel::testing::encodeBinaryPlist(root.get());
    for (size_t n = 0; n < binary.size(); ++n) errorOf(std::span(binary.data(), n));
    for (size_t n = 0; n + 1 < xml.size(); ++n) errorOf(bytesOf(std::string_view(xml).substr(0, n)));
}
