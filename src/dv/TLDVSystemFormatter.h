#pragma once
// Writes a DV system as the text that property lists store after "@dvsystem:"
// and reads it back. The shared systems are written by long name only
// ("dvsystem//:System 625/50"); any other system field by field, separated by "?".

#include <optional>
#include <string>
#include <string_view>

#include "dv/DVSystem.h"
#include "foundation/Formatter.h"

namespace ossel {

inline constexpr std::string_view TLDVSystemFormatterPrefix = "dvsystem//:";

class TLDVSystemFormatter : public Formatter {
public:
    static Ref<TLDVSystemFormatter> defaultFormatter();

    // "Type error" for a value that is not a DV system; never nothing.
    std::optional<std::string> stringForObjectValue(const Object* value) const override;
    using Formatter::stringForObjectValue;
    // A shared system's text gives that shared instance; any other text a new system.
    bool getObjectValue(Ref<Object>* value, std::optional<std::string_view> string, std::string* error) const override;

    std::string className() const override { return "TLDVSystemFormatter"; }
};

}  // namespace ossel
