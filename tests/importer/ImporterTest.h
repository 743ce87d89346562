#pragma once
// The built importer bundle, loaded once per program through the loader the
// host uses, and a scratch directory per test with HOME pointed into it so
// that the "~/Movies/Ossel" fallback of the catalog search never sees the real home.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "platform/MDImporter.h"
#include "platform/PlugInBundle.h"

namespace ossel::testing {

inline const std::string kBuiltBundle = OSSEL_BINARY_DIR "/OsselImporter.mdimporter";
inline constexpr const char* kFactoryId = "93DF8824-0F30-4F82-A1EF-3B6D8997B3A4";

inline const PlugInBundle& loadedImporterBundle() {
    static const std::unique_ptr<PlugInBundle> bundle = [] {
        std::string error;
        auto loaded = PlugInBundle::load(kBuiltBundle, &error);
        if (!loaded) ADD_FAILURE() << error;
        return loaded;
    }();
    return *bundle;
}

inline CFPlugInFactoryFunction importerFactory() {
    std::string error;
    const CFPlugInFactoryFunction factory = loadedImporterBundle().factoryFunction(kFactoryId, &error);
    if (!factory) ADD_FAILURE() << error;
    return factory;
}

// An instance record as the host sees it: a pointer to a pointer to the table.
inline MDImporterInterfaceStruct** asInterface(void* instance) {
    return static_cast<MDImporterInterfaceStruct**>(instance);
}

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
        if (savedHome_) setenv("HOME", savedHome_->c_str(), 1);
        else unsetenv("HOME");
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
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
    }

    std::filesystem::path root_;
    std::filesystem::path home_;
    std::optional<std::string> savedHome_;
};

}  // namespace ossel::testing
