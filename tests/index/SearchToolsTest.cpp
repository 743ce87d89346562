// ossel-mdfind and ossel-mdls run as a user runs them, on an index file.

#include "IndexFixture.h"
#include "support/Run.h"

namespace ossel::testing {
namespace {

class SearchToolsTest : public IndexFixture {
protected:
    static RunResult run(const std::string& tool, const std::vector<std::string>& arguments) {
        std::string command = quote(OSSEL_BINARY_DIR "/" + tool);
        for (const auto& argument : arguments) command += " " + quote(argument);
        return runShell(command);
    }
};

TEST_F(SearchToolsTest, FindPrintsMatchesCountsAndFailures) {
    storeClipSet();
    const std::string missing = pathIn("none/index.sqlite");
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;  // the start of standard error
    } cases[] = {
        {{"--db", db_, "maren"}, 0, "/c/birthday.plist\n/c/harbour.plist\n", ""},
        {{"--db", db_, "-0", "maren"}, 0, std::string("/c/birthday.plist") + '\0' + "/c/harbour.plist" + '\0', ""},
        {{"--db", db_, "-onlyin", "/c", "kMDItemStarRating == 4"}, 0, "/c/harbour.plist\n", ""},
        {{"--db", db_, "-onlyin", "/c/x", "-onlyin", "/d", "maren"}, 0, "", ""},
        {{"--db=" + db_, "-count", "kMDItemStarRating >= 3"}, 0, "3\n", ""},
        {{"--db", db_, "nothing-like-this"}, 0, "", ""},
        {{"--db", db_, "--failed"}, 0, "/c/broken.plist: not a property list\n", ""},
        {{"--db", db_, "kMDItemTitle = 1"}, 2, "", "ossel-mdfind: malformed query: column 14: expected a comparison"},
        {{"--db", missing, "maren"}, 1, "", "ossel-mdfind: " + missing + ": no index here"},
        {{"--db", db_}, 2, "", "ossel-mdfind: one QUERY expected"},
        {{"--db", db_, "-0", "-count", "maren"}, 2, "", "ossel-mdfind: -0, --json and -count exclude one another"},
    };
    for (const auto& c : cases) {
        const RunResult result = run("ossel-mdfind", c.arguments);
        const std::string label = c.arguments.back();
        EXPECT_EQ(result.status, c.status) << label;
        EXPECT_EQ(result.out, c.out) << label;
        EXPECT_TRUE(result.err.starts_with(c.err) && (c.err.empty() == result.err.empty())) << label << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(missing));

    const RunResult json = run("ossel-mdfind", {"--db", db_, "--json", "kMDItemStarRating == 4"});
    EXPECT_TRUE(json.out.starts_with(R"({"path": "/c/harbour.plist", "imported": true, "attributes": {)")) << json.out;
    EXPECT_NE(json.out.find(R"("kMDItemKeywords": ["Maren", "Jörg", "Harbour"])"), std::string::npos) << json.out;
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 1);
}

TEST_F(SearchToolsTest, ListShowsStoredAttributesAndNamesWhatItCannotList) {
    storeClipSet();
    const RunResult result = run("ossel-mdls", {"--db=" + db_, "/c/../c/market.plist", "/c/nothing", "/c/broken.plist"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, fileContent(OSSEL_TEST_DATA "/index/market.listing"));
    EXPECT_EQ(result.err,
              "ossel-mdls: /c/nothing: not in the index\n"
              "ossel-mdls: /c/broken.plist: its import failed: not a property list\n");
}

}  // namespace
}  // namespace ossel::testing
