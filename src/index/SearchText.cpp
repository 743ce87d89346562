#include "index/SearchText.h"

#include <algorithm>
#include <memory>

#include "index/IndexError.h"
#include "index/Statement.h"

namespace ossel {

namespace {

fts5_api* fts5Api(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
        sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    if (!api) throw IndexError(IndexErrorKind::failed, "this SQLite has no FTS5 full-text search");
    return api;
}

// Splits the tokenizer's arguments at blanks, as FTS5 does for a table's declaration.
std::vector<std::string> tokenizerWords() {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < kWordTokenizer.size()) {
        const size_t end = std::min(kWordTokenizer.find(' ', start), kWordTokenizer.size());
        if (end > start) words.emplace_back(kWordTokenizer.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

class QueryTokenizer {
public:
    explicit QueryTokenizer(sqlite3* db) {
        const std::vector<std::string> words = tokenizerWords();
        std::vector<const char*> arguments;
        for (size_t i = 1; i < words.size(); ++i) arguments.push_back(words[i].c_str());
        fts5_api* api = fts5Api(db);
        void* context = nullptr;
        if (api->xFindTokenizer(api, words[0].c_str(), &context, &methods_) != SQLITE_OK ||
            methods_.xCreate(context, arguments.data(), static_cast<int>(arguments.size()), &tokenizer_) != SQLITE_OK) {
            throw IndexError(IndexErrorKind::failed, "the FTS5 tokenizer " + words[0] + " is missing");
        }
    }
    ~QueryTokenizer() { methods_.xDelete(tokenizer_); }
    QueryTokenizer(const QueryTokenizer&) = delete;
    QueryTokenizer& operator=(const QueryTokenizer&) = delete;

    std::vector<std::string> tokens(std::string_view text) {
        std::vector<std::string> found;
        const auto onToken = [](void* found, int, const char* token, int size, int, int) {
            static_cast<std::vector<std::string>*>(found)->emplace_back(token, static_cast<size_t>(size));
            return SQLITE_OK;
        };
        methods_.xTokenize(tokenizer_, &found, FTS5_TOKENIZE_QUERY | FTS5_TOKENIZE_PREFIX, text.data(),
                           static_cast<int>(text.size()), onToken);
        return found;
    }

private:
    fts5_tokenizer methods_{};
    Fts5Tokenizer* tokenizer_ = nullptr;
};

}  // namespace

bool isSearchedAttribute(std::string_view name) {
    return std::find(kSearchedAttributes.begin(), kSearchedAttributes.end(), name) != kSearchedAttributes.end();
}

std::string wordMatchExpression(sqlite3* db, const std::vector<std::string>& words) {
    QueryTokenizer tokenizer(db);
    std::string expression;
    for (const std::string& word : words) {
        const std::vector<std::string> tokens = tokenizer.tokens(unicode::fold(word, kSearchFold));
        if (tokens.empty()) continue;
        // The tokens hold no quote, blank or control character: the tokenizer splits at them.
        // Several tokens ("o'brien", "4:3") make a phrase: those words in a row.
        if (!expression.empty()) expression += " AND ";
        expression += '"';
        for (size_t i = 0; i < tokens.size(); ++i) {
            if (i > 0) expression += ' ';
            expression += tokens[i];
        }
        expression += "\"*";
    }
    return expression;
}

}  // namespace ossel
