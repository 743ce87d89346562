#pragma once
// A fresh process as far as the ids can tell: an empty defaults file of its
// own, a fresh generator registry, a fixed host name and a fixed clock.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "foundation/Archiver.h"
#include "foundation/Clock.h"
#include "foundation/Host.h"
#include "foundation/UserDefaults.h"
#include "ids/DVClipId.h"
#include "ids/TLIdGenerator.h"

namespace ossel::testing {

inline constexpr const char* kSequenceStoreKey = "com.tollendra.GravelmothDV.ClipSequenceId";
inline constexpr const char* kClipStoreKey = "com.tollendra.GravelmothDV.ClipId";
inline constexpr double kFixedNow = 1199145600.25;

class IdsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("ossel-ids-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        if (const char* v = std::getenv("OSSEL_DEFAULTS")) savedDefaults_ = v;
        ::setenv("OSSEL_DEFAULTS", defaultsPath().c_str(), 1);
        UserDefaults::resetStandardUserDefaults();
        TLIdGenerator::resetRegistryForTesting();
        setHostNameForTesting([] { return std::string("studio-mac.local"); });
        setClockForTesting([] { return kFixedNow; });
        nextChildIntUid = 0;
    }
    void TearDown() override {
        setHostNameForTesting(nullptr);
        setClockForTesting(nullptr);
        TLIdGenerator::resetRegistryForTesting();
        if (savedDefaults_) ::setenv("OSSEL_DEFAULTS", savedDefaults_->c_str(), 1);
        else ::unsetenv("OSSEL_DEFAULTS");
        UserDefaults::resetStandardUserDefaults();
        std::filesystem::remove_all(dir_);
    }

    std::string defaultsPath() const { return (dir_ / "defaults.plist").string(); }
    // What another process would read from the store right now.
    std::optional<int64_t> storedCounter(const char* key) const {
        UserDefaults other(defaultsPath());
        if (!other.objectForKey(key)) return std::nullopt;
        return other.integerForKey(key);
    }
    // A later run of the program: the registry forgets its generators and re-reads the store.
    static void startNewProcess() { TLIdGenerator::resetRegistryForTesting(); }

    static Ref<Object> archiveRoundTrip(const Object& value) {
        const auto bytes = Coder::archivedDataWithRootObject(&value);
        std::string error;
        auto back = Decoder::unarchiveObjectWithData(bytes, &error);
        EXPECT_TRUE(back) << error;
        return back;
    }

    std::filesystem::path dir_;
    std::optional<std::string> savedDefaults_;
};

}  // namespace ossel::testing
