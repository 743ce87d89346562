#include "foundation/Format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ossel {
namespace {

constexpr std::string_view kConversions = "diuxXocsfFeEgGaAp@";

// One conversion of a format as written, "%-08.3ld" and the like.
struct Conversion {
    // A width or precision written "*" is taken from the arguments.
    static constexpr int kFromArgument = -2;
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = -1;
    int precision = -1;
    int length = 0;  // 0: int, -1: char, -2: short, 1: 64 bits
    char conversion = 0;
    // A decimal integer in a field of at most two places ("%d", "%02d").
    bool smallField = false;
    // A text as it stands ("%@", "%s").
    bool plainText = false;
};

// ---- Parsing

int readCount(std::string_view format, size_t& j) {
    if (j < format.size() && format[j] == '*') {
        ++j;
        return Conversion::kFromArgument;
    }
    int v = -1;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
        v = std::min(std::max(v, 0) * 10 + (format[j++] - '0'), 100000);
    }
    return v;
}

// Reads the conversion whose '%' is at format[percent] and answers the index
// past it. Answers false for what is no conversion: "%%", a conversion
// character printf does not know, or a '%' left dangling at the end; the text
// up to the returned index then stands as it is ("%%" as "%").
bool parseConversion(std::string_view format, size_t percent, Conversion& c, size_t& end) {
    size_t j = percent + 1;
    if (j < format.size() && format[j] == '%') {
        end = j + 1;
        return false;
    }
    for (; j < format.size(); ++j) {
        const char f = format[j];
        if (f == '-') c.left = true;
        else if (f == '+') c.plus = true;
        else if (f == ' ') c.space = true;
        else if (f == '#') c.alt = true;
        else if (f == '0') c.zero = true;
        else break;
    }
    c.width = readCount(format, j);
    if (j < format.size() && format[j] == '.') {
        ++j;
        c.precision = readCount(format, j);
        if (c.precision == -1) c.precision = 0;  // "%.f": a precision of 0
    }
    for (; j < format.size(); ++j) {
        const char m = format[j];
        if (m == 'h') c.length = c.length == -2 ? -1 : -2;
        else if (m == 'l' || m == 'q' || m == 'z' || m == 'j' || m == 't' || m == 'L') c.length = 1;
        else break;
    }
    if (j >= format.size()) {
        end = format.size();
        return false;
    }
    c.conversion = format[j];
    end = j + 1;
    const bool noFlags = !c.left && !c.plus && !c.space && !c.alt && c.precision == -1;
    c.smallField = (c.conversion == 'd' || c.conversion == 'i' || c.conversion == 'u') && noFlags &&
                   c.width != Conversion::kFromArgument && c.width <= 2;
    c.plainText = (c.conversion == '@' || c.conversion == 's') && noFlags && c.width == -1;
    return kConversions.find(c.conversion) != std::string_view::npos;
}

// Walks a format: literal(text) for every run of text that stands as it is,
// conversion(c, written) for every conversion, in order.
template <class Literal, class Convert>
void scanFormat(std::string_view format, Literal&& literal, Convert&& conversion) {
    size_t i = 0;
    while (i < format.size()) {
        const size_t percent = format.find('%', i);
        if (percent == std::string_view::npos) {
            literal(format.substr(i));
            return;
        }
        if (percent > i) literal(format.substr(i, percent - i));
        Conversion c;
        size_t end = 0;
        const bool converts = parseConversion(format, percent, c, end);
        const std::string_view written = format.substr(percent, end - percent);
        if (converts) conversion(c, written);
        else literal(written == "%%" ? std::string_view("%") : written);
        i = end;
    }
}

// ---- Arguments

int64_t asSigned(const FormatArg& a) {
    switch (a.kind) {
        case FormatArg::Kind::Signed: return a.i;
        case FormatArg::Kind::Unsigned: return static_cast<int64_t>(a.u);
        case FormatArg::Kind::Real: return a.d >= -0x1p63 && a.d < 0x1p63 ? static_cast<int64_t>(a.d) : INT64_MIN;
        default: return 0;
    }
}

uint64_t asUnsigned(const FormatArg& a) {
    return a.kind == FormatArg::Kind::Unsigned ? a.u : static_cast<uint64_t>(asSigned(a));
}

double asReal(const FormatArg& a) {
    switch (a.kind) {
        case FormatArg::Kind::Real: return a.d;
        case FormatArg::Kind::Unsigned: return static_cast<double>(a.u);
        default: return static_cast<double>(asSigned(a));
    }
}

// The text of "%s" and "%@": a text argument is used where it stands.
std::string_view asText(const FormatArg& a, std::string& held) {
    switch (a.kind) {
        case FormatArg::Kind::Text: return a.text;
        case FormatArg::Kind::Obj: held = a.object ? a.object->description() : "(null)"; break;
        case FormatArg::Kind::Real: {
            char b[64];
            std::snprintf(b, sizeof b, "%g", a.d);
            held = b;
            break;
        }
        case FormatArg::Kind::Pointer: {
            char b[32];
            std::snprintf(b, sizeof b, "%p", a.pointer);
            held = b;
            break;
        }
        case FormatArg::Kind::Unsigned: held = std::to_string(a.u); break;
        default: held = std::to_string(a.i); break;
    }
    return held;
}

// ---- Emitting

// Text written in pieces gathers in a buffer on the stack and goes to the
// string in large parts: every append to a string is a call into the library,
// and a label's eleven characters would otherwise take a dozen.
class Sink {
public:
    explicit Sink(std::string& out) : out_(out) {}

    void put(std::string_view text) {
        if (text.empty()) return;  // an empty view may have no data to copy from
        if (text.size() > sizeof buffer_ - used_) {
            flush();
            if (text.size() > sizeof buffer_) {
                out_ += text;
                return;
            }
        }
        std::memcpy(buffer_ + used_, text.data(), text.size());
        used_ += text.size();
    }
    void put(size_t count, char c) {
        while (count > 0) {
            if (used_ == sizeof buffer_) flush();
            const size_t n = std::min(count, sizeof buffer_ - used_);
            std::memset(buffer_ + used_, c, n);
            used_ += n;
            count -= n;
        }
    }
    // Room for a few more characters, written in place and then committed.
    char* room(size_t n) {
        if (n > sizeof buffer_ - used_) flush();
        return buffer_ + used_;
    }
    void commit(size_t n) { used_ += n; }
    // Hands the gathered text to the string; done before the string is used.
    void flush() {
        out_.append(buffer_, used_);
        used_ = 0;
    }

private:
    std::string& out_;
    char buffer_[256];
    size_t used_ = 0;
};

// A body of `prefix` (sign, "0x"), `zeros` zeros and `digits`, padded to the width.
void pad(Sink& out, const Conversion& c, std::string_view prefix, size_t zeros, std::string_view digits,
         bool zeroFillAllowed) {
    const size_t size = prefix.size() + zeros + digits.size();
    const size_t fill = c.width > 0 && static_cast<size_t>(c.width) > size ? static_cast<size_t>(c.width) - size : 0;
    if (fill == 0 && zeros == 0 && prefix.empty()) return out.put(digits);
    const bool zeroFill = c.zero && zeroFillAllowed && !c.left;
    if (!c.left && !zeroFill) out.put(fill, ' ');
    out.put(prefix);
    // Zeros of the fill go after the sign.
    out.put(zeros + (zeroFill ? fill : 0), '0');
    out.put(digits);
    if (c.left) out.put(fill, ' ');
}

void pad(Sink& out, const Conversion& c, std::string_view body) { pad(out, c, {}, 0, body, false); }

// The argument as the conversion's C type would hold it: its magnitude and sign.
uint64_t integerValue(const Conversion& c, const FormatArg& a, bool& negative) {
    if (c.conversion == 'd' || c.conversion == 'i') {
        int64_t v = asSigned(a);
        if (c.length == 0) v = static_cast<int32_t>(v);
        else if (c.length == -2) v = static_cast<int16_t>(v);
        else if (c.length == -1) v = static_cast<int8_t>(v);
        negative = v < 0;
        return negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    }
    uint64_t v = asUnsigned(a);
    if (c.length == 0) v = static_cast<uint32_t>(v);
    else if (c.length == -2) v = static_cast<uint16_t>(v);
    else if (c.length == -1) v = static_cast<uint8_t>(v);
    negative = false;
    return v;
}

// An integer from 0 to 99: what the fields of a label, a date or a time hold.
inline bool smallValue(const FormatArg& a, uint64_t& v) {
    if (a.kind == FormatArg::Kind::Signed && a.i >= 0) v = static_cast<uint64_t>(a.i);
    else if (a.kind == FormatArg::Kind::Unsigned) v = a.u;
    else return false;
    return v < 100;
}

// Such a number in a small field, written in a few instructions, where the
// general way below costs several times as much as the two digits themselves.
inline bool emitSmallField(Sink& out, const Conversion& c, const FormatArg& a) {
    uint64_t v;
    if (!c.smallField || !smallValue(a, v)) return false;
    char* p = out.room(2);
    // "%02d" takes no branch on the value: labels change from one frame to the next.
    if (c.zero && c.width == 2) {
        p[0] = static_cast<char>('0' + v / 10);
        p[1] = static_cast<char>('0' + v % 10);
        out.commit(2);
        return true;
    }
    size_t n = 0;
    if (v >= 10) p[n++] = static_cast<char>('0' + v / 10);
    else if (c.width == 2) p[n++] = ' ';
    p[n++] = static_cast<char>('0' + v % 10);
    out.commit(n);
    return true;
}

// Integers of any kind without printf.
void emitInteger(Sink& out, const Conversion& c, const FormatArg& a) {
    const char k = c.conversion;
    const bool isSigned = k == 'd' || k == 'i';
    bool negative = false;
    const uint64_t magnitude = integerValue(c, a, negative);
    const int base = (k == 'x' || k == 'X') ? 16 : k == 'o' ? 8 : 10;
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, magnitude, base).ptr;
    if (k == 'X') std::transform(digits, end, digits, [](char ch) { return ch >= 'a' ? ch - 'a' + 'A' : ch; });
    if (c.precision == 0 && magnitude == 0) end = digits;  // printf writes no digit at all
    const size_t count = static_cast<size_t>(end - digits);

    char prefix[3];
    size_t prefixLength = 0;
    if (negative) prefix[prefixLength++] = '-';
    else if (isSigned && c.plus) prefix[prefixLength++] = '+';
    else if (isSigned && c.space) prefix[prefixLength++] = ' ';
    if (c.alt && base == 16 && magnitude != 0) {
        prefix[prefixLength++] = '0';
        prefix[prefixLength++] = k;
    }
    size_t zeros = c.precision > 0 && count < static_cast<size_t>(c.precision) ? c.precision - count : 0;
    // "%#o" always starts with a zero, which may be one the precision asked for.
    if (c.alt && base == 8 && zeros == 0 && (count == 0 || digits[0] != '0')) zeros = 1;
    pad(out, c, std::string_view(prefix, prefixLength), zeros, std::string_view(digits, count), c.precision < 0);
}

void emitReal(Sink& out, const Conversion& c, double v) {
    // Plain "%f" and "%.Nf" are exact and fast through to_chars; the rest goes to printf.
    if (c.conversion == 'f' && !c.plus && !c.space && !c.alt && c.precision <= 60) {
        char buffer[400];
        const int precision = c.precision < 0 ? 6 : c.precision;
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, precision);
        if (r.ec == std::errc()) {
            const std::string_view body(buffer, static_cast<size_t>(r.ptr - buffer));
            const size_t sign = body.front() == '-' ? 1 : 0;
            // As printf, zeros never fill "inf" or "nan".
            pad(out, c, body.substr(0, sign), 0, body.substr(sign), std::isfinite(v));
            return;
        }
    }
    char printfFormat[32];
    char* q = printfFormat;
    *q++ = '%';
    if (c.left) *q++ = '-';
    if (c.plus) *q++ = '+';
    if (c.space) *q++ = ' ';
    if (c.alt) *q++ = '#';
    if (c.zero) *q++ = '0';
    *q++ = '*';
    if (c.precision >= 0) {  // without one, each conversion keeps its own default (%a is exact)
        *q++ = '.';
        *q++ = '*';
    }
    *q++ = c.conversion;
    *q = 0;
    const int width = std::max(c.width, 0);
    auto print = [&](char* target, size_t size) {
        return c.precision >= 0 ? std::snprintf(target, size, printfFormat, width, c.precision, v)
                                : std::snprintf(target, size, printfFormat, width, v);
    };
    const int n = print(nullptr, 0);
    if (n <= 0) return;
    std::string text(static_cast<size_t>(n) + 1, '\0');
    print(text.data(), text.size());
    out.put(std::string_view(text.data(), static_cast<size_t>(n)));
}

// Writes one conversion with the arguments from args[next] on, moving next
// past those it takes; without its argument the conversion stands as written.
void emitConversion(Sink& out, const Conversion& given, std::string_view written, const FormatArg* args,
                    size_t count, size_t& next) {
    Conversion c = given;
    if (c.width == Conversion::kFromArgument) {
        c.width = next < count ? static_cast<int>(std::clamp<int64_t>(asSigned(args[next++]), -100000, 100000)) : 0;
        if (c.width < 0) {  // a negative width from the arguments asks for left alignment
            c.left = true;
            c.width = -c.width;
        }
    }
    if (c.precision == Conversion::kFromArgument) {
        c.precision = next < count ? static_cast<int>(std::clamp<int64_t>(asSigned(args[next++]), -1, 100000)) : 0;
    }
    if (next >= count) {
        out.put(written);
        return;
    }
    const FormatArg& a = args[next++];
    switch (c.conversion) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'o': emitInteger(out, c, a); break;
        case 'c': {
            const char ch = static_cast<char>(asSigned(a));
            pad(out, c, std::string_view(&ch, 1));
            break;
        }
        case 'p': {
            char b[32];
            const void* pointer = a.kind == FormatArg::Kind::Pointer ? a.pointer
                                  : a.kind == FormatArg::Kind::Obj   ? a.object
                                                                     : nullptr;
            std::snprintf(b, sizeof b, "%p", pointer);
            pad(out, c, b);
            break;
        }
        case 's':
        case '@': {
            std::string held;
            std::string_view text = asText(a, held);
            if (c.precision >= 0) text = text.substr(0, static_cast<size_t>(c.precision));
            pad(out, c, text);
            break;
        }
        default: emitReal(out, c, asReal(a)); break;
    }
}

// Small fields and texts as they stand, the conversions of labels, ids and
// typed strings, are written inline; the others take the general way.
inline void emit(Sink& out, const Conversion& c, std::string_view written, const FormatArg* args, size_t count,
                 size_t& next) {
    if (next < count && c.plainText && args[next].kind == FormatArg::Kind::Text) {
        out.put(args[next++].text);
        return;
    }
    if (next < count && emitSmallField(out, c, args[next])) {
        ++next;
        return;
    }
    emitConversion(out, c, written, args, count, next);
}

}  // namespace

std::string formatArgs(std::string_view format, const FormatArg* args, size_t count) {
    std::string text;
    Sink out(text);
    size_t next = 0;
    scanFormat(
        format, [&](std::string_view literal) { out.put(literal); },
        [&](const Conversion& c, std::string_view written) { emit(out, c, written, args, count, next); });
    out.flush();
    return text;
}

struct ParsedFormat::Piece {
    std::string literal;
    bool converts = false;  // false in a trailing piece of text
    Conversion conversion;
    std::string written;
};

ParsedFormat::ParsedFormat(std::string_view format) {
    std::string literal;
    scanFormat(
        format, [&](std::string_view text) { literal += text; },
        [&](const Conversion& c, std::string_view written) {
            pieces_.push_back({std::move(literal), true, c, std::string(written)});
            literal.clear();
        });
    if (!literal.empty()) pieces_.push_back({std::move(literal), false, {}, {}});

    const bool fixed = std::all_of(pieces_.begin(), pieces_.end(), [](const Piece& piece) {
        return !piece.converts || (piece.conversion.smallField && piece.conversion.zero && piece.conversion.width == 2);
    });
    if (!fixed) return;
    for (const Piece& piece : pieces_) {
        fixedText_ += piece.literal;
        if (!piece.converts) continue;
        fixedFields_.push_back(fixedText_.size());
        fixedText_ += "00";
    }
}

ParsedFormat::~ParsedFormat() = default;

std::string ParsedFormat::formatArgs(const FormatArg* args, size_t count) const {
    if (!fixedFields_.empty() && count >= fixedFields_.size()) {
        std::string text = fixedText_;
        size_t i = 0;
        for (uint64_t v; i < fixedFields_.size() && smallValue(args[i], v); ++i) {
            text[fixedFields_[i]] = static_cast<char>('0' + v / 10);
            text[fixedFields_[i] + 1] = static_cast<char>('0' + v % 10);
        }
        if (i == fixedFields_.size()) return text;
    }
    std::string text;
    Sink out(text);
    size_t next = 0;
    for (const Piece& piece : pieces_) {
        out.put(piece.literal);
        if (piece.converts) emit(out, piece.conversion, piece.written, args, count, next);
    }
    out.flush();
    return text;
}

}  // namespace ossel
