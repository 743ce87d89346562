#pragma once
// The date formatter for calendar formats such as "%Y-%m-%d %H:%M:%S %z".
// Writing takes a Date (a CalendarDate in its own zone, any other date in the
// process default zone); reading gives a CalendarDate. Text in the format
// always parses; with natural language allowed, a few other common spellings
// (an ISO 8601 "T" separator, a missing seconds field, a "Z" or "+01:00" zone,
// a date alone) parse too.

#include "foundation/Formatter.h"

namespace ossel {

class DateFormatter final : public Formatter {
public:
    DateFormatter(std::string format, bool allowNaturalLanguage);

    const std::string& dateFormat() const { return format_; }
    bool allowsNaturalLanguage() const { return natural_; }

    // Nothing for a value that is not a Date.
    std::optional<std::string> stringForObjectValue(const Object* value) const override;
    using Formatter::stringForObjectValue;
    bool getObjectValue(Ref<Object>* value, std::optional<std::string_view> string, std::string* error) const override;

private:
    std::string format_;
    bool natural_;
};

}  // namespace ossel
