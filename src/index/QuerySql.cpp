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
        out("SELECT file FROM attributes WHERE name IN (SELECT id FROM names WHERE name IN (");
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
            out("text IS NOT NULL");
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
        if (value.fold == 0) {
            textMatch("text", value.pieces, op);
        } else if (value.fold == kSearchFold) {
            textMatch("folded", foldedPieces(value.pieces, kSearchFold), op);
        } else {
            // Only part of the fold: the folded index narrows, the function decides.
            const bool ordered = op != QueryOperator::equal;
            if (!ordered) {
                textMatch("folded", foldedPieces(value.pieces, kSearchFold), op);
                out(" AND ");
            }
            textMatch("ossel_fold(text, " + std::to_string(value.fold) + ")", foldedPieces(value.pieces, value.fold),
                      op, "text");
        }
    }

    // `column` compared with the text; `notNull` names the column whose
    // presence lets a partial index serve (default: `column` itself).
    void textMatch(const std::string& column, const std::vector<std::string>& pieces, QueryOperator op,
                   std::string notNull = {}) {
        const bool wildcard = pieces.size() > 1;
        if (!wildcard) {
            if (notNull.empty()) notNull = column;
            out(notNull + " IS NOT NULL AND " + column + " " + sqlOperator(op) + " ");
            parameter(pieces.front());
            return;
        }
        const std::string& prefix = pieces.front();
        if (!prefix.empty() && column.find('(') == std::string::npos) {
            out(column + " >= ");
            parameter(prefix);
            if (const std::string above = successor(prefix); !above.empty()) {
                out(" AND " + column + " < ");
                parameter(above);
            }
            out(" AND ");
        } else {
            out((notNull.empty() ? column : notNull) + " IS NOT NULL AND ");
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
