#pragma once
// Each test runs as a fresh process would: its own empty user-defaults file,
// a fresh generator registry, a fixed host name and a fixed clock.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "foundation/Clock.h"
#include "foundation/Host.h"
#include "foundation/UserDefaults.h"
#include "ids/TLIdGenerator.h"

namespace ossel::testing {

inline constexpr double kCatalogTestNow = 1199145600.1234567;  // 2008-01-01 00:00:00.12 UTC

class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("ossel-catalog-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        if (const char* v = std::getenv("OSSEL_DEFAULTS")) savedDefaults_ = v;
        ::setenv("OSSEL_DEFAULTS", defaultsPath().c_str(), 1);
        UserDefaults::resetStandardUserDefaults();
        TLIdGenerator::resetRegistryForTesting();
        setHostNameForTesting([] { return std::string("studio-mac.local"); });
        setClockForTesting([this] { return now_; });
    }

    void TearDown() override {
        setHostNameForTesting(nullptr);
        setClockForTesting(nullptr);
        TLIdGenerator::resetRegistryForTesting();
        if (savedDefaults_) {
            ::setenv("OSSEL_DEFAULTS", savedDefaults_->c_str(), 1);
        } else {
            ::unsetenv("OSSEL_DEFAULTS");
        }
        UserDefaults::resetStandardUserDefaults();
        std::filesystem::remove_all(dir_);
    }

    std::string defaultsPath() const { return (dir_ / "defaults.plist").string(); }
    std::string pathIn(const std::string& name) const { return (dir_ / name).string(); }

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

    std::filesystem::path dir_;
    std::optional<std::string> savedDefaults_;
    double now_ = kCatalogTestNow;
};

}  // namespace ossel::testing
