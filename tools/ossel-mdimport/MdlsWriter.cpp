#include "MdlsWriter.h"

#include <algorithm>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Date.h"
#include "foundation/Format.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace ossel {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    out += '"';
    return out;
}

std::string indent(int level) { return std::string(static_cast<size_t>(level) * 4, ' '); }

std::string renderArray(const Array& array, int level) {
    if (array.empty()) return "(\n" + indent(level) + ")";
    std::string out = "(\n";
    for (size_t i = 0; i < array.count(); ++i) {
        out += indent(level + 1) + MdlsWriter::renderValue(array.items()[i].get(), level + 1);
        out += i + 1 < array.count() ? ",\n" : "\n";
    }
    return out + indent(level) + ")";
}

std::string renderDictionary(const Dictionary& dictionary, int level) {
    std::string out = "{\n";
    for (const auto& [key, value] : dictionary) {
        out += indent(level + 1) + key + " = " + MdlsWriter::renderValue(value.get(), level + 1) + ";\n";
    }
    return out + indent(level) + "}";
}

}  // namespace

std::string MdlsWriter::renderValue(const Object* value, int indentLevel) {
    if (!value) return "(null)";
    if (const auto* text = dynamic_cast<const String*>(value)) return quoted(text->utf8());
    if (const auto* array = dynamic_cast<const Array*>(value)) return renderArray(*array, indentLevel);
    if (const auto* dictionary = dynamic_cast<const Dictionary*>(value)) {
        return renderDictionary(*dictionary, indentLevel);
    }
    // Numbers print bare (booleans as 1 and 0), dates in UTC, data as hex, the rest as they describe themselves.
    return value->description();
}

void MdlsWriter::imported(const std::string& path, const Dictionary& attributes, std::optional<double> seconds) {
    std::vector<const Dictionary::Entry*> entries;
    size_t width = 0;
    for (const auto& entry : attributes) {
        entries.push_back(&entry);
        width = std::max(width, entry.first.size());
    }
    std::sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) { return a->first < b->first; });

    std::string block = first_ ? "" : "\n";
    first_ = false;
    block += path;
    if (seconds) block += format(" (imported in %.3f ms)", *seconds * 1000.0);
    block += '\n';
    for (const auto* entry : entries) {
        block += entry->first + std::string(width - entry->first.size(), ' ') + " = " +
                 renderValue(entry->second.get(), 0) + '\n';
    }
    writeOut(out_, block);
}

}  // namespace ossel
