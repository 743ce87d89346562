#include "dv/DVTimeCodeFormatter.h"

#include <array>
#include <cstdint>

#include "base/TLLog.h"
#include "foundation/Format.h"
#include "foundation/Unicode.h"

namespace ossel {
namespace {

constexpr size_t kTextLength = TIMECODE_UNDEFINED_STR.size();
constexpr size_t kFieldStarts[4] = {0, 3, 6, 9};

constexpr std::string_view kUndefinedStringMessage = "Cannot parse an undefined string";
constexpr std::string_view kLengthMessage =
    "String '%s' cannot be parsed into a timecode as it has not the expected length";

bool isSpace(char16_t c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

bool isDigit(char16_t c) { return c >= '0' && c <= '9'; }

// An ASCII text counts one UTF-16 unit per byte.
bool isAscii(std::string_view text) {
    unsigned char any = 0;
    for (const char c : text) any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

// A two-unit field read the way the platform's intValue reads a text: leading
// white space, one optional sign, then digits up to the first non-digit; no
// digit at all reads 0.
template <class Unit>
int32_t fieldValue(const Unit* field) {
    if (isDigit(static_cast<char16_t>(field[0])) && isDigit(static_cast<char16_t>(field[1]))) {
        return (field[0] - '0') * 10 + (field[1] - '0');
    }
    size_t i = 0;
    while (i < 2 && isSpace(static_cast<char16_t>(field[i]))) ++i;
    bool negative = false;
    if (i < 2 && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    int32_t value = 0;
    for (; i < 2 && isDigit(static_cast<char16_t>(field[i])); ++i) value = value * 10 + (field[i] - '0');
    return negative ? -value : value;
}

// The text as UTF-16 units, for the rare text of 11 units that is not ASCII.
std::array<char16_t, kTextLength> utf16Units(std::string_view text) {
    std::array<char16_t, kTextLength> units{};
    size_t out = 0;
    for (size_t i = 0; i < text.size() && out < kTextLength;) {
        const char32_t c = unicode::decodeNext(text, i);
        if (c <= 0xFFFF) {
            units[out++] = static_cast<char16_t>(c);
            continue;
        }
        units[out++] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        if (out < kTextLength) units[out++] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    return units;
}

template <class Unit>
Ref<Object> timeCodeFromFields(const Unit* units) {
    return DVTimeCode::timeCodeWithHours(fieldValue(units + kFieldStarts[0]), fieldValue(units + kFieldStarts[1]),
                                         fieldValue(units + kFieldStarts[2]), fieldValue(units + kFieldStarts[3]));
}

}  // namespace

Ref<DVTimeCodeFormatter> DVTimeCodeFormatter::defaultFormatter() { return std::make_shared<DVTimeCodeFormatter>(); }

std::optional<std::string> DVTimeCodeFormatter::stringForObjectValue(const Object* value) const {
    const auto* timeCode = dynamic_cast<const DVTimeCode*>(value);
    if (!timeCode || !timeCode->valid()) return std::string(TIMECODE_UNDEFINED_STR);
    // The stored text is the timecode's own description.
    return timeCode->description();
}

bool DVTimeCodeFormatter::getObjectValue(Ref<Object>* value, std::optional<std::string_view> string,
                                         std::string* error) const {
    if (!string) {
        if (error) *error = TLLog::localizedString(kUndefinedStringMessage);
        return false;
    }
    const std::string_view text = *string;
    const bool ascii = text.size() == kTextLength && isAscii(text);
    if (!ascii && unicode::utf16Length(text) != kTextLength) {
        if (error) *error = format(TLLog::localizedString(kLengthMessage), text);
        return false;
    }
    Ref<Object> result;
    if (text == TIMECODE_UNDEFINED_STR) {
        result = DVTimeCode::undefinedTimeCode();
    } else if (ascii) {
        result = timeCodeFromFields(text.data());
    } else {
        result = timeCodeFromFields(utf16Units(text).data());
    }
    if (value) *value = std::move(result);
    return true;
}

}  // namespace ossel
