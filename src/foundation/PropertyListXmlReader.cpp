// Reading XML property lists with a dedicated scanner rather than a general XML
// library: catalogs of tens of megabytes must read at close to the speed of a bare
// XML parse, which building an element tree first and objects from it afterwards
// could not reach. The scanner is strict where a property list needs it: undefined
// entities, stray text, unknown elements and mismatched tags are all refused.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/PropertyListFormats.h"
#include "foundation/String.h"
#include "foundation/Unicode.h"

namespace ossel::plist {
namespace {

using Kind = PropertyListErrorKind;

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isXmlSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isXmlSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool isBlank(std::string_view s) { return trimmed(s).empty(); }

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

int base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// The value parsers answer null with `why` set when the text is not what the element promises.
struct Refusal {
    Kind kind = Kind::badValue;
    std::string message;
};

Ref<Object> parseInteger(std::string_view text, Refusal& why) {
    std::string_view t = trimmed(text);
    const auto quoted = [whole = t] { return "<integer>" + std::string(whole.substr(0, 40)) + "</integer>"; };
    if (t.empty()) return why = {Kind::badValue, "empty <integer>"}, nullptr;
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
        return why = {Kind::badValue, "not an integer: " + quoted()}, nullptr;
    }
    constexpr uint64_t kMinMagnitude = uint64_t(1) << 63;
    if (ec == std::errc::result_out_of_range || (negative && magnitude > kMinMagnitude)) {
        return why = {Kind::outOfRange, "integer out of range: " + quoted()}, nullptr;
    }
    if (negative) return Number::withInt(static_cast<int64_t>(0 - magnitude));
    if (magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return Number::withUnsigned(magnitude);
    return Number::withInt(static_cast<int64_t>(magnitude));
}

Ref<Object> parseReal(std::string_view text, Refusal& why) {
    const std::string_view t = trimmed(text);
    const auto quoted = [t] { return "<real>" + std::string(t.substr(0, 40)) + "</real>"; };
    if (t.empty()) return why = {Kind::badValue, "empty <real>"}, nullptr;
    if (const auto special = specialReal(t)) return Number::withDouble(*special);
    std::string_view digits = t;
    if (digits.front() == '+') digits.remove_prefix(1);
    double value = 0;
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::general);
    const bool doubleSign = t.front() == '+' && !digits.empty() && digits.front() == '-';
    if (digits.empty() || doubleSign || end != digits.data() + digits.size() ||
        (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        return why = {Kind::badValue, "not a number: " + quoted()}, nullptr;
    }
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow alike; strtod tells them apart.
        value = std::strtod(std::string(digits).c_str(), nullptr);
        if (std::isinf(value)) return why = {Kind::outOfRange, "real out of range: " + quoted()}, nullptr;
    }
    return Number::withDouble(value);
}

Ref<Object> parseDateElement(std::string_view text, Refusal& why) {
    const std::string_view t = trimmed(text);
    const auto seconds = parseDate(t);
    if (!seconds) return why = {Kind::badValue, "not a date: <date>" + std::string(t.substr(0, 40)) + "</date>"}, nullptr;
    if (std::fabs(*seconds) > kMaxDateMagnitude) return why = {Kind::outOfRange, "date out of range: " + std::string(t)}, nullptr;
    return Date::withTimeIntervalSinceReferenceDate(*seconds);
}

Ref<Object> parseData(std::string_view text, Refusal& why) {
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() * 3 / 4);
    uint32_t accumulator = 0;
    int bits = 0;
    size_t padding = 0;
    for (const char c : text) {
        if (isXmlSpace(c)) continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int v = base64Value(static_cast<unsigned char>(c));
        if (v < 0 || padding > 0) return why = {Kind::badValue, "<data> that is not base64"}, nullptr;
        accumulator = (accumulator << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<uint8_t>(accumulator >> bits));
        }
    }
    if (padding > 2 || bits >= 6) return why = {Kind::badValue, "<data> that is not base64 (truncated)"}, nullptr;
    return Data::make(std::move(bytes));
}

bool isNameStart(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80; }
bool isNameChar(unsigned char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// The first '<', '&' or carriage return from `p` on, or `end`: three vectorised
// searches beat a byte loop on the long runs of text that notes are made of.
const char* nextSpecial(const char* p, const char* end) {
    const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
    const char* stop = lt ? lt : end;
    if (const void* amp = std::memchr(p, '&', static_cast<size_t>(stop - p))) stop = static_cast<const char*>(amp);
    if (const void* cr = std::memchr(p, '\r', static_cast<size_t>(stop - p))) stop = static_cast<const char*>(cr);
    return stop;
}

// A single pass over the text that builds the objects as it goes: no element tree
// in between, so that reading costs little more than the objects themselves.
// Every failure names the line; nothing is guessed.
class XmlScanner {
public:
    XmlScanner(std::string_view text, const PropertyListReadOptions& options)
        : begin_(text.data()), p_(text.data()), end_(text.data() + text.size()), options_(options),
          items_(kMaxNestingDepth + 1), entries_(kMaxNestingDepth + 1) {}

    Ref<Object> read(PropertyListError& error);

private:
    struct Tag {
        std::string_view name;
        const char* start = nullptr;  // its '<'
        bool empty = false;           // <name/>
    };

    Ref<Object> value(const Tag& tag, int depth);
    Ref<Object> dictionary(const Tag& tag, int depth);
    Ref<Object> array(const Tag& tag, int depth);
    Ref<Object> scalar(const Tag& tag, Ref<Object> (*parse)(std::string_view, Refusal&));
    Ref<Object> boolean(const Tag& tag, bool value);
    bool plistContent(const Tag& root, Ref<Object>& result);

    bool text(const Tag& tag, std::string& out);
    bool plainText(const Tag& tag, std::string_view& out, std::string& storage);
    bool reference(std::string& out);
    bool startTag(Tag& tag);
    bool endTag(const Tag& open);
    bool skipMisc();
    bool skipPast(std::string_view terminator, const char* what);
    bool skipDoctype();
    void skipSpace() {
        while (p_ < end_ && isXmlSpace(*p_)) ++p_;
    }
    bool startsWith(std::string_view s) const {
        return static_cast<size_t>(end_ - p_) >= s.size() && std::memcmp(p_, s.data(), s.size()) == 0;
    }
    // What stands at the cursor where a value or an end tag was expected, and a failure saying so.
    bool strayContent(std::string_view where);

    bool fail(const char* at, Kind kind, std::string_view message);
    bool failEnd(const Tag& open);
    size_t lineOf(const char* at) const;
    std::string opened(const Tag& tag) const {
        std::string text(1, '<');
        text.append(tag.name).append("> (opened on line ").append(std::to_string(lineOf(tag.start))).append(")");
        return text;
    }

    const char* begin_;
    const char* p_;
    const char* end_;
    PropertyListReadOptions options_;
    // Scratch lists per nesting level, reused from one container to the next.
    std::vector<std::vector<Ref<Object>>> items_;
    std::vector<std::vector<Dictionary::Entry>> entries_;
    PropertyListError error_;
    bool failed_ = false;
};

size_t XmlScanner::lineOf(const char* at) const {
    size_t line = 1;
    for (const char* p = begin_; p < at && (p = static_cast<const char*>(std::memchr(p, '\n', at - p))); ++p) ++line;
    return line;
}

bool XmlScanner::fail(const char* at, Kind kind, std::string_view message) {
    if (!failed_) error_ = {kind, lineOf(std::min(at, end_)), 0, std::string(message)};
    failed_ = true;
    return false;
}

bool XmlScanner::failEnd(const Tag& open) {
    return fail(end_, Kind::truncated, "malformed XML: the file ends inside " + opened(open));
}

bool XmlScanner::skipPast(std::string_view terminator, const char* what) {
    const std::string_view rest(p_, static_cast<size_t>(end_ - p_));
    const size_t at = rest.find(terminator);
    if (at == std::string_view::npos) return fail(p_, Kind::syntax, std::string("malformed XML: unterminated ") + what);
    p_ += at + terminator.size();
    return true;
}

// A document type declaration, with an internal subset in brackets if there is one.
// Entities it declares are not expanded: using one is refused as undefined.
bool XmlScanner::skipDoctype() {
    const char* start = p_;
    char quote = 0;
    int brackets = 0;
    for (; p_ < end_; ++p_) {
        const char c = *p_;
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            ++p_;
            return true;
        }
    }
    return fail(start, Kind::syntax, "malformed XML: unterminated <!DOCTYPE");
}

// Whitespace, comments and processing instructions, which may stand between elements.
bool XmlScanner::skipMisc() {
    for (;;) {
        skipSpace();
        if (p_ + 1 >= end_ || p_[0] != '<') return true;
        if (p_[1] == '?') {
            if (!skipPast("?>", "processing instruction")) return false;
        } else if (startsWith("<!--")) {
            p_ += 4;
            if (!skipPast("-->", "comment")) return false;
        } else {
            return true;
        }
    }
}

bool XmlScanner::startTag(Tag& tag) {
    tag.start = p_;
    const char* name = ++p_;
    if (p_ >= end_ || !isNameStart(static_cast<unsigned char>(*p_))) return fail(tag.start, Kind::syntax, "malformed XML: '<' that starts no tag");
    while (p_ < end_ && isNameChar(static_cast<unsigned char>(*p_))) ++p_;
    tag.name = std::string_view(name, static_cast<size_t>(p_ - name));
    for (;;) {
        const char* beforeSpace = p_;
        skipSpace();
        if (p_ >= end_) return fail(tag.start, Kind::truncated, "malformed XML: the file ends inside the tag <" + std::string(tag.name) + ">");
        if (*p_ == '>') {
            ++p_;
            tag.empty = false;
            return true;
        }
        if (*p_ == '/' && p_ + 1 < end_ && p_[1] == '>') {
            p_ += 2;
            tag.empty = true;
            return true;
        }
        // An attribute: name="value" or name='value', after some whitespace. Their values do not matter to us.
        if (p_ == beforeSpace || !isNameStart(static_cast<unsigned char>(*p_))) {
            return fail(p_, Kind::syntax, "malformed XML: unexpected character in the tag <" + std::string(tag.name) + ">");
        }
        while (p_ < end_ && isNameChar(static_cast<unsigned char>(*p_))) ++p_;
        skipSpace();
        if (p_ >= end_ || *p_ != '=') return fail(p_, Kind::syntax, "malformed XML: attribute without a value in <" + std::string(tag.name) + ">");
        ++p_;
        skipSpace();
        if (p_ >= end_ || (*p_ != '"' && *p_ != '\'')) return fail(p_, Kind::syntax, "malformed XML: attribute value without quotes");
        const char quote = *p_++;
        const char* close = static_cast<const char*>(std::memchr(p_, quote, static_cast<size_t>(end_ - p_)));
        if (!close || std::memchr(p_, '<', static_cast<size_t>(close - p_))) return fail(p_, Kind::syntax, "malformed XML: unterminated attribute value");
        p_ = close + 1;
    }
}

bool XmlScanner::endTag(const Tag& open) {
    const char* start = p_;
    p_ += 2;
    const char* name = p_;
    while (p_ < end_ && isNameChar(static_cast<unsigned char>(*p_))) ++p_;
    const std::string_view closing(name, static_cast<size_t>(p_ - name));
    if (closing != open.name) {
        return fail(start, Kind::syntax, "malformed XML: </" + std::string(closing) + "> closes " + opened(open));
    }
    skipSpace();
    if (p_ >= end_ || *p_ != '>') return fail(start, Kind::syntax, "malformed XML: unterminated end tag </" + std::string(closing) + ">");
    ++p_;
    return true;
}

bool XmlScanner::strayContent(std::string_view where) {
    if (startsWith("<![CDATA[")) return fail(p_, Kind::syntax, "a CDATA section inside " + std::string(where));
    if (startsWith("<!")) return fail(p_, Kind::syntax, "malformed XML: unexpected markup inside " + std::string(where));
    const char* stop = static_cast<const char*>(std::memchr(p_, '<', static_cast<size_t>(end_ - p_)));
    const std::string_view stray(p_, static_cast<size_t>((stop ? stop : end_) - p_));
    return fail(p_, Kind::syntax, "text \"" + std::string(trimmed(stray).substr(0, 20)) + "\" inside " + std::string(where));
}

// After an '&': an entity or character reference, decoded into `out`.
bool XmlScanner::reference(std::string& out) {
    const char* amp = p_;
    const char* semi = static_cast<const char*>(std::memchr(p_, ';', std::min<size_t>(static_cast<size_t>(end_ - p_), 14)));
    if (!semi) return fail(amp, Kind::syntax, "'&' that starts no entity or character reference");
    const std::string_view name(amp + 1, static_cast<size_t>(semi - amp - 1));
    p_ = semi + 1;
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
        if (!valid) return fail(amp, Kind::syntax, "bad character reference &" + std::string(name) + ";");
        unicode::appendUtf8(out, cp);
    } else {
        return fail(amp, Kind::syntax, "undefined entity &" + std::string(name) + ";");
    }
    return true;
}

// The common case of a number or a date: plain characters up to the end tag, looked
// at where they lie; anything else takes the general road through `storage`.
bool XmlScanner::plainText(const Tag& tag, std::string_view& out, std::string& storage) {
    if (!tag.empty) {
        const char* run = p_;
        const char* q = nextSpecial(p_, end_);
        if (q + 1 < end_ && q[0] == '<' && q[1] == '/') {
            p_ = q;
            if (!endTag(tag)) return false;
            out = std::string_view(run, static_cast<size_t>(q - run));
            return true;
        }
    }
    if (!text(tag, storage)) return false;
    out = storage;
    return true;
}

// An element's character content up to its end tag: references decoded, CDATA sections
// taken as they are, comments skipped, line ends normalised; any element inside is refused.
bool XmlScanner::text(const Tag& tag, std::string& out) {
    out.clear();
    if (tag.empty) return true;
    for (;;) {
        const char* run = p_;
        p_ = nextSpecial(p_, end_);
        out.append(run, static_cast<size_t>(p_ - run));
        if (p_ >= end_) return failEnd(tag);
        if (*p_ == '&') {
            if (!reference(out)) return false;
        } else if (*p_ == '\r') {
            out += '\n';
            p_ += (p_ + 1 < end_ && p_[1] == '\n') ? 2 : 1;
        } else if (p_ + 1 < end_ && p_[1] == '/') {
            return endTag(tag);
        } else if (startsWith("<![CDATA[")) {
            p_ += 9;
            const char* data = p_;
            if (!skipPast("]]>", "CDATA section")) return false;
            for (const char* c = data; c < p_ - 3; ++c) {
                if (*c != '\r') {
                    out += *c;
                } else if (c + 1 >= p_ - 3 || c[1] != '\n') {
                    out += '\n';
                }
            }
        } else if (startsWith("<!--")) {
            p_ += 4;
            if (!skipPast("-->", "comment")) return false;
        } else if (startsWith("<?")) {
            if (!skipPast("?>", "processing instruction")) return false;
        } else {
            Tag inner;
            if (!startTag(inner)) return false;
            return fail(inner.start, Kind::structure, "<" + std::string(inner.name) + "> inside <" + std::string(tag.name) + ">");
        }
    }
}

Ref<Object> XmlScanner::scalar(const Tag& tag, Ref<Object> (*parse)(std::string_view, Refusal&)) {
    std::string storage;
    std::string_view content;
    if (!plainText(tag, content, storage)) return nullptr;
    Refusal why;
    Ref<Object> result = parse(content, why);
    if (!result) fail(tag.start, why.kind, why.message);
    return result;
}

Ref<Object> XmlScanner::boolean(const Tag& tag, bool value) {
    std::string content;
    if (!text(tag, content)) return nullptr;
    if (!isBlank(content)) {
        fail(tag.start, Kind::badValue, "text \"" + std::string(trimmed(content).substr(0, 20)) + "\" inside <" + std::string(tag.name) + "/>");
        return nullptr;
    }
    return sharedBool(value);
}

Ref<Object> XmlScanner::value(const Tag& tag, int depth) {
    const std::string_view name = tag.name;
    if (name == "string") {
        std::string content;
        if (!text(tag, content)) return nullptr;
        return str(std::move(content));
    }
    if (name == "dict") return dictionary(tag, depth);
    if (name == "array") return array(tag, depth);
    if (name == "integer") return scalar(tag, parseInteger);
    if (name == "real") return scalar(tag, parseReal);
    if (name == "date") return scalar(tag, parseDateElement);
    if (name == "data") return scalar(tag, parseData);
    if (name == "true") return boolean(tag, true);
    if (name == "false") return boolean(tag, false);
    if (name == "key") return fail(tag.start, Kind::structure, "<key> outside of a <dict>"), nullptr;
    return fail(tag.start, Kind::unknownElement, "unknown element <" + std::string(name) + ">"), nullptr;
}

Ref<Object> XmlScanner::dictionary(const Tag& tag, int depth) {
    if (depth >= kMaxNestingDepth) return fail(tag.start, Kind::tooDeep, "containers nested deeper than 512 levels"), nullptr;
    auto& scratch = entries_[static_cast<size_t>(depth)];
    scratch.clear();
    if (!tag.empty) {
        for (;;) {
            if (!skipMisc()) return nullptr;
            if (p_ >= end_) return failEnd(tag), nullptr;
            if (p_[0] != '<' || p_ + 1 >= end_ || p_[1] == '!') return strayContent("<dict>"), nullptr;
            if (p_[1] == '/') {
                if (!endTag(tag)) return nullptr;
                break;
            }
            Tag key;
            if (!startTag(key)) return nullptr;
            if (key.name != "key") {
                return fail(key.start, Kind::structure, "<" + std::string(key.name) + "> in <dict> without a <key> before it"), nullptr;
            }
            std::string keyText;
            if (!text(key, keyText)) return nullptr;
            if (!skipMisc()) return nullptr;
            auto noValue = [&] { return fail(key.start, Kind::structure, "<key>" + keyText.substr(0, 40) + "</key> without a value"); };
            if (p_ >= end_ || (p_[0] == '<' && p_ + 1 < end_ && p_[1] == '/')) return noValue(), nullptr;
            if (p_[0] != '<' || p_ + 1 >= end_ || p_[1] == '!') return strayContent("<dict>"), nullptr;
            Tag valueTag;
            if (!startTag(valueTag)) return nullptr;
            if (valueTag.name == "key") return noValue(), nullptr;
            Ref<Object> item = value(valueTag, depth + 1);
            if (!item) return nullptr;
            scratch.emplace_back(std::move(keyText), std::move(item));
        }
    }
    std::vector<Dictionary::Entry> entries(std::make_move_iterator(scratch.begin()), std::make_move_iterator(scratch.end()));
    scratch.clear();
    return makeDictionary(std::move(entries), options_.mutableContainers);
}

Ref<Object> XmlScanner::array(const Tag& tag, int depth) {
    if (depth >= kMaxNestingDepth) return fail(tag.start, Kind::tooDeep, "containers nested deeper than 512 levels"), nullptr;
    auto& scratch = items_[static_cast<size_t>(depth)];
    scratch.clear();
    if (!tag.empty) {
        for (;;) {
            if (!skipMisc()) return nullptr;
            if (p_ >= end_) return failEnd(tag), nullptr;
            if (p_[0] != '<' || p_ + 1 >= end_ || p_[1] == '!') return strayContent("<array>"), nullptr;
            if (p_[1] == '/') {
                if (!endTag(tag)) return nullptr;
                break;
            }
            Tag itemTag;
            if (!startTag(itemTag)) return nullptr;
            Ref<Object> item = value(itemTag, depth + 1);
            if (!item) return nullptr;
            if (depth == 0 && options_.arrayItemSink) {
                options_.arrayItemSink(std::move(item));
                continue;
            }
            scratch.push_back(std::move(item));
        }
    }
    std::vector<Ref<Object>> items(std::make_move_iterator(scratch.begin()), std::make_move_iterator(scratch.end()));
    scratch.clear();
    return Array::make(std::move(items), options_.mutableContainers);
}

bool XmlScanner::plistContent(const Tag& root, Ref<Object>& result) {
    if (root.empty) return fail(root.start, Kind::structure, "<plist> holds no value");
    for (;;) {
        if (!skipMisc()) return false;
        if (p_ >= end_) return failEnd(root);
        if (p_[0] != '<' || p_ + 1 >= end_ || p_[1] == '!') return strayContent("<plist>");
        if (p_[1] == '/') {
            if (!endTag(root)) return false;
            return result ? true : fail(root.start, Kind::structure, "<plist> holds no value");
        }
        Tag tag;
        if (!startTag(tag)) return false;
        if (result) return fail(tag.start, Kind::structure, "more than one value inside <plist>");
        result = value(tag, 0);
        if (!result) return false;
    }
}

Ref<Object> XmlScanner::read(PropertyListError& error) {
    Ref<Object> result;
    bool ok = true;
    // The prolog: declaration, comments, processing instructions, document type.
    for (;;) {
        if (!(ok = skipMisc())) break;
        if (!startsWith("<!DOCTYPE")) break;
        if (!(ok = skipDoctype())) break;
    }
    if (ok && p_ >= end_) ok = fail(p_, Kind::syntax, "no root element: not a property list");
    if (ok && (p_[0] != '<' || p_ + 1 >= end_ || p_[1] == '!' || p_[1] == '/')) {
        ok = fail(p_, Kind::syntax, "malformed XML: no root element, not a property list");
    }
    Tag root;
    if (ok) ok = startTag(root);
    if (ok) {
        if (root.name == "plist") {
            ok = plistContent(root, result);
        } else {
            result = value(root, 0);
            ok = result != nullptr;
        }
    }
    if (ok && !(ok = skipMisc())) result = nullptr;
    if (ok && p_ < end_) {
        fail(p_, Kind::syntax, p_[0] == '<' ? "a second root element" : "text after the root element");
        result = nullptr;
    }
    if (!ok) result = nullptr;
    if (!result) error = failed_ ? error_ : PropertyListError{Kind::syntax, 1, 0, "unreadable property list"};
    return result;
}

}  // namespace

Ref<Object> readXml(std::span<const uint8_t> bytes, PropertyListError& error, const PropertyListReadOptions& options) {
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
        const auto order = bomBE || bareBE ? unicode::ByteOrder::bigEndian : unicode::ByteOrder::littleEndian;
        if (!unicode::appendUtf16AsUtf8(bytes.subspan(skip), order, converted, &bad)) {
            error = {Kind::encoding, 0, bad + skip, "broken UTF-16"};
            return nullptr;
        }
        text = converted;
    } else if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    // A NUL would end the text for any XML parser, so it is refused as well.
    const size_t nul = text.find('\0');
    const size_t bad = std::min(unicode::firstInvalidUtf8(text.substr(0, nul)), nul);
    if (bad != std::string_view::npos) {
        const size_t line = 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + bad, '\n'));
        error = {Kind::encoding, line, 0, bad == nul ? "NUL character" : "invalid UTF-8"};
        return nullptr;
    }
    XmlScanner scanner(text, options);
    return scanner.read(error);
}

}  // namespace ossel::plist
