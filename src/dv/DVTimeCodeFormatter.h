#pragma once
// Writes a timecode as the 11-character text "HH:MM:SS.FF" that property lists
// store, and reads such a text back. Reading ignores the separators, so the
// drop-frame form "HH:MM:SS;FF" and the all-colon form read the same.

#include <optional>
#include <string>
#include <string_view>

#include "dv/DVTimeCode.h"
#include "foundation/Formatter.h"

namespace ossel {

class DVTimeCodeFormatter : public Formatter {
public:
    // A new formatter on every call; formatters keep no state.
    static Ref<DVTimeCodeFormatter> defaultFormatter();

    // "--:--:--.--" for anything that is not a valid timecode; never nothing.
    std::optional<std::string> stringForObjectValue(const Object* value) const override;
    using Formatter::stringForObjectValue;
    // Fails only for a missing text or one that is not 11 UTF-16 units long;
    // out-of-range fields give an invalid timecode.
    bool getObjectValue(Ref<Object>* value, std::optional<std::string_view> string, std::string* error) const override;

    std::string className() const override { return "DVTimeCodeFormatter"; }
};

}  // namespace ossel
