#include "index/ValueMatch.h"

#include <algorithm>
#include <compare>
#include <memory>
#include <string>
#include <variant>

#include "foundation/Unicode.h"
#include "index/ClipValues.h"

namespace ossel {

namespace {

template <class Order>
bool satisfies(Order order, QueryOperator op) {
    switch (op) {
        case QueryOperator::equal: return order == 0;
        case QueryOperator::notEqual: return order != 0;
        case QueryOperator::less: return order < 0;
        case QueryOperator::greater: return order > 0;
        case QueryOperator::lessOrEqual: return order <= 0;
        case QueryOperator::greaterOrEqual: return order >= 0;
    }
    return false;
}

// One comparison, decoded once per statement and kept with its last argument.
struct Comparison {
    std::string names;  // as bound; `nameList` points into it
    std::vector<std::string_view> nameList;
    int kind = kTextValue;
    QueryOperator op = QueryOperator::equal;
    unsigned fold = 0;
    std::string pieces;  // a text's, as bound; `pieceList` points into it
    std::vector<std::string_view> pieceList;
    ClipNumber number;

    bool wants(std::string_view name) const {
        return std::find(nameList.begin(), nameList.end(), name) != nameList.end();
    }

    bool textCompares(std::string_view text, QueryOperator asked) const {
        if (fold == 0) return textMatches(text, asked, pieceList);
        if (asked == QueryOperator::equal && startsOtherwise(text)) return false;
        return textMatches(unicode::fold(text, fold), asked, pieceList);
    }

    // True when the text cannot fold to one that starts as the pattern does, told
    // without folding it: an ASCII character that no mark follows folds to itself, or
    // to its lower case. Most texts a pattern is compared with are told apart so.
    bool startsOtherwise(std::string_view text) const {
        const std::string_view first = pieceList.front();
        if (first.empty() || text.empty()) return false;
        const auto lead = static_cast<unsigned char>(text[0]);
        if (lead >= 0x80 || (text.size() > 1 && static_cast<unsigned char>(text[1]) >= 0x80)) return false;
        const auto folded = (fold & unicode::kFoldCase) && lead >= 'A' && lead <= 'Z' ? lead + ('a' - 'A') : lead;
        return static_cast<unsigned char>(first[0]) != folded;
    }

    bool numberCompares(const ClipNumber& stored, QueryOperator asked) const {
        if (std::holds_alternative<int64_t>(stored) && std::holds_alternative<int64_t>(number)) {
            return satisfies(std::get<int64_t>(stored) <=> std::get<int64_t>(number), asked);
        }
        // Long double holds every int64 exactly, so an integer and a real compare as numbers do.
        const auto wide = [](const auto& held) -> long double {
            if constexpr (std::is_same_v<std::decay_t<decltype(held)>, std::monostate>) {
                return 0;
            } else {
                return static_cast<long double>(held);
            }
        };
        return satisfies(std::visit(wide, stored) <=> std::visit(wide, number), asked);
    }

    // One pass: "!=" is false at the first value equal, else true if any was of the kind.
    bool holds(std::string_view values) const {
        const QueryOperator asked = op == QueryOperator::notEqual ? QueryOperator::equal : op;
        bool present = false;
        ClipValueReader reader(values);
        for (ClipValue value; reader.next(&value);) {
            if (!wants(value.name)) continue;
            bool compares = false;
            if (value.kind == kListValue) {
                present = true;
                if (kind == kTextValue) {
                    for (const std::string_view text : countedTexts(value.text)) {
                        if ((compares = textCompares(text, asked))) break;
                    }
                }
            } else if (value.kind == kind && (kind == kTextValue || isComparableNumber(value.number))) {
                present = true;
                compares = kind == kTextValue ? textCompares(value.text, asked) : numberCompares(value.number, asked);
            }
            if (compares) return op != QueryOperator::notEqual;
        }
        return op == QueryOperator::notEqual && present;
    }
};

std::string_view bytesOf(sqlite3_value* value) {
    const auto* bytes = static_cast<const char*>(sqlite3_value_blob(value));
    return {bytes ? bytes : "", static_cast<size_t>(sqlite3_value_bytes(value))};
}

std::unique_ptr<Comparison> comparisonOf(sqlite3_value** arguments) {
    auto comparison = std::make_unique<Comparison>();
    comparison->names = bytesOf(arguments[1]);
    comparison->nameList = countedTexts(comparison->names);
    comparison->kind = sqlite3_value_int(arguments[2]);
    comparison->op = static_cast<QueryOperator>(sqlite3_value_int(arguments[3]));
    comparison->fold = static_cast<unsigned>(sqlite3_value_int(arguments[4]));
    if (comparison->kind == kTextValue) {
        comparison->pieces = bytesOf(arguments[5]);
        comparison->pieceList = countedTexts(comparison->pieces);
        // A pattern has a piece at least; without one nothing compares.
        if (comparison->pieceList.empty()) comparison->nameList.clear();
    } else if (sqlite3_value_type(arguments[5]) == SQLITE_INTEGER) {
        comparison->number = static_cast<int64_t>(sqlite3_value_int64(arguments[5]));
    } else {
        comparison->number = sqlite3_value_double(arguments[5]);
    }
    return comparison;
}

void compareFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    auto* comparison = static_cast<Comparison*>(sqlite3_get_auxdata(context, 5));
    std::unique_ptr<Comparison> made;
    if (!comparison) {
        made = comparisonOf(arguments);
        comparison = made.get();
    }
    sqlite3_result_int(context, comparison->holds(bytesOf(arguments[0])) ? 1 : 0);
    // Handed over last: SQLite may free it at once.
    if (made) sqlite3_set_auxdata(context, 5, made.release(), [](void* p) { delete static_cast<Comparison*>(p); });
}

}  // namespace

bool textMatches(std::string_view text, QueryOperator op, const std::vector<std::string_view>& pieces) {
    const std::string_view first = pieces.front();
    if (op != QueryOperator::equal && op != QueryOperator::notEqual) return satisfies(text <=> first, op);
    if (pieces.size() == 1) return text == first;
    const std::string_view last = pieces.back();
    if (text.size() < first.size() + last.size() || !text.starts_with(first) || !text.ends_with(last)) return false;
    // The middle pieces in order, each as early as it can be: any later place leaves less room for the rest.
    size_t at = first.size();
    const size_t end = text.size() - last.size();
    for (size_t i = 1; i + 1 < pieces.size(); ++i) {
        const size_t found = text.substr(0, end).find(pieces[i], at);
        if (found == std::string_view::npos) return false;
        at = found + pieces[i].size();
    }
    return true;
}

void registerValueMatch(sqlite3* db) {
    sqlite3_create_function_v2(db, "ossel_compare", 6, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                               compareFunction, nullptr, nullptr, nullptr);
}

}  // namespace ossel
