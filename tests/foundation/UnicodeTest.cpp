#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Unicode.h"

using namespace ossel::unicode;

TEST(Unicode, IllFormedBytesAreFoundAndEachBecomesOneReplacement) {
    struct Case {
        std::string text;
        size_t firstBad;     // npos when well formed
        std::string sanitized;
    };
    const size_t none = std::string::npos;
    const std::vector<Case> cases = {
        {"plain ascii text", none, "plain ascii text"},
        {"Nguy\xE1\xBB\x85n \xF0\x9F\x98\x80", none, "Nguy\xE1\xBB\x85n \xF0\x9F\x98\x80"},
        {std::string("nul\0inside", 10), none, std::string("nul\0inside", 10)},
        {"a\xFF" "b", 1, "a\xEF\xBF\xBD" "b"},
        {"\xC0\x80", 0, "\xEF\xBF\xBD\xEF\xBF\xBD"},                // overlong NUL
        {"x\xE0\x80\x80", 1, "x\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // overlong three-byte form
        {"\xED\xA0\x80", 0, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},    // a surrogate
        {"\xF4\x90\x80\x80", 0, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // past U+10FFFF
        {"12345678\xE2\x82", 8, "12345678\xEF\xBF\xBD\xEF\xBF\xBD"},  // cut short after an ASCII run
        {"\x80" "a", 0, "\xEF\xBF\xBD" "a"},                        // stray continuation byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(firstInvalidUtf8(c.text), c.firstBad) << c.text;
        EXPECT_EQ(sanitizedUtf8(c.text), c.sanitized) << c.text;
        EXPECT_TRUE(isValidUtf8(sanitizedUtf8(c.text)));
    }
}

TEST(Unicode, DecodesAndCountsUtf16UnitsAsThePlatformDoes) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF";  // a é € 😀 and a bad byte
    const std::vector<char32_t> expected = {'a', 0xE9, 0x20AC, 0x1F600, kReplacementCharacter};
    std::vector<char32_t> decoded;
    for (size_t i = 0; i < text.size();) decoded.push_back(decodeNext(text, i));
    EXPECT_EQ(decoded, expected);
    EXPECT_EQ(utf16Length(text), 6u);
    std::string encoded;
    for (const char32_t cp : expected) appendUtf8(encoded, cp);
    EXPECT_EQ(encoded, sanitizedUtf8(text));
}

TEST(Unicode, Utf16InEitherByteOrderWithBrokenSurrogatesRefused) {
    const std::vector<uint8_t> big = {0x00, 'A', 0xD8, 0x3D, 0xDE, 0x00, 0x00, 0xE9};
    std::vector<uint8_t> little;
    for (size_t i = 0; i < big.size(); i += 2) little.insert(little.end(), {big[i + 1], big[i]});
    for (const auto& [bytes, order] : {std::pair{big, ByteOrder::bigEndian}, std::pair{little, ByteOrder::littleEndian}}) {
        std::string out;
        ASSERT_TRUE(appendUtf16AsUtf8(bytes, order, out, nullptr));
        EXPECT_EQ(out, "A\xF0\x9F\x98\x80\xC3\xA9");
    }
    struct Bad {
        std::vector<uint8_t> bytes;
        size_t offset;
    };
    for (const auto& [bytes, offset] : {Bad{{0x00, 'A', 0xD8, 0x3D}, 2}, Bad{{0xDE, 0x00, 0x00, 'A'}, 0},
                                         Bad{{0xD8, 0x3D, 0x00, 'A'}, 0}, Bad{{0x00, 'A', 0x00}, 2}}) {
        std::string out;
        size_t bad = 99;
        EXPECT_FALSE(appendUtf16AsUtf8(bytes, ByteOrder::bigEndian, out, &bad));
        EXPECT_EQ(bad, offset);
    }
}

TEST(Unicode, CaseFoldingTreatsEveryCasePairAndCanonicalFormAsEqual) {
    const std::vector<std::pair<std::string, std::string>> equal = {
        {"NGUY\xE1\xBB\x84N", "Nguy\xE1\xBB\x85n"},                        // Vietnamese
        {"\xC8\x98TEFAN CEL MARE", "\xC8\x99tefan cel mare"},             // Romanian comma below
        {"\xD4\xB1\xD5\x90\xD5\x84\xD4\xB5\xD5\x86", "\xD5\xA1\xD6\x80\xD5\xB4\xD5\xA5\xD5\xB6"},  // Armenian
        {"\xEF\xBC\xA1\xEF\xBC\xA2", "\xEF\xBD\x81\xEF\xBD\x82"},         // full-width Latin
        {"\xC7\x84", "\xC7\x86"},                                         // DŽ / dž
        {"\xC6\x86", "\xC9\x94"},                                         // Ɔ / ɔ
        {"\xD1\xA0", "\xD1\xA1"},                                         // Ѡ / ѡ
        {"Stra\xC3\x9F" "e", "STRASSE"},                                  // ß folds to ss
        {"Caf\xC3\xA9", "CAFE\xCC\x81"},                                  // composed and decomposed
    };
    for (const auto& [a, b] : equal) {
        EXPECT_EQ(compareFolded(a, b), 0) << a << " / " << b;
        EXPECT_EQ(fold(a), fold(b)) << a << " / " << b;
    }
    // Unequal texts order by their folded code points, whatever their case.
    EXPECT_EQ(compareFolded("apple", "BANANA"), -1);
    EXPECT_EQ(compareFolded("Zebra", "apple"), 1);
    EXPECT_EQ(compareFolded("ann", "Anna"), -1);
    EXPECT_EQ(compareFolded("\xC3\x89mile", "Zo\xC3\xAB"), 1);  // É folds to é, past z
    EXPECT_NE(compareFolded("Cafe", "Caf\xC3\xA9"), 0);         // an accent still counts
}

TEST(Unicode, DiacriticAndCompatibilityFoldingForSearch) {
    EXPECT_EQ(fold("Cr\xC3\xA8me Br\xC3\xBBL\xC3\xA9" "e", kFoldCase | kFoldDiacritics), "creme brulee");
    EXPECT_EQ(fold("\xC8\x98tefan", kFoldCase | kFoldDiacritics), "stefan");
    EXPECT_EQ(fold("\xEF\xAC\x81\xEF\xBC\xA1", kFoldCase | kFoldCompatibility), "fia");  // ligature fi, full-width A
    EXPECT_EQ(fold("Caf\xC3\xA9", kFoldNone), "Caf\xC3\xA9");
    EXPECT_EQ(fold("caf\xFF", kFoldCase), "caf\xEF\xBF\xBD");  // bad bytes fold as U+FFFD
}
