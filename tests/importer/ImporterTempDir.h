#pragma once
// A scratch directory per test, with HOME pointed into it so that the
// "~/Movies/Ossel" fallback of the catalog search never sees the real home.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace ossel::testing {

class ImporterTempDir : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ossel-import-XXXXXX";
        root_ = mkdtemp(pattern);
        if (const char* home = std::getenv("HOME")) savedHome_ = home;
        home_ = root_ / "home";
        std::filesystem::create_directories(home_);
        setenv("HOME", home_.c_str(), 1);
    }
    void TearDown() override {
        if (savedHome_) {
            setenv("HOME", savedHome_->c_str(), 1);
        } else {
            unsetenv("HOME");
        }
        std::filesystem::remove_all(root_);
    }

    // Writes a file (creating its directories) and answers its path.
    std::string writeFile(const std::filesystem::path& relative, const std::string& contents) {
        const auto path = root_ / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
        return path.string();
    }

    static std::string plist(const std::string& body) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n" +
               body + "\n</plist>\n";
    }

    std::filesystem::path root_;
    std::filesystem::path home_;
    std::optional<std::string> savedHome_;
};

}  // namespace ossel::testing
