// Files written by Python's plistlib read by us, and ours read by plistlib: an
// independent implementation of both formats to check against. Skipped when
// python3 is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

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

using namespace ossel;
namespace fs = std::filesystem;

namespace {

// Runs a Python program after the definition of `value` below and returns what it printed.
std::string runPython(const std::string& program) {
    const std::string value = R"(
import datetime, plistlib
value = {
    "string": "héllo 😀 <&>", "empty": "", "int": -5, "int64 min": -2**63, "2^63": 2**63, "uint64 max": 2**64 - 1,
    "real": 0.1, "huge": 1.7976931348623157e308, "yes": True, "no": False,
    "old": datetime.datetime(1850, 1, 1), "future": datetime.datetime(2150, 12, 31, 23, 59, 59),
    "data": bytes(range(256)), "array": [1, "two", [3.5, {}], []], "dict": {"k": "v", "nested": {"deeper": [True]}},
    "Beta": "upper case sorts first", "_": "", "\u00e9": "non-ASCII sorts last",
}
)";
    std::string output;
    if (FILE* pipe = ::popen(("python3 - 2>&1 <<'PYTHON'\n" + value + program + "\nPYTHON").c_str(), "r")) {
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
    const fs::path dir = fs::temp_directory_path() / ("ossel-interop-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string xml = (dir / "py.xml").string(), binary = (dir / "py.bin").string(), ours = (dir / "ours.plist").string();
    ASSERT_EQ(runPython("open('" + xml + "', 'wb').write(plistlib.dumps(value))\n"
                        "open('" + binary + "', 'wb').write(plistlib.dumps(value, fmt=plistlib.FMT_BINARY))\n"
                        "print('written')"),
              "written\n");
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
    EXPECT_EQ(runPython("raw = open('" + ours + "', 'rb').read()\n"
                        "print('equal' if plistlib.loads(raw) == value else 'different')\n"
                        "print('same bytes' if plistlib.dumps(value) == raw else raw.decode())"),
              "equal\nsame bytes\n");
    fs::remove_all(dir);
}

// Writers refer to one container from everywhere it appears: plistlib does so for a
// list or dictionary given more than once. Heavy sharing reads; a file whose sharing
// would build a tree of 2^40 objects is refused.
TEST(PropertyListInterop, SharedContainersFromPlistlib) {
    if (std::system("python3 -c 'import plistlib' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3 with plistlib";
    const fs::path dir = fs::temp_directory_path() / ("ossel-shared-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string small = (dir / "small").string(), large = (dir / "large").string(), bomb = (dir / "bomb").string();
    ASSERT_EQ(runPython("b = lambda v: plistlib.dumps(v, fmt=plistlib.FMT_BINARY)\n"
                        "open('" + small + "', 'wb').write(b([{'a': [1]}] * 100))\n"
                        "open('" + large + "', 'wb').write(b([{'a': list(range(1000))}] * 5000))\n"
                        "x = 'leaf'\n"
                        "for _ in range(40): x = [x, x]\n"
                        "open('" + bomb + "', 'wb').write(b(x))\n"
                        "print(len(b([{'a': [1]}] * 100)))"),
              "157\n");
    for (const auto& [path, count, items, lastItem] : {std::tuple{small, 100u, 1u, 1}, std::tuple{large, 5000u, 1000u, 999}}) {
        std::string error;
        const auto list = kindCast<Array>(readPropertyListFromFile(path, &error));
        ASSERT_TRUE(list) << error;
        ASSERT_EQ(list->count(), count);
        const auto last = kindCast<Dictionary>(list->objectAtIndex(count - 1));
        ASSERT_TRUE(last);
        EXPECT_EQ(last->objectForKeyAs<Array>("a")->count(), items);
        EXPECT_EQ(kindCast<Number>(last->objectForKeyAs<Array>("a")->objectAtIndex(items - 1))->longLongValue(), lastItem);
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readRegularFile(bomb, 1 << 20, bytes));
    PropertyListError error;
    EXPECT_FALSE(readPropertyList(bytes, &error));
    EXPECT_EQ(error.kind, PropertyListErrorKind::tooManyObjects);
    fs::remove_all(dir);
}
