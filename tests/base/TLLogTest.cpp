#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/TLEquals.h"
#include "base/TLLog.h"
#include "foundation/Array.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "foundation/StringTable.h"

using namespace ossel;
namespace fs = std::filesystem;

namespace {

class CapturedLog {
public:
    CapturedLog() {
        TLLog::setSinkForTesting([this](const std::string& line) { lines.push_back(line); });
    }
    ~CapturedLog() { TLLog::setSinkForTesting(nullptr); }
    std::vector<std::string> lines;
};

class ResourcesDirectory {
public:
    ResourcesDirectory() {
        std::string pattern = (fs::temp_directory_path() / "tllog-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        setResourcesDirectory(dir_);
    }
    ~ResourcesDirectory() {
        setResourcesDirectory("");
        fs::remove_all(dir_);
    }
    // Tables are cached once loaded; naming the directory again drops them.
    void reload() const { setResourcesDirectory(dir_); }
    void write(const std::string& name, const std::string& content) const {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << content;
    }

private:
    std::string dir_;
};

}  // namespace

TEST(TLLog, ErrorLinesAreFormattedAndEndWithExactlyOneNewline) {
    CapturedLog log;
    TLLogError("Error parsing timeCode in pList '%@' : %@", str("12:xx"), str("Bad hours"));
    TLLogError("%d items\n", 3);
    TLLogError("missing %@", static_cast<const Object*>(nullptr));
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[0], "Error parsing timeCode in pList '12:xx' : Bad hours\n");
    EXPECT_EQ(log.lines[1], "3 items\n");
    EXPECT_EQ(log.lines[2], "missing (null)\n");
}

TEST(TLLog, MessagesFallBackToTheKeyAndUseTheirOwnTables) {
    ResourcesDirectory resources;
    EXPECT_EQ(TLLog::localizedString("Hours out of range"), "Hours out of range");
    EXPECT_EQ(mainBundleLocalizedString("No Name"), "No Name");

    resources.write("GravelmothDV.strings", "\"Hours out of range\" = \"Heures hors limites\";\n\"No Name\" = \"wrong table\";");
    resources.write("Localizable.strings", "\"No Name\" = \"Sans nom\";");
    resources.reload();
    EXPECT_EQ(TLLog::localizedString("Hours out of range"), "Heures hors limites");
    EXPECT_EQ(mainBundleLocalizedString("No Name"), "Sans nom");
    EXPECT_EQ(TLLog::localizedString("Not translated"), "Not translated");
}

TEST(TLEquals, NilSafeEquality) {
    const auto one = Number::withInt(1);
    const auto oneReal = Number::withDouble(1.0);
    const auto two = Number::withInt(2);
    const auto text = str("1");
    EXPECT_TRUE(TLObjectsAreNilOrEqual(nullptr, nullptr));
    EXPECT_FALSE(TLObjectsAreNilOrEqual(one.get(), nullptr));
    EXPECT_FALSE(TLObjectsAreNilOrEqual(nullptr, one.get()));
    EXPECT_TRUE(TLObjectsAreNilOrEqual(one.get(), one.get()));
    EXPECT_TRUE(TLObjectsAreNilOrEqual(one.get(), oneReal.get()));
    EXPECT_FALSE(TLObjectsAreNilOrEqual(one.get(), two.get()));
    EXPECT_FALSE(TLObjectsAreNilOrEqual(one.get(), text.get()));
    EXPECT_TRUE(TLObjectsAreNilOrEqual(Ref<Object>(Array::make({one, text})), Ref<Object>(Array::make({oneReal, str("1")}))));
    EXPECT_TRUE(TLEquals::isObjectEqualTo(text.get(), str("1").get()));
    EXPECT_FALSE(TLEquals::isObjectEqualTo(text.get(), nullptr));
}
