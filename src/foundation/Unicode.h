#pragma once
// Everything the code base does with Unicode text, in one place and on
// utf8proc: decoding and validating UTF-8, converting UTF-16, counting UTF-16
// units, and folding case and diacritics for comparison and search.
//
// One policy for bad input everywhere: each byte that is not part of a
// well-formed UTF-8 sequence (overlong forms, surrogates and code points past
// U+10FFFF included) stands for one U+FFFD.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ossel::unicode {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the code point that starts at `index` and moves `index` past it.
// A byte that does not start a well-formed sequence gives U+FFFD and moves one
// byte on. `index` must be below text.size().
char32_t decodeNext(std::string_view text, size_t& index);

// Offset of the first byte that breaks well-formed UTF-8, or npos.
size_t firstInvalidUtf8(std::string_view text);
inline bool isValidUtf8(std::string_view text) { return firstInvalidUtf8(text) == std::string_view::npos; }

// The text with each byte that breaks UTF-8 replaced by U+FFFD.
std::string sanitizedUtf8(std::string_view text);

void appendUtf8(std::string& out, char32_t codePoint);

// UTF-16 held as bytes in either byte order (a file's or a binary property
// list's) to UTF-8. False at an unpaired surrogate or a dangling odd byte, with
// that unit's byte offset in *badOffset.
enum class ByteOrder { bigEndian, littleEndian };
bool appendUtf16AsUtf8(std::span<const uint8_t> bytes, ByteOrder order, std::string& out, size_t* badOffset);

// The number of UTF-16 code units the text takes, as the platform's string
// length counts them; a bad byte counts one, as its U+FFFD would.
size_t utf16Length(std::string_view text);

// Folding for comparison and search. Canonically equivalent texts (composed
// and decomposed accents) always fold alike.
enum FoldOptions : unsigned {
    kFoldNone = 0,
    kFoldCase = 1u << 0,           // full case folding: "ß" and "SS" fold alike
    kFoldDiacritics = 1u << 1,     // marks removed: "é" folds like "e"
    kFoldCompatibility = 1u << 2,  // compatibility forms: full-width "Ａ" and ligature "ﬁ" fold like "A" and "fi"
};
std::string fold(std::string_view text, unsigned options = kFoldCase);
// The same, appended to `out`.
void appendFolded(std::string& out, std::string_view text, unsigned options = kFoldCase);

// Compares the case-folded forms by code point: -1, 0 or 1.
int compareFolded(std::string_view a, std::string_view b);

}  // namespace ossel::unicode
