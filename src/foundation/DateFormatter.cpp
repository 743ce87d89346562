#include "foundation/DateFormatter.h"

#include <array>
#include <cmath>

#include "foundation/CalendarDate.h"
#include "foundation/Format.h"

namespace ossel {
namespace {

inline constexpr std::string_view kParseError = "Could not parse '%@' as a date";

inline constexpr std::array<std::string_view, 12> kMonthNames = {
    "january", "february", "march", "april", "may", "june", "july", "august", "september", "october", "november",
    "december"};
inline constexpr std::array<std::string_view, 7> kWeekdayNames = {"sunday",   "monday", "tuesday", "wednesday",
                                                                  "thursday", "friday", "saturday"};

// Abbreviations read as the fixed offset they stand for. A zone abbreviation
// says which side of a daylight-saving change is meant, which a zone does not.
struct Abbreviation {
    std::string_view name;
    int offset;
};
inline constexpr Abbreviation kAbbreviations[] = {
    {"UTC", 0},         {"GMT", 0},         {"UT", 0},          {"Z", 0},           {"WET", 0},
    {"WEST", 3600},     {"BST", 3600},      {"CET", 3600},      {"CEST", 7200},     {"MET", 3600},
    {"MEST", 7200},     {"EET", 7200},      {"EEST", 10800},    {"MSK", 10800},     {"IST", 19800},
    {"JST", 32400},     {"AEST", 36000},    {"AEDT", 39600},    {"EST", -18000},    {"EDT", -14400},
    {"CST", -21600},    {"CDT", -18000},    {"MST", -25200},    {"MDT", -21600},    {"PST", -28800},
    {"PDT", -25200},    {"AKST", -32400},   {"AKDT", -28800},   {"HST", -36000},    {"NZST", 43200},
    {"NZDT", 46800},
};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// What a text says about a date; fields the text does not give keep these values.
struct Fields {
    int year = 2001, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    double fraction = 0;
    int dayOfYear = 0;          // from %j; 0 when not given
    int pm = -1;                // from %p: 0 AM, 1 PM, -1 not given
    bool twelveHour = false;    // the hour came from %I
    std::optional<int> offset;  // seconds east of Greenwich
    Ref<TimeZone> zone;         // a zone named in the text
    std::string abbreviation;   // a zone abbreviation to settle once the local time is known
};

// A cursor over the text being parsed. Every read checks the end first, so
// no input, however cut short, is read past.
class DateReader {
public:
    explicit DateReader(std::string_view text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek(size_t ahead = 0) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }
    size_t position() const { return pos_; }
    void rewind(size_t position) { pos_ = position; }

    bool take(char c) {
        if (atEnd() || lower(text_[pos_]) != lower(c)) return false;
        ++pos_;
        return true;
    }
    void skipSpaces() {
        while (!atEnd() && isSpace(text_[pos_])) ++pos_;
    }
    bool skipAtLeastOneSpace() {
        const size_t start = pos_;
        skipSpaces();
        return pos_ > start;
    }

    // minDigits to maxDigits decimal digits.
    std::optional<int> number(int minDigits, int maxDigits) {
        int value = 0, digits = 0;
        while (digits < maxDigits && isDigit(peek())) {
            value = value * 10 + (text_[pos_++] - '0');
            ++digits;
        }
        if (digits < minDigits) return std::nullopt;
        return value;
    }
    std::optional<int> signedNumber(int maxDigits) {
        const size_t start = pos_;
        const bool negative = take('-');
        if (!negative) take('+');
        const auto value = number(1, maxDigits);
        if (!value) {
            pos_ = start;
            return std::nullopt;
        }
        return negative ? -*value : *value;
    }

    // The longest of the names (or their first three letters) the text continues with; its index.
    template <size_t N>
    std::optional<int> name(const std::array<std::string_view, N>& names) {
        for (size_t i = 0; i < N; ++i) {
            if (takeWord(names[i])) return static_cast<int>(i);
        }
        for (size_t i = 0; i < N; ++i) {
            if (takeWord(names[i].substr(0, 3))) return static_cast<int>(i);
        }
        return std::nullopt;
    }

    bool takeWord(std::string_view word) {
        if (text_.size() - pos_ < word.size()) return false;
        for (size_t i = 0; i < word.size(); ++i) {
            if (lower(text_[pos_ + i]) != word[i]) return false;
        }
        pos_ += word.size();
        return true;
    }

    // A fraction of a second after "." or ",".
    std::optional<double> fraction() {
        if (!(peek() == '.' || peek() == ',') || !isDigit(peek(1))) return std::nullopt;
        ++pos_;
        double value = 0, scale = 0.1;
        while (isDigit(peek())) {
            value += (text_[pos_++] - '0') * scale;
            scale /= 10;
        }
        return value;
    }

    // "+0100"; with `lenient` also "+01:00", "+01", "Z", "UTC", "GMT", "GMT+01:00".
    std::optional<int> offset(bool lenient) {
        const size_t start = pos_;
        if (lenient) {
            if (takeWord("utc") || takeWord("gmt")) {
                if (peek() != '+' && peek() != '-') return 0;
            } else if (take('Z')) {
                return 0;
            }
        }
        const char sign = peek();
        if (sign != '+' && sign != '-') {
            pos_ = start;
            return std::nullopt;
        }
        ++pos_;
        const auto hours = number(2, 2);
        std::optional<int> minutes;
        if (hours) {
            if (lenient && take(':')) {
                minutes = number(2, 2);
            } else {
                minutes = number(2, 2);
                if (!minutes && lenient) minutes = 0;
            }
        }
        if (!hours || !minutes || *hours > 23 || *minutes > 59) {
            pos_ = start;
            return std::nullopt;
        }
        const int seconds = *hours * 3600 + *minutes * 60;
        return sign == '-' ? -seconds : seconds;
    }

    // A zone's name or abbreviation: letters, digits, "/", "_", "+", "-".
    std::string zoneToken() {
        const size_t start = pos_;
        while (!atEnd()) {
            const char c = text_[pos_];
            if (!(isAlpha(c) || isDigit(c) || c == '/' || c == '_' || c == '+' || c == '-')) break;
            ++pos_;
        }
        return std::string(text_.substr(start, pos_ - start));
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

bool readConversion(DateReader& in, char conversion, Fields& f, bool lenient, bool packed);

// Reads the text along a calendar format.
bool readFormat(DateReader& in, std::string_view format, Fields& f, bool lenient) {
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (isSpace(c)) {
            in.skipSpaces();
        } else if (c == '%' && i + 1 < format.size()) {
            // A conversion right behind this one ("%Y%m%d") leaves the year four digits.
            const bool packed = i + 2 < format.size() && format[i + 2] == '%';
            if (!readConversion(in, format[++i], f, lenient, packed)) return false;
        } else if (!in.take(c)) {
            return false;
        }
    }
    return true;
}

bool readConversion(DateReader& in, char conversion, Fields& f, bool lenient, bool packed) {
    const auto store = [](std::optional<int> value, int& field) {
        if (value) field = *value;
        return value.has_value();
    };
    switch (conversion) {
        case 'Y': return store(in.signedNumber(packed ? 4 : 9), f.year);
        case 'y': {
            const auto twoDigits = in.number(2, 2);
            if (!twoDigits) return false;
            f.year = *twoDigits + (*twoDigits < 69 ? 2000 : 1900);
            return true;
        }
        case 'm': return store(in.number(1, 2), f.month);
        case 'e': in.take(' '); [[fallthrough]];
        case 'd': return store(in.number(1, 2), f.day);
        case 'H': return store(in.number(1, 2), f.hour);
        case 'I': f.twelveHour = true; return store(in.number(1, 2), f.hour);
        case 'M': return store(in.number(1, 2), f.minute);
        case 'S': {
            if (!store(in.number(1, 2), f.second)) return false;
            if (const auto fraction = in.fraction()) f.fraction = *fraction;
            return true;
        }
        case 'j': return store(in.number(1, 3), f.dayOfYear);
        case 'p':
            if (in.takeWord("am")) {
                f.pm = 0;
            } else if (in.takeWord("pm")) {
                f.pm = 1;
            } else {
                return false;
            }
            return true;
        case 'b':
        case 'B': {
            const auto month = in.name(kMonthNames);
            if (month) f.month = *month + 1;
            return month.has_value();
        }
        case 'a':
        case 'A': return in.name(kWeekdayNames).has_value();
        case 'z': {
            f.offset = in.offset(lenient);
            return f.offset.has_value();
        }
        case 'Z': {
            f.abbreviation = in.zoneToken();
            return !f.abbreviation.empty();
        }
        case 'F': return readFormat(in, "%Y-%m-%d", f, lenient);
        case 'T': return readFormat(in, "%H:%M:%S", f, lenient);
        case '%': return in.take('%');
        default: return false;
    }
}

// The common ISO-like spellings: a date with "-" or "/", then optionally "T" or
// white space and a time whose seconds may be missing, then optionally a zone.
bool readNatural(DateReader& in, Fields& f) {
    in.skipSpaces();
    const auto year = in.signedNumber(9);
    if (!year) return false;
    f.year = *year;
    const char separator = in.peek();
    if (separator != '-' && separator != '/') return false;
    in.take(separator);
    const auto month = in.number(1, 2);
    if (!month || !in.take(separator)) return false;
    const auto day = in.number(1, 2);
    if (!day) return false;
    f.month = *month;
    f.day = *day;

    const size_t afterDate = in.position();
    const bool spaced = in.skipAtLeastOneSpace();
    if ((spaced || in.take('T')) && isDigit(in.peek())) {
        const auto hour = in.number(1, 2);
        if (!hour || !in.take(':')) return false;
        const auto minute = in.number(2, 2);
        if (!minute) return false;
        f.hour = *hour;
        f.minute = *minute;
        if (in.take(':')) {
            const auto second = in.number(2, 2);
            if (!second) return false;
            f.second = *second;
            if (const auto fraction = in.fraction()) f.fraction = *fraction;
        }
    } else {
        in.rewind(afterDate);
    }
    in.skipSpaces();
    if (in.atEnd()) return true;
    if (auto offset = in.offset(true)) {
        f.offset = offset;
    } else {
        f.abbreviation = in.zoneToken();
        if (f.abbreviation.empty()) return false;
    }
    return true;
}

std::optional<int> abbreviationOffset(std::string_view token) {
    for (const auto& a : kAbbreviations) {
        if (a.name == token) return a.offset;
    }
    return std::nullopt;
}

bool validFields(Fields& f) {
    if (f.twelveHour || f.pm >= 0) {
        if (f.twelveHour && (f.hour < 1 || f.hour > 12)) return false;
        if (f.pm >= 0) f.hour = f.hour % 12 + (f.pm == 1 ? 12 : 0);
    }
    if (f.dayOfYear > 0) {
        if (f.dayOfYear > (isLeapYear(f.year) ? 366 : 365)) return false;
        int rest = f.dayOfYear;
        f.month = 1;
        while (rest > daysInMonth(f.year, f.month)) rest -= daysInMonth(f.year, f.month++);
        f.day = rest;
    }
    return f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= daysInMonth(f.year, f.month) && f.hour >= 0 &&
           f.hour <= 23 && f.minute >= 0 && f.minute <= 59 && f.second >= 0 && f.second <= 59;
}

// The zone the local time is read in, and the instant it names.
Ref<CalendarDate> dateOf(const Fields& f) {
    const double local = sinceReferenceDateOf(UtcFields{f.year, f.month, f.day, f.hour, f.minute, f.second});
    if (f.offset) {
        return std::make_shared<CalendarDate>(local - *f.offset + f.fraction,
                                              TimeZone::timeZoneForSecondsFromGMT(*f.offset));
    }
    if (!f.abbreviation.empty()) {
        // The abbreviation the default (or system) zone shows at that time picks that zone.
        for (const auto& zone : {TimeZone::defaultTimeZone(), TimeZone::systemTimeZone()}) {
            const double instant = zone->instantForLocalTime(local);
            if (zone->abbreviationForDate(instant) == f.abbreviation) {
                return std::make_shared<CalendarDate>(instant + f.fraction, zone);
            }
        }
        if (const auto offset = abbreviationOffset(f.abbreviation)) {
            return std::make_shared<CalendarDate>(local - *offset + f.fraction,
                                                  TimeZone::timeZoneForSecondsFromGMT(*offset));
        }
        const auto zone = TimeZone::timeZoneWithName(f.abbreviation);
        if (!zone) return nullptr;
        return std::make_shared<CalendarDate>(zone->instantForLocalTime(local) + f.fraction, zone);
    }
    const auto zone = TimeZone::defaultTimeZone();
    return std::make_shared<CalendarDate>(zone->instantForLocalTime(local) + f.fraction, zone);
}

Ref<CalendarDate> parse(std::string_view text, std::string_view format, bool natural) {
    {
        DateReader in(text);
        Fields f;
        if (readFormat(in, format, f, false)) {
            in.skipSpaces();
            if (in.atEnd() && validFields(f)) return dateOf(f);
        }
    }
    if (!natural) return nullptr;
    DateReader in(text);
    Fields f;
    if (!readNatural(in, f)) return nullptr;
    in.skipSpaces();
    if (!in.atEnd() || !validFields(f)) return nullptr;
    return dateOf(f);
}

}  // namespace

DateFormatter::DateFormatter(std::string format, bool allowNaturalLanguage)
    : format_(std::move(format)), natural_(allowNaturalLanguage) {}

std::optional<std::string> DateFormatter::stringForObjectValue(const Object* value) const {
    if (const auto* calendarDate = dynamic_cast<const CalendarDate*>(value)) {
        return calendarDate->descriptionWithCalendarFormat(format_);
    }
    const auto* date = dynamic_cast<const Date*>(value);
    if (!date) return std::nullopt;
    return CalendarDate::withDate(*date, TimeZone::defaultTimeZone())->descriptionWithCalendarFormat(format_);
}

bool DateFormatter::getObjectValue(Ref<Object>* value, std::optional<std::string_view> string,
                                   std::string* error) const {
    Ref<CalendarDate> date = string ? parse(*string, format_, natural_) : nullptr;
    if (!date) {
        if (value) *value = nullptr;
        if (error) *error = string ? format(kParseError, *string) : format(kParseError, nullptr);
        return false;
    }
    if (value) *value = std::move(date);
    return true;
}

}  // namespace ossel
