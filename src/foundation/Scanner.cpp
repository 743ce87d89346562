#include "foundation/Scanner.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace ossel {
namespace {

// Byte length of the skippable character (white space or line break) at `pos`,
// or 0. Besides ASCII this knows the Unicode spaces and line separators that
// the platform's white-space-and-newline set holds, in UTF-8.
size_t skippableLength(std::string_view text, size_t pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const size_t left = text.size() - pos;
    const unsigned char c = byte(pos);
    if (c == ' ' || (c >= 0x09 && c <= 0x0D)) return 1;
    if (c == 0xC2 && left >= 2) {
        const unsigned char c1 = byte(pos + 1);
        return c1 == 0x85 || c1 == 0xA0 ? 2 : 0;  // NEL, no-break space
    }
    if (c == 0xE1 && left >= 3) return byte(pos + 1) == 0x9A && byte(pos + 2) == 0x80 ? 3 : 0;  // U+1680
    if (c == 0xE3 && left >= 3) return byte(pos + 1) == 0x80 && byte(pos + 2) == 0x80 ? 3 : 0;  // U+3000
    if (c == 0xE2 && left >= 3) {
        const unsigned char c1 = byte(pos + 1), c2 = byte(pos + 2);
        if (c1 == 0x80 && ((c2 >= 0x80 && c2 <= 0x8A) || c2 == 0xA8 || c2 == 0xA9 || c2 == 0xAF)) return 3;
        if (c1 == 0x81 && c2 == 0x9F) return 3;  // U+205F
    }
    return 0;
}

size_t skipFrom(std::string_view text, size_t pos) {
    while (pos < text.size()) {
        const size_t n = skippableLength(text, pos);
        if (n == 0) break;
        pos += n;
    }
    return pos;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameText(std::string_view a, std::string_view b, bool caseSensitive) {
    if (a.size() != b.size()) return false;
    if (caseSensitive) return a == b;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

size_t findText(std::string_view text, std::string_view what, size_t from, bool caseSensitive) {
    if (caseSensitive) return text.find(what, from);
    if (what.size() > text.size()) return std::string_view::npos;
    for (size_t i = from; i + what.size() <= text.size(); ++i) {
        if (sameText(text.substr(i, what.size()), what, false)) return i;
    }
    return std::string_view::npos;
}

// Length of an optionally signed run of decimal digits at `pos` (0 when no digit).
size_t signedDigitsLength(std::string_view text, size_t pos) {
    size_t i = pos;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const size_t digitsStart = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    return i == digitsStart ? 0 : i - pos;
}

// The decimal number's text is parsed in the C locale whatever locale the host set.
double parseDecimal(const std::string& text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return strtod_l(text.c_str(), nullptr, cLocale);
}

}  // namespace

void Scanner::skip() {
    if (skipsWhitespace_) pos_ = skipFrom(text_, pos_);
}

bool Scanner::isAtEnd() const {
    const size_t at = skipsWhitespace_ ? skipFrom(text_, pos_) : pos_;
    return at >= text_.size();
}

bool Scanner::scanString(std::string_view literal) {
    const size_t start = pos_;
    skip();
    if (literal.empty() || text_.size() - pos_ < literal.size() ||
        !sameText(text_.substr(pos_, literal.size()), literal, caseSensitive_)) {
        pos_ = start;
        return false;
    }
    pos_ += literal.size();
    return true;
}

bool Scanner::scanLongLong(int64_t* value) {
    const size_t start = pos_;
    skip();
    const size_t length = signedDigitsLength(text_, pos_);
    if (length == 0) {
        pos_ = start;
        return false;
    }
    const bool negative = text_[pos_] == '-';
    size_t i = pos_ + (text_[pos_] == '+' || negative ? 1 : 0);
    // Accumulate towards the sign so that INT64_MIN itself is representable;
    // past the limit the value sticks there while the digits are still consumed.
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    int64_t result = 0;
    bool clamped = false;
    for (; i < pos_ + length; ++i) {
        const int digit = text_[i] - '0';
        if (clamped) continue;
        if (negative) {
            if (result < (kMin + digit) / 10) {
                result = kMin;
                clamped = true;
            } else {
                result = result * 10 - digit;
            }
        } else if (result > (kMax - digit) / 10) {
            result = kMax;
            clamped = true;
        } else {
            result = result * 10 + digit;
        }
    }
    pos_ += length;
    if (value) *value = result;
    return true;
}

bool Scanner::scanInt(int32_t* value) {
    int64_t wide = 0;
    if (!scanLongLong(&wide)) return false;
    if (value) {
        constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
        constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
        *value = static_cast<int32_t>(wide > kMax ? kMax : wide < kMin ? kMin : wide);
    }
    return true;
}

bool Scanner::scanDouble(double* value) {
    const size_t start = pos_;
    skip();
    size_t i = pos_;
    const size_t end = text_.size();
    if (i < end && (text_[i] == '+' || text_[i] == '-')) ++i;
    size_t digits = 0;
    while (i < end && isDigit(text_[i])) ++i, ++digits;
    if (i < end && text_[i] == '.') {
        size_t j = i + 1;
        size_t fraction = 0;
        while (j < end && isDigit(text_[j])) ++j, ++fraction;
        // A lone "." is no number, but "5." and ".5" are.
        if (digits + fraction > 0) {
            digits += fraction;
            i = j;
        }
    }
    if (digits == 0) {
        pos_ = start;
        return false;
    }
    // An exponent counts only with at least one digit; "1e" leaves the "e" unread.
    if (i < end && (text_[i] == 'e' || text_[i] == 'E')) {
        const size_t exponent = signedDigitsLength(text_, i + 1);
        if (exponent > 0) i += 1 + exponent;
    }
    const double parsed = parseDecimal(std::string(text_.substr(pos_, i - pos_)));
    // A number too large for a double is refused rather than read as infinity:
    // every text form writes its numbers with printf's %f, which spells infinity
    // "inf", a text no scanner step reads back. Refusing here keeps each form
    // reading only what it can write again. Numbers too small underflow to zero,
    // which writes and reads like any other.
    if (std::isinf(parsed)) {
        pos_ = start;
        return false;
    }
    pos_ = i;
    if (value) *value = parsed;
    return true;
}

bool Scanner::scanUpToString(std::string_view stop, std::string* into) {
    const size_t start = pos_;
    skip();
    if (pos_ >= text_.size()) {
        pos_ = start;
        return false;
    }
    size_t found = stop.empty() ? std::string_view::npos : findText(text_, stop, pos_, caseSensitive_);
    if (found == pos_) {
        pos_ = start;
        return false;
    }
    if (found == std::string_view::npos) found = text_.size();
    if (into) *into = std::string(text_.substr(pos_, found - pos_));
    pos_ = found;
    return true;
}

}  // namespace ossel
