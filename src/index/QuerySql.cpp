#include "index/QuerySql.h"

#include "index/ClipValues.h"
#include "index/SearchText.h"

namespace ossel {

namespace {

const char* sqlOperator(QueryOperator op) {
    switch (op) {
        case QueryOperator::equal: return "=";
        case QueryOperator::notEqual: return "<>";
        case QueryOperator::less: return "<";
        case QueryOperator::greater: return ">";
        case QueryOperator::lessOrEqual: return "<=";
        case QueryOperator::greaterOrEqual: return ">=";
    }
    return "=";
}

// A word every file whose text starts with `prefix` has in the word index,
// folded and cut where a following character could change it: the letters and
// digits of ASCII the folded prefix starts with. Empty when it starts otherwise.
std::string leadingWord(const std::string& prefix) {
    const std::string folded = unicode::fold(prefix, kSearchFold);
    size_t length = 0;
    const auto wordCharacter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); };
    while (length < folded.size() && wordCharacter(folded[length])) ++length;
    return folded.substr(0, length);
}

std::vector<std::string> foldedPieces(const std::vector<std::string>& pieces, unsigned fold) {
    std::vector<std::string> out;
    out.reserve(pieces.size());
    for (const auto& piece : pieces) out.push_back(unicode::fold(piece, fold));
    return out;
}

class Compiler {
public:
    explicit Compiler(sqlite3* db) : db_(db) {}

    QuerySql take() { return std::move(sql_); }

    void node(const QueryNode& query) {
        switch (query.type) {
            case QueryNode::Type::comparison: comparison(query); return;
            case QueryNode::Type::words: words(query.words); return;
            case QueryNode::Type::negation:
                out("NOT (");
                node(query.children.front());
                out(")");
                return;
            case QueryNode::Type::all:
            case QueryNode::Type::any: {
                const char* connective = query.type == QueryNode::Type::all ? " AND " : " OR ";
                out("(");
                for (size_t i = 0; i < query.children.size(); ++i) {
                    if (i > 0) out(connective);
                    node(query.children[i]);
                }
                out(")");
                return;
            }
        }
    }

private:
    void out(std::string_view text) { sql_.condition += text; }
    void parameter(QuerySql::Parameter value) {
        sql_.condition += '?';
        sql_.parameters.push_back(std::move(value));
    }

    void words(const std::vector<std::string>& words) {
        const std::string expression = wordMatchExpression(db_, words);
        if (expression.empty()) {
            out("0");
            return;
        }
        out("id IN (SELECT rowid FROM words WHERE words MATCH ");
        parameter(expression);
        out(")");
    }

    // A comparison is met by a file with a value of the attribute (or of any searched
    // one, for "*") that compares as asked. Numbers and dates are found through their
    // index; "!=", which asks about every value of a file, and texts are compared where
    // they lie, in the files the word index leaves when a pattern has a first word.
    void comparison(const QueryNode& query) {
        const QueryValue& value = query.value;
        const bool text = value.kind == QueryValue::Kind::text;
        const int kind = text ? kTextValue : value.kind == QueryValue::Kind::date ? kDateValue : kNumberValue;
        std::vector<std::string> names{query.attribute};
        if (query.attribute == "*") names.assign(kSearchedAttributes.begin(), kSearchedAttributes.end());
        const auto operand = [&] {
            if (text) {
                std::string pieces;
                for (const auto& piece : value.fold == 0 ? value.pieces : foldedPieces(value.pieces, value.fold)) {
                    appendCountedText(pieces, piece);
                }
                parameter(QuerySql::Bytes{std::move(pieces)});
            } else if (value.kind == QueryValue::Kind::number && value.isInteger) {
                parameter(value.integer);
            } else {
                parameter(value.real);
            }
        };
        if (!text && query.op != QueryOperator::notEqual) {
            out("id IN (SELECT id >> " + std::to_string(kRowNumberBits) +
                " FROM numbers WHERE name IN (SELECT id FROM names WHERE name IN (");
            for (size_t i = 0; i < names.size(); ++i) {
                if (i > 0) out(", ");
                parameter(names[i]);
            }
            out(")) AND kind = " + std::to_string(kind) + " AND num " + sqlOperator(query.op) + " ");
            operand();
            out(")");
            return;
        }
        const bool searched = query.attribute == "*" || isSearchedAttribute(query.attribute);
        const std::string word =
            text && searched && query.op == QueryOperator::equal ? leadingWord(value.pieces.front()) : std::string();
        if (word.empty()) {
            out("id IN (SELECT file FROM attributes WHERE ");
        } else {
            out("id IN (SELECT file FROM words JOIN attributes ON file = words.rowid WHERE words MATCH ");
            parameter("\"" + word + "\"*");
            out(" AND ");
        }
        std::string counted;
        for (const auto& name : names) appendCountedText(counted, name);
        out("ossel_compare(vals, ");
        parameter(QuerySql::Bytes{std::move(counted)});
        out(", " + std::to_string(kind) + ", " + std::to_string(static_cast<int>(query.op)) + ", " +
            std::to_string(value.fold) + ", ");
        operand();
        out("))");
    }

    sqlite3* db_;
    QuerySql sql_;
};

}  // namespace

QuerySql querySql(const QueryNode& query, sqlite3* db) {
    Compiler compiler(db);
    compiler.node(query);
    return compiler.take();
}

}  // namespace ossel
