#include "index/ClipRows.h"

#include <cstring>

#include "foundation/Array.h"
#include "foundation/Date.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "index/AttributeRows.h"
#include "index/SearchText.h"
#include "index/TextMatch.h"

namespace ossel {

namespace {

enum NumberTag : char { kNoNumber, kInteger, kReal };

class Encoder {
public:
    std::string take() {
        std::string out;
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
        row(name, kListRow, texts, static_cast<int64_t>(list->count()));
    }

private:
    void scalar(const std::string& name, const Object* value, bool searched) {
        if (const auto* text = dynamic_cast<const String*>(value)) {
            if (searched) addWords(text->utf8());
            row(name, kTextRow, text->utf8(), std::monostate{});
        } else if (const auto* number = dynamic_cast<const Number*>(value)) {
            // Integers compare exactly as integers; an unsigned one past the signed range as a real.
            const bool exact = number->isInteger() && (number->kind() != Number::Kind::UInt ||
                                                       number->unsignedLongLongValue() <= uint64_t{INT64_MAX});
            if (exact) {
                row(name, kNumberRow, {}, number->longLongValue());
            } else {
                row(name, kNumberRow, {}, number->doubleValue());
            }
        } else if (const auto* date = dynamic_cast<const Date*>(value)) {
            row(name, kDateRow, {}, date->timeIntervalSinceReferenceDate());
        }
        // Data, dictionaries and nested lists are listed, never compared.
    }

    void addWords(std::string_view text) {
        // One text a line, so that no word runs into the next value's.
        if (!words_.empty()) words_ += '\n';
        words_ += unicode::fold(text, kSearchFold);
    }

    void row(std::string_view name, int kind, std::string_view value, std::variant<std::monostate, int64_t, double> number) {
        appendCountedText(values_, name);
        values_ += static_cast<char>(kind);
        appendCountedText(values_, value);
        char bytes[8] = {};
        std::visit(
            [&](auto held) {
                if constexpr (std::is_same_v<decltype(held), std::monostate>) {
                    values_ += kNoNumber;
                } else {
                    values_ += std::is_same_v<decltype(held), int64_t> ? kInteger : kReal;
                    std::memcpy(bytes, &held, sizeof bytes);
                    values_.append(bytes, sizeof bytes);
                }
            },
            number);
    }

    std::string words_;
    std::string values_;
};

}  // namespace

std::string encodeClipRows(const Dictionary& attributes) {
    Encoder encoder;
    for (const auto& [name, value] : attributes) encoder.attribute(name, value.get());
    return encoder.take();
}

std::optional<ClipRows> ClipRows::decode(std::string_view encoded) {
    CountedTextReader reader(encoded);
    ClipRows rows;
    if (!reader.next(&rows.words)) return std::nullopt;
    while (!reader.atEnd()) {
        Value value{};
        std::string_view kind, tag;
        if (!reader.next(&value.name) || !reader.bytes(1, &kind) || !reader.next(&value.value) || !reader.bytes(1, &tag)) {
            return std::nullopt;
        }
        value.kind = kind.front();
        if (tag.front() != kNoNumber) {
            std::string_view bytes;
            if (!reader.bytes(8, &bytes)) return std::nullopt;
            if (tag.front() == kInteger) {
                int64_t number = 0;
                std::memcpy(&number, bytes.data(), sizeof number);
                value.number = number;
            } else {
                double number = 0;
                std::memcpy(&number, bytes.data(), sizeof number);
                value.number = number;
            }
        }
        rows.values.push_back(value);
    }
    return rows;
}

}  // namespace ossel
