#include "index/TextMatch.h"

#include <cstdint>
#include <memory>

#include "foundation/Unicode.h"
#include "index/AttributeRows.h"

namespace ossel {

namespace {

struct Pattern {
    QueryOperator op;
    unsigned fold;
    std::string bytes;  // the pieces as given; `pieces` points into it
    std::vector<std::string_view> pieces;
};

bool anyTextMatches(const Pattern& pattern, int kind, std::string_view value) {
    const auto matches = [&](std::string_view text) {
        if (pattern.fold == 0) return textMatches(text, pattern.op, pattern.pieces);
        return textMatches(unicode::fold(text, pattern.fold), pattern.op, pattern.pieces);
    };
    if (kind == kTextRow) return matches(value);
    for (const std::string_view text : countedTexts(value)) {
        if (matches(text)) return true;
    }
    return false;
}

// ossel_match(kind, value, operator, fold, pieces). The pattern is decoded once
// per statement and kept with its argument.
void matchFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    auto* pattern = static_cast<Pattern*>(sqlite3_get_auxdata(context, 4));
    std::unique_ptr<Pattern> made;
    if (!pattern) {
        const auto* bytes = static_cast<const char*>(sqlite3_value_blob(arguments[4]));
        made = std::make_unique<Pattern>();
        made->op = static_cast<QueryOperator>(sqlite3_value_int(arguments[2]));
        made->fold = static_cast<unsigned>(sqlite3_value_int(arguments[3]));
        made->bytes.assign(bytes ? bytes : "", static_cast<size_t>(sqlite3_value_bytes(arguments[4])));
        made->pieces = countedTexts(made->bytes);
        pattern = made.get();
    }
    const int kind = sqlite3_value_int(arguments[0]);
    const auto* value = static_cast<const char*>(sqlite3_value_blob(arguments[1]));
    const std::string_view text(value ? value : "", static_cast<size_t>(sqlite3_value_bytes(arguments[1])));
    const bool comparable = (kind == kTextRow || kind == kListRow) && !pattern->pieces.empty();
    sqlite3_result_int(context, comparable && anyTextMatches(*pattern, kind, text) ? 1 : 0);
    // Handed over last: SQLite may free it at once.
    if (made) sqlite3_set_auxdata(context, 4, made.release(), [](void* p) { delete static_cast<Pattern*>(p); });
}

}  // namespace

void appendCountedText(std::string& out, std::string_view text) {
    for (uint64_t n = text.size(); ; n >>= 7) {
        if (n < 0x80) {
            out += static_cast<char>(n);
            break;
        }
        out += static_cast<char>((n & 0x7F) | 0x80);
    }
    out.append(text);
}

bool CountedTextReader::next(std::string_view* text) {
    uint64_t length = 0;
    size_t at = 0;
    for (int shift = 0;; shift += 7) {
        if (at == rest_.size() || shift > 63) return false;
        const auto byte = static_cast<unsigned char>(rest_[at++]);
        length |= uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80)) break;
    }
    if (length > rest_.size() - at) return false;
    *text = rest_.substr(at, length);
    rest_.remove_prefix(at + length);
    return true;
}

bool CountedTextReader::bytes(size_t count, std::string_view* taken) {
    if (count > rest_.size()) return false;
    *taken = rest_.substr(0, count);
    rest_.remove_prefix(count);
    return true;
}

std::vector<std::string_view> countedTexts(std::string_view value) {
    std::vector<std::string_view> texts;
    CountedTextReader reader(value);
    // A value cut short (no writer of ours makes one) ends the list.
    for (std::string_view text; reader.next(&text);) texts.push_back(text);
    return texts;
}

bool textMatches(std::string_view text, QueryOperator op, const std::vector<std::string_view>& pieces) {
    const std::string_view first = pieces.front();
    switch (op) {
        case QueryOperator::less: return text < first;
        case QueryOperator::greater: return text > first;
        case QueryOperator::lessOrEqual: return text <= first;
        case QueryOperator::greaterOrEqual: return text >= first;
        case QueryOperator::equal:
        case QueryOperator::notEqual: break;
    }
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

void registerTextMatch(sqlite3* db) {
    sqlite3_create_function_v2(db, "ossel_match", 5, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                               matchFunction, nullptr, nullptr, nullptr);
}

}  // namespace ossel
