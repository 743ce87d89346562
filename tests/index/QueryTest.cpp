// The query language over a fixed set of clips in a real index file.

#include <set>

#include "IndexFixture.h"
#include "index/IndexReader.h"
#include "index/Query.h"

namespace ossel::testing {
namespace {

class QueryTest : public IndexFixture {};

TEST_F(QueryTest, QueriesMatchTheExpectedClips) {
    const auto names = storeClipSet();
    const struct {
        std::string query;
        std::set<std::string> expected;
    } cases[] = {
        // Numbers, every operator; a missing attribute fails even "!=", a text never equals a number.
        {"kMDItemStarRating == 4", {"harbour"}},
        {"kMDItemStarRating == 4.0", {"harbour"}},
        {"kMDItemStarRating != 4", {"market", "birthday", "cafe"}},
        {"kMDItemStarRating < 3", {"market"}},
        {"kMDItemStarRating > 3", {"harbour", "cafe"}},
        {"kMDItemStarRating <= 3", {"market", "birthday"}},
        {"kMDItemStarRating >= 4.5", {"cafe"}},
        {"kMDItemDurationSeconds > 100", {"birthday"}},
        {"kMDItemStarRating == \"4\"", {}},
        {"kMDItemStarRating != \"4\"", {}},
        {"kMDItemTitle == 4", {}},
        {"kMDItemNoSuchThing != 1", {}},
        // Texts: exact, wildcards at either end and inside, escapes, ordering.
        {"kMDItemTitle == \"Market stalls\"", {"market"}},
        {"kMDItemTitle == \"market stalls\"", {}},
        {"kMDItemTitle == \"Harb*\"", {"harbour"}},
        {"kMDItemTitle == \"*speeches\"", {"birthday"}},
        {"kMDItemTitle == \"B*y*s\"", {"birthday"}},
        {"kMDItemTitle == \"*at*\"", {"harbour"}},
        {"kMDItemTitle == \"Harbour*at dusk\"", {"harbour"}},
        {"kMDItemTitle == \"Harbour*r at dusk\"", {}},
        {"kMDItemTitle == \"Allotment \\*timelapse\\*\"", {"allotment"}},
        {"kMDItemTitle == \"*\\**\"", {"allotment"}},
        {"kMDItemTitle != \"*at*\"", {"market", "birthday", "allotment", "cafe"}},
        {"kMDItemTitle < \"B\"", {"allotment"}},
        {"kMDItemTitle >= \"Harbour at dusk\"", {"harbour", "market"}},
        // c and d, alone and together, on their own index and through the prefilter.
        {"kMDItemTitle == \"market stalls\"c", {"market"}},
        {"kMDItemTitle == \"cafe*\"d", {}},
        {"kMDItemTitle == \"Cafe*\"d", {"cafe"}},
        {"kMDItemTitle == \"CAFÉ*\"c", {"cafe"}},
        {"kMDItemTitle == \"cafe*\"cd", {"cafe"}},
        {"kMDItemTitle == \"café fi*\"dc", {"cafe"}},
        {"kMDItemTitle > \"c\"c", {"harbour", "market", "cafe"}},
        // Lists: any element for ==, none for !=; an empty list has none.
        {"kMDItemKeywords == \"Maren\"", {"harbour"}},
        {"kMDItemKeywords == \"maren\"c", {"harbour", "birthday"}},
        {"kMDItemKeywords != \"Maren\"", {"market", "birthday", "cafe"}},
        {"kMDItemKeywords != 1", {"harbour", "market", "birthday", "cafe"}},
        {"kMDItemKeywords == \"jorg\"c", {}},
        {"kMDItemKeywords == \"jorg\"cd", {"harbour"}},
        {"kMDItemKeywords == \"Jö*\"", {"harbour"}},
        {"kMDItemKeywords == \"é*\"cd", {"birthday"}},
        {"kMDItemKeywords >= \"M\"", {"harbour", "birthday"}},
        // "*" is the five text attributes, not creator or kind.
        {"* == \"*gulls*\"", {"harbour"}},
        {"* == \"maren@*\"", {"harbour"}},
        {"* == \"*4:3\"", {"market", "birthday"}},
        {"* == \"Ossel*\"", {}},
        {"kMDItemCreator == \"Ossel\"", {"harbour", "market", "birthday", "allotment", "cafe"}},
        // Dates, at midnight UTC, with a time, with an offset; a date is no number.
        {"kMDItemContentCreationDate >= $time.iso(2007-01-01)", {"birthday", "allotment"}},
        {"kMDItemContentCreationDate == $time.iso(2007-05-19T13:58:12Z)", {"birthday"}},
        {"kMDItemContentCreationDate < $time.iso(2006-08-12T21:40:00+02:00)", {"market"}},
        {"kMDItemContentCreationDate <= $time.iso(2006-08-12T21:40:00+02:00)", {"market", "harbour"}},
        {"kMDItemContentCreationDate > 0", {}},
        // Precedence: ! before && before ||; parentheses; skipped and failed files never match.
        {"kMDItemStarRating == 2 || kMDItemStarRating == 3 && kMDItemTitle == \"Market*\"", {"market"}},
        {"(kMDItemStarRating == 2 || kMDItemStarRating == 3) && kMDItemTitle == \"B*\"", {"birthday"}},
        {"!kMDItemStarRating == 2 || kMDItemStarRating == 3", {"harbour", "birthday", "allotment", "cafe"}},
        {"!(kMDItemStarRating >= 3 && kMDItemStarRating <= 4)", {"market", "allotment", "cafe"}},
        // Free text: word prefixes, any case and accent, across attributes, compatibility forms.
        {"maren", {"harbour", "birthday"}},
        {"MAR bir", {"birthday"}},
        {"jorg", {"harbour"}},
        {"élo", {"birthday"}},
        {"CAFE film", {"cafe"}},
        {"16:9", {"harbour", "allotment"}},
        {"speeches uncle", {"birthday"}},
        {"ren", {}},
        {"ossel", {}},
        {"- maren", {"harbour", "birthday"}},
        {std::string("mar\0\x01", 5), {"harbour", "birthday", "market"}},
        {"…", {}},
    };
    IndexReader reader(db_);
    for (const auto& c : cases) {
        QueryError error;
        const auto query = parseQuery(c.query, &error);
        if (!query) {
            ADD_FAILURE() << c.query << ": " << error.message();
            continue;
        }
        std::vector<std::string> found;
        reader.forEachMatch(*query, {}, false, [&](std::string_view path, const Dictionary*) {
            for (const auto& [stored, name] : names) {
                if (stored == path) found.push_back(name);
            }
        });
        const std::set<std::string> matched(found.begin(), found.end());
        EXPECT_EQ(matched, c.expected) << c.query;
        EXPECT_EQ(reader.countMatches(*query, {}), static_cast<int64_t>(c.expected.size())) << c.query;
    }
}

TEST(QueryParse, MalformedQueriesNameTheColumnAndWhatWasExpected) {
    const std::string operand = "expected an attribute name, \"*\", \"!\" or \"(\"";
    const std::string value = "expected a value: a number, a \"quoted text\" or $time.iso(...)";
    const std::string date = "expected a date such as 2007-05-19 or 2007-05-19T13:58:12Z";
    const std::string more = "expected \"&&\", \"||\" or the end of the query";
    const struct {
        std::string query;
        std::string message;
    } cases[] = {
        {"", "column 1: expected a query, found the end of the query"},
        {"  ", "column 3: expected a query, found the end of the query"},
        {"kMDItemTitle = \"x\"",
         "column 14: expected a comparison operator: ==, !=, <, >, <= or >=, found \"=\""},
        {"maren && kMDItemStarRating > 3",
         "column 7: expected a comparison operator: ==, !=, <, >, <= or >=, found \"&&\""},
        {"kMDItemTitle == ", "column 17: " + value + ", found the end of the query"},
        {"kMDItemStarRating > $now", "column 21: " + value + ", found \"$\""},
        {"kMDItemTitle == \"abc", "column 21: expected a closing quote (\"), found the end of the query"},
        {"kMDItemTitle == \"a\"x",
         "column 20: expected the modifiers c (ignore case) or d (ignore diacritics), found \"x\""},
        {"kMDItemTitle == \"a\\b\"", "column 20: expected \\*, \\\" or \\\\ after a backslash, found \"b\""},
        {"kMDItemStarRating > 1.", "column 23: expected a digit after the decimal point, found the end of the query"},
        {"(kMDItemStarRating == 1", "column 24: expected \"&&\", \"||\" or \")\", found the end of the query"},
        {"kMDItemStarRating == 1 kMDItemTitle == \"x\"", "column 24: " + more + ", found \"kMDItemTitle\""},
        {"kMDItemStarRating >= 1)", "column 23: " + more + ", found \")\""},
        {"kMDItemTitle == \"Jörg\" | x", "column 24: " + more + ", found \"|\""},
        {"kMDItemStarRating > 3 && !", "column 27: " + operand + ", found the end of the query"},
        {"é == 1", "column 1: " + operand + ", found \"é\""},
        {"kMDItemContentCreationDate > $time.iso(2007-02-29)", "column 40: " + date + ", found \"2007\""},
        {"kMDItemContentCreationDate > $time.iso(2007-05-19T13:58:12)",
         "column 59: expected Z or an offset such as +02:00 after the time, found \")\""},
        {"kMDItemContentCreationDate > $time.iso(2007-05-19",
         "column 50: expected \")\" after the date, found the end of the query"},
        {std::string(65, '(') + "a == 1", "column 65: expected at most 64 levels of \"(\" and \"!\", found \"(\""},
    };
    for (const auto& c : cases) {
        QueryError error;
        EXPECT_FALSE(parseQuery(c.query, &error)) << c.query;
        EXPECT_EQ(error.message(), c.message) << c.query;
    }
}

}  // namespace
}  // namespace ossel::testing
