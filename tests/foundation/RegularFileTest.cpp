#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/PropertyList.h"
#include "support/SpecialFiles.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using namespace ossel::testing;
namespace fs = std::filesystem;

namespace {

using RegularFileTest = TestEnvironment;

bool logMentions(const std::vector<std::string>& log, const std::string& text) {
    return std::ranges::any_of(log, [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

}  // namespace

// Every place of the foundation that reads a file, each kind of special file in
// its way: refused at once with the reason, never blocking, never reading on.
TEST_F(RegularFileTest, EveryReaderRefusesSpecialFilesWithoutBlocking) {
    const std::string file = pathIn("file");
    const std::string resources = pathIn("resources");
    fs::create_directories(resources);
    for (const auto& special : specialFiles()) {
        const bool absent = special.kind == FileErrorKind::notFound;
        makeSpecialFile(special, file);
        withinSeconds(5, special.name + " read directly", [&] {
            std::vector<uint8_t> bytes;
            FileError error;
            EXPECT_FALSE(readRegularFile(file, fileSizeLimit(), bytes, &error)) << special.name;
            EXPECT_EQ(error.kind, special.kind) << special.name;
            EXPECT_EQ(error.message, special.reason) << special.name;
            std::string message;
            EXPECT_EQ(readPropertyListFromFile(file, &message), nullptr) << special.name;
            EXPECT_EQ(message, special.reason) << special.name;
            // Only the size does not matter to a look at the start of a file.
            EXPECT_EQ(readRegularFileHead(file, 8, bytes), special.kind == FileErrorKind::tooLarge) << special.name;
        });

        // Set without the C library's tzset, which would block on a FIFO itself.
        withinSeconds(5, special.name + " as the time zone file", [&] {
            ::setenv("TZ", (":" + file).c_str(), 1);
            TimeZone::resetSystemTimeZone();
            EXPECT_EQ(TimeZone::systemTimeZone()->secondsFromGMTForDate(0), 0) << special.name;
            ::setenv("TZ", "Europe/Paris", 1);
            TimeZone::resetSystemTimeZone();
        });

        for (const char* table : {"T.strings", "T.plist"}) {
            makeSpecialFile(special, resources + "/" + table);
            withinSeconds(5, special.name + " as " + table, [&] {
                setResourcesDirectory(resources);
                EXPECT_EQ(localizedString("key", "T"), "key") << special.name;
                EXPECT_EQ(logMentions(takeLog(), special.reason), !absent) << special.name << " " << table;
            });
            fs::remove_all(resources + "/" + table);
        }

        // The store itself: reads as empty, and is left alone by writes.
        makeSpecialFile(special, defaultsPath());
        withinSeconds(5, special.name + " as the defaults store", [&] {
            UserDefaults defaults(defaultsPath());
            EXPECT_EQ(defaults.objectForKey("a"), nullptr) << special.name;
            EXPECT_EQ(defaults.setInteger(1, "a"), absent) << special.name;
            EXPECT_EQ(logMentions(takeLog(), special.reason), !absent) << special.name;
        });
        fs::remove_all(defaultsPath());

        // Its lock and temporary files: a lock that is no regular file stops a write, and so
        // does a directory where the temporary file goes; anything else there is replaced.
        for (const char* suffix : {".lock", ".tmp"}) {
            const bool refused = std::string(suffix) == ".lock" ? special.kind != FileErrorKind::tooLarge && !absent
                                                                : special.name == "directory";
            makeSpecialFile(special, defaultsPath() + suffix);
            withinSeconds(5, special.name + " as the defaults store's " + suffix, [&] {
                EXPECT_EQ(UserDefaults(defaultsPath()).setInteger(2, "a"), !refused) << special.name << suffix;
                takeLog();
            });
            fs::remove_all(defaultsPath() + suffix);
        }
    }
}

TEST(RegularFile, SizeLimitsAndIdentityFollowTheFile) {
    const ScratchDir dir;
    const std::string big = dir.write("big", std::string(4096, 'x'));
    std::vector<uint8_t> bytes;
    FileError error;
    FileIdentity identity;
    EXPECT_TRUE(readRegularFile(big, 4096, bytes, &error, &identity));
    EXPECT_EQ(bytes, std::vector<uint8_t>(4096, 'x'));
    EXPECT_EQ(identity, fileIdentityAtPath(big));
    EXPECT_FALSE(readRegularFile(big, 4095, bytes, &error));
    EXPECT_EQ(error.kind, FileErrorKind::tooLarge);
    EXPECT_EQ(error.message, "is 4096 bytes, larger than the limit of 4095 bytes");
    EXPECT_TRUE(readRegularFileHead(big, 10, bytes));
    EXPECT_EQ(bytes.size(), 10u);

    // A replacement by rename is a new identity even with the same size.
    fs::rename(dir.write("next", std::string(4096, 'y')), big);
    EXPECT_NE(fileIdentityAtPath(big), identity);
    EXPECT_EQ(fileIdentityAtPath(dir / "absent"), std::nullopt);
    const auto renamed = fileIdentityAtPath(big);
    const timespec farOff[2] = {{0, UTIME_OMIT}, {int64_t(14200000000), 0}};  // the year 2420
    ASSERT_EQ(::utimensat(AT_FDCWD, big.c_str(), farOff, 0), 0);
    EXPECT_NE(fileIdentityAtPath(big), renamed);

    if (::geteuid() != 0) {  // root reads anything
        ::chmod(big.c_str(), 0);
        EXPECT_FALSE(readRegularFile(big, 1 << 20, bytes, &error));
        EXPECT_EQ(error.kind, FileErrorKind::permissionDenied);
    }
    {
        const ScopedEnv file("OSSEL_MAX_FILE_MIB", "3"), catalog("OSSEL_MAX_CATALOG_MIB", "not a number");
        EXPECT_EQ(fileSizeLimit(), 3u << 20);
        EXPECT_EQ(catalogSizeLimit(), 512u << 20);
    }
    const ScopedEnv unset("OSSEL_MAX_FILE_MIB", std::nullopt);
    EXPECT_EQ(fileSizeLimit(), 64u << 20);
}
