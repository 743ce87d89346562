#pragma once
// How text is searched: which attributes free text and "*" cover, how text is
// folded on its way into the word index and into comparisons, and how
// free-text words become a full-text match. Stored text and query words go
// through the same fold and the same tokenizer, so that they always agree.

#include <sqlite3.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Unicode.h"
#include "importer/OsselMDItem.h"
#include "platform/MDItem.h"

namespace ossel {

// What free text and "*" search. Creator and kind are the same for every clip.
inline constexpr std::array<std::string_view, 5> kSearchedAttributes = {
    kMDItemTitle, kMDItemDescription, kMDItemKeywords, kMDItemTextContent, kMDItemOsselVideoFormat};

// Free text ignores case, diacritics and compatibility forms ("ﬁ", full-width letters).
inline constexpr unsigned kSearchFold = unicode::kFoldCase | unicode::kFoldDiacritics | unicode::kFoldCompatibility;

// The word index's tokenizer. It only splits: the text arrives folded already.
inline constexpr std::string_view kWordTokenizer = "unicode61 remove_diacritics 0";

bool isSearchedAttribute(std::string_view name);

// An FTS5 match expression that asks each word to start a word of the text:
// folded, quoted, with a prefix star. A word the tokenizer finds no word
// character in ("-", "…") is left out; empty when no word is left.
std::string wordMatchExpression(sqlite3* db, const std::vector<std::string>& words);

}  // namespace ossel
