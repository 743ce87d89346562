#pragma once
// An address-book person: a unique id and, per property, a plain value or an
// ABMultiValue.

#include <string>
#include <string_view>

#include "foundation/Dictionary.h"
#include "foundation/Object.h"

namespace ossel {

inline constexpr const char* kABFirstNameProperty = "First";
inline constexpr const char* kABLastNameProperty = "Last";
inline constexpr const char* kABNicknameProperty = "Nickname";
inline constexpr const char* kABBirthdayProperty = "Birthday";
inline constexpr const char* kABEmailProperty = "Email";

class ABPerson final : public Object {
public:
    explicit ABPerson(std::string uniqueId) : uniqueId_(std::move(uniqueId)) {}

    // Empty when the source gave the person none.
    const std::string& uniqueId() const { return uniqueId_; }

    // The property's value (a plain value or an ABMultiValue), or null.
    Ref<Object> valueForProperty(std::string_view property) const { return values_.objectForKey(property); }
    // A null value removes the property.
    void setValue(Ref<Object> value, std::string property) { values_.setObject(std::move(value), std::move(property)); }

    const Dictionary& values() const { return values_; }

    std::string description() const override;
    std::string className() const override { return "ABPerson"; }

private:
    std::string uniqueId_;
    Dictionary values_;
};

}  // namespace ossel
