#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "base/TLLog.h"
#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "foundation/UserDefaults.h"

using namespace ossel;
namespace fs = std::filesystem;

namespace {

// Sets an environment variable for the life of the object and restores it after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string fileContent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class UserDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "defaults-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        path_ = dir_ + "/sub/dir/defaults.plist";
        env_.emplace("OSSEL_DEFAULTS", path_.c_str());
        UserDefaults::resetStandardUserDefaults();
        TLLog::setSinkForTesting([this](const std::string& line) { log_.push_back(line); });
    }
    void TearDown() override {
        TLLog::setSinkForTesting(nullptr);
        env_.reset();
        UserDefaults::resetStandardUserDefaults();
        fs::remove_all(dir_);
    }
    void writeRaw(const std::string& bytes) {
        fs::create_directories(fs::path(path_).parent_path());
        std::ofstream(path_, std::ios::binary) << bytes;
    }

    std::string dir_;
    std::string path_;
    std::optional<ScopedEnv> env_;
    std::vector<std::string> log_;
};

}  // namespace

TEST_F(UserDefaultsTest, MissingFileReadsEmptyAndTheFirstWriteMakesTheDirectory) {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults.path(), path_);
    EXPECT_EQ(defaults.objectForKey("com.tollendra.GravelmothDV.ClipId"), nullptr);
    EXPECT_EQ(defaults.integerForKey("com.tollendra.GravelmothDV.ClipId"), 0);
    EXPECT_FALSE(defaults.boolForKey("x"));
    EXPECT_EQ(defaults.floatForKey("multiForRecent"), 0.0f);
    EXPECT_FALSE(fs::exists(path_));

    EXPECT_TRUE(defaults.setInteger(17, "com.tollendra.GravelmothDV.ClipId"));
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_TRUE(fs::exists(path_));
    EXPECT_EQ(defaults.integerForKey("com.tollendra.GravelmothDV.ClipId"), 17);
    // Only the store and its lock file: no temporary left behind.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(path_).parent_path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"defaults.plist", "defaults.plist.lock"}));
    EXPECT_TRUE(log_.empty());
}

TEST_F(UserDefaultsTest, ValueKindsRoundTripThroughTheFile) {
    auto list = Array::make({str("a"), Number::withInt(2)});
    auto dict = Dictionary::make();
    dict->setObject(Number::withBool(true), "flag");
    const std::vector<std::pair<std::string, Ref<Object>>> values = {
        {"text", str("d/m/y \u00e9")},
        {"int", Number::withInt(-9007199254740993LL)},
        {"real", Number::withDouble(0.1)},
        {"bool", Number::withBool(true)},
        {"date", Date::withTimeIntervalSinceReferenceDate(163938125)},
        {"data", Data::make({0, 255, 10})},
        {"list", list},
        {"dict", dict},
    };
    {
        UserDefaults writer(path_);
        for (const auto& [key, value] : values) ASSERT_TRUE(writer.setObject(value, key)) << key;
    }
    UserDefaults reader(path_);
    for (const auto& [key, value] : values) {
        const auto back = reader.objectForKey(key);
        ASSERT_TRUE(back) << key;
        EXPECT_TRUE(back->isEqual(value.get())) << key << ": " << back->description();
    }
    EXPECT_EQ(reader.integerForKey("int"), -9007199254740993LL);
    EXPECT_TRUE(reader.boolForKey("bool"));
    EXPECT_EQ(reader.doubleForKey("real"), 0.1);
}

TEST_F(UserDefaultsTest, ConversionsFollowThePlatform) {
    UserDefaults defaults(path_);
    const std::vector<std::pair<Ref<Object>, int64_t>> integers = {
        {Number::withDouble(3.9), 3},   {Number::withDouble(-3.9), -3}, {Number::withBool(true), 1},
        {str("42"), 42},                {str("  -7 apples"), -7},       {str("+5"), 5},
        {str("3.9"), 3},                {str("abc"), 0},                {str(""), 0},
        {str("99999999999999999999"), INT64_MAX}, {Array::make({}), 0},
    };
    for (const auto& [value, expected] : integers) {
        ASSERT_TRUE(defaults.setObject(value, "k"));
        EXPECT_EQ(defaults.integerForKey("k"), expected) << value->description();
    }
    const std::vector<std::pair<Ref<Object>, bool>> bools = {
        {str("YES"), true}, {str("true"), true}, {str("no"), false}, {str("2"), true},
        {str("0"), false},  {Number::withDouble(0.5), true}, {Data::make({1}), false},
    };
    for (const auto& [value, expected] : bools) {
        ASSERT_TRUE(defaults.setObject(value, "k"));
        EXPECT_EQ(defaults.boolForKey("k"), expected) << value->description();
    }
    ASSERT_TRUE(defaults.setObject(str("2.5e1x"), "k"));
    EXPECT_EQ(defaults.doubleForKey("k"), 25.0);
    EXPECT_EQ(defaults.floatForKey("k"), 25.0f);
    ASSERT_TRUE(defaults.setObject(Number::withFloat(0.1f), "k"));
    EXPECT_EQ(defaults.floatForKey("k"), 0.1f);
}

TEST_F(UserDefaultsTest, WritesChangeOnlyTheirKeyAndReadsSeeOtherWriters) {
    UserDefaults first(path_);
    UserDefaults second(path_);  // stands for another process: its own cache
    ASSERT_TRUE(first.setInteger(1, "a"));
    EXPECT_EQ(second.integerForKey("a"), 1);
    ASSERT_TRUE(second.setInteger(2, "b"));
    ASSERT_TRUE(first.setInteger(3, "a"));
    EXPECT_EQ(second.integerForKey("a"), 3);
    EXPECT_EQ(second.integerForKey("b"), 2);
    EXPECT_EQ(first.integerForKey("b"), 2);

    ASSERT_TRUE(first.removeObjectForKey("a"));
    EXPECT_EQ(second.objectForKey("a"), nullptr);
    ASSERT_TRUE(second.setObject(nullptr, "b"));
    EXPECT_EQ(first.objectForKey("b"), nullptr);
    ASSERT_TRUE(first.removeObjectForKey("never there"));

    // An edit made in place by another program is noticed as well.
    writeRaw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>a</key><integer>12345</integer></dict></plist>\n");
    EXPECT_EQ(first.integerForKey("a"), 12345);
}

TEST_F(UserDefaultsTest, AnUnreadableFileReadsEmptyAndIsNeverOverwritten) {
    const std::string contents[] = {
        "this is not a property list",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer></array></plist>",
        "",
    };
    for (const auto& garbage : contents) {
        writeRaw(garbage);
        UserDefaults defaults(path_);
        log_.clear();
        EXPECT_EQ(defaults.objectForKey("a"), nullptr);
        EXPECT_FALSE(defaults.setInteger(5, "a"));
        EXPECT_FALSE(defaults.removeObjectForKey("a"));
        EXPECT_EQ(fileContent(path_), garbage);
        ASSERT_EQ(log_.size(), 2u) << garbage;
        EXPECT_NE(log_[0].find(path_), std::string::npos) << log_[0];
        EXPECT_EQ(log_[0].find('\n'), log_[0].size() - 1);
    }
}

TEST_F(UserDefaultsTest, ValuesThatAreNotPropertyListsAreRefused) {
    UserDefaults defaults(path_);
    ASSERT_TRUE(defaults.setInteger(1, "keep"));
    const std::string before = fileContent(path_);
    EXPECT_FALSE(defaults.setObject(Null::null(), "k"));
    EXPECT_FALSE(defaults.setObject(Array::make({Null::null()}), "k"));
    EXPECT_EQ(fileContent(path_), before);
    EXPECT_EQ(log_.size(), 2u);
}

TEST_F(UserDefaultsTest, DefaultPathFallsBackFromEnvironmentToXdgToHome) {
    EXPECT_EQ(UserDefaults::defaultPath(), path_);
    ScopedEnv noExplicit("OSSEL_DEFAULTS", nullptr);
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg/config");
        EXPECT_EQ(UserDefaults::defaultPath(), "/xdg/config/ossel/defaults.plist");
    }
    ScopedEnv home("HOME", "/home/tester");
    {
        ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(UserDefaults::defaultPath(), "/home/tester/.config/ossel/defaults.plist");
    }
    ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(UserDefaults::defaultPath(), "/home/tester/.config/ossel/defaults.plist");
    ScopedEnv empty("OSSEL_DEFAULTS", "");
    EXPECT_EQ(UserDefaults::defaultPath(), "/home/tester/.config/ossel/defaults.plist");
}

TEST_F(UserDefaultsTest, ConcurrentProcessesNeverLoseEachOthersKeys) {
    // The race is about locking, not about the disk: a memory file system, when there is
    // one, keeps hundreds of synced writes from taking many seconds.
    std::string pattern = (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::path(dir_)) / "race-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::string raceDir = pattern;
    path_ = raceDir + "/defaults.plist";
    constexpr int kWrites = 200;
    const std::string keys[] = {"com.tollendra.left", "com.tollendra.right"};
    std::vector<pid_t> children;
    for (int child = 0; child < 2; ++child) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // A write built on a stale read would turn a key back to an older value: each
            // process sees its own key exactly as written and the other's never going back.
            UserDefaults defaults(path_);
            const std::string& own = keys[child];
            const std::string& other = keys[1 - child];
            int failures = 0;
            int64_t lastOther = 0;
            for (int i = 1; i <= kWrites; ++i) {
                failures += !defaults.setInteger(i, own);
                failures += defaults.integerForKey(own) != i;
                const int64_t seen = defaults.integerForKey(other);
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
    UserDefaults defaults(path_);
    EXPECT_EQ(defaults.integerForKey(keys[0]), kWrites);
    EXPECT_EQ(defaults.integerForKey(keys[1]), kWrites);
    fs::remove_all(raceDir);
}
