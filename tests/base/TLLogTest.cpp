#include <gtest/gtest.h>

#include <cmath>
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
#include "ids/TLDVClipSequenceId.h"

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

TEST(TLEquals, NilSafeEqualityAlwaysAsksTheFirstObject) {
    const Ref<Object> one = Number::withInt(1), text = str("1");
    // Not equal to itself: even the same object is asked.
    const Ref<Object> undated = std::make_shared<TLDVClipSequenceId>("host", 1, std::nan(""));
    const struct {
        Ref<Object> a, b;
        bool equal;
    } cases[] = {{nullptr, nullptr, true},          {one, nullptr, false},      {nullptr, one, false},
                 {one, Number::withDouble(1.0), true}, {one, Number::withInt(2), false}, {one, text, false},
                 {undated, undated, false},
                 {Array::make({one, text}), Array::make({Number::withDouble(1.0), str("1")}), true}};
    for (const auto& c : cases) {
        EXPECT_EQ(TLObjectsAreNilOrEqual(c.a, c.b), c.equal) << (c.a ? c.a->description() : "nil");
        EXPECT_EQ(TLEquals::isObjectEqualTo(c.a.get(), c.b.get()), c.equal);
    }
}
