// Files written by Python's plistlib read by us, and what we read written back
// for plistlib to judge: an independent implementation of both formats to check
// against. Skipped when python3 is not installed.
#include <gtest/gtest.h>

#include <cstdlib>

#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "support/Run.h"

using namespace ossel;

namespace {

// Runs the plistlib side of the test with its arguments and returns what it printed.
std::string runPython(const std::string& arguments) {
    return ossel::testing::runShell("python3 " OSSEL_TEST_DATA "/foundation/plistlib-interop.py " + arguments + " 2>&1").out;
}

}  // namespace

TEST(PropertyListInterop, BothWaysWithPlistlibInBothFormats) {
    if (std::system("python3 -c 'import plistlib' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3 with plistlib";
    const ossel::testing::ScratchDir dir;
    const std::string xml = (dir / "py.xml").string(), binary = (dir / "py.bin").string(), ours = (dir / "ours.plist").string();
    ASSERT_EQ(runPython("write " + xml + " " + binary), "written\n");
    // The two files must read alike; plistlib then judges what we read by what we write of it.
    std::string error;
    const auto expected = kindCast<Dictionary>(readPropertyListFromFile(xml, &error));
    ASSERT_TRUE(expected) << error;
    const auto fromBinary = readPropertyListFromFile(binary, &error);
    EXPECT_TRUE(expected->isEqual(fromBinary.get())) << error;
    for (const auto& read : {expected, kindCast<Dictionary>(fromBinary)}) {
        ASSERT_TRUE(read);
        EXPECT_EQ(read->objectForKeyAs<Number>("yes")->kind(), Number::Kind::Bool);
        EXPECT_EQ(read->objectForKeyAs<Number>("uint64 max")->kind(), Number::Kind::UInt);
        EXPECT_EQ(read->objectForKeyAs<Number>("real")->kind(), Number::Kind::Double);
    }
    // Ours reads back in plistlib, laid out byte for byte as plistlib lays out the same value (it sorts keys too).
    ASSERT_TRUE(writePropertyListToFile(expected.get(), ours, true, &error)) << error;
    EXPECT_EQ(runPython("check " + ours), "equal\nsame bytes\n");
}
