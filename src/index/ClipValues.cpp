#include "index/ClipValues.h"

#include <cmath>
#include <cstring>

#include "foundation/Array.h"
#include "foundation/Date.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "index/SearchText.h"

namespace ossel {

namespace {

enum NumberTag : char { kNoNumber, kInteger, kReal };

class Encoder {
public:
    std::string take() {
        std::string out;
        out.reserve(words_.size() + values_.size() + 10);
        appendCountedText(out, words_);
        out += values_;
        return out;
    }

    void attribute(const std::string& name, const Object* value) {
        const bool searched = isSearchedAttribute(name);
        const auto* list = dynamic_cast<const Array*>(value);
        if (!list) {
            scalar(name, value, searched);
            return;
        }
        std::string texts;
        for (const auto& item : list->items()) {
            if (const auto* text = dynamic_cast<const String*>(item.get())) {
                appendCountedText(texts, text->utf8());
                if (searched) addWords(text->utf8());
            } else {
                scalar(name, item.get(), false);
            }
        }
        add(name, kListValue, texts, static_cast<int64_t>(list->count()));
    }

private:
    void scalar(const std::string& name, const Object* value, bool searched) {
        if (const auto* text = dynamic_cast<const String*>(value)) {
            if (searched) addWords(text->utf8());
            add(name, kTextValue, text->utf8(), std::monostate{});
        } else if (const auto* number = dynamic_cast<const Number*>(value)) {
            // Integers compare exactly as integers; an unsigned one past the signed range as a real.
            const bool exact = number->isInteger() && (number->kind() != Number::Kind::UInt ||
                                                       number->unsignedLongLongValue() <= uint64_t{INT64_MAX});
            if (exact) {
                add(name, kNumberValue, {}, number->longLongValue());
            } else {
                add(name, kNumberValue, {}, number->doubleValue());
            }
        } else if (const auto* date = dynamic_cast<const Date*>(value)) {
            add(name, kDateValue, {}, date->timeIntervalSinceReferenceDate());
        }
        // Data, dictionaries and nested lists are listed, never compared.
    }

    void addWords(std::string_view text) {
        if (!words_.empty()) words_ += '\n';
        unicode::appendFolded(words_, text, kSearchFold);
    }

    void add(std::string_view name, int kind, std::string_view text, ClipNumber number) {
        appendCountedText(values_, name);
        values_ += static_cast<char>(kind);
        appendCountedText(values_, text);
        std::visit(
            [&](auto held) {
                if constexpr (std::is_same_v<decltype(held), std::monostate>) {
                    values_ += kNoNumber;
                } else {
                    values_ += std::is_same_v<decltype(held), int64_t> ? kInteger : kReal;
                    char bytes[sizeof held];
                    std::memcpy(bytes, &held, sizeof held);
                    values_.append(bytes, sizeof held);
                }
            },
            number);
    }

    std::string words_;
    std::string values_;
};

// Takes a counted text from the front of `rest`; false, taking nothing, when it is cut short.
bool takeCountedText(std::string_view& rest, std::string_view* text) {
    uint64_t length = 0;
    size_t at = 0;
    for (int shift = 0;; shift += 7) {
        if (at == rest.size() || shift > 63) return false;
        const auto byte = static_cast<unsigned char>(rest[at++]);
        length |= uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80)) break;
    }
    if (length > rest.size() - at) return false;
    *text = rest.substr(at, length);
    rest.remove_prefix(at + length);
    return true;
}

template <class T>
bool takeRaw(std::string_view& rest, T* value) {
    if (rest.size() < sizeof(T)) return false;
    std::memcpy(value, rest.data(), sizeof(T));
    rest.remove_prefix(sizeof(T));
    return true;
}

}  // namespace

bool isComparableNumber(const ClipNumber& number) {
    if (const auto* real = std::get_if<double>(&number)) return !std::isnan(*real);
    return std::holds_alternative<int64_t>(number);
}

std::string encodeClipValues(const Dictionary& attributes) {
    Encoder encoder;
    for (const auto& [name, value] : attributes) encoder.attribute(name, value.get());
    return encoder.take();
}

bool ClipValueReader::next(ClipValue* value) {
    if (rest_.empty() || cutShort_) return false;
    char kind = 0, tag = 0;
    bool whole = takeCountedText(rest_, &value->name) && takeRaw(rest_, &kind) &&
                 takeCountedText(rest_, &value->text) && takeRaw(rest_, &tag);
    value->kind = kind;
    value->number = std::monostate{};
    if (whole && tag == kInteger) {
        int64_t number = 0;
        whole = takeRaw(rest_, &number);
        value->number = number;
    } else if (whole && tag == kReal) {
        double number = 0;
        whole = takeRaw(rest_, &number);
        value->number = number;
    } else if (tag != kNoNumber) {
        whole = false;
    }
    cutShort_ = !whole;
    return whole;
}

std::optional<ClipValues> ClipValues::split(std::string_view encoded) {
    ClipValues split;
    if (!takeCountedText(encoded, &split.words)) return std::nullopt;
    split.values = encoded;
    ClipValueReader reader(encoded);
    for (ClipValue value; reader.next(&value);) {
    }
    if (reader.cutShort()) return std::nullopt;
    return split;
}

void appendCountedText(std::string& out, std::string_view text) {
    for (uint64_t n = text.size();; n >>= 7) {
        if (n < 0x80) {
            out += static_cast<char>(n);
            break;
        }
        out += static_cast<char>((n & 0x7F) | 0x80);
    }
    out.append(text);
}

std::vector<std::string_view> countedTexts(std::string_view bytes) {
    std::vector<std::string_view> texts;
    // Bytes cut short (no writer of ours makes them) end the list.
    for (std::string_view text; takeCountedText(bytes, &text);) texts.push_back(text);
    return texts;
}

}  // namespace ossel
