#include <gtest/gtest.h>

#include <cstdlib>

#include "foundation/StringTable.h"
#include "support/Cases.h"
#include "support/Scratch.h"

using namespace ossel;
namespace fs = std::filesystem;

namespace {

class StringTableTest : public ::testing::Test {
protected:
    void SetUp() override { setResourcesDirectory(dir_.path()); }
    void TearDown() override { setResourcesDirectory(""); }
    // Writes a table and names the directory again, which drops tables loaded before.
    void writeTable(const std::string& file, const std::string& bytes) {
        dir_.write(file, bytes);
        setResourcesDirectory(dir_.path());
    }
    ossel::testing::ScratchDir dir_;
};

}  // namespace

TEST_F(StringTableTest, MissingTableOrKeyGivesFallbackElseKeyAndTablesAreCached) {
    EXPECT_EQ(localizedString("Bad frames", "NoSuchTable"), "Bad frames");
    EXPECT_EQ(localizedString("Bad frames", "NoSuchTable", "other"), "other");
    writeTable("T.strings", "\"a\" = \"first\";");
    EXPECT_EQ(localizedString("a", "T", "fallback"), "first");
    EXPECT_EQ(localizedString("z", "T", "fallback"), "fallback");
    EXPECT_EQ(localizedString("z", "T", ""), "z");
    fs::remove(dir_ / "T.strings");
    EXPECT_EQ(localizedString("a", "T"), "first");
    setResourcesDirectory(dir_.path());
    EXPECT_EQ(localizedString("a", "T"), "a");
}

TEST_F(StringTableTest, ParsesCommentsEscapesUnquotedTokensAndUtf16) {
    writeTable("T.strings", ossel::testing::fileContent(OSSEL_TEST_DATA "/foundation/escapes.strings"));
    EXPECT_EQ(localizedString("quote", "T"), "say \"hi\" a\\b\n\tA");
    EXPECT_EQ(localizedString("unicode", "T"), "caf\u00e9 \u20ac \U0001F600");
    EXPECT_EQ(localizedString("bare_key", "T"), "bare.value-1");
    EXPECT_EQ(localizedString("alone", "T", "fb"), "alone");
    EXPECT_EQ(localizedString("k\u00e9y", "T"), "\u00fcber");
    EXPECT_EQ(localizedString("dup", "T"), "second");
    EXPECT_EQ(localizedString("k", "T", "fb"), "fb");
    // "\"é\" = \"🎥\";" in UTF-16, both byte orders.
    const std::string le("\xFF\xFE\"\0\xE9\0\"\0=\0\"\0\x3C\xD8\xA5\xDF\"\0;\0", 20);
    std::string be = "\xFE\xFF";
    for (size_t i = 2; i < le.size(); i += 2) be += std::string{le[i + 1], le[i]};
    writeTable("LE.strings", le);
    writeTable("BE.strings", be);
    EXPECT_EQ(localizedString("\u00e9", "LE"), "\U0001F3A5");
    EXPECT_EQ(localizedString("\u00e9", "BE"), "\U0001F3A5");
}

TEST_F(StringTableTest, MalformedTablesAreRefusedWholeAndPropertyListsNeedTexts) {
    for (const auto& c : ossel::testing::casesFrom("foundation/broken-string-tables.txt", 1)) {
        const std::string table = "Broken" + c.where.substr(c.where.rfind(':') + 1);
        writeTable(table + (c[0][0] == '<' ? ".plist" : ".strings"), c[0]);
        EXPECT_EQ(localizedString("a", table), "a") << c.where;
    }
    writeTable("P.plist", "<plist version=\"1.0\"><dict><key>Bad hours</key><string>Heures invalides</string>"
                          "<key>number</key><integer>3</integer></dict></plist>");
    EXPECT_EQ(localizedString("Bad hours", "P"), "Heures invalides");
    EXPECT_EQ(localizedString("number", "P"), "number");
    writeTable("P.strings", "\"Bad hours\" = \"from strings\";");
    EXPECT_EQ(localizedString("Bad hours", "P"), "from strings");
}

// The directory comes from OSSEL_RESOURCES when the process starts without one set;
// this process has set its own, so the check runs in a fresh copy of the test program.
TEST_F(StringTableTest, ResourcesDirectoryComesFromTheEnvironment) {
    writeTable("T.strings", "\"a\" = \"from the environment\";");
    const std::string command = "OSSEL_STRING_TABLE_CHILD=1 OSSEL_RESOURCES='" + dir_.path().string() + "' '" +
                                fs::read_symlink("/proc/self/exe").string() +
                                "' --gtest_filter=StringTableEnvironmentChild.* >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(StringTableEnvironmentChild, ReadsTheDirectoryFromTheEnvironment) {
    if (!std::getenv("OSSEL_STRING_TABLE_CHILD")) GTEST_SKIP() << "runs in the child started by the test above";
    EXPECT_EQ(localizedString("a", "T"), "from the environment");
}
