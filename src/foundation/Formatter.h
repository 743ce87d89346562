#pragma once
// The formatter base class: turns a value into text and text into a new value.

#include <optional>
#include <string>
#include <string_view>

#include "foundation/Object.h"

namespace ossel {

class Formatter : public Object {
public:
    // The value's text; nothing when the formatter has none for it.
    virtual std::optional<std::string> stringForObjectValue(const Object* value) const = 0;
    std::optional<std::string> stringForObjectValue(const Ref<Object>& value) const {
        return stringForObjectValue(value.get());
    }

    // Parses a text (nothing stands for an absent text) into *value. True on
    // success; on failure false and, when `error` is given, a message in it.
    virtual bool getObjectValue(Ref<Object>* value, std::optional<std::string_view> string,
                                std::string* error) const = 0;
};

}  // namespace ossel
