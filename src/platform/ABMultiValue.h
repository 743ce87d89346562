#pragma once
// An address-book multi-value: an ordered list of values, each with a label
// and a stable identifier, one of which may be marked primary.

#include <cstddef>
#include <string>
#include <vector>

#include "foundation/Object.h"

namespace ossel {

class ABMultiValue final : public Object {
public:
    // What indexForIdentifier answers for an identifier it does not hold.
    static constexpr size_t NotFound = static_cast<size_t>(-1);

    // Appends a value; answers its identifier ("<count>" based, unique within the list).
    std::string addValue(Ref<Object> value, std::string label);
    // Marks the value with the identifier as primary; an unknown identifier clears the mark.
    void setPrimaryIdentifier(const std::string& identifier);

    size_t count() const { return entries_.size(); }
    // The primary value's identifier, or null when none is marked.
    const std::string* primaryIdentifier() const { return primary_.empty() ? nullptr : &primary_; }
    size_t indexForIdentifier(const std::string* identifier) const;
    // Throw PlatformException (NSRangeException) for an index past the end.
    Ref<Object> valueAtIndex(size_t index) const;
    const std::string& labelAtIndex(size_t index) const;
    const std::string& identifierAtIndex(size_t index) const;

    std::string description() const override;
    std::string className() const override { return "ABMultiValue"; }

private:
    struct Entry {
        std::string identifier;
        std::string label;
        Ref<Object> value;
    };
    const Entry& at(size_t index) const;

    std::vector<Entry> entries_;
    std::string primary_;
};

// Labels the vCard reader gives e-mail addresses.
inline constexpr const char* kABHomeLabel = "_$!<Home>!$_";
inline constexpr const char* kABWorkLabel = "_$!<Work>!$_";
inline constexpr const char* kABOtherLabel = "_$!<Other>!$_";

}  // namespace ossel
