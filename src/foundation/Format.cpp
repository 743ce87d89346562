#include "foundation/Format.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "foundation/String.h"

namespace ossel {
namespace {

struct Conversion {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = -1;
    int precision = -1;
    int length = 0;  // 0: int, -1: char, -2: short, 1: 64 bits
    char conversion = 0;
};

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

std::string asText(const FormatArg& a) {
    switch (a.kind) {
        case FormatArg::Kind::Text: return std::string(a.text);
        case FormatArg::Kind::Obj: return a.object ? a.object->description() : "(null)";
        case FormatArg::Kind::Real: {
            char b[64];
            std::snprintf(b, sizeof b, "%g", a.d);
            return b;
        }
        case FormatArg::Kind::Pointer: {
            char b[32];
            std::snprintf(b, sizeof b, "%p", a.pointer);
            return b;
        }
        case FormatArg::Kind::Unsigned: return std::to_string(a.u);
        default: return std::to_string(a.i);
    }
}

void pad(std::string& out, std::string_view body, const Conversion& s, bool zeroAllowed) {
    const size_t width = s.width > 0 ? static_cast<size_t>(s.width) : 0;
    if (body.size() >= width) {
        out += body;
        return;
    }
    const size_t fill = width - body.size();
    if (s.left) {
        out += body;
        out.append(fill, ' ');
    } else if (s.zero && zeroAllowed) {
        // Zeros go after a sign.
        size_t signLength = (!body.empty() && (body[0] == '-' || body[0] == '+' || body[0] == ' ')) ? 1 : 0;
        out.append(body.substr(0, signLength));
        out.append(fill, '0');
        out.append(body.substr(signLength));
    } else {
        out.append(fill, ' ');
        out += body;
    }
}

// Decimal integers without printf: the hot path of every timecode and id text.
void formatInteger(std::string& out, const Conversion& s, const FormatArg& a) {
    char digits[32];
    char* p = digits;
    bool negative = false;
    uint64_t magnitude;
    const char c = s.conversion;
    if (c == 'd' || c == 'i') {
        int64_t v = asSigned(a);
        if (s.length == 0) v = static_cast<int32_t>(v);
        else if (s.length == -2) v = static_cast<int16_t>(v);
        else if (s.length == -1) v = static_cast<int8_t>(v);
        negative = v < 0;
        magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    } else {
        uint64_t v = asUnsigned(a);
        if (s.length == 0) v = static_cast<uint32_t>(v);
        else if (s.length == -2) v = static_cast<uint16_t>(v);
        else if (s.length == -1) v = static_cast<uint8_t>(v);
        magnitude = v;
    }
    const int base = (c == 'x' || c == 'X') ? 16 : c == 'o' ? 8 : 10;
    auto r = std::to_chars(p, digits + sizeof digits, magnitude, base);
    std::string body;
    if (negative) body += '-';
    else if (s.plus && (c == 'd' || c == 'i')) body += '+';
    else if (s.space && (c == 'd' || c == 'i')) body += ' ';
    if (s.alt && magnitude != 0 && base == 16) body += c == 'X' ? "0X" : "0x";
    if (s.alt && base == 8) body += '0';
    std::string_view number(p, static_cast<size_t>(r.ptr - p));
    if (s.precision >= 0 && number.size() < static_cast<size_t>(s.precision)) {
        body.append(static_cast<size_t>(s.precision) - number.size(), '0');
    }
    if (!(s.precision == 0 && magnitude == 0)) body += number;
    if (c == 'X') {
        for (auto& ch : body) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    pad(out, body, s, s.precision < 0);
}

void formatReal(std::string& out, const Conversion& s, double v) {
    // Plain "%f" and "%.Nf" are exact and fast through to_chars; the rest goes to printf.
    if (s.conversion == 'f' && !s.plus && !s.space && !s.alt && s.precision <= 60) {
        char buffer[400];
        const int precision = s.precision < 0 ? 6 : s.precision;
        auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, precision);
        if (r.ec == std::errc()) {
            pad(out, std::string_view(buffer, static_cast<size_t>(r.ptr - buffer)), s, true);
            return;
        }
    }
    char printfFormat[32];
    char* q = printfFormat;
    *q++ = '%';
    if (s.left) *q++ = '-';
    if (s.plus) *q++ = '+';
    if (s.space) *q++ = ' ';
    if (s.alt) *q++ = '#';
    if (s.zero) *q++ = '0';
    *q++ = '*';
    if (s.precision >= 0) {  // without one, each conversion keeps its own default (%a is exact)
        *q++ = '.';
        *q++ = '*';
    }
    *q++ = s.conversion;
    *q = 0;
    const int width = s.width < 0 ? 0 : s.width;
    auto print = [&](char* target, size_t size) {
        return s.precision >= 0 ? std::snprintf(target, size, printfFormat, width, s.precision, v)
                                : std::snprintf(target, size, printfFormat, width, v);
    };
    const int n = print(nullptr, 0);
    if (n <= 0) return;
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(n) + 1);
    print(out.data() + start, static_cast<size_t>(n) + 1);
    out.resize(start + static_cast<size_t>(n));
}

}  // namespace

std::string formatArgs(std::string_view format, const FormatArg* args, size_t count) {
    std::string out;
    out.reserve(format.size() + 16 * count);
    size_t next = 0;
    size_t i = 0;
    while (i < format.size()) {
        const size_t percent = format.find('%', i);
        if (percent == std::string_view::npos) {
            out.append(format.substr(i));
            break;
        }
        out.append(format.substr(i, percent - i));
        size_t j = percent + 1;
        if (j < format.size() && format[j] == '%') {
            out += '%';
            i = j + 1;
            continue;
        }
        Conversion s;
        for (; j < format.size(); ++j) {
            const char f = format[j];
            if (f == '-') s.left = true;
            else if (f == '+') s.plus = true;
            else if (f == ' ') s.space = true;
            else if (f == '#') s.alt = true;
            else if (f == '0') s.zero = true;
            else break;
        }
        auto readNumber = [&](int& target) {
            if (j < format.size() && format[j] == '*') {
                ++j;
                target = next < count ? static_cast<int>(asSigned(args[next++])) : 0;
                return;
            }
            int v = 0;
            bool any = false;
            while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
                v = v * 10 + (format[j++] - '0');
                if (v > 100000) v = 100000;
                any = true;
            }
            if (any) target = v;
        };
        readNumber(s.width);
        if (s.width < -1) {
            s.left = true;
            s.width = -s.width;
        }
        if (j < format.size() && format[j] == '.') {
            ++j;
            s.precision = 0;
            readNumber(s.precision);
            if (s.precision < 0) s.precision = -1;
        }
        for (; j < format.size(); ++j) {
            const char m = format[j];
            if (m == 'h') s.length = s.length == -2 ? -1 : -2;
            else if (m == 'l' || m == 'q' || m == 'z' || m == 'j' || m == 't' || m == 'L') s.length = 1;
            else break;
        }
        if (j >= format.size()) {  // a dangling '%...' is kept as it stands
            out.append(format.substr(percent));
            break;
        }
        s.conversion = format[j];
        i = j + 1;
        if (std::strchr("diuxXocsfFeEgGaAp@", s.conversion) == nullptr) {
            out.append(format.substr(percent, i - percent));
            continue;
        }
        if (next >= count) {
            out.append(format.substr(percent, i - percent));
            continue;
        }
        const FormatArg& a = args[next++];
        switch (s.conversion) {
            case 'd':
            case 'i':
            case 'u':
            case 'x':
            case 'X':
            case 'o': formatInteger(out, s, a); break;
            case 'c': pad(out, std::string(1, static_cast<char>(asSigned(a))), s, false); break;
            case 'p': {
                char b[32];
                std::snprintf(b, sizeof b, "%p", a.kind == FormatArg::Kind::Pointer ? a.pointer : a.object);
                pad(out, b, s, false);
                break;
            }
            case 's':
            case '@': {
                std::string text = asText(a);
                if (s.precision >= 0 && text.size() > static_cast<size_t>(s.precision)) text.resize(s.precision);
                pad(out, text, s, false);
                break;
            }
            default: formatReal(out, s, asReal(a)); break;
        }
    }
    return out;
}

}  // namespace ossel
