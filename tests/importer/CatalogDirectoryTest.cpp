#include <gtest/gtest.h>

#include "ImporterTempDir.h"
#include "foundation/Number.h"
#include "importer/GetMetadataForFile.h"
#include "importer/PathComponents.h"
#include "importer/TLOsselGlobals.h"

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

TEST(PathComponents, DeletingTheLastComponentFollowsThePlatform) {
    const std::pair<const char*, const char*> cases[] = {
        {"/w/x/y/z/clip", "/w/x/y/z"}, {"/tmp/lock/", "/tmp"}, {"/tmp//lock", "/tmp"}, {"/tmp/", "/"},
        {"/tmp", "/"},                 {"/", "/"},             {"///", "/"},           {"clip", ""},
        {"a/b", "a"},                  {"", ""},               {"~/Movies", "~"},      {"~", ""},
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(stringByDeletingLastPathComponent(path), expected) << path;
}

TEST(PathComponents, AppendingAddsExactlyOneSlash) {
    EXPECT_EQ(stringByAppendingPathComponent("", "People 2.xml"), "People 2.xml");
    EXPECT_EQ(stringByAppendingPathComponent("/", "People 2.xml"), "/People 2.xml");
    EXPECT_EQ(stringByAppendingPathComponent("/w/x", "People 2.xml"), "/w/x/People 2.xml");
    EXPECT_EQ(stringByAppendingPathComponent("/w/x//", "People 2.xml"), "/w/x/People 2.xml");
}

TEST_F(CatalogDirectory, TildeExpandsToHomeOnlyAtTheStart) {
    const std::string home = home_.string();
    EXPECT_EQ(stringByExpandingTildeInPath("~"), home);
    EXPECT_EQ(stringByExpandingTildeInPath("~/"), home);
    EXPECT_EQ(stringByExpandingTildeInPath("~/Movies/Ossel"), home + "/Movies/Ossel");
    EXPECT_EQ(stringByExpandingTildeInPath("/a/~/b"), "/a/~/b");
    EXPECT_EQ(stringByExpandingTildeInPath("~no-such-user-here/x"), "~no-such-user-here/x");
}

TEST_F(CatalogDirectory, FirstCandidateIsThreeLevelsUp) {
    const std::string catalog = makeCatalog("w/x");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clipIn("w/x/y/z/clip")), catalog);
    // Two levels up is not a candidate, even with a catalog there.
    makeCatalog("p/q/r", true);
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clipIn("p/q/r/s/clip")), std::nullopt);
}

TEST_F(CatalogDirectory, OnlyThePeopleFileQualifiesADirectory) {
    const std::string dir = makeCatalog("w/x", false);
    writeFile("w/x/Places 2.xml", plist("<array/>"));
    writeFile("w/x/Events 2.xml", plist("<array/>"));
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clipIn("w/x/y/z/clip")), std::nullopt);
    // A directory of that name is something that exists: the probe is an existence test.
    std::filesystem::create_directories(std::filesystem::path(dir) / "People 2.xml");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clipIn("w/x/y/z/clip")), dir);
}

TEST_F(CatalogDirectory, FallsBackToTheUsersMoviesFolder) {
    const std::string clip = clipIn("w/x/y/z/clip");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clip), std::nullopt);
    const std::string fallback = makeCatalog("home/Movies/Ossel");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clip), fallback);
    // The clip's own catalog wins over the fallback.
    const std::string own = makeCatalog("w/x");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir(clip), own);
}

TEST_F(CatalogDirectory, PathsGivenFromHomeAreExpandedAfterClimbing) {
    const std::string catalog = makeCatalog("home/Library/Catalog");
    EXPECT_EQ(findRelatedKeyWordsCatalogDir("~/Library/Catalog/Clips/2006/clip"), catalog);
}

TEST(Collectors, ContentTextJoinsWithSingleBlanks) {
    Ref<String> text;
    const Ref<String> first = str("a");
    addToContentString(&text, first);
    EXPECT_EQ(text, first);  // the value itself, not a copy
    addToContentString(&text, str("b"));
    EXPECT_EQ(text->utf8(), "a b");
    addToContentString(&text, nullptr);
    addToContentString(nullptr, str("c"));
    EXPECT_EQ(text->utf8(), "a b");
    addToContentString(&text, str(""));
    addToContentString(&text, Number::withInt(7));
    EXPECT_EQ(text->utf8(), "a b  7");
}

TEST(Collectors, ContentTextTakesANonTextValueAsItsDescription) {
    Ref<String> text;
    addToContentString(&text, Number::withDouble(2.5));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->utf8(), "2.5");
}

TEST(Collectors, KeywordsKeepOrderAndDuplicates) {
    const auto keywords = Array::make();
    const Ref<String> ilse = str("Ilse");
    addToKeywordsArray(keywords.get(), ilse);
    addToKeywordsArray(keywords.get(), ilse);
    addToKeywordsArray(keywords.get(), nullptr);
    addToKeywordsArray(nullptr, str("lost"));
    addToKeywordsArray(keywords.get(), str("Varga"));
    ASSERT_EQ(keywords->count(), 3u);
    EXPECT_EQ(keywords->objectAtIndex(0), ilse);
    EXPECT_EQ(keywords->objectAtIndex(1), ilse);
    EXPECT_TRUE(objectsEqual(keywords->objectAtIndex(2), str("Varga")));
}

TEST(TLOsselGlobals, InstallationPathDiffersFromTheConstantInItsFourthComponent) {
    const auto components = [](std::string_view path) {
        std::vector<std::string> parts;
        size_t start = 1;
        for (size_t slash; (slash = path.find('/', start)) != std::string_view::npos; start = slash + 1) {
            parts.emplace_back(path.substr(start, slash - start));
        }
        return parts;
    };
    const auto fromClass = components(TLOsselGlobals::installationPath());
    const auto fromConstant = components(installationPath);
    ASSERT_EQ(fromClass.size(), fromConstant.size());
    for (size_t i = 0; i < fromClass.size(); ++i) {
        if (i == 3) {
            EXPECT_EQ(fromClass[i], "Quaymark");
            EXPECT_EQ(fromConstant[i], "Ossel");
        } else {
            EXPECT_EQ(fromClass[i], fromConstant[i]);
        }
    }
    EXPECT_TRUE(TLOsselGlobals::installationPath().ends_with('/'));
    EXPECT_TRUE(installationPath.ends_with('/'));
}

TEST(TLOsselGlobals, FeedAddressIsTheExportedConstantItself) {
    EXPECT_EQ(&TLOsselGlobals::ac3WebPagePath(), &ac3WebPagePath);
    EXPECT_TRUE(ac3WebPagePath.starts_with("feed://"));
    EXPECT_TRUE(ac3WebPagePath.ends_with("/utils/OsselExtending.xml"));
}
