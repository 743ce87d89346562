#include "platform/VCardReader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

#include "foundation/Date.h"
#include "foundation/Format.h"
#include "foundation/RegularFile.h"
#include "foundation/String.h"
#include "platform/ABMultiValue.h"

namespace ossel {
namespace {

// Birthdays without a year carry this one, as address books store them.
constexpr int64_t kYearlessBirthdayYear = 1604;
// A birthday is a day, not an instant: noon UTC keeps the same calendar day
// in every zone from UTC-11 to UTC+11.
constexpr int kBirthdayHour = 12;

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) { return a.size() == b.size() && lower(a) == lower(b); }

// One unfolded content line and the physical line it starts on.
struct LogicalLine {
    std::string text;
    size_t lineNumber;
};

std::vector<LogicalLine> unfold(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<LogicalLine> lines;
    size_t number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (line.ends_with('\r')) line.remove_suffix(1);
        // A line that starts with a blank continues the one before it (folding).
        if ((line.starts_with(' ') || line.starts_with('\t')) && !lines.empty()) {
            lines.back().text.append(line.substr(1));
            continue;
        }
        lines.push_back({std::string(line), number});
    }
    return lines;
}

struct Parameter {
    std::string name;                 // upper case
    std::vector<std::string> values;  // unquoted, split at commas
};

struct ContentLine {
    std::string name;  // upper case, group removed
    std::vector<Parameter> parameters;
    std::string value;  // still escaped

    std::vector<std::string> parameterValues(std::string_view parameter) const {
        std::vector<std::string> values;
        for (const auto& p : parameters) {
            if (p.name == parameter) values.insert(values.end(), p.values.begin(), p.values.end());
        }
        return values;
    }
};

// Splits at a separator that is not inside double quotes.
std::vector<std::string_view> splitOutsideQuotes(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (text[i] == separator && !quoted) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string unquote(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != '"') out += c;
    }
    return out;
}

bool isNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; }

Parameter parseParameter(std::string_view text) {
    Parameter parameter;
    const size_t equals = text.find('=');
    // vCard 3.0 exporters still write bare types ("EMAIL;INTERNET;PREF:").
    if (equals == std::string_view::npos) {
        parameter.name = "TYPE";
        parameter.values.push_back(lower(unquote(text)));
        return parameter;
    }
    parameter.name = upper(text.substr(0, equals));
    // Quoted lists ("work,pref") are lists too.
    for (const auto part : splitOutsideQuotes(text.substr(equals + 1), ',')) {
        const std::string unquoted = unquote(part);
        for (const auto inner : splitOutsideQuotes(unquoted, ',')) parameter.values.push_back(std::string(inner));
    }
    return parameter;
}

std::optional<ContentLine> parseContentLine(std::string_view text, std::string* reason) {
    // The value starts at the first colon outside a quoted parameter value.
    bool quoted = false;
    size_t colon = std::string_view::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (text[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string_view::npos) {
        *reason = "a line without a colon";
        return std::nullopt;
    }
    const auto head = splitOutsideQuotes(text.substr(0, colon), ';');
    std::string_view name = head.front();
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
    if (name.empty() || !std::all_of(name.begin(), name.end(), isNameCharacter)) {
        *reason = format("a bad property name \"%@\"", std::string(head.front()));
        return std::nullopt;
    }
    ContentLine line;
    line.name = upper(name);
    for (size_t i = 1; i < head.size(); ++i) line.parameters.push_back(parseParameter(head[i]));
    line.value = std::string(text.substr(colon + 1));
    return line;
}

// Text values: "\n" and "\N" are line breaks, "\," "\;" "\:" "\\" the character itself.
std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += (next == 'n' || next == 'N') ? '\n' : next;
    }
    return out;
}

// Splits at a separator that is not escaped, leaving the escapes in place.
std::vector<std::string_view> splitUnescaped(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
            continue;
        }
        if (text[i] == separator) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

// A structured component's list ("Ann,Marie") joined with blanks.
std::string componentText(std::string_view component) {
    std::string out;
    for (const auto part : splitUnescaped(component, ',')) {
        const std::string value = unescape(part);
        if (value.empty()) continue;
        if (!out.empty()) out += ' ';
        out += value;
    }
    return out;
}

std::optional<int> digits(std::string_view text) {
    int value = 0;
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

bool isLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int64_t year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// "1970-03-14", "19700314", either with a time after "T", or "--0314" / "--03-14" without a year.
Ref<Date> parseBirthday(std::string_view text) {
    if (const size_t t = text.find('T'); t != std::string_view::npos) text = text.substr(0, t);
    std::string compact;
    bool yearless = false;
    if (text.starts_with("--")) {
        yearless = true;
        text.remove_prefix(2);
    }
    for (const char c : text) {
        if (c != '-') compact += c;
    }
    const size_t yearDigits = yearless ? 0 : 4;
    if (compact.size() != yearDigits + 4) return nullptr;
    const auto year = yearless ? std::optional<int>(kYearlessBirthdayYear) : digits(std::string_view(compact).substr(0, 4));
    const auto month = digits(std::string_view(compact).substr(yearDigits, 2));
    const auto day = digits(std::string_view(compact).substr(yearDigits + 2, 2));
    if (!year || !month || !day || *month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month)) {
        return nullptr;
    }
    return std::make_shared<Date>(sinceReferenceDateOf(UtcFields{*year, *month, *day, kBirthdayHour, 0, 0}));
}

std::string emailLabel(const std::vector<std::string>& types) {
    for (const auto& type : types) {
        if (equalsIgnoringCase(type, "home")) return kABHomeLabel;
        if (equalsIgnoringCase(type, "work")) return kABWorkLabel;
    }
    return kABOtherLabel;
}

// How strongly an address is preferred: 1 is first, 0 means not marked.
int emailPreference(const ContentLine& line) {
    int best = 0;
    for (const auto& value : line.parameterValues("PREF")) {
        const auto level = digits(value);
        if (level && *level >= 1 && (best == 0 || *level < best)) best = *level;
    }
    for (const auto& type : line.parameterValues("TYPE")) {
        if (equalsIgnoringCase(type, "pref")) best = 1;
    }
    return best;
}

// Everything a card collects before it is known to be usable.
class CardBuilder {
public:
    CardBuilder(size_t ordinal, size_t lineNumber) : ordinal_(ordinal), lineNumber_(lineNumber) {}

    void fail(std::string reason, size_t lineNumber) {
        if (failure_.empty()) failure_ = format("card %lu (line %lu): %@", static_cast<unsigned long>(ordinal_),
                                                static_cast<unsigned long>(lineNumber), reason);
    }

    void add(const ContentLine& line, size_t lineNumber, std::vector<std::string>* problems) {
        if (line.name == "VERSION") {
            version_ = line.value;
        } else if (line.name == "UID") {
            if (!uid_) uid_ = unescape(line.value);
        } else if (line.name == "N") {
            if (!name_) name_ = line.value;
        } else if (line.name == "NICKNAME") {
            if (!nickname_) nickname_ = componentFirst(line.value);
        } else if (line.name == "BDAY") {
            addBirthday(line, lineNumber, problems);
        } else if (line.name == "EMAIL") {
            addEmail(line);
        }
    }

    // The person, or null with the reason reported.
    Ref<ABPerson> finish(std::vector<std::string>* problems) {
        if (failure_.empty() && version_.empty()) fail("no VERSION", lineNumber_);
        if (failure_.empty() && version_ != "3.0" && version_ != "4.0") {
            fail(format("unsupported VERSION \"%@\"", version_), lineNumber_);
        }
        if (!failure_.empty()) {
            if (problems) problems->push_back(failure_ + "; card skipped");
            return nullptr;
        }
        auto person = std::make_shared<ABPerson>(uid_.value_or(""));
        setNames(*person);
        if (nickname_ && !nickname_->empty()) person->setValue(str(*nickname_), kABNicknameProperty);
        if (birthday_) person->setValue(birthday_, kABBirthdayProperty);
        if (emails_) person->setValue(emails_, kABEmailProperty);
        return person;
    }

private:
    static std::string componentFirst(std::string_view value) {
        for (const auto part : splitUnescaped(value, ',')) {
            std::string text = unescape(part);
            if (!text.empty()) return text;
        }
        return {};
    }

    void setNames(ABPerson& person) const {
        if (!name_) return;
        const auto components = splitUnescaped(*name_, ';');
        const std::string family = componentText(components[0]);
        const std::string given = components.size() > 1 ? componentText(components[1]) : std::string();
        if (!given.empty()) person.setValue(str(given), kABFirstNameProperty);
        if (!family.empty()) person.setValue(str(family), kABLastNameProperty);
    }

    void addBirthday(const ContentLine& line, size_t lineNumber, std::vector<std::string>* problems) {
        if (birthday_) return;
        birthday_ = parseBirthday(line.value);
        if (!birthday_ && problems) {
            problems->push_back(format("card %lu (line %lu): birthday \"%@\" is not a calendar date; left out",
                                       static_cast<unsigned long>(ordinal_), static_cast<unsigned long>(lineNumber),
                                       line.value));
        }
    }

    void addEmail(const ContentLine& line) {
        const std::string address = unescape(line.value);
        if (address.empty()) return;
        if (!emails_) emails_ = std::make_shared<ABMultiValue>();
        const std::string identifier = emails_->addValue(str(address), emailLabel(line.parameterValues("TYPE")));
        const int preference = emailPreference(line);
        if (preference != 0 && (bestPreference_ == 0 || preference < bestPreference_)) {
            bestPreference_ = preference;
            emails_->setPrimaryIdentifier(identifier);
        }
    }

    size_t ordinal_;
    size_t lineNumber_;
    std::string failure_;
    std::string version_;
    std::optional<std::string> uid_, name_, nickname_;
    Ref<Date> birthday_;
    Ref<ABMultiValue> emails_;
    int bestPreference_ = 0;
};

bool isBegin(const ContentLine& line) { return line.name == "BEGIN" && equalsIgnoringCase(line.value, "VCARD"); }
bool isEnd(const ContentLine& line) { return line.name == "END" && equalsIgnoringCase(line.value, "VCARD"); }

}  // namespace

std::vector<Ref<ABPerson>> VCardReader::personsFromText(std::string_view text, std::vector<std::string>* problems) {
    std::vector<Ref<ABPerson>> persons;
    std::optional<CardBuilder> card;
    size_t ordinal = 0;
    size_t strayLines = 0;
    size_t lastLine = 0;
    auto close = [&] {
        if (auto person = card->finish(problems)) persons.push_back(std::move(person));
        card.reset();
    };
    for (const auto& logical : unfold(text)) {
        lastLine = logical.lineNumber;
        if (logical.text.find_first_not_of(" \t") == std::string::npos) continue;
        std::string reason;
        const auto line = parseContentLine(logical.text, &reason);
        if (line && isBegin(*line)) {
            if (card) {
                card->fail("BEGIN:VCARD before the card's END", logical.lineNumber);
                close();
            }
            card.emplace(++ordinal, logical.lineNumber);
            continue;
        }
        if (!card) {
            ++strayLines;
            continue;
        }
        if (!line) {
            card->fail(reason, logical.lineNumber);
        } else if (isEnd(*line)) {
            close();
        } else {
            card->add(*line, logical.lineNumber, problems);
        }
    }
    if (card) {
        card->fail("no END:VCARD", lastLine);
        close();
    }
    if (strayLines && problems) {
        problems->push_back(format("%lu line(s) outside any card ignored", static_cast<unsigned long>(strayLines)));
    }
    return persons;
}

std::vector<Ref<ABPerson>> VCardReader::personsFromFile(const std::string& path, std::vector<std::string>* problems) {
    std::vector<uint8_t> bytes;
    FileError error;
    if (!readRegularFile(path, fileSizeLimit(), bytes, &error)) {
        if (problems) problems->push_back(format("%@: %@", path, error.message));
        return {};
    }
    return personsFromText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), problems);
}

}  // namespace ossel
