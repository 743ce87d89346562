#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "base/TLEquals.h"
#include "foundation/Array.h"
#include "foundation/Number.h"
#include "support/TestEnvironment.h"

using namespace ossel;

using TLLogTest = ossel::testing::TestEnvironment;

TEST_F(TLLogTest, ErrorLinesAreFormattedAndEndWithExactlyOneNewline) {
    TLLogError("Error parsing timeCode in pList '%@' : %@", str("12:xx"), str("Bad hours"));
    TLLogError("%d items\n", 3);
    TLLogError("missing %@", static_cast<const Object*>(nullptr));
    EXPECT_EQ(takeLog(), (std::vector<std::string>{"Error parsing timeCode in pList '12:xx' : Bad hours\n", "3 items\n",
                                                   "missing (null)\n"}));
}

TEST_F(TLLogTest, MessagesFallBackToTheKeyAndUseTheirOwnTables) {
    EXPECT_EQ(TLLog::localizedString("Hours out of range"), "Hours out of range");
    EXPECT_EQ(mainBundleLocalizedString("No Name"), "No Name");
    writeStringTable("GravelmothDV.strings", "\"Hours out of range\" = \"Heures hors limites\";\n\"No Name\" = \"wrong table\";");
    writeStringTable("Localizable.strings", "\"No Name\" = \"Sans nom\";");
    EXPECT_EQ(TLLog::localizedString("Hours out of range"), "Heures hors limites");
    EXPECT_EQ(mainBundleLocalizedString("No Name"), "Sans nom");
    EXPECT_EQ(TLLog::localizedString("Not translated"), "Not translated");
}

TEST(TLEquals, NilSafeEqualityAlwaysAsksTheFirstObject) {
    const Ref<Object> one = Number::withInt(1), text = str("1");
    // Not equal to itself: even the same object is asked.
    const Ref<Object> undated = std::make_shared<TLDVClipSequenceId>("host", 1, std::nan(""));
    const std::tuple<Ref<Object>, Ref<Object>, bool> cases[] = {
        {nullptr, nullptr, true},          {one, nullptr, false},      {nullptr, one, false},
        {one, Number::withDouble(1.0), true}, {one, Number::withInt(2), false}, {one, text, false},
        {undated, undated, false},
        {Array::make({one, text}), Array::make({Number::withDouble(1.0), str("1")}), true}};
    for (const auto& [a, b, equal] : cases) {
        EXPECT_EQ(TLObjectsAreNilOrEqual(a, b), equal) << (a ? a->description() : "nil");
        EXPECT_EQ(TLEquals::isObjectEqualTo(a.get(), b.get()), equal);
    }
}
