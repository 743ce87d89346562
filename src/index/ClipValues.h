#pragma once
// What the index keeps of a clip's attributes for queries: the values they
// compare and the texts free text searches. An import worker makes it where
// the clip was imported and sends it to the indexing host beside the archived
// attributes, so that the host, which stores every clip on its one connection,
// neither decodes nor folds anything.
//
// Encoded, it is the searched texts (folded, one a line, so that no word runs
// into the next value's) followed by the values. Each value is its attribute's
// name, its kind, a text and a number: a text holds the text; a number or a
// date the number (a date in seconds since 2001-01-01 00:00:00 UTC); a list its
// texts, each after its length, and its length as the number, so that "!=" can
// tell an empty list from a missing attribute. A list's numbers and dates are
// values of their own. The index keeps the values as they are and compares in
// them; numbers and dates also go to a table of their own, which is indexed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "foundation/Dictionary.h"

namespace ossel {

inline constexpr int kTextValue = 0;
inline constexpr int kNumberValue = 1;
inline constexpr int kDateValue = 2;
inline constexpr int kListValue = 3;

// A row of the numbers table has its file's id shifted left, plus the row's
// number within the file: a file's rows are one range of ids, removed without
// an index of their own, and queries read the file from the id the index carries.
inline constexpr int kRowNumberBits = 24;
// Numbers past this many in one file are listed, but not found by comparisons.
inline constexpr int64_t kRowsPerFile = int64_t{1} << kRowNumberBits;
inline constexpr int64_t firstRowOf(int64_t file) { return file << kRowNumberBits; }

std::string encodeClipValues(const Dictionary& attributes);

using ClipNumber = std::variant<std::monostate, int64_t, double>;

// Not a missing number, nor one that is not a number (NaN), which compare with nothing.
bool isComparableNumber(const ClipNumber& number);

struct ClipValue {
    std::string_view name;
    int kind = kTextValue;
    std::string_view text;  // a text; a list's texts
    ClipNumber number;      // a number or date; a list's length
};

// Reads values where they lie.
class ClipValueReader {
public:
    explicit ClipValueReader(std::string_view values) : rest_(values) {}
    // False at the end, and where the values are cut short.
    bool next(ClipValue* value);
    bool cutShort() const { return cutShort_; }

private:
    std::string_view rest_;
    bool cutShort_ = false;
};

struct ClipValues {
    std::string_view words;
    std::string_view values;
    // Nothing when the bytes are not an encoding of ours; the views point into them.
    static std::optional<ClipValues> split(std::string_view encoded);
};

// Texts each after its length (a varint): a list's texts, or a pattern's pieces.
void appendCountedText(std::string& out, std::string_view text);
std::vector<std::string_view> countedTexts(std::string_view bytes);

}  // namespace ossel
