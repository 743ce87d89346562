// Files written by Python's plistlib read by us, and ours read by plistlib: an
// independent implementation of both formats to check against. Skipped when
// python3 is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "foundation/String.h"

using namespace ossel;
namespace fs = std::filesystem;

namespace {

bool havePython() { return std::system("python3 -c 'import plistlib' >/dev/null 2>&1") == 0; }

// Runs a Python program and returns what it printed.
std::string runPython(const std::string& program) {
    const fs::path script = fs::temp_directory_path() / ("ossel-plist-interop-" + std::to_string(::getpid()) + ".py");
    std::ofstream(script) << program;
    std::string output;
    if (FILE* pipe = ::popen(("python3 " + script.string() + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        ::pclose(pipe);
    }
    fs::remove(script);
    return output;
}

// The same value in Python and in our objects.
const char* kPythonValue = R"(
import datetime, math
value = {
    "string": "héllo 😀 <&>", "empty": "", "spaces": "  a  ",
    "int": -5, "zero": 0, "int64 min": -2**63, "int64 max": 2**63 - 1, "2^63": 2**63, "uint64 max": 2**64 - 1,
    "real": 0.1, "negative real": -1234.5e-7, "huge": 1.7976931348623157e308,
    "yes": True, "no": False,
    "date": datetime.datetime(2006, 3, 14, 10, 22, 5), "old": datetime.datetime(1850, 1, 1),
    "future": datetime.datetime(2150, 12, 31, 23, 59, 59),
    "data": bytes(range(256)), "no data": b"",
    "array": [1, "two", [3.5, {}], []], "dict": {"k": "v", "nested": {"deeper": [True]}},
}
)";

Ref<Object> ourValue() {
    auto d = Dictionary::make();
    d->setObject(str("héllo 😀 <&>"), "string");
    d->setObject(str(""), "empty");
    d->setObject(str("  a  "), "spaces");
    d->setObject(Number::withInt(-5), "int");
    d->setObject(Number::withInt(0), "zero");
    d->setObject(Number::withInt(std::numeric_limits<int64_t>::min()), "int64 min");
    d->setObject(Number::withInt(std::numeric_limits<int64_t>::max()), "int64 max");
    d->setObject(Number::withUnsigned(uint64_t(1) << 63), "2^63");
    d->setObject(Number::withUnsigned(std::numeric_limits<uint64_t>::max()), "uint64 max");
    d->setObject(Number::withDouble(0.1), "real");
    d->setObject(Number::withDouble(-1234.5e-7), "negative real");
    d->setObject(Number::withDouble(1.7976931348623157e308), "huge");
    d->setObject(Number::withBool(true), "yes");
    d->setObject(Number::withBool(false), "no");
    d->setObject(Date::withTimeIntervalSinceReferenceDate(164024525), "date");
    d->setObject(Date::withTimeIntervalSinceReferenceDate(-4765132800.0), "old");
    d->setObject(Date::withTimeIntervalSinceReferenceDate(4733510399.0), "future");
    std::vector<uint8_t> bytes(256);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    d->setObject(Data::make(bytes), "data");
    d->setObject(Data::make({}), "no data");
    d->setObject(Array::make({Number::withInt(1), str("two"), Array::make({Number::withDouble(3.5), Dictionary::make()}),
                              Array::make()}),
                 "array");
    auto nested = Dictionary::make();
    nested->setObject(Array::make({Number::withBool(true)}), "deeper");
    auto inner = Dictionary::make();
    inner->setObject(str("v"), "k");
    inner->setObject(nested, "nested");
    d->setObject(inner, "dict");
    return d;
}

class PropertyListInterop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!havePython()) GTEST_SKIP() << "python3 with plistlib is not installed";
        dir_ = fs::temp_directory_path() / ("ossel-interop-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    fs::path dir_;
};

}  // namespace

TEST_F(PropertyListInterop, WeReadWhatPlistlibWritesInBothFormats) {
    const std::string xml = (dir_ / "py.xml").string(), binary = (dir_ / "py.bin").string();
    const std::string out = runPython(std::string(kPythonValue) + "import plistlib\n" +
                                      "open('" + xml + "', 'wb').write(plistlib.dumps(value))\n" +
                                      "open('" + binary + "', 'wb').write(plistlib.dumps(value, fmt=plistlib.FMT_BINARY))\n"
                                      "print('written')\n");
    ASSERT_EQ(out, "written\n");
    const Ref<Object> expected = ourValue();
    for (const auto& path : {xml, binary}) {
        std::string error;
        const Ref<Object> read = readPropertyListFromFile(path, &error);
        ASSERT_TRUE(read) << path << ": " << error;
        EXPECT_TRUE(expected->isEqual(read.get())) << path << "\n" << read->description();
        const auto d = kindCast<Dictionary>(read);
        EXPECT_EQ(d->objectForKeyAs<Number>("yes")->kind(), Number::Kind::Bool);
        EXPECT_EQ(d->objectForKeyAs<Number>("uint64 max")->kind(), Number::Kind::UInt);
        EXPECT_EQ(d->objectForKeyAs<Number>("real")->kind(), Number::Kind::Double);
    }
}

TEST_F(PropertyListInterop, PlistlibReadsWhatWeWriteAndLaysItOutTheSame) {
    const std::string ours = (dir_ / "ours.plist").string();
    std::string error;
    ASSERT_TRUE(writePropertyListToFile(ourValue().get(), ours, true, &error)) << error;
    // Byte-for-byte the layout plistlib produces for the same value (it sorts keys too).
    const std::string out = runPython(std::string(kPythonValue) + "import plistlib\n" +
                                      "raw = open('" + ours + "', 'rb').read()\n"
                                      "print('equal' if plistlib.loads(raw) == value else 'different')\n"
                                      "print('same bytes' if plistlib.dumps(value) == raw else raw.decode())\n");
    EXPECT_EQ(out, "equal\nsame bytes\n");
}
