#include "foundation/StringTable.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/Dictionary.h"
#include "foundation/ErrorLog.h"
#include "foundation/Format.h"
#include "foundation/PropertyList.h"
#include "foundation/RegularFile.h"
#include "foundation/String.h"
#include "foundation/Unicode.h"

namespace ossel {
namespace {

using Table = std::unordered_map<std::string, std::string>;

// ---------------------------------------------------------------------------
// Text decoding: tables are UTF-8 (with or without a byte-order mark) or UTF-16
// with a byte-order mark, as the platform's tools write them.

// Nothing when UTF-16 does not decode; bad UTF-8 bytes stand for U+FFFD, as everywhere.
std::optional<std::string> decodeTableText(std::span<const uint8_t> bytes) {
    const bool little = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    const bool big = bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
    if (little || big) {
        std::string out;
        const auto order = big ? unicode::ByteOrder::bigEndian : unicode::ByteOrder::littleEndian;
        if (!unicode::appendUtf16AsUtf8(bytes.subspan(2), order, out, nullptr)) return std::nullopt;
        return out;
    }
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return unicode::sanitizedUtf8(text);
}

bool isHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// ---------------------------------------------------------------------------
// The "key" = "value"; text form. A malformed table is refused as a whole
// rather than half-read, so that a typo never silently drops later entries.

class StringsParser {
public:
    explicit StringsParser(std::string_view text) : text_(text) {}

    std::optional<Table> parse() {
        Table table;
        while (skipSpaceAndComments()) {
            auto key = readToken();
            if (!key || !skipSpaceAndComments()) return std::nullopt;
            std::string value = *key;
            if (peek() == '=') {
                ++pos_;
                if (!skipSpaceAndComments()) return std::nullopt;
                auto read = readToken();
                if (!read || !skipSpaceAndComments()) return std::nullopt;
                value = std::move(*read);
            }
            if (peek() != ';') return std::nullopt;
            ++pos_;
            table.insert_or_assign(std::move(*key), std::move(value));
        }
        return failed_ ? std::nullopt : std::optional<Table>(std::move(table));
    }

private:
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    bool atEnd() const { return pos_ >= text_.size(); }

    // Skips white space and comments; false at the end of the text (or inside an unclosed comment).
    bool skipSpaceAndComments() {
        while (!atEnd()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (text_.substr(pos_).starts_with("/*")) {
                const size_t close = text_.find("*/", pos_ + 2);
                if (close == std::string_view::npos) {
                    failed_ = true;
                    pos_ = text_.size();
                    return false;
                }
                pos_ = close + 2;
            } else if (text_.substr(pos_).starts_with("//")) {
                const size_t eol = text_.find('\n', pos_);
                pos_ = eol == std::string_view::npos ? text_.size() : eol + 1;
            } else {
                return true;
            }
        }
        return false;
    }

    static bool isUnquotedChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '$' || c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
    }

    std::optional<std::string> readToken() {
        if (peek() == '"') return readQuoted();
        const size_t start = pos_;
        while (!atEnd() && isUnquotedChar(text_[pos_])) ++pos_;
        if (pos_ == start) return std::nullopt;
        return std::string(text_.substr(start, pos_ - start));
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    char32_t readHexUnit() {
        char32_t unit = 0;
        for (int n = 0; n < 4 && !atEnd() && hexValue(text_[pos_]) >= 0; ++n) unit = unit * 16 + hexValue(text_[pos_++]);
        return unit;
    }

    // \U escapes carry UTF-16 units; a pair of them spells a character outside the basic plane.
    void readUnicodeEscape(std::string& out) {
        char32_t unit = readHexUnit();
        if (isHighSurrogate(unit) && text_.substr(pos_).size() >= 2 && text_[pos_] == '\\' &&
            (text_[pos_ + 1] == 'U' || text_[pos_ + 1] == 'u')) {
            const size_t save = pos_;
            pos_ += 2;
            const char32_t low = readHexUnit();
            if (isLowSurrogate(low)) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            } else {
                pos_ = save;
            }
        }
        const bool lone = isHighSurrogate(unit) || isLowSurrogate(unit);
        unicode::appendUtf8(out, lone ? unicode::kReplacementCharacter : unit);
    }

    void readOctalEscape(std::string& out) {
        char32_t value = 0;
        for (int n = 0; n < 3 && !atEnd() && text_[pos_] >= '0' && text_[pos_] <= '7'; ++n) value = value * 8 + (text_[pos_++] - '0');
        unicode::appendUtf8(out, value);
    }

    void readEscape(std::string& out) {
        const char c = text_[pos_++];
        switch (c) {
            case 'n': out.push_back('\n'); break;
            case 't': out.push_back('\t'); break;
            case 'r': out.push_back('\r'); break;
            case 'a': out.push_back('\a'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'v': out.push_back('\v'); break;
            case 'U':
            case 'u': readUnicodeEscape(out); break;
            default:
                if (c >= '0' && c <= '7') {
                    --pos_;
                    readOctalEscape(out);
                } else {
                    out.push_back(c);  // \" \\ \' and anything else stand for themselves
                }
        }
    }

    std::optional<std::string> readQuoted() {
        ++pos_;  // opening quote
        std::string out;
        while (!atEnd()) {
            const char c = text_[pos_++];
            if (c == '"') return out;
            if (c == '\\') {
                if (atEnd()) break;
                readEscape(out);
            } else {
                out.push_back(c);
            }
        }
        return std::nullopt;  // unterminated
    }

    std::string_view text_;
    size_t pos_ = 0;
    bool failed_ = false;
};

void noteUnusable(const std::string& path, std::string_view reason) {
    writeErrorLine(format("%@: not used as a string table (%@)", path, reason));
}

// Nothing when the file is absent, or there but no regular file to read (with a note).
std::optional<std::vector<uint8_t>> tableFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FileError error;
    if (readRegularFile(path, fileSizeLimit(), bytes, &error)) return bytes;
    if (error.kind != FileErrorKind::notFound) noteUnusable(path, error.message);
    return std::nullopt;
}

std::optional<Table> loadStringsTable(const std::string& path) {
    const auto bytes = tableFile(path);
    if (!bytes) return std::nullopt;
    const auto text = decodeTableText(*bytes);
    if (!text) {
        noteUnusable(path, "broken UTF-16");
        return Table{};
    }
    auto table = StringsParser(*text).parse();
    if (!table) noteUnusable(path, "malformed");
    return std::move(table).value_or(Table{});
}

// A dictionary property list; entries whose value is not a text are not translations.
std::optional<Table> loadPropertyListTable(const std::string& path) {
    const auto bytes = tableFile(path);
    if (!bytes) return std::nullopt;
    Table table;
    PropertyListError error;
    const auto root = readPropertyList(*bytes, &error);
    const auto dictionary = kindCast<Dictionary>(root);
    if (!dictionary) {
        noteUnusable(path, root ? "not a dictionary" : error.description());
        return table;
    }
    for (const auto& [key, value] : *dictionary) {
        if (const auto text = kindCast<String>(value)) table.emplace(key, text->utf8());
    }
    return table;
}

// "<table>.strings" wins over "<table>.plist" when both are present.
Table loadTable(const std::string& directory, std::string_view name) {
    if (directory.empty()) return {};
    const std::string base = directory + "/" + std::string(name);
    if (auto table = loadStringsTable(base + ".strings")) return std::move(*table);
    return loadPropertyListTable(base + ".plist").value_or(Table{});
}

// ---------------------------------------------------------------------------

struct TableCache {
    std::mutex mutex;
    std::optional<std::string> directory;  // unset until first asked: then OSSEL_RESOURCES
    std::map<std::string, Table, std::less<>> tables;
};

TableCache& cache() {
    static TableCache instance;
    return instance;
}

const std::string& directoryLocked(TableCache& c) {
    if (!c.directory) {
        const char* env = std::getenv("OSSEL_RESOURCES");
        c.directory = env ? env : "";
    }
    return *c.directory;
}

const Table& tableLocked(TableCache& c, std::string_view name) {
    if (auto found = c.tables.find(name); found != c.tables.end()) return found->second;
    return c.tables.emplace(std::string(name), loadTable(directoryLocked(c), name)).first->second;
}

}  // namespace

void setResourcesDirectory(std::string path) {
    TableCache& c = cache();
    const std::lock_guard lock(c.mutex);
    c.directory = std::move(path);
    c.tables.clear();
}

const std::string& resourcesDirectory() {
    TableCache& c = cache();
    const std::lock_guard lock(c.mutex);
    return directoryLocked(c);
}

std::string localizedString(std::string_view key, std::string_view table, std::string_view fallback) {
    TableCache& c = cache();
    const std::lock_guard lock(c.mutex);
    const Table& entries = tableLocked(c, table);
    if (auto found = entries.find(std::string(key)); found != entries.end()) return found->second;
    return std::string(fallback.empty() ? key : fallback);
}

}  // namespace ossel
