// ossel-plcat, the stand-in host of the demo: descriptions of good files on
// standard output, one "path: reason" line per bad file, exit 1 when any failed.
#include <gtest/gtest.h>

#include <tuple>

#include "support/Run.h"
#include "support/SpecialFiles.h"

namespace fs = std::filesystem;

namespace {

ossel::testing::RunResult plcat(const std::string& arguments) {
    return ossel::testing::runShell(OSSEL_BINARY_DIR "/ossel-plcat " + arguments);
}

}  // namespace

TEST(PropertyListTool, PrintsGoodFilesAndNamesEachBadOne) {
    const ossel::testing::ScratchDir dir;
    const std::string good = dir.write("sub/good.plist", "<plist><dict><key>name</key><string>Ann Lee</string></dict></plist>");
    dir.write("bad.xml", "<plist><integer>12abc</integer></plist>");
    dir.write("notes.txt", "not a property list, and not looked at");

    auto run = plcat("'" + dir.path().string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("name = \"Ann Lee\";"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, (dir / "bad.xml").string() + ": line 1: not an integer: <integer>12abc</integer>\n");
    run = plcat("'" + good + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    run = plcat("'" + (dir / "missing.plist").string() + "' '" + good + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("missing.plist: No such file or directory"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("Ann Lee"), std::string::npos) << "keeps going after a bad file";

    // Named, a special file is refused with its reason (a directory named is searched);
    // met in a directory, passed over.
    for (const auto& special : ossel::testing::specialFiles()) {
        const fs::path file = dir / "sub" / "special.plist";
        ossel::testing::makeSpecialFile(special, file);
        ossel::testing::withinSeconds(10, special.name + " shown by ossel-plcat", [&] {
            run = plcat("'" + file.string() + "' '" + (dir / "sub").string() + "'");
            EXPECT_NE(run.out.find("Ann Lee"), std::string::npos) << special.name;
            if (special.name != "directory") {
                EXPECT_EQ(run.status, 1) << special.name;
                EXPECT_EQ(run.err, file.string() + ": " + special.reason + "\n") << special.name;
            } else {
                EXPECT_EQ(run.status, 0) << run.err;
            }
        });
        fs::remove_all(file);
    }

    for (const auto& [arguments, status, help] : {std::tuple{"", 2, false}, {"--bogus", 2, false}, {"--help", 0, true}}) {
        run = plcat(arguments);
        EXPECT_EQ(run.status, status) << arguments;
        EXPECT_EQ(run.out.find("OSSEL_MAX_FILE_MIB") != std::string::npos, help) << arguments;
        EXPECT_EQ(run.err.find("usage: ossel-plcat") != std::string::npos, !help) << arguments;
    }
}
