#include "JsonRecord.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <typeinfo>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "foundation/Unicode.h"

namespace ossel {

namespace {

// Bytes that go out as they are: printable ASCII other than the quote and the
// backslash, and the bytes of multi-byte sequences (whose UTF-8 is checked once
// per record).
constexpr std::array<bool, 256> kPlainBytes = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x100; ++c) plain[c] = c != '"' && c != '\\';
    return plain;
}();

// The length of the run of plain bytes at the start of `text`.
size_t plainRun(const char* text, size_t size) {
    size_t i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: below 0x20 (as unsigned bytes), a quote, or a backslash.
    const __m128i controlLimit = _mm_set1_epi8(0x1f);
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    // A text of sixteen bytes or more ends with a block that overlaps the one before,
    // whose bytes are plain already: no byte at a time.
    for (; size >= 16; i = std::min(i + 16, size - 16)) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, controlLimit), bytes);
        const __m128i special =
            _mm_or_si128(control, _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)));
        if (const int mask = _mm_movemask_epi8(special)) return i + static_cast<size_t>(__builtin_ctz(mask));
        if (i + 16 == size) return size;
    }
#endif
    while (i < size && kPlainBytes[static_cast<unsigned char>(text[i])]) ++i;
    return i;
}

void appendEscaped(std::string& out, std::string_view text) {
    while (!text.empty()) {
        const size_t run = plainRun(text.data(), text.size());
        out.append(text.data(), run);
        if (run == text.size()) return;
        const auto c = static_cast<unsigned char>(text[run]);
        text.remove_prefix(run + 1);
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
}

// Writes JSON; texts that are not UTF-8 are mended only when asked, since a whole
// record is cheaper to check once than each of its texts.
struct Writer {
    std::string& out;
    bool sanitize;

    void string(std::string_view text) {
        out += '"';
        if (sanitize && !unicode::isValidUtf8(text)) {
            appendEscaped(out, unicode::sanitizedUtf8(text));
        } else {
            appendEscaped(out, text);
        }
        out += '"';
    }

    void number(const Number& number) {
        if (number.kind() == Number::Kind::Bool) {
            out += number.boolValue() ? "true" : "false";
        } else if (number.isReal() && !std::isfinite(number.doubleValue())) {
            out += "null";  // JSON has no infinities or NaN
        } else {
            number.appendDescription(out);
        }
    }

    void date(const Date& date) {
        out += '"';
        appendIso8601UtcString(out, date.timeIntervalSinceReferenceDate());
        out += '"';
    }

    void array(const Array& array) {
        out += '[';
        for (size_t i = 0; i < array.count(); ++i) {
            if (i > 0) out += ", ";
            value(array.items()[i].get());
        }
        out += ']';
    }

    void dictionary(const Dictionary& dictionary) {
        out += '{';
        bool first = true;
        for (const auto& [key, item] : dictionary) {
            if (!first) out += ", ";
            first = false;
            string(key);
            out += ": ";
            value(item.get());
        }
        out += '}';
    }

    void value(const Object* value) {
        if (!value) {
            out += "null";
            return;
        }
        // The common final classes by the address of their type's name, which one
        // library defines for the whole process: a comparison instead of a cast.
        const char* type = typeid(*value).name();
        if (type == typeid(String).name()) {
            string(static_cast<const String*>(value)->utf8());
        } else if (type == typeid(Number).name()) {
            number(*static_cast<const Number*>(value));
        } else if (type == typeid(Date).name()) {
            date(*static_cast<const Date*>(value));
        } else if (type == typeid(Array).name()) {
            array(*static_cast<const Array*>(value));
        } else {
            anyValue(value);
        }
    }

    // Every value, by cast: also right for classes whose type information a module holds a copy of.
    void anyValue(const Object* value) {
        if (const auto* text = dynamic_cast<const String*>(value)) {
            string(text->utf8());
        } else if (const auto* number = dynamic_cast<const Number*>(value)) {
            this->number(*number);
        } else if (const auto* moment = dynamic_cast<const Date*>(value)) {
            date(*moment);
        } else if (const auto* list = dynamic_cast<const Array*>(value)) {
            array(*list);
        } else if (const auto* map = dynamic_cast<const Dictionary*>(value)) {
            dictionary(*map);
        } else if (const auto* data = dynamic_cast<const Data*>(value)) {
            out += '"';
            out += data->base64EncodedString();
            out += '"';
        } else if (dynamic_cast<const Null*>(value)) {
            out += "null";
        } else {
            // A value of the model library: its text form is what a reader can use.
            string(value->description());
        }
    }

    void path(std::string_view path) {
        out += "\"path\": ";
        string(path);
        if (unicode::isValidUtf8(path)) return;
        out += ", \"pathBytes\": \"";
        out += Data(std::vector<uint8_t>(path.begin(), path.end())).base64EncodedString();
        out += '"';
    }

    void imported(std::string_view path, const Dictionary& attributes, std::optional<double> seconds) {
        out += '{';
        this->path(path);
        out += ", \"imported\": true, \"attributes\": ";
        dictionary(attributes);
        if (seconds) {
            char digits[64];
            const auto end = std::to_chars(digits, digits + sizeof digits, *seconds, std::chars_format::fixed, 9).ptr;
            out += ", \"seconds\": ";
            out.append(digits, end);
        }
        out += "}\n";
    }

    void failed(std::string_view path, std::string_view reason) {
        out += '{';
        this->path(path);
        out += ", \"imported\": false, \"error\": ";
        string(reason);
        out += "}\n";
    }
};

// Renders a record as it is and checks its UTF-8 once; the rare record with a bad
// byte is rendered again with every text mended.
template <class Render>
void appendRecord(std::string& out, Render render) {
    const size_t start = out.size();
    Writer writer{out, false};
    render(writer);
    if (unicode::isValidUtf8(std::string_view(out).substr(start))) return;
    out.resize(start);
    writer.sanitize = true;
    render(writer);
}

}  // namespace

void JsonRecord::appendString(std::string& out, std::string_view text) { Writer{out, true}.string(text); }

void JsonRecord::appendPath(std::string& out, std::string_view path) { Writer{out, true}.path(path); }

void JsonRecord::appendValue(std::string& out, const Object* value) { Writer{out, true}.value(value); }

void JsonRecord::appendImported(std::string& out, std::string_view path, const Dictionary& attributes,
                                std::optional<double> seconds) {
    appendRecord(out, [&](Writer& writer) { writer.imported(path, attributes, seconds); });
}

void JsonRecord::appendFailed(std::string& out, std::string_view path, std::string_view reason) {
    appendRecord(out, [&](Writer& writer) { writer.failed(path, reason); });
}

}  // namespace ossel
