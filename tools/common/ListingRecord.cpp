#include "ListingRecord.h"

#include <algorithm>
#include <vector>

#include "foundation/Format.h"

namespace ossel {

void ListingRecord::appendImported(std::string& out, std::string_view path, const Dictionary& attributes,
                                   std::optional<double> seconds) {
    std::vector<const Dictionary::Entry*> entries;
    entries.reserve(attributes.count());
    size_t width = 0;
    for (const auto& entry : attributes) {
        entries.push_back(&entry);
        width = std::max(width, entry.first.size());
    }
    std::sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) { return a->first < b->first; });

    out += path;
    if (seconds) out += format(" (imported in %.3f ms)", *seconds * 1000.0);
    out += '\n';
    for (const auto* entry : entries) {
        out += entry->first;
        out.append(width - entry->first.size(), ' ');
        out += " = ";
        out += oldStyleDescription(entry->second.get(), 0, TextQuoting::always);
        out += '\n';
    }
    out += '\n';
}

}  // namespace ossel
