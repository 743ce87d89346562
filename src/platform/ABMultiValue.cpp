#include "platform/ABMultiValue.h"

#include "foundation/Format.h"
#include "platform/PlatformException.h"

namespace ossel {

std::string ABMultiValue::addValue(Ref<Object> value, std::string label) {
    std::string identifier = format("%lu", static_cast<unsigned long>(entries_.size()));
    entries_.push_back({identifier, std::move(label), std::move(value)});
    return identifier;
}

void ABMultiValue::setPrimaryIdentifier(const std::string& identifier) {
    primary_ = indexForIdentifier(&identifier) == NotFound ? std::string() : identifier;
}

size_t ABMultiValue::indexForIdentifier(const std::string* identifier) const {
    if (!identifier) return NotFound;
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].identifier == *identifier) return i;
    }
    return NotFound;
}

const ABMultiValue::Entry& ABMultiValue::at(size_t index) const {
    if (index >= entries_.size()) {
        throw PlatformException(kPlatformRangeException,
                                format("index (%lu) beyond bounds (%lu)", static_cast<unsigned long>(index),
                                       static_cast<unsigned long>(entries_.size())));
    }
    return entries_[index];
}

Ref<Object> ABMultiValue::valueAtIndex(size_t index) const { return at(index).value; }
const std::string& ABMultiValue::labelAtIndex(size_t index) const { return at(index).label; }
const std::string& ABMultiValue::identifierAtIndex(size_t index) const { return at(index).identifier; }

std::string ABMultiValue::description() const {
    std::string text = "ABMultiValue (";
    for (const auto& entry : entries_) {
        text += format("\n    %@%@ %@ = %@", entry.identifier == primary_ ? "*" : "", entry.identifier, entry.label,
                       entry.value);
    }
    return text + "\n)";
}

}  // namespace ossel
