#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "foundation/Array.h"
#include "foundation/Dictionary.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "support/Cases.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using namespace ossel::testing;
namespace fs = std::filesystem;
using UserDefaultsTest = TestEnvironment;

TEST_F(UserDefaultsTest, MissingFileReadsEmptyAndValueKindsRoundTripThroughTheFile) {
    const std::string path = pathIn("sub/dir/defaults.plist");
    UserDefaults writer(path);
    EXPECT_EQ(writer.objectForKey("a"), nullptr);
    EXPECT_EQ(writer.floatForKey("a"), 0.0f);
    EXPECT_FALSE(fs::exists(path));
    // The store is a property list: its own tests cover every kind of value.
    const std::vector<std::pair<std::string, Ref<Object>>> values = {
        {"int", Number::withInt(-9007199254740993LL)},
        {"list", Array::make({str("d/m/y \u00e9"), Number::withBool(true), Dictionary::make()})},
    };
    for (const auto& [key, value] : values) ASSERT_TRUE(writer.setObject(value, key)) << key;
    EXPECT_TRUE(writer.synchronize());
    UserDefaults reader(path);
    for (const auto& [key, value] : values) EXPECT_TRUE(value->isEqual(reader.objectForKey(key).get())) << key;
    EXPECT_EQ(reader.integerForKey("int"), -9007199254740993LL);
    // The directory was made; only the store, its backup and its lock file are left in it, no temporary.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"defaults.plist", "defaults.plist.backup", "defaults.plist.lock"}));
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(UserDefaultsTest, ConversionsFollowThePlatform) {
    UserDefaults defaults(defaultsPath());
    for (const auto& c : casesFrom("foundation/defaults-conversions.txt", 3)) {
        const auto value = readPropertyList({reinterpret_cast<const uint8_t*>(c[1].data()), c[1].size()});
        ASSERT_TRUE(value && defaults.setObject(value, "k")) << c.where;
        const std::string read = c[0] == "integer" ? std::to_string(defaults.integerForKey("k"))
                                 : c[0] == "bool"  ? std::to_string(defaults.boolForKey("k"))
                                                   : format("%g", defaults.doubleForKey("k"));
        EXPECT_EQ(read, c[2]) << c.where;
    }
    ASSERT_TRUE(defaults.setObject(Number::withFloat(0.1f), "k"));
    EXPECT_EQ(defaults.floatForKey("k"), 0.1f);
}

TEST_F(UserDefaultsTest, WritesChangeOnlyTheirKeyAndReadsSeeOtherWriters) {
    UserDefaults first(defaultsPath());
    UserDefaults second(defaultsPath());  // stands for another process: its own cache
    ASSERT_TRUE(first.setInteger(1, "a"));
    EXPECT_EQ(second.integerForKey("a"), 1);
    ASSERT_TRUE(second.setInteger(2, "b"));
    ASSERT_TRUE(first.setInteger(3, "a"));
    EXPECT_EQ(second.integerForKey("a"), 3);
    EXPECT_EQ(first.integerForKey("b"), 2);
    ASSERT_TRUE(first.removeObjectForKey("a"));
    EXPECT_EQ(second.objectForKey("a"), nullptr);
    ASSERT_TRUE(second.setObject(nullptr, "b"));
    EXPECT_EQ(first.objectForKey("b"), nullptr);
    ASSERT_TRUE(first.removeObjectForKey("never there"));
    // An edit made in place by another program is noticed as well.
    std::ofstream(defaultsPath()) << "<plist version=\"1.0\"><dict><key>a</key><integer>12345</integer></dict></plist>\n";
    EXPECT_EQ(first.integerForKey("a"), 12345);
}

TEST_F(UserDefaultsTest, ADamagedStoreIsPutAsideAndItsBackupTakesItsPlace) {
    for (const auto& c : casesFrom("foundation/damaged-stores.txt", 3)) {
        const std::string& damage = c[0];
        const auto expected = c[2] == "-" ? std::nullopt : std::optional<int64_t>(c.number(2));
        ASSERT_TRUE(UserDefaults(defaultsPath()).setInteger(41, "a"));
        if (c[1] == "no") fs::remove(defaultsPath() + ".backup");
        std::ofstream(defaultsPath(), std::ios::binary | std::ios::trunc) << damage;
        takeLog();
        UserDefaults defaults(defaultsPath());
        EXPECT_EQ(defaults.objectForKey("a") ? std::optional(defaults.integerForKey("a")) : std::nullopt, expected)
            << c.where;
        EXPECT_EQ(fileContent(defaultsPath() + ".corrupt"), damage) << c.where;
        const auto log = takeLog();
        ASSERT_EQ(log.size(), 1u) << c.where;
        EXPECT_NE(log[0].find(defaultsPath() + ".corrupt"), std::string::npos) << log[0];
        // The store is whole again: another process reads the same, and writes go on from there.
        EXPECT_EQ(storedInteger("a"), expected) << c.where;
        EXPECT_TRUE(defaults.setInteger(42, "b"));
        EXPECT_EQ(storedInteger("a"), expected) << c.where;
        EXPECT_TRUE(takeLog().empty());
        fs::remove(defaultsPath());
    }
    // Values that are not property lists are refused and change nothing.
    UserDefaults defaults(defaultsPath());
    ASSERT_TRUE(defaults.setInteger(1, "keep"));
    const std::string before = fileContent(defaultsPath());
    EXPECT_FALSE(defaults.setObject(Null::null(), "k"));
    EXPECT_FALSE(defaults.setObject(Array::make({Null::null()}), "k"));
    EXPECT_EQ(fileContent(defaultsPath()), before);
    EXPECT_EQ(takeLog().size(), 2u);
}

// Id takers read the counter once and write every id through before using it.
// Killed at any moment, with the store damaged between runs, none hands out an
// id that another had, and temporary files do not pile up.
TEST_F(UserDefaultsTest, KilledIdTakersNeverRepeatAnIdNorLeaveTemporaryFiles) {
    const ScratchDir scratch(fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : dir_);
    const std::string path = scratch / "defaults.plist";
    std::vector<int64_t> ids;
    for (int run = 0; run < 30; ++run) {
        int channel[2];
        ASSERT_EQ(::pipe(channel), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(channel[0]);
            UserDefaults defaults(path);
            for (int64_t id = defaults.integerForKey("id") + 1; defaults.setInteger(id, "id"); ++id) {
                if (::write(channel[1], &id, sizeof id) != sizeof id) break;
            }
            ::_exit(1);
        }
        ::close(channel[1]);
        // Killed once it has taken its first id, so that every run is in the middle of writes.
        if (int64_t first; ::read(channel[0], &first, sizeof first) == sizeof first) ids.push_back(first);
        ::usleep(run * 7919 % 2000);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        for (int64_t id; ::read(channel[0], &id, sizeof id) == sizeof id;) ids.push_back(id);
        ::close(channel[0]);
        // Every other run, the store is cut short as a full disk or a careless editor leaves it.
        if (run % 2 == 1 && fs::exists(path)) fs::resize_file(path, fs::file_size(path) / 2);
    }
    // A writer killed between its temporary file and the rename leaves that one
    // file, under a fixed name; the next writer takes it over.
    UserDefaults defaults(path);
    ids.push_back(defaults.integerForKey("id") + 1);
    ASSERT_TRUE(defaults.setInteger(ids.back(), "id"));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end()) << "an id was handed out twice";
    EXPECT_GE(ids.size(), 31u);
    for (const auto& entry : fs::directory_iterator(scratch.path())) {
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

TEST_F(UserDefaultsTest, DefaultPathFallsBackFromEnvironmentToXdgToHome) {
    const ScopedEnv home("HOME", "/home/tester");
    for (const auto& c : casesFrom("foundation/defaults-paths.txt", 3)) {
        const ScopedEnv store("OSSEL_DEFAULTS", c.orNull(0)), xdg("XDG_CONFIG_HOME", c.orNull(1));
        EXPECT_EQ(UserDefaults::defaultPath(), c[2]) << c.where;
    }
}

TEST_F(UserDefaultsTest, ConcurrentProcessesNeverLoseEachOthersKeys) {
    // The race is about locking, not about the disk: a memory file system, when there is
    // one, keeps hundreds of synced writes from taking many seconds.
    const ScratchDir scratch(fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : dir_);
    const std::string path = scratch / "defaults.plist";
    constexpr int kWrites = 200;
    const std::string keys[] = {"com.tollendra.left", "com.tollendra.right"};
    std::vector<pid_t> children;
    for (int child = 0; child < 2; ++child) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // A write built on a stale read would turn a key back to an older value: each
            // process sees its own key exactly as written and the other's never going back.
            UserDefaults defaults(path);
            int failures = 0;
            int64_t lastOther = 0;
            for (int i = 1; i <= kWrites; ++i) {
                failures += !defaults.setInteger(i, keys[child]);
                failures += defaults.integerForKey(keys[child]) != i;
                const int64_t seen = defaults.integerForKey(keys[1 - child]);
                failures += seen < lastOther;
                lastOther = seen;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    UserDefaults defaults(path);
    EXPECT_EQ(defaults.integerForKey(keys[0]), kWrites);
    EXPECT_EQ(defaults.integerForKey(keys[1]), kWrites);
}
