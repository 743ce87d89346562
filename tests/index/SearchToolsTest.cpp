// ossel-mdfind and ossel-mdls run as a user runs them, on an index file.

#include <fcntl.h>
#include <sys/wait.h>

#include "IndexFixture.h"

namespace ossel::testing {
namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

class SearchToolsTest : public IndexFixture {
protected:
    // Runs a built tool with these arguments, standard output and error into files.
    ToolRun run(const std::string& tool, std::vector<std::string> arguments) const {
        const std::string out = pathIn("stdout");
        const std::string err = pathIn("stderr");
        arguments.insert(arguments.begin(), std::string(OSSEL_BINARY_DIR) + "/" + tool);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            std::vector<char*> argv;
            for (auto& argument : arguments) argv.push_back(argument.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        int raw = 0;
        ::waitpid(child, &raw, 0);
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
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
        const ToolRun result = run("ossel-mdfind", c.arguments);
        const std::string label = c.arguments.back();
        EXPECT_EQ(result.status, c.status) << label;
        EXPECT_EQ(result.out, c.out) << label;
        EXPECT_TRUE(result.err.starts_with(c.err) && (c.err.empty() == result.err.empty())) << label << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(missing));

    const ToolRun json = run("ossel-mdfind", {"--db", db_, "--json", "kMDItemStarRating == 4"});
    EXPECT_TRUE(json.out.starts_with(R"({"path": "/c/harbour.plist", "imported": true, "attributes": {)")) << json.out;
    EXPECT_NE(json.out.find(R"("kMDItemKeywords": ["Maren", "Jörg", "Harbour"])"), std::string::npos) << json.out;
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 1);
}

TEST_F(SearchToolsTest, ListShowsStoredAttributesAndNamesWhatItCannotList) {
    storeClipSet();
    const ToolRun result = run("ossel-mdls", {"--db=" + db_, "/c/../c/market.plist", "/c/nothing", "/c/broken.plist"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              "/c/market.plist\n"
              "kMDItemContentCreationDate = 2006-03-14 10:22:05 +0000\n"
              "kMDItemCreator             = \"Ossel\"\n"
              "kMDItemDescription         = \"Fish and Crêpes\"\n"
              "kMDItemKeywords            = (\n"
              "    \"Ines\"\n"
              ")\n"
              "kMDItemKind                = \"Ossel Clip\"\n"
              "kMDItemOsselVideoFormat    = \"DV PAL 4:3\"\n"
              "kMDItemStarRating          = 2\n"
              "kMDItemTitle               = \"Market stalls\"\n\n");
    EXPECT_EQ(result.err,
              "ossel-mdls: /c/nothing: not in the index\n"
              "ossel-mdls: /c/broken.plist: its import failed: not a property list\n");
}

}  // namespace
}  // namespace ossel::testing
