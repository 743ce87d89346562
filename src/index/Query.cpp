#include "index/Query.h"

#include <date/date.h>

#include <charconv>

#include "foundation/Date.h"
#include "foundation/Unicode.h"

namespace ossel {

namespace {

// Deep enough for any query a person writes, shallow enough that neither the
// parser's recursion nor SQLite's expression depth can be exhausted.
constexpr int kMaxDepth = 64;
constexpr int kMaxComparisons = 256;

constexpr const char* kExpectOperand = "an attribute name, \"*\", \"!\" or \"(\"";
constexpr const char* kExpectOperator = "a comparison operator: ==, !=, <, >, <= or >=";
constexpr const char* kExpectValue = "a value: a number, a \"quoted text\" or $time.iso(...)";
constexpr const char* kExpectDate = "a date such as 2007-05-19 or 2007-05-19T13:58:12Z";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || isDigit(c); }

// Comparisons and connectives, outside quoted texts; without one the query is free text.
bool hasOperator(std::string_view text) {
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '\\') ++i;
            else if (c == '"') quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '=' || c == '<' || c == '>') {
            return true;
        } else if ((c == '&' || c == '|') && i + 1 < text.size() && text[i + 1] == c) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> freeWords(std::string_view text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i])) ++i;
        const size_t start = i;
        while (i < text.size() && !isSpace(text[i])) ++i;
        if (i > start) words.emplace_back(text.substr(start, i - start));
    }
    return words;
}

class Parser {
public:
    Parser(std::string_view text, QueryError* error) : text_(text), error_(error) {}

    std::optional<QueryNode> parse() {
        if (!hasOperator(text_)) {
            QueryNode node;
            node.type = QueryNode::Type::words;
            node.words = freeWords(text_);
            if (node.words.empty()) return fail(text_.size(), "a query");
            return node;
        }
        auto node = parseAny();
        if (!node) return std::nullopt;
        skipSpace();
        if (pos_ < text_.size()) return fail(pos_, "\"&&\", \"||\" or the end of the query");
        return node;
    }

private:
    std::nullopt_t fail(size_t at, std::string expected) {
        if (error_) {
            error_->column = column(at);
            error_->expected = std::move(expected);
            error_->found = describe(at);
        }
        return std::nullopt;
    }

    bool refuse(size_t at, std::string expected) {
        fail(at, std::move(expected));
        return false;
    }

    size_t column(size_t at) const {
        size_t characters = 1;
        for (size_t i = 0; i < at;) {
            unicode::decodeNext(text_, i);
            ++characters;
        }
        return characters;
    }

    // The token at `at`, as the error shows it.
    std::string describe(size_t at) const {
        if (at >= text_.size()) return "the end of the query";
        const char c = text_[at];
        if (c == '"') return "a quote";
        size_t end = at;
        const auto take = [&](auto accept) {
            while (end < text_.size() && accept(text_[end])) ++end;
        };
        if (isNameChar(c)) {
            take(isNameChar);
        } else if (std::string_view("=!<>&|").find(c) != std::string_view::npos) {
            end = at + 1;
            if (end < text_.size() && std::string_view("=&|").find(text_[end]) != std::string_view::npos) ++end;
        } else {
            unicode::decodeNext(text_, end);
        }
        std::string token = "\"";
        token.append(text_.substr(at, end - at)).push_back('"');
        return token;
    }

    void skipSpace() {
        while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
    }

    bool take(std::string_view token) {
        skipSpace();
        if (!text_.substr(pos_).starts_with(token)) return false;
        pos_ += token.size();
        return true;
    }

    static QueryNode joined(QueryNode::Type type, std::vector<QueryNode> children) {
        if (children.size() == 1) return std::move(children.front());
        QueryNode node;
        node.type = type;
        node.children = std::move(children);
        return node;
    }

    std::optional<QueryNode> parseAny() {
        std::vector<QueryNode> children;
        do {
            auto child = parseAll();
            if (!child) return std::nullopt;
            children.push_back(std::move(*child));
        } while (take("||"));
        return joined(QueryNode::Type::any, std::move(children));
    }

    std::optional<QueryNode> parseAll() {
        std::vector<QueryNode> children;
        do {
            auto child = parseUnary();
            if (!child) return std::nullopt;
            children.push_back(std::move(*child));
        } while (take("&&"));
        return joined(QueryNode::Type::all, std::move(children));
    }

    std::optional<QueryNode> parseUnary() {
        skipSpace();
        const size_t start = pos_;
        const bool negation = take("!");
        const bool group = !negation && take("(");
        if (negation || group) {
            if (++depth_ > kMaxDepth) return fail(start, "at most 64 levels of \"(\" and \"!\"");
            auto inner = negation ? parseUnary() : parseAny();
            --depth_;
            if (!inner) return std::nullopt;
            if (group) {
                if (!take(")")) return fail(pos_, "\"&&\", \"||\" or \")\"");
                return inner;
            }
            QueryNode node;
            node.type = QueryNode::Type::negation;
            node.children.push_back(std::move(*inner));
            return node;
        }
        return parseComparison();
    }

    std::optional<QueryNode> parseComparison() {
        skipSpace();
        QueryNode node;
        const size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '*') {
            ++pos_;
        } else if (pos_ < text_.size() && isNameStart(text_[pos_])) {
            while (pos_ < text_.size() && isNameChar(text_[pos_])) ++pos_;
        } else {
            return fail(pos_, kExpectOperand);
        }
        if (++comparisons_ > kMaxComparisons) return fail(start, "at most 256 comparisons");
        node.attribute = std::string(text_.substr(start, pos_ - start));
        if (!parseOperator(node.op)) return fail(pos_, kExpectOperator);
        if (!parseValue(node.op, node.value)) return std::nullopt;
        return node;
    }

    bool parseOperator(QueryOperator& op) {
        static constexpr std::pair<std::string_view, QueryOperator> kOperators[] = {
            {"==", QueryOperator::equal},       {"!=", QueryOperator::notEqual},
            {"<=", QueryOperator::lessOrEqual}, {">=", QueryOperator::greaterOrEqual},
            {"<", QueryOperator::less},         {">", QueryOperator::greater},
        };
        skipSpace();
        for (const auto& [token, value] : kOperators) {
            // "<" must not take the first half of "<=", nor "=" stand alone.
            if (text_.substr(pos_).starts_with(token)) {
                pos_ += token.size();
                op = value;
                return true;
            }
        }
        return false;
    }

    bool parseValue(QueryOperator op, QueryValue& value) {
        skipSpace();
        if (pos_ >= text_.size()) return refuse(pos_, kExpectValue);
        const char c = text_[pos_];
        if (c == '"') return parseText(op, value);
        if (c == '$') return parseDate(value);
        if (isDigit(c) || (c == '-' && pos_ + 1 < text_.size() && isDigit(text_[pos_ + 1]))) return parseNumber(value);
        return refuse(pos_, kExpectValue);
    }

    bool parseNumber(QueryValue& value) {
        const size_t start = pos_;
        bool integral = true;
        if (text_[pos_] == '-') ++pos_;
        const auto digits = [&] {
            const size_t from = pos_;
            while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
            return pos_ > from;
        };
        digits();
        if (pos_ < text_.size() && text_[pos_] == '.') {
            integral = false;
            ++pos_;
            if (!digits()) return refuse(pos_, "a digit after the decimal point");
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            integral = false;
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            if (!digits()) return refuse(pos_, "the exponent's digits");
        }
        const char* first = text_.data() + start;
        const char* last = text_.data() + pos_;
        value.kind = QueryValue::Kind::number;
        value.isInteger = integral && std::from_chars(first, last, value.integer).ec == std::errc();
        if (value.isInteger) {
            value.real = static_cast<double>(value.integer);
        } else if (std::from_chars(first, last, value.real).ec != std::errc()) {
            return refuse(start, "a number within the range of a double");
        }
        return true;
    }

    bool parseText(QueryOperator op, QueryValue& value) {
        const bool wildcards = op == QueryOperator::equal || op == QueryOperator::notEqual;
        value.kind = QueryValue::Kind::text;
        value.pieces.assign(1, std::string());
        ++pos_;  // the opening quote
        while (true) {
            if (pos_ >= text_.size()) return refuse(pos_, "a closing quote (\")");
            const char c = text_[pos_++];
            if (c == '"') break;
            if (c == '*' && wildcards) {
                value.pieces.emplace_back();
                continue;
            }
            if (c == '\\') {
                if (pos_ >= text_.size() || std::string_view("*\"\\").find(text_[pos_]) == std::string_view::npos) {
                    return refuse(pos_, "\\*, \\\" or \\\\ after a backslash");
                }
                value.pieces.back() += text_[pos_++];
                continue;
            }
            value.pieces.back() += c;
        }
        while (pos_ < text_.size() && isNameChar(text_[pos_])) {
            const char modifier = text_[pos_];
            if (modifier == 'c') {
                value.fold |= unicode::kFoldCase;
            } else if (modifier == 'd') {
                value.fold |= unicode::kFoldDiacritics;
            } else {
                return refuse(pos_, "the modifiers c (ignore case) or d (ignore diacritics)");
            }
            ++pos_;
        }
        // "ﬁ" and "fi", full-width and plain letters differ neither in case nor in marks, but
        // nobody asking to ignore those means to keep them apart.
        if (value.fold) value.fold |= unicode::kFoldCompatibility;
        return true;
    }

    // Reads `count` digits as a number; false (position unchanged) when they are not there.
    bool fixedDigits(size_t count, int& out) {
        if (pos_ + count > text_.size()) return false;
        int number = 0;
        for (size_t i = 0; i < count; ++i) {
            const char c = text_[pos_ + i];
            if (!isDigit(c)) return false;
            number = number * 10 + (c - '0');
        }
        pos_ += count;
        out = number;
        return true;
    }

    bool literal(char c) {
        if (pos_ >= text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    bool parseDate(QueryValue& value) {
        constexpr std::string_view kOpen = "$time.iso(";
        if (!text_.substr(pos_).starts_with(kOpen)) return refuse(pos_, kExpectValue);
        pos_ += kOpen.size();
        const size_t start = pos_;
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        double fraction = 0;
        int offsetSeconds = 0;
        if (!fixedDigits(4, year) || !literal('-') || !fixedDigits(2, month) || !literal('-') ||
            !fixedDigits(2, day)) {
            return refuse(start, kExpectDate);
        }
        if (literal('T')) {
            if (!fixedDigits(2, hour) || !literal(':') || !fixedDigits(2, minute) || !literal(':') ||
                !fixedDigits(2, second)) {
                return refuse(start, kExpectDate);
            }
            if (literal('.')) {
                double scale = 0.1;
                if (pos_ >= text_.size() || !isDigit(text_[pos_])) return refuse(start, kExpectDate);
                for (; pos_ < text_.size() && isDigit(text_[pos_]); ++pos_, scale /= 10) {
                    fraction += (text_[pos_] - '0') * scale;
                }
            }
            const size_t zone = pos_;
            if (!literal('Z')) {
                const bool plus = literal('+');
                int offsetHours = 0, offsetMinutes = 0;
                if ((!plus && !literal('-')) || !fixedDigits(2, offsetHours) || !literal(':') ||
                    !fixedDigits(2, offsetMinutes) || offsetHours > 23 || offsetMinutes > 59) {
                    return refuse(zone, "Z or an offset such as +02:00 after the time");
                }
                offsetSeconds = (plus ? 1 : -1) * (offsetHours * 3600 + offsetMinutes * 60);
            }
        }
        const date::year_month_day calendar{date::year{year}, date::month{static_cast<unsigned>(month)},
                                            date::day{static_cast<unsigned>(day)}};
        if (!calendar.ok() || hour > 23 || minute > 59 || second > 59) return refuse(start, kExpectDate);
        if (!literal(')')) return refuse(pos_, "\")\" after the date");
        value.kind = QueryValue::Kind::date;
        value.real = sinceReferenceDateOf({year, month, day, hour, minute, second}) + fraction - offsetSeconds;
        return true;
    }

    std::string_view text_;
    QueryError* error_;
    size_t pos_ = 0;
    int depth_ = 0;
    int comparisons_ = 0;
};

}  // namespace

std::string QueryError::message() const {
    return "column " + std::to_string(column) + ": expected " + expected + ", found " + found;
}

std::optional<QueryNode> parseQuery(std::string_view text, QueryError* error) {
    return Parser(text, error).parse();
}

}  // namespace ossel
