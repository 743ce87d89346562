// ossel-mdfind and ossel-mdls run as a user runs them, on an index file.

#include "IndexFixture.h"
#include "support/Cases.h"
#include "support/Run.h"

namespace ossel::testing {
namespace {

class SearchToolsTest : public IndexFixture {
protected:
    // A built tool run with a shell's arguments, in which $DB names the index.
    RunResult run(const std::string& tool, std::string arguments) const {
        for (size_t at; (at = arguments.find("$DB")) != std::string::npos;) arguments.replace(at, 3, quote(db_));
        return runShell(quote(OSSEL_BINARY_DIR "/" + tool) + " " + arguments);
    }
};

TEST_F(SearchToolsTest, FindPrintsMatchesCountsAndFailures) {
    storeClipSet();
    for (const auto& c : casesFrom("index/mdfind-runs.txt", 4)) {
        const RunResult result = run("ossel-mdfind", c[0]);
        std::string err = c[3] == "-" ? "" : c[3];
        if (const size_t at = err.find("$DB"); at != std::string::npos) err.replace(at, 3, db_);
        EXPECT_EQ(result.status, c.number(1)) << c.where;
        EXPECT_EQ(result.out, c[2] == "-" ? "" : c[2]) << c.where;
        EXPECT_TRUE(result.err.starts_with(err) && err.empty() == result.err.empty()) << c.where << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(db_ + ".missing"));

    const RunResult json = run("ossel-mdfind", "--db $DB --json 'kMDItemStarRating == 4'");
    EXPECT_TRUE(json.out.starts_with(R"({"path": "/c/harbour.plist", "imported": true, "attributes": {)")) << json.out;
    EXPECT_NE(json.out.find(R"("kMDItemKeywords": ["Maren", "Jörg", "Harbour"])"), std::string::npos) << json.out;
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 1);
}

TEST_F(SearchToolsTest, ListShowsStoredAttributesAndNamesWhatItCannotList) {
    storeClipSet();
    const RunResult result = run("ossel-mdls", "--db=$DB /c/../c/market.plist /c/nothing /c/broken.plist");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, fileContent(OSSEL_TEST_DATA "/index/market.listing"));
    EXPECT_EQ(result.err,
              "ossel-mdls: /c/nothing: not in the index\n"
              "ossel-mdls: /c/broken.plist: its import failed: not a property list\n");
}

}  // namespace
}  // namespace ossel::testing
