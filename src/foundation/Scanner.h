#pragma once
// A scanner over a text with the platform's defaults: before each step it
// skips white space and line breaks; literals match ignoring letter case and
// leave the position unchanged on failure; 32-bit integers are clamped to
// their range; decimal numbers take a sign, a fraction and an exponent.

#include <cstdint>
#include <string>
#include <string_view>

namespace ossel {

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    // Literal match (ignoring case unless setCaseSensitive(true)).
    bool scanString(std::string_view literal);
    // Optional sign and at least one decimal digit; clamped to the int32 range.
    bool scanInt(int32_t* value);
    bool scanLongLong(int64_t* value);
    // Optional sign, digits with an optional fraction, an optional exponent;
    // fails for a number beyond the range of a double.
    bool scanDouble(double* value);
    // Everything up to (not including) the first occurrence of `stop`, or to the
    // end; fails, leaving `into` unchanged, when `stop` comes next.
    bool scanUpToString(std::string_view stop, std::string* into);
    // Only skippable characters remain.
    bool isAtEnd() const;

    size_t scanLocation() const { return pos_; }
    void setScanLocation(size_t location) { pos_ = location < text_.size() ? location : text_.size(); }
    void setCaseSensitive(bool caseSensitive) { caseSensitive_ = caseSensitive; }
    // Whether white space and line breaks are skipped before each step (default true).
    void setSkipsWhitespace(bool skips) { skipsWhitespace_ = skips; }
    std::string_view string() const { return text_; }

private:
    void skip();
    std::string_view text_;
    size_t pos_ = 0;
    bool caseSensitive_ = false;
    bool skipsWhitespace_ = true;
};

}  // namespace ossel
