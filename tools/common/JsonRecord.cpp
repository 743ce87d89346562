#include "JsonRecord.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "foundation/Unicode.h"

namespace ossel {

namespace {

// True when one of the eight bytes is a control character, a quote or a
// backslash: most texts have none, and then go out in one piece.
bool needsEscapeInWord(uint64_t word) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHigh = 0x8080808080808080ULL;
    const auto hasZeroByte = [](uint64_t v) { return ((v - kOnes) & ~v & kHigh) != 0; };
    // Bytes below 0x20; bytes of 0x80 and above are excluded by ~word.
    const bool control = ((word - kOnes * 0x20) & ~word & kHigh) != 0;
    return control || hasZeroByte(word ^ (kOnes * '"')) || hasZeroByte(word ^ (kOnes * '\\'));
}

void appendEscaped(std::string& out, std::string_view text) {
    size_t plain = 0;  // start of the run of bytes that need no escape
    size_t i = 0;
    while (i < text.size()) {
        if (i + 8 <= text.size()) {
            uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            if (!needsEscapeInWord(word)) {
                i += 8;
                continue;
            }
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') {
            ++i;
            continue;
        }
        out.append(text, plain, i - plain);
        plain = ++i;
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: {
                static constexpr char kHex[] = "0123456789abcdef";
                const char escaped[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
                out.append(escaped, sizeof escaped);
            }
        }
    }
    out.append(text, plain, text.size() - plain);
}

void appendNumber(std::string& out, const Number& number) {
    if (number.kind() == Number::Kind::Bool) {
        out += number.boolValue() ? "true" : "false";
        return;
    }
    // JSON has no infinities or NaN.
    if (number.isReal() && !std::isfinite(number.doubleValue())) {
        out += "null";
        return;
    }
    out += number.description();
}

void appendArray(std::string& out, const Array& array) {
    out += '[';
    for (size_t i = 0; i < array.count(); ++i) {
        if (i > 0) out += ", ";
        JsonRecord::appendValue(out, array.items()[i].get());
    }
    out += ']';
}

void appendDictionary(std::string& out, const Dictionary& dictionary) {
    out += '{';
    bool first = true;
    for (const auto& [key, value] : dictionary) {
        if (!first) out += ", ";
        first = false;
        JsonRecord::appendString(out, key);
        out += ": ";
        JsonRecord::appendValue(out, value.get());
    }
    out += '}';
}

void appendSeconds(std::string& out, double seconds) {
    char digits[64];
    const auto end = std::to_chars(digits, digits + sizeof digits, seconds, std::chars_format::fixed, 9).ptr;
    out += ", \"seconds\": ";
    out.append(digits, end);
}

}  // namespace

void JsonRecord::appendString(std::string& out, std::string_view text) {
    out += '"';
    if (unicode::isValidUtf8(text)) {
        appendEscaped(out, text);
    } else {
        appendEscaped(out, unicode::sanitizedUtf8(text));
    }
    out += '"';
}

void JsonRecord::appendPath(std::string& out, std::string_view path) {
    out += "\"path\": ";
    appendString(out, path);
    if (unicode::isValidUtf8(path)) return;
    out += ", \"pathBytes\": \"";
    out += Data(std::vector<uint8_t>(path.begin(), path.end())).base64EncodedString();
    out += '"';
}

void JsonRecord::appendValue(std::string& out, const Object* value) {
    // Most attributes are texts and numbers: test for those first.
    if (const auto* text = dynamic_cast<const String*>(value)) {
        appendString(out, text->utf8());
    } else if (const auto* number = dynamic_cast<const Number*>(value)) {
        appendNumber(out, *number);
    } else if (const auto* date = dynamic_cast<const Date*>(value)) {
        out += '"';
        out += iso8601UtcString(date->timeIntervalSinceReferenceDate());
        out += '"';
    } else if (const auto* array = dynamic_cast<const Array*>(value)) {
        appendArray(out, *array);
    } else if (const auto* dictionary = dynamic_cast<const Dictionary*>(value)) {
        appendDictionary(out, *dictionary);
    } else if (const auto* data = dynamic_cast<const Data*>(value)) {
        out += '"';
        out += data->base64EncodedString();
        out += '"';
    } else if (!value || dynamic_cast<const Null*>(value)) {
        out += "null";
    } else {
        // A value of the model library: its text form is what a reader can use.
        appendString(out, value->description());
    }
}

void JsonRecord::appendImported(std::string& out, std::string_view path, const Dictionary& attributes,
                                std::optional<double> seconds) {
    out += '{';
    appendPath(out, path);
    out += ", \"imported\": true, \"attributes\": ";
    appendDictionary(out, attributes);
    if (seconds) appendSeconds(out, *seconds);
    out += "}\n";
}

void JsonRecord::appendFailed(std::string& out, std::string_view path, std::string_view reason) {
    out += '{';
    appendPath(out, path);
    out += ", \"imported\": false, \"error\": ";
    appendString(out, reason);
    out += "}\n";
}

}  // namespace ossel
