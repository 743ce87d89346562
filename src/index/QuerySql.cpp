#include "index/QuerySql.h"

#include <functional>

#include "index/AttributeRows.h"
#include "index/SearchText.h"
#include "index/TextMatch.h"

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

    // The files with a row of the compared attribute (or of any searched one, for
    // "*") that meets `condition`, a condition on the row `a`; with `word`, only
    // those whose words include one that starts so are looked at.
    void filesWhere(const std::string& attribute, const std::string& word, const std::function<void()>& condition) {
        if (word.empty()) {
            out("SELECT a.id >> " + std::to_string(kRowNumberBits) + " FROM attributes a WHERE ");
        } else {
            out("SELECT a.id >> " + std::to_string(kRowNumberBits) + " FROM words JOIN attributes a ON a.id >= words.rowid << " +
                std::to_string(kRowNumberBits) + " AND a.id < (words.rowid + 1) << " + std::to_string(kRowNumberBits) +
                " WHERE words MATCH ");
            parameter("\"" + word + "\"*");
            out(" AND ");
        }
        out("a.name IN (SELECT id FROM names WHERE name IN (");
        if (attribute == "*") {
            for (size_t i = 0; i < kSearchedAttributes.size(); ++i) {
                if (i > 0) out(", ");
                parameter(std::string(kSearchedAttributes[i]));
            }
        } else {
            parameter(attribute);
        }
        out(")) AND ");
        condition();
    }

    // A comparison is met by a file with a row of the attribute that compares as
    // asked; "!=" by one with a row of the value's kind (or a list) and none equal.
    void comparison(const QueryNode& query) {
        const QueryValue& value = query.value;
        const bool text = value.kind == QueryValue::Kind::text;
        const std::string kind =
            std::to_string(text ? kTextRow : value.kind == QueryValue::Kind::date ? kDateRow : kNumberRow);
        const std::string present = "a.kind IN (" + kind + ", " + std::to_string(kListRow) + ")";
        std::string counted;
        if (text) {
            const auto pieces = value.fold == 0 ? value.pieces : foldedPieces(value.pieces, value.fold);
            for (const auto& piece : pieces) appendCountedText(counted, piece);
        }
        const auto compare = [&](QueryOperator op) {
            return [&, op] {
                if (text) {
                    out(present + " AND ossel_match(a.kind, a.value, ");
                    parameter(static_cast<int64_t>(op));
                    out(", ");
                    parameter(static_cast<int64_t>(value.fold));
                    out(", ");
                    parameter(QuerySql::Bytes{counted});
                    out(")");
                    return;
                }
                out("a.kind = " + kind + " AND a.num " + sqlOperator(op) + " ");
                if (value.kind == QueryValue::Kind::number && value.isInteger) {
                    parameter(value.integer);
                } else {
                    parameter(value.real);
                }
            };
        };
        // A text equal to a pattern starts with its first piece: the word index narrows the search.
        const bool searched = query.attribute == "*" || isSearchedAttribute(query.attribute);
        const std::string word = text && searched ? leadingWord(value.pieces.front()) : std::string();
        out("id IN (");
        if (query.op != QueryOperator::notEqual) {
            filesWhere(query.attribute, query.op == QueryOperator::equal ? word : std::string(), compare(query.op));
        } else {
            filesWhere(query.attribute, {}, [&] { out(present); });
            out(") AND id NOT IN (");
            filesWhere(query.attribute, word, compare(QueryOperator::equal));
        }
        out(")");
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
