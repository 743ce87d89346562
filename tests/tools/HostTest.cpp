// The host's records and command line, end to end.

#include <regex>

#include "HostFixture.h"

using namespace ossel::testing;

namespace {

// The example clips with the example catalog three levels above them: people, places and
// events in the order of the clip's ids, unknown ids passed over, duplicates kept.
const std::vector<std::string> kExampleCatalogJson = {
    R"({"path": "examples/Ossel/Clips/2006/Harbour at dusk.plist", "imported": true, "attributes": {"kMDItemTitle": "Harbour at dusk", "kMDItemCreator": "Ossel", "kMDItemKind": "Ossel Clip", "kMDItemStarRating": 5, "kMDItemOsselVideoFormat": "DV PAL 16:9", "kMDItemDurationSeconds": 212.48, "kMDItemContentCreationDate": "2006-03-14T18:47:30Z", "kMDItemTextContent": "Low tide after six; bring the wide lens", "kMDItemKeywords": ["Ostrander", "Fenwick Harbour", "Scotland"]}})",
    R"({"path": "examples/Ossel/Clips/2006/Market stalls.plist", "imported": true, "attributes": {"kMDItemTitle": "Market stalls", "kMDItemDescription": "Handheld walk past the fish stalls.", "kMDItemCreator": "Ossel", "kMDItemKind": "Ossel Clip", "kMDItemStarRating": 2, "kMDItemOsselVideoFormat": "DV PAL 4:3", "kMDItemDurationSeconds": 95, "kMDItemContentCreationDate": "2006-07-08T09:15:00Z", "kMDItemTextContent": "ilse.varga@example.com", "kMDItemKeywords": ["Ilse", "Ilse", "Caldera Street Market", "Portugal", "Market day"]}})",
    R"({"path": "examples/Ossel/Clips/2006/Regatta start.plist", "imported": true, "attributes": {"kMDItemTitle": "Regatta start", "kMDItemDescription": "Boats line up behind the breakwater; gun at 10:22.", "kMDItemCreator": "Ossel", "kMDItemKind": "Ossel Clip", "kMDItemStarRating": 4, "kMDItemOsselVideoFormat": "DV PAL 4:3", "kMDItemDurationSeconds": 754.2, "kMDItemContentCreationDate": "2006-03-14T10:22:05Z", "kMDItemTextContent": "maren.holloway@example.org tq@example.net Low tide after six; bring the wide lens Heats on Saturday, final on Sunday", "kMDItemKeywords": ["Mo", "Maren", "Holloway", "Tobias", "Quennell", "Fenwick Harbour", "Scotland", "Regatta weekend"]}})",
    R"({"path": "examples/Ossel/Clips/2007/Allotment timelapse.plist", "imported": true, "attributes": {"kMDItemTitle": "Allotment timelapse", "kMDItemCreator": "Ossel", "kMDItemKind": "Ossel Clip", "kMDItemOsselVideoFormat": "DV PAL 16:9", "kMDItemDurationSeconds": 30, "kMDItemTextContent": "Plot 14, gate code on the fridge", "kMDItemKeywords": ["Brightwater Allotments"]}})",
    R"({"path": "examples/Ossel/Clips/2007/Birthday speeches.plist", "imported": true, "attributes": {"kMDItemTitle": "Birthday speeches", "kMDItemDescription": "Uncle's speech runs long; the cake arrives at 14:05.", "kMDItemCreator": "Ossel", "kMDItemKind": "Ossel Clip", "kMDItemStarRating": 3, "kMDItemOsselVideoFormat": "DV NTSC 4:3", "kMDItemDurationSeconds": 1321.5, "kMDItemContentCreationDate": "2007-05-19T13:58:12Z", "kMDItemTextContent": "tq@example.net maren.holloway@example.org Speeches after lunch", "kMDItemKeywords": ["Tobias", "Quennell", "Mo", "Maren", "Holloway", "Grandmother's ninetieth"]}})",
};

}  // namespace

TEST_F(Host, WalksTheExamplesAndSkipsTheCatalogFiles) {
    const RunResult result = run("--json -r examples");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.outLines(), kExampleCatalogJson);
    // The three catalog files are arrays: each noted once, none counted as a failure.
    const auto notes = result.errLines();
    ASSERT_EQ(notes.size(), 3u) << result.err;
    for (const auto& note : notes) EXPECT_NE(note.find(": skipped, not a clip annotation"), std::string::npos) << note;
}

TEST_F(Host, ListingShowsSortedAlignedAttributesInBlocksEndedByAnEmptyLine) {
    const std::string clip = quote("examples/Ossel/Clips/2006/Harbour at dusk.plist");
    const RunResult result = run(clip + " " + clip);
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string block =
        "examples/Ossel/Clips/2006/Harbour at dusk.plist\n"
        "kMDItemContentCreationDate = 2006-03-14 18:47:30 +0000\n"
        "kMDItemCreator             = \"Ossel\"\n"
        "kMDItemDurationSeconds     = 212.48\n"
        "kMDItemKeywords            = (\n"
        "    \"Ostrander\",\n"
        "    \"Fenwick Harbour\",\n"
        "    \"Scotland\"\n"
        ")\n"
        "kMDItemKind                = \"Ossel Clip\"\n"
        "kMDItemOsselVideoFormat    = \"DV PAL 16:9\"\n"
        "kMDItemStarRating          = 5\n"
        "kMDItemTextContent         = \"Low tide after six; bring the wide lens\"\n"
        "kMDItemTitle               = \"Harbour at dusk\"\n"
        "\n";
    EXPECT_EQ(result.out, block + block);
}

TEST_F(Host, ListingRendersListsTextsAndOtherTypes) {
    const fs::path clip = writeFile("c/d/e/clip.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>clipName</key><string>Say "cheese" \ now</string>
  <key>clipNotes</key><array><string>one</string><integer>2</integer></array>
  <key>clipRating</key><true/>
  <key>clipVideoFormat</key><data>AAEC</data>
</dict></plist>)");
    const RunResult result = run(quote(clip.string()));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.outLines(), (std::vector<std::string>{
                                     clip.string(),
                                     "kMDItemCreator          = \"Ossel\"",
                                     "kMDItemDescription      = (",
                                     "    \"one\",",
                                     "    2",
                                     ")",
                                     "kMDItemKind             = \"Ossel Clip\"",
                                     "kMDItemOsselVideoFormat = <000102>",
                                     "kMDItemStarRating       = 1",
                                     "kMDItemTitle            = \"Say \\\"cheese\\\" \\\\ now\"",
                                     "",
                                 }));
}

TEST_F(Host, JsonCarriesEveryValueKind) {
    const fs::path clip = writeFile("c/d/e/clip.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>clipName</key><string>Tab	and "quote"</string>
  <key>clipNotes</key><dict><key>k</key><array><false/><real>0.5</real></array></dict>
  <key>clipRating</key><true/>
  <key>clipVideoFormat</key><data>AAECAw==</data>
  <key>clipDurationInSeconds</key><integer>-3</integer>
  <key>clipShootingDate</key><date>1999-12-31T23:59:59Z</date>
</dict></plist>)");
    const RunResult result = run("--json " + quote(clip.string()));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"path\": \"" + clip.string() +
                  R"(", "imported": true, "attributes": {"kMDItemTitle": "Tab\tand \"quote\"", )"
                  R"("kMDItemDescription": {"k": [false, 0.5]}, "kMDItemCreator": "Ossel", "kMDItemKind": "Ossel Clip", )"
                  R"("kMDItemStarRating": true, "kMDItemOsselVideoFormat": "AAECAw==", "kMDItemDurationSeconds": -3, )"
                  R"("kMDItemContentCreationDate": "1999-12-31T23:59:59Z"}})"
                  "\n");
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
    for (const char* arguments : {"", "-x examples", "--frobnicate examples", "-g", "-j 0 examples", "-jx examples",
                                  "--timeout 0 examples", "--timeout=soon examples", "--max-memory 1 examples",
                                  "--failed", "--failed /nonexistent/dir/f examples"}) {
        EXPECT_EQ(run(arguments).status, 2) << arguments;
    }
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
