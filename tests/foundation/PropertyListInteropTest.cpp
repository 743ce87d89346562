// Files written by Python's plistlib read by us, and ours read by plistlib: an
// independent implementation of both formats to check against. Skipped when
// python3 is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <tuple>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "foundation/RegularFile.h"
#include "foundation/String.h"
#include "support/Scratch.h"

using namespace ossel;
namespace fs = std::filesystem;

namespace {

// Runs the plistlib side of the test with its arguments and returns what it printed.
std::string runPython(const std::string& arguments) {
    const std::string command = "python3 " OSSEL_TEST_DATA "/foundation/plistlib-interop.py " + arguments + " 2>&1";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
        ::pclose(pipe);
    }
    return output;
}

Ref<Object> ourValue() {
    std::vector<uint8_t> bytes(256);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    auto nested = Dictionary::make();
    nested->setObject(Array::make({Number::withBool(true)}), "deeper");
    auto inner = Dictionary::make();
    inner->setObject(str("v"), "k");
    inner->setObject(nested, "nested");
    auto d = Dictionary::make();
    const std::pair<const char*, Ref<Object>> entries[] = {
        {"string", str("héllo 😀 <&>")}, {"empty", str("")}, {"int", Number::withInt(-5)},
        {"int64 min", Number::withInt(INT64_MIN)}, {"2^63", Number::withUnsigned(uint64_t(1) << 63)},
        {"uint64 max", Number::withUnsigned(UINT64_MAX)}, {"real", Number::withDouble(0.1)},
        {"huge", Number::withDouble(1.7976931348623157e308)}, {"yes", Number::withBool(true)},
        {"no", Number::withBool(false)}, {"old", Date::withTimeIntervalSinceReferenceDate(-4765132800.0)},
        {"future", Date::withTimeIntervalSinceReferenceDate(4733510399.0)}, {"data", Data::make(bytes)},
        {"array", Array::make({Number::withInt(1), str("two"), Array::make({Number::withDouble(3.5), Dictionary::make()}),
                               Array::make()})},
        {"dict", inner}, {"Beta", str("upper case sorts first")}, {"_", str("")}, {"\u00e9", str("non-ASCII sorts last")},
    };
    for (const auto& [key, value] : entries) d->setObject(value, key);
    return d;
}

}  // namespace

TEST(PropertyListInterop, BothWaysWithPlistlibInBothFormats) {
    if (std::system("python3 -c 'import plistlib' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3 with plistlib";
    const ossel::testing::ScratchDir dir;
    const std::string xml = (dir / "py.xml").string(), binary = (dir / "py.bin").string(), ours = (dir / "ours.plist").string();
    ASSERT_EQ(runPython("write " + xml + " " + binary), "written\n");
    const Ref<Object> expected = ourValue();
    for (const auto& path : {xml, binary}) {
        std::string error;
        const auto read = kindCast<Dictionary>(readPropertyListFromFile(path, &error));
        ASSERT_TRUE(read) << path << ": " << error;
        EXPECT_TRUE(expected->isEqual(read.get())) << path << "\n" << read->description();
        EXPECT_EQ(read->objectForKeyAs<Number>("yes")->kind(), Number::Kind::Bool);
        EXPECT_EQ(read->objectForKeyAs<Number>("uint64 max")->kind(), Number::Kind::UInt);
        EXPECT_EQ(read->objectForKeyAs<Number>("real")->kind(), Number::Kind::Double);
    }
    // Ours reads back in plistlib, laid out byte for byte as plistlib lays out the same value (it sorts keys too).
    std::string error;
    ASSERT_TRUE(writePropertyListToFile(expected.get(), ours, true, &error)) << error;
    EXPECT_EQ(runPython("check " + ours), "equal\nsame bytes\n");
}
