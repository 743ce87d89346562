#pragma once
// Each test runs as a fresh process would: its own user-defaults file and
// directory, a fresh generator registry, a fixed host name, clock and time
// zone, and a log sink that collects the lines the model writes.

#include <gtest/gtest.h>
#include <time.h>

#include <memory>
#include <utility>
#include <vector>

#include "base/TLLog.h"
#include "dv/DVFrameCaptureDateTime.h"
#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"
#include "foundation/Archiver.h"
#include "foundation/Clock.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Host.h"
#include "foundation/UserDefaults.h"
#include "foundation/TimeZone.h"
#include "ids/DVClipId.h"
#include "ids/DVMovieSnapshotId.h"
#include "ids/TLDVClipSequenceId.h"
#include "ids/TLIdGenerator.h"
#include "foundation/StringTable.h"
#include "plist/TLDVPListContainer.h"
#include "support/Cases.h"
#include "support/Scratch.h"

namespace ossel::testing {

// Sets TZ (and, optionally, the process default zone) for one test and puts
// both back afterwards, so that no test depends on the machine's own zone.
class ZoneScope {
public:
    // nullopt unsets TZ.
    explicit ZoneScope(std::optional<std::string> tz, Ref<TimeZone> defaultZone = nullptr) : tz_(std::in_place, "TZ", tz) {
        reset();
        TimeZone::setDefaultTimeZone(std::move(defaultZone));
    }
    ~ZoneScope() {
        tz_.reset();
        reset();
        TimeZone::setDefaultTimeZone(nullptr);
    }

private:
    static void reset() {
        TimeZone::resetSystemTimeZone();
        ::tzset();  // the C library caches TZ too
    }
    std::optional<ScopedEnv> tz_;
};

// Seconds since the reference date of a time given in UTC.
inline double utc(int64_t y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return sinceReferenceDateOf(UtcFields{y, mo, d, h, mi, s});
}

// A dictionary of the entries given, in their order.
inline Ref<Dictionary> dictionaryOf(std::initializer_list<std::pair<std::string, Ref<Object>>> entries) {
    auto dictionary = Dictionary::make();
    for (const auto& [key, value] : entries) dictionary->setObject(value, key);
    return dictionary;
}

// What reading an archive of the value gives, failing the test when it gives nothing.
inline Ref<Object> archiveRoundTrip(const Object& value) {
    std::string error;
    auto back = Decoder::unarchiveObjectWithData(Coder::archivedDataWithRootObject(&value), &error);
    EXPECT_TRUE(back) << error;
    return back;
}

inline constexpr double kTestNow = 1199145600.25;  // 2008-01-01 00:00:00.25 UTC
// A clock whose fraction needs rounding where ids print six places.
inline constexpr double kRoundingNow = 1199145600.1234567;
inline constexpr const char* kSequenceStoreKey = "com.tollendra.GravelmothDV.ClipSequenceId";
inline constexpr const char* kClipStoreKey = "com.tollendra.GravelmothDV.ClipId";

class TestEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        UserDefaults::resetStandardUserDefaults();
        TLIdGenerator::resetRegistryForTesting();
        nextChildIntUid = 0;
        setHostNameForTesting([] { return std::string("studio-mac.local"); });
        setClockForTesting([this] { return now_; });
        TLLog::setSinkForTesting([this](const std::string& line) { log_.push_back(line); });
    }

    // The members put the scratch directory, the store's variable and the zone back.
    void TearDown() override {
        setResourcesDirectory(savedResources_);
        TLLog::setSinkForTesting(nullptr);
        setHostNameForTesting(nullptr);
        setClockForTesting(nullptr);
        TLIdGenerator::resetRegistryForTesting();
        UserDefaults::resetStandardUserDefaults();
    }

    std::string defaultsPath() const { return (dir_ / "defaults.plist").string(); }
    std::string pathIn(const std::string& name) const { return (dir_ / name).string(); }
    // A string table where the model looks for its tables, for this test only.
    void writeStringTable(const std::string& name, const std::string& text) {
        scratch_.write("resources/" + name, text);
        setResourcesDirectory((dir_ / "resources").string());
    }

    // What another process would read from the store right now.
    std::optional<int64_t> storedInteger(const std::string& key) const {
        UserDefaults other(defaultsPath());
        if (!other.objectForKey(key)) return std::nullopt;
        return other.integerForKey(key);
    }

    // A later run of the program on the same store.
    static void startNewProcess() {
        TLIdGenerator::resetRegistryForTesting();
        UserDefaults::resetStandardUserDefaults();
    }

    // The log lines written since the last call.
    std::vector<std::string> takeLog() { return std::exchange(log_, {}); }

    static Ref<TLDVClipSequenceId> sequence7() {
        return std::make_shared<TLDVClipSequenceId>("studio-mac.local", 7, kTestNow);
    }

    // One of every kind of model value the containers store, each with a name to use as a key.
    static std::vector<std::pair<std::string, Ref<Object>>> everyModelValue() {
        std::vector<std::pair<std::string, Ref<Object>>> values;
        for (const auto& c : casesFrom("typed/every-model-value.txt", 2)) {
            values.emplace_back(c[0], TLDVPListContainer().decodeObject(str(c[1])));
        }
        return values;
    }

    const ScratchDir scratch_;
    const std::filesystem::path dir_ = scratch_.path();
    const ScopedEnv defaultsEnv_{"OSSEL_DEFAULTS", defaultsPath()};
    const std::string savedResources_ = resourcesDirectory();
    double now_ = kTestNow;
    std::unique_ptr<ZoneScope> zone_ = std::make_unique<ZoneScope>("Europe/Paris");
    std::vector<std::string> log_;
};

}  // namespace ossel::testing
