#include <gtest/gtest.h>

#include "ImporterTest.h"
#include "support/Cases.h"
#include "foundation/Number.h"
#include "importer/GetMetadataForFile.h"
#include "importer/PathComponents.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class CatalogDirectory : public ImporterTempDir {
protected:
    std::string makeCatalog(const std::string& relative, bool withPeople = true) {
        const auto dir = root_ / relative;
        std::filesystem::create_directories(dir);
        if (withPeople) writeFile(std::filesystem::path(relative) / "People 2.xml", plist("<array/>"));
        return dir.string();
    }
    std::string clipIn(const std::string& relative) { return (root_ / relative).string(); }
};

}  // namespace

TEST(PathComponents, DeletingAppendingAndExpandingFollowThePlatform) {
    const ScopedEnv home("HOME", "/home/tester");
    for (const auto& c : casesFrom("importer/path-components.txt", 3)) {
        const auto result = c[0] == "delete"   ? stringByDeletingLastPathComponent(c[1])
                            : c[0] == "append" ? stringByAppendingPathComponent(c[1], "P.xml")
                                               : stringByExpandingTildeInPath(c[1]);
        EXPECT_EQ(result, c[2]) << c.where;
    }
}

TEST_F(CatalogDirectory, OnlyThreeLevelsUpWithAPeopleFileQualifies) {
    // Two levels up is not a candidate, even with a catalog there.
    makeCatalog("p/q/r");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clipIn("p/q/r/s/clip")), std::nullopt);
    const std::string dir = makeCatalog("w/x", false);
    writeFile("w/x/Places 2.xml", plist("<array/>"));
    writeFile("w/x/Events 2.xml", plist("<array/>"));
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clipIn("w/x/y/z/clip")), std::nullopt);
    // A directory of that name is something that exists: the probe is an existence test.
    std::filesystem::create_directories(std::filesystem::path(dir) / "People 2.xml");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clipIn("w/x/y/z/clip")), dir);
    // Paths given from home are expanded after climbing.
    const std::string fromHome = makeCatalog("home/Library/Catalog");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir("~/Library/Catalog/Clips/2006/clip"), fromHome);
}

TEST_F(CatalogDirectory, FallsBackToTheUsersMoviesFolder) {
    const std::string clip = clipIn("w/x/y/z/clip");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clip), std::nullopt);
    const std::string fallback = makeCatalog("home/Movies/Ossel");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clip), fallback);
    const std::string own = makeCatalog("w/x");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clip), own) << "the clip's own catalog wins over the fallback";
    // "~" is $HOME as it is at each call.
    const std::string other = makeCatalog("other/Movies/Ossel");
    const ScopedEnv home("HOME", (root_ / "other").string());
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clipIn("a/b/c/d/clip")), other);
}

TEST(Collectors, ContentTextJoinsWithSingleBlanksAndTakesDescriptions) {
    Ref<String> text;
    addToContentString(&text, Number::withDouble(2.5));
    addToContentString(&text, str("b"));
    addToContentString(&text, nullptr);
    addToContentString(nullptr, str("c"));
    addToContentString(&text, str(""));
    addToContentString(&text, Number::withInt(7));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->utf8(), "2.5 b  7");
}
