// Writing XML property lists byte for byte the way the platform's own tools
// lay them out, so that files we rewrite differ from theirs only where the
// values differ.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "foundation/PropertyListFormats.h"
#include "foundation/String.h"

namespace ossel {
namespace {

inline constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";
inline constexpr std::string_view kFooter = "</plist>\n";
inline constexpr size_t kBase64LineLength = 68;

class XmlWriter {
public:
    explicit XmlWriter(std::string& out) : out_(out) {}
    // False with error_ set at the first value that has no XML form.
    bool write(const Object* object, int level);
    const std::string& error() const { return error_; }

private:
    void indent(int level) { out_.append(static_cast<size_t>(level), '\t'); }
    void escaped(std::string_view text);
    void element(std::string_view name, std::string_view text, int level);
    bool dictionary(const Dictionary& d, int level);
    bool array(const Array& a, int level);
    void number(const Number& n, int level);
    void date(const Date& d, int level);
    void data(const Data& d, int level);

    std::string& out_;
    std::string error_;
};

void XmlWriter::escaped(std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const char* replacement = nullptr;
        char reference[8];
        if (c == '&') {
            replacement = "&amp;";
        } else if (c == '<') {
            replacement = "&lt;";
        } else if (c == '>') {
            replacement = "&gt;";
        } else if (c < 0x20 && c != '\t' && c != '\n') {
            // A raw carriage return would come back as a line feed, and other control
            // characters may not appear raw in XML at all: write them as references.
            std::snprintf(reference, sizeof reference, "&#%u;", c);
            replacement = reference;
        } else {
            continue;
        }
        out_.append(text.substr(start, i - start));
        out_.append(replacement);
        start = i + 1;
    }
    out_.append(text.substr(start));
}

void XmlWriter::element(std::string_view name, std::string_view text, int level) {
    indent(level);
    out_ += '<';
    out_ += name;
    out_ += '>';
    escaped(text);
    out_ += "</";
    out_ += name;
    out_ += ">\n";
}

bool XmlWriter::write(const Object* object, int level) {
    if (const auto* s = dynamic_cast<const String*>(object)) {
        element("string", s->utf8(), level);
    } else if (const auto* n = dynamic_cast<const Number*>(object)) {
        number(*n, level);
    } else if (const auto* d = dynamic_cast<const Dictionary*>(object)) {
        return dictionary(*d, level);
    } else if (const auto* a = dynamic_cast<const Array*>(object)) {
        return array(*a, level);
    } else if (const auto* date = dynamic_cast<const Date*>(object)) {
        this->date(*date, level);
    } else if (const auto* bytes = dynamic_cast<const Data*>(object)) {
        data(*bytes, level);
    } else {
        error_ = object ? "a " + object->className() + " is not a property-list value" : "nothing to write";
        return false;
    }
    return true;
}

bool XmlWriter::dictionary(const Dictionary& d, int level) {
    if (level >= plist::kMaxNestingDepth) {
        error_ = "containers nested deeper than 512 levels (or containing themselves)";
        return false;
    }
    indent(level);
    if (d.empty()) {
        out_ += "<dict/>\n";
        return true;
    }
    out_ += "<dict>\n";
    std::vector<const Dictionary::Entry*> sorted;
    sorted.reserve(d.count());
    for (const auto& entry : d) sorted.push_back(&entry);
    // std::string compares as unsigned bytes: keys come out in byte order.
    std::sort(sorted.begin(), sorted.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
    for (const auto* entry : sorted) {
        element("key", entry->first, level + 1);
        if (!write(entry->second.get(), level + 1)) return false;
    }
    indent(level);
    out_ += "</dict>\n";
    return true;
}

bool XmlWriter::array(const Array& a, int level) {
    if (level >= plist::kMaxNestingDepth) {
        error_ = "containers nested deeper than 512 levels (or containing themselves)";
        return false;
    }
    indent(level);
    if (a.empty()) {
        out_ += "<array/>\n";
        return true;
    }
    out_ += "<array>\n";
    for (const auto& item : a) {
        if (!write(item.get(), level + 1)) return false;
    }
    indent(level);
    out_ += "</array>\n";
    return true;
}

void XmlWriter::number(const Number& n, int level) {
    char buffer[64];
    std::to_chars_result r{};
    switch (n.kind()) {
        case Number::Kind::Bool:
            indent(level);
            out_ += n.boolValue() ? "<true/>\n" : "<false/>\n";
            return;
        case Number::Kind::Int:
            r = std::to_chars(buffer, buffer + sizeof buffer, n.longLongValue());
            element("integer", std::string_view(buffer, r.ptr), level);
            return;
        case Number::Kind::UInt:
            r = std::to_chars(buffer, buffer + sizeof buffer, n.unsignedLongLongValue());
            element("integer", std::string_view(buffer, r.ptr), level);
            return;
        default:
            // Shortest text that reads back to the same double; "inf", "-inf" and "nan" as they are.
            r = std::to_chars(buffer, buffer + sizeof buffer, n.doubleValue());
            element("real", std::string_view(buffer, r.ptr), level);
            return;
    }
}

void XmlWriter::date(const Date& d, int level) {
    element("date", iso8601UtcString(d.timeIntervalSinceReferenceDate()), level);
}

void XmlWriter::data(const Data& d, int level) {
    const std::string encoded = d.base64EncodedString();
    indent(level);
    out_ += "<data>\n";
    for (size_t i = 0; i < encoded.size(); i += kBase64LineLength) {
        indent(level);
        out_.append(encoded, i, kBase64LineLength);
        out_ += '\n';
    }
    indent(level);
    out_ += "</data>\n";
}

}  // namespace

std::string xmlPropertyListData(const Object* root, std::string* error) {
    std::string out;
    out.reserve(4096);
    out += kHeader;
    XmlWriter writer(out);
    if (!writer.write(root, 0)) {
        if (error) *error = writer.error();
        return {};
    }
    out += kFooter;
    return out;
}

}  // namespace ossel
