#include "JsonLinesWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Format.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace ossel {

namespace {

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
    size_t plain = 0;  // start of the run of characters that need no escape
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(text, plain, i - plain);
        plain = i + 1;
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            }
        }
    }
    out.append(text, plain, text.size() - plain);
    out += '"';
}

void JsonLinesWriter::appendValue(std::string& out, const Object* value) {
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

void JsonLinesWriter::imported(const std::string& path, const Dictionary& attributes, std::optional<double> seconds) {
    // One buffer for every record: a large run writes many small lines.
    std::string& line = line_;
    line.assign("{\"path\": ");
    appendString(line, path);
    line += ", \"imported\": true, \"attributes\": ";
    appendDictionary(line, attributes);
    appendSeconds(line, seconds);
    line += "}\n";
    writeOut(out_, line);
}

void JsonLinesWriter::failed(const std::string& path, const std::string& reason) {
    std::string& line = line_;
    line.assign("{\"path\": ");
    appendString(line, path);
    line += ", \"imported\": false, \"error\": ";
    appendString(line, reason);
    line += "}\n";
    writeOut(out_, line);
}

}  // namespace ossel
