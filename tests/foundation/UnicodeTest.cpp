#include <gtest/gtest.h>

#include "foundation/Unicode.h"
#include "support/Cases.h"

using namespace ossel::unicode;

TEST(Unicode, IllFormedBytesAreFoundAndEachBecomesOneReplacement) {
    for (const auto& c : ossel::testing::casesFrom("foundation/ill-formed-utf8.txt", 3)) {
        EXPECT_EQ(firstInvalidUtf8(c[0]), c[1] == "-" ? std::string::npos : size_t(c.number(1))) << c.where;
        EXPECT_EQ(sanitizedUtf8(c[0]), c[2]) << c.where;
        EXPECT_TRUE(isValidUtf8(c[2])) << c.where;
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
    using Bad = std::pair<std::vector<uint8_t>, size_t>;
    for (const auto& [bytes, offset] : {Bad{{0x00, 'A', 0xD8, 0x3D}, 2}, Bad{{0xDE, 0x00, 0x00, 'A'}, 0},
                                         Bad{{0xD8, 0x3D, 0x00, 'A'}, 0}, Bad{{0x00, 'A', 0x00}, 2}}) {
        std::string out;
        size_t bad = 99;
        EXPECT_FALSE(appendUtf16AsUtf8(bytes, ByteOrder::bigEndian, out, &bad));
        EXPECT_EQ(bad, offset);
    }
}

TEST(Unicode, CaseFoldingTreatsEveryCasePairAndCanonicalFormAsEqualAndOrdersByFoldedCodePoints) {
    for (const auto& c : ossel::testing::casesFrom("foundation/folded-order.txt", 3)) {
        EXPECT_EQ(compareFolded(c[0], c[1]), c.number(2)) << c.where;
        EXPECT_EQ(fold(c[0]) == fold(c[1]), c[2] == "0") << c.where;
    }
}

TEST(Unicode, DiacriticAndCompatibilityFoldingForSearch) {
    EXPECT_EQ(fold("Cr\xC3\xA8me Br\xC3\xBBL\xC3\xA9" "e", kFoldCase | kFoldDiacritics), "creme brulee");
    EXPECT_EQ(fold("\xC8\x98tefan", kFoldCase | kFoldDiacritics), "stefan");
    EXPECT_EQ(fold("\xEF\xAC\x81\xEF\xBC\xA1", kFoldCase | kFoldCompatibility), "fia");  // ligature fi, full-width A
    EXPECT_EQ(fold("Caf\xC3\xA9", kFoldNone), "Caf\xC3\xA9");
    EXPECT_EQ(fold("caf\xFF", kFoldCase), "caf\xEF\xBF\xBD");  // bad bytes fold as U+FFFD
    // Only the stretches around non-ASCII characters are mapped: a mark joins the ASCII letter
    // before it, after a long run of ASCII too, and so does a mark on an ASCII symbol.
    const std::string run(20, 'A'), folded(20, 'a');
    EXPECT_EQ(fold("\xC3\x89" + run + "E\xCC\x81", kFoldCase), "\xC3\xA9" + folded + "\xC3\xA9");
    EXPECT_EQ(fold(run + "E\xCC\x81 <\xCC\xB8", kFoldCase), folded + "\xC3\xA9 \xE2\x89\xAE");
}
