// Reading XML property lists. pugixml builds the element tree; entity and
// character references are decoded here rather than by pugixml, because
// pugixml leaves an undefined entity in the text unchanged and we must refuse it.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <pugixml.hpp>
#include <string_view>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/PropertyListFormats.h"
#include "foundation/String.h"

namespace ossel::plist {
namespace {

// Keep whitespace-only text when it is an element's only content (<string> </string>),
// drop it between elements; no entity decoding (see above).
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_eol | pugi::parse_ws_pcdata_single;

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isXmlSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isXmlSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool isBlank(std::string_view s) { return trimmed(s).empty(); }

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Offset of the first byte that breaks UTF-8 (or is a NUL, which the XML
// parser would take for the end of the text), or npos.
size_t firstInvalidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        // ASCII runs are the common case: test eight bytes at a time.
        if (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, p + i, 8);
            const bool ascii = (word & 0x8080808080808080ULL) == 0;
            const bool hasZero = ((word - 0x0101010101010101ULL) & ~word & 0x8080808080808080ULL) != 0;
            if (ascii && !hasZero) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c == 0) return i;
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return i;
        }
        if (i + len > n) return i;
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return i;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
        i += len;
    }
    return std::string_view::npos;
}

// UTF-16 (either byte order) to UTF-8; false at an unpaired surrogate, with the
// byte offset of the offending unit.
bool utf16ToUtf8(std::span<const uint8_t> in, bool bigEndian, std::string& out, size_t& badOffset) {
    const size_t units = in.size() / 2;
    out.reserve(in.size() + in.size() / 2);
    auto unit = [&](size_t i) -> uint32_t {
        const uint8_t a = in[2 * i], b = in[2 * i + 1];
        return bigEndian ? (uint32_t(a) << 8 | b) : (uint32_t(b) << 8 | a);
    };
    for (size_t i = 0; i < units; ++i) {
        uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            const uint32_t low = i + 1 < units ? unit(i + 1) : 0;
            if (low < 0xDC00 || low > 0xDFFF) {
                badOffset = 2 * i;
                return false;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            badOffset = 2 * i;
            return false;
        }
        appendUtf8(out, cp);
    }
    if (in.size() % 2 != 0) {
        badOffset = in.size() - 1;
        return false;
    }
    return true;
}

class XmlReader {
public:
    XmlReader(std::string_view text, const PropertyListReadOptions& options) : text_(text), options_(options) {}

    Ref<Object> read(std::string& error);

private:
    Ref<Object> value(pugi::xml_node node, int depth);
    Ref<Object> dictionary(pugi::xml_node node, int depth);
    Ref<Object> array(pugi::xml_node node, int depth);
    Ref<Object> integer(pugi::xml_node node);
    Ref<Object> real(pugi::xml_node node);
    Ref<Object> date(pugi::xml_node node);
    Ref<Object> data(pugi::xml_node node);
    Ref<Object> emptyElement(pugi::xml_node node, Ref<Object> result);

    // The element's text: its character data and CDATA sections, references decoded.
    std::optional<std::string> textOf(pugi::xml_node element);
    bool appendDecoded(std::string& out, std::string_view raw, pugi::xml_node at);

    Ref<Object> fail(pugi::xml_node at, std::string_view message);
    Ref<Object> failAtOffset(ptrdiff_t offset, std::string_view message);
    size_t lineOf(ptrdiff_t offset) const;

    std::string_view text_;
    PropertyListReadOptions options_;
    std::string error_;
};

size_t XmlReader::lineOf(ptrdiff_t offset) const {
    if (offset < 0) return 0;
    const size_t end = std::min(static_cast<size_t>(offset), text_.size());
    size_t line = 1;
    for (const char* p = text_.data(); (p = static_cast<const char*>(std::memchr(p, '\n', text_.data() + end - p)));
         ++p) {
        ++line;
    }
    return line;
}

Ref<Object> XmlReader::failAtOffset(ptrdiff_t offset, std::string_view message) {
    if (error_.empty()) {
        const size_t line = lineOf(offset);
        error_ = line ? "line " + std::to_string(line) + ": " + std::string(message) : std::string(message);
    }
    return nullptr;
}

Ref<Object> XmlReader::fail(pugi::xml_node at, std::string_view message) {
    ptrdiff_t offset = at.offset_debug();
    // Stray text usually starts with the line break before it: point at the text itself.
    if (at.type() == pugi::node_pcdata && offset >= 0) {
        for (const char* v = at.value(); isXmlSpace(*v); ++v) ++offset;
    }
    return failAtOffset(offset, message);
}

std::string describe(pugi::xml_node node) {
    switch (node.type()) {
        case pugi::node_element: return "<" + std::string(node.name()) + ">";
        case pugi::node_cdata: return "a CDATA section";
        default: return "text \"" + std::string(trimmed(node.value()).substr(0, 20)) + "\"";
    }
}

Ref<Object> XmlReader::read(std::string& error) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(text_.data(), text_.size(), kParseOptions, pugi::encoding_utf8);
    Ref<Object> result;
    if (!parsed) {
        failAtOffset(parsed.offset, std::string("malformed XML: ") + parsed.description());
    } else {
        pugi::xml_node root;
        for (pugi::xml_node n = document.first_child(); n; n = n.next_sibling()) {
            if (n.type() == pugi::node_element) {
                if (root) {
                    fail(n, "a second root element " + describe(n));
                    break;
                }
                root = n;
            } else if (n.type() == pugi::node_pcdata && !isBlank(n.value())) {
                fail(n, describe(n) + " outside of the root element");
                break;
            }
        }
        if (error_.empty() && !root) failAtOffset(0, "no root element");
        if (error_.empty()) {
            if (std::strcmp(root.name(), "plist") != 0) {
                result = value(root, 0);
            } else {
                pugi::xml_node only;
                for (pugi::xml_node n = root.first_child(); n && error_.empty(); n = n.next_sibling()) {
                    if (n.type() == pugi::node_pcdata && isBlank(n.value())) continue;
                    if (n.type() != pugi::node_element) {
                        fail(n, describe(n) + " inside <plist>");
                    } else if (only) {
                        fail(n, "more than one value inside <plist>");
                    } else {
                        only = n;
                    }
                }
                if (error_.empty() && !only) fail(root, "<plist> holds no value");
                if (error_.empty()) result = value(only, 0);
            }
        }
    }
    if (!result) error = error_.empty() ? "unreadable property list" : error_;
    return result;
}

Ref<Object> XmlReader::value(pugi::xml_node node, int depth) {
    const char* name = node.name();
    switch (name[0]) {
        case 'd':
            if (std::strcmp(name, "dict") == 0) return dictionary(node, depth);
            if (std::strcmp(name, "date") == 0) return date(node);
            if (std::strcmp(name, "data") == 0) return data(node);
            break;
        case 's':
            if (std::strcmp(name, "string") == 0) {
                auto text = textOf(node);
                return text ? str(std::move(*text)) : nullptr;
            }
            break;
        case 'a':
            if (std::strcmp(name, "array") == 0) return array(node, depth);
            break;
        case 'i':
            if (std::strcmp(name, "integer") == 0) return integer(node);
            break;
        case 'r':
            if (std::strcmp(name, "real") == 0) return real(node);
            break;
        case 't':
            if (std::strcmp(name, "true") == 0) return emptyElement(node, sharedBool(true));
            break;
        case 'f':
            if (std::strcmp(name, "false") == 0) return emptyElement(node, sharedBool(false));
            break;
        case 'k':
            if (std::strcmp(name, "key") == 0) return fail(node, "<key> outside of a <dict>");
            break;
        default: break;
    }
    return fail(node, "unknown element <" + std::string(name) + ">");
}

Ref<Object> XmlReader::emptyElement(pugi::xml_node node, Ref<Object> result) {
    for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_pcdata && isBlank(n.value())) continue;
        return fail(n, describe(n) + " inside <" + std::string(node.name()) + "/>");
    }
    return result;
}

Ref<Object> XmlReader::dictionary(pugi::xml_node node, int depth) {
    if (depth >= kMaxNestingDepth) return fail(node, "containers nested deeper than 512 levels");
    size_t count = 0;
    for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling()) count += n.type() == pugi::node_element;
    std::vector<Dictionary::Entry> entries;
    entries.reserve(count / 2);
    for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling()) {
        if (n.type() != pugi::node_element) {
            if (n.type() == pugi::node_pcdata && isBlank(n.value())) continue;
            return fail(n, describe(n) + " inside <dict>");
        }
        if (std::strcmp(n.name(), "key") != 0) return fail(n, describe(n) + " in <dict> without a <key> before it");
        auto key = textOf(n);
        if (!key) return nullptr;
        pugi::xml_node v = n.next_sibling();
        while (v && v.type() == pugi::node_pcdata && isBlank(v.value())) v = v.next_sibling();
        if (!v) return fail(n, "<key>" + *key + "</key> without a value");
        if (v.type() != pugi::node_element) return fail(v, describe(v) + " inside <dict>");
        if (std::strcmp(v.name(), "key") == 0) return fail(n, "<key>" + *key + "</key> without a value");
        Ref<Object> item = value(v, depth + 1);
        if (!item) return nullptr;
        entries.emplace_back(std::move(*key), std::move(item));
        n = v;
    }
    return std::make_shared<Dictionary>(std::move(entries), options_.mutableContainers);
}

Ref<Object> XmlReader::array(pugi::xml_node node, int depth) {
    if (depth >= kMaxNestingDepth) return fail(node, "containers nested deeper than 512 levels");
    size_t count = 0;
    for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling()) count += n.type() == pugi::node_element;
    std::vector<Ref<Object>> items;
    items.reserve(count);
    for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling()) {
        if (n.type() != pugi::node_element) {
            if (n.type() == pugi::node_pcdata && isBlank(n.value())) continue;
            return fail(n, describe(n) + " inside <array>");
        }
        Ref<Object> item = value(n, depth + 1);
        if (!item) return nullptr;
        items.push_back(std::move(item));
    }
    return Array::make(std::move(items), options_.mutableContainers);
}

std::optional<std::string> XmlReader::textOf(pugi::xml_node element) {
    pugi::xml_node first = element.first_child();
    if (!first) return std::string();
    // The common case: one run of plain text with nothing to decode.
    if (!first.next_sibling() && first.type() == pugi::node_pcdata) {
        const char* v = first.value();
        const size_t n = std::strlen(v);
        if (!std::memchr(v, '&', n)) return std::string(v, n);
    }
    std::string out;
    for (pugi::xml_node n = first; n; n = n.next_sibling()) {
        if (n.type() == pugi::node_cdata) {
            out += n.value();
        } else if (n.type() == pugi::node_pcdata) {
            if (!appendDecoded(out, n.value(), n)) return std::nullopt;
        } else {
            fail(n, describe(n) + " inside <" + std::string(element.name()) + ">");
            return std::nullopt;
        }
    }
    return out;
}

bool XmlReader::appendDecoded(std::string& out, std::string_view raw, pugi::xml_node at) {
    size_t pos = 0;
    while (pos < raw.size()) {
        const size_t amp = raw.find('&', pos);
        out.append(raw.substr(pos, amp == std::string_view::npos ? raw.npos : amp - pos));
        if (amp == std::string_view::npos) return true;
        const size_t semi = raw.find(';', amp);
        if (semi == std::string_view::npos || semi - amp > 12) {
            fail(at, "'&' that starts no entity or character reference");
            return false;
        }
        const std::string_view name = raw.substr(amp + 1, semi - amp - 1);
        pos = semi + 1;
        if (name == "amp") {
            out += '&';
        } else if (name == "lt") {
            out += '<';
        } else if (name == "gt") {
            out += '>';
        } else if (name == "quot") {
            out += '"';
        } else if (name == "apos") {
            out += '\'';
        } else if (name.starts_with('#')) {
            const bool hex = name.size() > 1 && name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            uint32_t cp = 0;
            const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            const bool valid = !digits.empty() && ec == std::errc() && end == digits.data() + digits.size() &&
                               cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
            if (!valid) {
                fail(at, "bad character reference &" + std::string(name) + ";");
                return false;
            }
            appendUtf8(out, cp);
        } else {
            fail(at, "undefined entity &" + std::string(name) + ";");
            return false;
        }
    }
    return true;
}

Ref<Object> XmlReader::integer(pugi::xml_node node) {
    const auto text = textOf(node);
    if (!text) return nullptr;
    std::string_view t = trimmed(*text);
    const std::string quoted = "<integer>" + std::string(t.substr(0, 40)) + "</integer>";
    if (t.empty()) return fail(node, "empty <integer>");
    const bool negative = t.front() == '-';
    if (t.front() == '-' || t.front() == '+') t.remove_prefix(1);
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t.remove_prefix(2);
    }
    uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), magnitude, base);
    if (t.empty() || end != t.data() + t.size() || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        return fail(node, "not an integer: " + quoted);
    }
    constexpr uint64_t kMinMagnitude = uint64_t(1) << 63;
    if (ec == std::errc::result_out_of_range || (negative && magnitude > kMinMagnitude)) {
        return fail(node, "integer out of range: " + quoted);
    }
    if (negative) return Number::withInt(static_cast<int64_t>(0 - magnitude));
    if (magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return Number::withUnsigned(magnitude);
    return Number::withInt(static_cast<int64_t>(magnitude));
}

// Infinities and NaN the way writers spell them: "inf", "+infinity", "-Infinity", "nan".
std::optional<double> specialReal(std::string_view t) {
    std::string lower;
    for (char c : t) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    std::string_view s = lower;
    double sign = 1;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        sign = s.front() == '-' ? -1 : 1;
        s.remove_prefix(1);
    }
    if (s == "inf" || s == "infinity") return sign * std::numeric_limits<double>::infinity();
    if (s == "nan") return std::numeric_limits<double>::quiet_NaN();
    return std::nullopt;
}

Ref<Object> XmlReader::real(pugi::xml_node node) {
    const auto text = textOf(node);
    if (!text) return nullptr;
    std::string_view t = trimmed(*text);
    const std::string quoted = "<real>" + std::string(t.substr(0, 40)) + "</real>";
    if (t.empty()) return fail(node, "empty <real>");
    if (const auto special = specialReal(t)) return Number::withDouble(*special);
    std::string_view digits = t;
    if (digits.front() == '+') digits.remove_prefix(1);
    double value = 0;
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::general);
    const bool doubleSign = t.front() == '+' && !digits.empty() && digits.front() == '-';
    if (digits.empty() || doubleSign || end != digits.data() + digits.size() ||
        (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        return fail(node, "not a number: " + quoted);
    }
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow alike; strtod tells them apart.
        value = std::strtod(std::string(digits).c_str(), nullptr);
        if (std::isinf(value)) return fail(node, "real out of range: " + quoted);
    }
    return Number::withDouble(value);
}

// Reads `count` decimal digits; false if any is not a digit.
bool digitsAt(std::string_view s, size_t pos, size_t count, int64_t& out) {
    if (pos + count > s.size()) return false;
    out = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

// "YYYY-MM-DDTHH:MM:SS[.fraction]Z", the year possibly longer or negative.
std::optional<double> parseDate(std::string_view t) {
    const bool negative = !t.empty() && t.front() == '-';
    if (negative) t.remove_prefix(1);
    size_t yearDigits = 0;
    while (yearDigits < t.size() && t[yearDigits] >= '0' && t[yearDigits] <= '9') ++yearDigits;
    if (yearDigits < 4 || yearDigits > 9) return std::nullopt;
    int64_t year, month, day, hour, minute, second;
    if (!digitsAt(t, 0, yearDigits, year)) return std::nullopt;
    t.remove_prefix(yearDigits);
    if (t.size() < 16 || t[0] != '-' || t[3] != '-' || t[6] != 'T' || t[9] != ':' || t[12] != ':') return std::nullopt;
    if (!digitsAt(t, 1, 2, month) || !digitsAt(t, 4, 2, day) || !digitsAt(t, 7, 2, hour) ||
        !digitsAt(t, 10, 2, minute) || !digitsAt(t, 13, 2, second)) {
        return std::nullopt;
    }
    t.remove_prefix(15);
    double fraction = 0;
    if (t.front() == '.') {
        size_t n = 1;
        while (n < t.size() && t[n] >= '0' && t[n] <= '9') ++n;
        if (n == 1) return std::nullopt;
        std::from_chars(t.data(), t.data() + n, fraction);  // ".25": from_chars accepts a leading point
        t.remove_prefix(n);
    }
    if (t != "Z") return std::nullopt;
    if (negative) year = -year;
    static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1] || (month == 2 && day == 29 && !leap) ||
        hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    const UtcFields fields{year, int(month), int(day), int(hour), int(minute), int(second)};
    return sinceReferenceDateOf(fields) + fraction;
}

Ref<Object> XmlReader::date(pugi::xml_node node) {
    const auto text = textOf(node);
    if (!text) return nullptr;
    const std::string_view t = trimmed(*text);
    const auto seconds = parseDate(t);
    if (!seconds) return fail(node, "not a date: <date>" + std::string(t.substr(0, 40)) + "</date>");
    if (std::fabs(*seconds) > kMaxDateMagnitude) return fail(node, "date out of range: " + std::string(t));
    return Date::withTimeIntervalSinceReferenceDate(*seconds);
}

int base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

Ref<Object> XmlReader::data(pugi::xml_node node) {
    const auto text = textOf(node);
    if (!text) return nullptr;
    std::vector<uint8_t> bytes;
    bytes.reserve(text->size() * 3 / 4);
    uint32_t accumulator = 0;
    int bits = 0;
    size_t padding = 0;
    for (const char c : *text) {
        if (isXmlSpace(c)) continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int v = base64Value(static_cast<unsigned char>(c));
        if (v < 0 || padding > 0) return fail(node, "<data> that is not base64");
        accumulator = (accumulator << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<uint8_t>(accumulator >> bits));
        }
    }
    if (padding > 2 || bits >= 6) return fail(node, "<data> that is not base64 (truncated)");
    return Data::make(std::move(bytes));
}

}  // namespace

Ref<Object> readXml(std::span<const uint8_t> bytes, std::string& error, const PropertyListReadOptions& options) {
    std::string converted;
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const bool bomBE = bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
    const bool bomLE = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    // Without a byte-order mark, "<" followed or preceded by a zero byte still tells UTF-16 apart.
    const bool bareBE = !bomBE && !bomLE && bytes.size() >= 2 && bytes[0] == 0 && bytes[1] == '<';
    const bool bareLE = !bomBE && !bomLE && bytes.size() >= 2 && bytes[0] == '<' && bytes[1] == 0;
    if (bomBE || bomLE || bareBE || bareLE) {
        size_t bad = 0;
        const size_t skip = (bomBE || bomLE) ? 2 : 0;
        if (!utf16ToUtf8(bytes.subspan(skip), bomBE || bareBE, converted, bad)) {
            error = "byte " + std::to_string(bad + skip) + ": broken UTF-16";
            return nullptr;
        }
        text = converted;
    } else if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    if (const size_t bad = firstInvalidUtf8(text); bad != std::string_view::npos) {
        const std::string what = text[bad] == 0 ? "NUL character" : "invalid UTF-8";
        size_t line = 1;
        for (size_t i = 0; i < bad; ++i) line += text[i] == '\n';
        error = "line " + std::to_string(line) + ": " + what;
        return nullptr;
    }
    XmlReader reader(text, options);
    return reader.read(error);
}

}  // namespace ossel::plist
