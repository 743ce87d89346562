// The query language over a fixed set of clips in a real index file.

#include <iterator>
#include <set>

#include "IndexFixture.h"
#include "index/IndexReader.h"
#include "index/Query.h"
#include "support/Cases.h"

namespace ossel::testing {
namespace {

class QueryTest : public IndexFixture {};

TEST_F(QueryTest, QueriesMatchTheExpectedClips) {
    const auto names = storeClipSet();
    IndexReader reader(db_);
    for (const auto& c : casesFrom("index/queries.txt", 2)) {
        QueryError error;
        const auto query = parseQuery(c[0], &error);
        ASSERT_TRUE(query) << c.where << ": " << error.message();
        std::set<std::string> found;
        reader.forEachMatch(*query, {}, false, [&](std::string_view path, const Dictionary*) {
            const auto known = names.find(path);
            found.insert(known == names.end() ? std::string(path) : known->second);
        });
        std::istringstream words(c[1] == "-" ? "" : c[1]);
        const std::set<std::string> expected{std::istream_iterator<std::string>(words), {}};
        EXPECT_EQ(found, expected) << c.where;
        EXPECT_EQ(reader.countMatches(*query, {}), static_cast<int64_t>(expected.size())) << c.where;
    }
}

TEST(QueryParse, MalformedQueriesNameTheColumnAndWhatWasExpected) {
    for (const auto& c : casesFrom("index/malformed-queries.txt", 2)) {
        QueryError error;
        EXPECT_FALSE(parseQuery(c[0], &error)) << c.where;
        EXPECT_EQ(error.message(), c[1]) << c.where;
    }
}

}  // namespace
}  // namespace ossel::testing
