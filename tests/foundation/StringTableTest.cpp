#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/StringTable.h"

using namespace ossel;
namespace fs = std::filesystem;

namespace {

class StringTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "strings-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        setResourcesDirectory(dir_);
    }
    void TearDown() override {
        setResourcesDirectory("");
        fs::remove_all(dir_);
    }
    // Writes a table and names the directory again, which drops tables loaded before.
    void writeTable(const std::string& file, const std::string& bytes) {
        std::ofstream(dir_ + "/" + file, std::ios::binary) << bytes;
        setResourcesDirectory(dir_);
    }
    static std::string utf16(const std::u16string& text, bool bigEndian) {
        std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t unit : text) {
            const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
            out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
        }
        return out;
    }
    std::string dir_;
};

}  // namespace

TEST_F(StringTableTest, MissingDirectoryTableOrKeyGivesFallbackElseKey) {
    setResourcesDirectory("");
    EXPECT_EQ(localizedString("Bad frames", "GravelmothDV"), "Bad frames");
    setResourcesDirectory(dir_);
    EXPECT_EQ(localizedString("Bad frames", "NoSuchTable"), "Bad frames");
    EXPECT_EQ(localizedString("Bad frames", "NoSuchTable", "other"), "other");
    writeTable("T.strings", "\"a\" = \"b\";");
    EXPECT_EQ(localizedString("a", "T"), "b");
    EXPECT_EQ(localizedString("a", "T", "fallback"), "b");
    EXPECT_EQ(localizedString("z", "T", "fallback"), "fallback");
    EXPECT_EQ(localizedString("z", "T", ""), "z");
    EXPECT_EQ(resourcesDirectory(), dir_);
}

TEST_F(StringTableTest, ParsesCommentsEscapesAndUnquotedTokens) {
    writeTable("T.strings",
               "/* A block comment\n   over lines with \"quotes\" = \"x\"; */\n"
               "// a line comment \"k\" = \"v\";\n"
               "\"quote\" = \"say \\\"hi\\\"\";\n"
               "\"slash\"=\"a\\\\b\";  \"lines\" = \"one\\ntwo\\tcol\";\n"
               "\"unicode\" = \"caf\\U00e9 \\u20AC \\UD83D\\UDE00\";\n"
               "\"octal\" = \"\\101\";\n"
               "bare_key = bare.value-1;\n"
               "\"alone\";\n"
               "\"utf8 k\u00e9y\" = \"\u00fcber\" /* trailing */ ;\n"
               "\"dup\" = \"first\"; \"dup\" = \"second\";\n");
    EXPECT_EQ(localizedString("quote", "T"), "say \"hi\"");
    EXPECT_EQ(localizedString("slash", "T"), "a\\b");
    EXPECT_EQ(localizedString("lines", "T"), "one\ntwo\tcol");
    EXPECT_EQ(localizedString("unicode", "T"), "caf\u00e9 \u20ac \U0001F600");
    EXPECT_EQ(localizedString("octal", "T"), "A");
    EXPECT_EQ(localizedString("bare_key", "T"), "bare.value-1");
    EXPECT_EQ(localizedString("alone", "T", "fb"), "alone");
    EXPECT_EQ(localizedString("utf8 k\u00e9y", "T"), "\u00fcber");
    EXPECT_EQ(localizedString("dup", "T"), "second");
    EXPECT_EQ(localizedString("k", "T", "fb"), "fb");
    EXPECT_EQ(localizedString("over lines with ", "T", "fb"), "fb");
}

TEST_F(StringTableTest, ReadsUtf16InBothByteOrdersAndUtf8WithMark) {
    const std::u16string text = u"\"gr\u00fc\u00df\" = \"\u00e9t\u00e9 \U0001F3A5\";";
    writeTable("LE.strings", utf16(text, false));
    writeTable("BE.strings", utf16(text, true));
    writeTable("BOM.strings", "\xEF\xBB\xBF\"k\" = \"v\";");
    EXPECT_EQ(localizedString("gr\u00fc\u00df", "LE"), "\u00e9t\u00e9 \U0001F3A5");
    EXPECT_EQ(localizedString("gr\u00fc\u00df", "BE"), "\u00e9t\u00e9 \U0001F3A5");
    EXPECT_EQ(localizedString("k", "BOM"), "v");
}

TEST_F(StringTableTest, MalformedTablesAreRefusedWhole) {
    const char* broken[] = {
        "\"a\" = \"b\";\n\"c\" = \"d\"",       // missing semicolon at the end
        "\"a\" = \"b\";\n\"c\" = \"unterminated;",  // unterminated string
        "\"a\" = \"b\"; /* never closed",          // unterminated comment
        "\"a\" = ;",                                // missing value
        "\"a\" \"b\";",                             // missing equals sign
        "= \"b\";",                                 // missing key
        "\"a\" = \"b\\",                            // escape at end of file
    };
    int n = 0;
    for (const char* text : broken) {
        const std::string table = "Broken" + std::to_string(n++);
        writeTable(table + ".strings", text);
        EXPECT_EQ(localizedString("a", table), "a") << text;
    }
}

TEST_F(StringTableTest, TablesAreLoadedOnceAndCached) {
    writeTable("T.strings", "\"a\" = \"first\";");
    EXPECT_EQ(localizedString("a", "T"), "first");
    std::ofstream(dir_ + "/T.strings", std::ios::binary) << "\"a\" = \"second\";";
    EXPECT_EQ(localizedString("a", "T"), "first");
    fs::remove(dir_ + "/T.strings");
    EXPECT_EQ(localizedString("a", "T"), "first");
    setResourcesDirectory(dir_);
    EXPECT_EQ(localizedString("a", "T"), "a");
}

TEST_F(StringTableTest, PropertyListTablesAreDictionariesOfTexts) {
    writeTable("P.plist",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>Bad hours</key><string>Heures invalides</string>"
               "<key>number</key><integer>3</integer></dict></plist>\n");
    EXPECT_EQ(localizedString("Bad hours", "P"), "Heures invalides");
    EXPECT_EQ(localizedString("number", "P"), "number");  // not a text: no translation
    writeTable("Both.strings", "\"k\" = \"from strings\";");
    writeTable("Both.plist", "<plist version=\"1.0\"><dict><key>k</key><string>from plist</string></dict></plist>");
    EXPECT_EQ(localizedString("k", "Both"), "from strings");
    writeTable("Array.plist", "<plist version=\"1.0\"><array><string>k</string></array></plist>");
    EXPECT_EQ(localizedString("k", "Array"), "k");
}

// The directory comes from OSSEL_RESOURCES when the process starts without one set;
// this process has set its own, so the check runs in a fresh copy of the test program.
TEST_F(StringTableTest, ResourcesDirectoryComesFromTheEnvironment) {
    writeTable("T.strings", "\"a\" = \"from the environment\";");
    const std::string command = "OSSEL_STRING_TABLE_CHILD=1 OSSEL_RESOURCES='" + dir_ +
                                "' '" + fs::read_symlink("/proc/self/exe").string() + "' --gtest_filter=StringTableEnvironmentChild.* >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(StringTableEnvironmentChild, ReadsTheDirectoryFromTheEnvironment) {
    if (!std::getenv("OSSEL_STRING_TABLE_CHILD")) GTEST_SKIP() << "runs in the child started by the test above";
    EXPECT_EQ(resourcesDirectory(), std::getenv("OSSEL_RESOURCES"));
    EXPECT_EQ(localizedString("a", "T"), "from the environment");
}
