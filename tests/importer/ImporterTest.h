#pragma once
// The built importer bundle, loaded once per program through the loader the
// host uses, and a scratch directory per test with HOME pointed into it so
// that the "~/Movies/Ossel" fallback of the catalog search never sees the real home.

#include <gtest/gtest.h>

#include <memory>

#include "platform/MDImporter.h"
#include "platform/PlugInBundle.h"
#include "support/Scratch.h"

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
    std::string writeFile(const std::filesystem::path& relative, const std::string& contents) {
        return scratch_.write(relative, contents);
    }
    static std::string plist(const std::string& body) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
    }

    ScratchDir scratch_;
    const std::filesystem::path root_ = scratch_.path();
    const std::filesystem::path home_ = root_ / "home";
    const ScopedEnv homeEnv_{"HOME", home_.string()};
};

}  // namespace ossel::testing
