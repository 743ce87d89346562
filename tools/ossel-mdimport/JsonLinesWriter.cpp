#include "JsonLinesWriter.h"

#include <charconv>
#include <cmath>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Format.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace ossel {

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void appendBase64(std::string& out, const std::vector<uint8_t>& bytes) {
    out += '"';
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) out += kBase64Alphabet[group >> shift & 0x3f];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        const uint32_t group = bytes[i] << 16 | (rest == 2 ? bytes[i + 1] << 8 : 0);
        out += kBase64Alphabet[group >> 18 & 0x3f];
        out += kBase64Alphabet[group >> 12 & 0x3f];
        out += rest == 2 ? kBase64Alphabet[group >> 6 & 0x3f] : '=';
        out += '=';
    }
    out += '"';
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

void appendDate(std::string& out, const Date& date) {
    const UtcFields f = utcFieldsOf(date.timeIntervalSinceReferenceDate());
    out += format("\"%04lld-%02d-%02dT%02d:%02d:%02dZ\"", static_cast<long long>(f.year), f.month, f.day, f.hour,
                  f.minute, f.second);
}

void appendArray(std::string& out, const Array& array) {
    out += '[';
    for (size_t i = 0; i < array.count(); ++i) {
        if (i > 0) out += ", ";
        JsonLinesWriter::appendValue(out, array.items()[i].get());
    }
    out += ']';
}

void appendDictionary(std::string& out, const Dictionary& dictionary) {
    out += '{';
    bool first = true;
    for (const auto& [key, value] : dictionary) {
        if (!first) out += ", ";
        first = false;
        JsonLinesWriter::appendString(out, key);
        out += ": ";
        JsonLinesWriter::appendValue(out, value.get());
    }
    out += '}';
}

void appendSeconds(std::string& out, std::optional<double> seconds) {
    if (!seconds) return;
    out += format(", \"seconds\": %.9f", *seconds);
}

}  // namespace

void JsonLinesWriter::appendString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += format("\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void JsonLinesWriter::appendValue(std::string& out, const Object* value) {
    if (!value || dynamic_cast<const Null*>(value)) {
        out += "null";
    } else if (const auto* text = dynamic_cast<const String*>(value)) {
        appendString(out, text->utf8());
    } else if (const auto* number = dynamic_cast<const Number*>(value)) {
        appendNumber(out, *number);
    } else if (const auto* date = dynamic_cast<const Date*>(value)) {
        appendDate(out, *date);
    } else if (const auto* data = dynamic_cast<const Data*>(value)) {
        appendBase64(out, data->bytes());
    } else if (const auto* array = dynamic_cast<const Array*>(value)) {
        appendArray(out, *array);
    } else if (const auto* dictionary = dynamic_cast<const Dictionary*>(value)) {
        appendDictionary(out, *dictionary);
    } else {
        // A value of the model library: its text form is what a reader can use.
        appendString(out, value->description());
    }
}

void JsonLinesWriter::imported(const std::string& path, const Dictionary& attributes, std::optional<double> seconds) {
    std::string line = "{\"path\": ";
    appendString(line, path);
    line += ", \"imported\": true, \"attributes\": ";
    appendDictionary(line, attributes);
    appendSeconds(line, seconds);
    line += "}\n";
    writeOut(out_, line);
}

void JsonLinesWriter::failed(const std::string& path, const std::string& reason) {
    std::string line = "{\"path\": ";
    appendString(line, path);
    line += ", \"imported\": false, \"error\": ";
    appendString(line, reason);
    line += "}\n";
    writeOut(out_, line);
}

}  // namespace ossel
