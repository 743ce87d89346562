// The host's records and command line, end to end.

#include <regex>
#include <tuple>

#include "HostFixture.h"
#include "support/Cases.h"

using namespace ossel::testing;

TEST_F(Host, WalksTheExamplesAndSkipsTheCatalogFiles) {
    const RunResult result = run("--json -r examples/Ossel");
    EXPECT_EQ(result.status, 0) << result.err;
    // The example clips with the example catalog three levels above them: people, places and
    // events in the order of the clip's ids, unknown ids passed over, duplicates kept.
    EXPECT_EQ(result.out, fileContent(OSSEL_TEST_DATA "/tools/examples.jsonl"));
    // The three catalog files are arrays: each noted once, none counted as a failure.
    const auto notes = result.errLines();
    ASSERT_EQ(notes.size(), 3u) << result.err;
    for (const auto& note : notes) EXPECT_NE(note.find(": skipped, not a clip annotation"), std::string::npos) << note;
}

// Each clip of tests/data through one output form, against the output expected, $CLIP standing for its
// path; listed twice, to show that each block ends with an empty line.
TEST_F(Host, ListingAndJsonRenderEveryValueKind) {
    for (const auto& [clip, options, expected] : {std::tuple{"types.plist", "", "types.listing"},
                                                  {"every-kind.plist", "--json ", "every-kind.jsonl"}}) {
        const fs::path path = writeFile("c/d/e/clip.plist", fileContent(OSSEL_TEST_DATA "/tools/" + std::string(clip)));
        const bool listing = std::string(options).empty();
        const RunResult result = run(options + quote(path.string()) + (listing ? " " + quote(path.string()) : ""));
        EXPECT_EQ(result.status, 0) << result.err;
        std::string text = fileContent(OSSEL_TEST_DATA "/tools/" + std::string(expected));
        text.replace(text.find("$CLIP"), 5, path.string());
        EXPECT_EQ(result.out, listing ? text + text : text) << clip;
    }
}

TEST_F(Host, BadInputsAreReportedOneLineEachAndTheRunGoesOn) {
    writeFile("garbage.plist", "not a property list at all");
    writeFile("list.plist", "<plist version=\"1.0\"><array/></plist>");
    fs::create_directories(scratch_ / "folder");
    const RunResult result = run("--json missing.plist garbage.plist list.plist folder " +
                                     quote(kSourceDir + "/examples/Ossel/Clips/2007/Allotment timelapse.plist"),
                                 scratch_);
    EXPECT_EQ(result.status, 1);
    const auto records = result.outLines();
    ASSERT_EQ(records.size(), 5u) << result.out;
    const char* names[] = {"missing.plist", "garbage.plist", "list.plist", "folder"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(records[i].starts_with(std::string("{\"path\": \"") + names[i] + "\", \"imported\": false, \"error\": \""))
            << records[i];
    }
    EXPECT_NE(records[4].find("\"imported\": true"), std::string::npos);
    const auto messages = result.errLines();
    ASSERT_EQ(messages.size(), 4u) << result.err;
    EXPECT_EQ(messages[0], "missing.plist: No such file or directory");
    EXPECT_TRUE(messages[1].starts_with("garbage.plist: not a property list")) << messages[1];
    EXPECT_EQ(messages[2], "list.plist: not a clip annotation: the property list is an Array, not a dictionary");
    EXPECT_EQ(messages[3], "folder: is a directory (use -r to walk it)");
}

TEST_F(Host, UsageAndBundleProblemsExitWithTwo) {
    EXPECT_EQ(run("").status, 2);
    for (const auto& c : casesFrom("tools/bad-usage.txt", 1)) EXPECT_EQ(run(c[0]).status, 2) << c.where;
    const RunResult noBundle = run("-g " + quote((scratch_ / "None.mdimporter").string()) + " examples");
    EXPECT_EQ(noBundle.status, 2);
    EXPECT_NE(noBundle.err.find("None.mdimporter"), std::string::npos) << noBundle.err;
    EXPECT_EQ(noBundle.out, "");
}

TEST_F(Host, OtherBundleByPathAndListing) {
    const RunResult result = run("-L -g " + quote(OSSEL_BINARY_DIR "/OsselImporter.mdimporter"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("factory: 93DF8824-0F30-4F82-A1EF-3B6D8997B3A4 -> MetadataImporterPluginFactory\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("type: 8B08C4BF-415B-11D8-B3F9-0003936726FC\n"), std::string::npos);
    EXPECT_NE(result.out.find("content type: "), std::string::npos);
}

TEST_F(Host, TimingsAddSecondsAndNoProgressReachesAPipe) {
    const RunResult json = run("--json -t " + quote("examples/Ossel/Clips/2007/Allotment timelapse.plist"));
    EXPECT_EQ(json.status, 0);
    EXPECT_TRUE(std::regex_search(json.out, std::regex(R"(\}, "seconds": [0-9]+\.[0-9]{9}\}\n$)"))) << json.out;
    const RunResult listing = run("-t " + quote("examples/Ossel/Clips/2007/Allotment timelapse.plist"));
    EXPECT_TRUE(std::regex_search(listing.out, std::regex(R"(^examples/\S+/2007/Allotment timelapse\.plist \(imported in [0-9.]+ ms\)\n)")))
        << listing.out;
    EXPECT_EQ(json.err + listing.err, "");
}
