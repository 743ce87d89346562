#include "index/QuerySql.h"

#include "index/AttributeRows.h"
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

// The smallest text above every text that starts with `prefix`; empty when there is none.
std::string successor(std::string prefix) {
    while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0xFF) prefix.pop_back();
    if (!prefix.empty()) prefix.back() = static_cast<char>(static_cast<unsigned char>(prefix.back()) + 1);
    return prefix;
}

std::string globPattern(const std::vector<std::string>& pieces) {
    std::string pattern;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) pattern += '*';
        for (const char c : pieces[i]) {
            if (c == '*' || c == '?' || c == '[') {
                pattern += '[';
                pattern += c;
                pattern += ']';
            } else {
                pattern += c;
            }
        }
    }
    return pattern;
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

    // The rows of the compared attribute (or of every searched one, for "*").
    void rowsOf(const std::string& attribute) {
        out("SELECT id >> " + std::to_string(kRowNumberBits) +
            " FROM attributes WHERE name IN (SELECT id FROM names WHERE name IN (");
        if (attribute == "*") {
            for (size_t i = 0; i < kSearchedAttributes.size(); ++i) {
                if (i > 0) out(", ");
                parameter(std::string(kSearchedAttributes[i]));
            }
        } else {
            parameter(attribute);
        }
        out(")) AND ");
    }

    void comparison(const QueryNode& query) {
        if (query.op != QueryOperator::notEqual) {
            out("id IN (");
            rowsOf(query.attribute);
            match(query.value, query.op);
            out(")");
            return;
        }
        // Present with a value of the same kind (or as a list), and no value equal.
        out("((id IN (");
        rowsOf(query.attribute);
        out("kind = " + std::to_string(kListRow) + " AND num IS NOT NULL) OR id IN (");
        rowsOf(query.attribute);
        present(query.value);
        out(")) AND id NOT IN (");
        rowsOf(query.attribute);
        match(query.value, QueryOperator::equal);
        out("))");
    }

    void present(const QueryValue& value) {
        if (value.kind == QueryValue::Kind::text) {
            out("folded IS NOT NULL");
        } else {
            out("kind = " + std::to_string(value.kind == QueryValue::Kind::date ? kDateRow : kNumberRow) +
                " AND num IS NOT NULL");
        }
    }

    void match(const QueryValue& value, QueryOperator op) {
        if (value.kind != QueryValue::Kind::text) {
            present(value);
            out(" AND num ");
            out(sqlOperator(op));
            out(" ");
            if (value.kind == QueryValue::Kind::number && value.isInteger) {
                parameter(value.integer);
            } else {
                parameter(value.real);
            }
            return;
        }
        // The folded column is the one texts are indexed by: "==" always narrows on it (what
        // matches exactly, or with part of the fold, matches folded too) and the exact text,
        // or the text folded as asked, decides. Ordering compares the asked-for form directly.
        const bool fullFold = value.fold == kSearchFold;
        const std::string asked = value.fold == 0 ? "text" : "ossel_fold(text, " + std::to_string(value.fold) + ")";
        const std::vector<std::string> pieces = value.fold == 0 ? value.pieces : foldedPieces(value.pieces, value.fold);
        if (op != QueryOperator::equal) {
            out(fullFold ? "folded IS NOT NULL AND folded " : "text IS NOT NULL AND " + asked + " ");
            out(sqlOperator(op));
            out(" ");
            parameter(pieces.front());
            return;
        }
        out("folded IS NOT NULL AND ");
        pattern("folded", fullFold ? pieces : foldedPieces(value.pieces, kSearchFold), true);
        if (fullFold) return;
        out(" AND ");
        pattern(asked, pieces, false);
    }

    // `column` equal to the pieces with wildcards between them; with `range`, a
    // leading literal becomes a range an index can serve.
    void pattern(const std::string& column, const std::vector<std::string>& pieces, bool range) {
        if (pieces.size() == 1) {
            out(column + " = ");
            parameter(pieces.front());
            return;
        }
        const std::string& prefix = pieces.front();
        if (range && !prefix.empty()) {
            out(column + " >= ");
            parameter(prefix);
            if (const std::string above = successor(prefix); !above.empty()) {
                out(" AND " + column + " < ");
                parameter(above);
            }
            out(" AND ");
        }
        out(column + " GLOB ");
        parameter(globPattern(pieces));
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
