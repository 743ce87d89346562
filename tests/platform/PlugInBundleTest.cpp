#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/MDImporter.h"
#include "platform/PlugInBundle.h"

using namespace ossel;
namespace fs = std::filesystem;

namespace {

const std::string kBuiltBundle = OSSEL_BINARY_DIR "/OsselImporter.mdimporter";

class ScratchBundle : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ossel-bundle-XXXXXX";
        root_ = mkdtemp(pattern);
        bundle_ = root_ / "Broken.mdimporter";
        fs::create_directories(bundle_ / "Contents/MacOS");
    }
    void TearDown() override { fs::remove_all(root_); }

    void writeInfo(const std::string& dictBody) {
        std::ofstream(bundle_ / "Contents/Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
            << dictBody << "</dict>\n</plist>\n";
    }
    // The real module under another bundle's name, so that only Info.plist differs.
    void copyModule(const std::string& name) {
        fs::copy_file(kBuiltBundle + "/Contents/MacOS/OsselImporter.so", bundle_ / "Contents/MacOS" / name);
    }

    fs::path root_;
    fs::path bundle_;
};

}  // namespace

TEST(PlugInBundle, ReadsWhatTheBuiltBundleDeclares) {
    std::string error;
    const auto bundle = PlugInBundle::load(kBuiltBundle, &error);
    ASSERT_NE(bundle, nullptr) << error;
    ASSERT_EQ(bundle->factories().size(), 1u);
    EXPECT_EQ(bundle->factories()[0].factoryId, "93DF8824-0F30-4F82-A1EF-3B6D8997B3A4");
    EXPECT_EQ(bundle->factories()[0].functionName, "MetadataImporterPluginFactory");
    EXPECT_EQ(bundle->factoryIdsForType(kMDImporterTypeID),
              std::vector<std::string>{"93DF8824-0F30-4F82-A1EF-3B6D8997B3A4"});
    EXPECT_TRUE(bundle->factoryIdsForType(kMDImporterInterfaceID).empty());
    EXPECT_FALSE(bundle->contentTypes().empty());
    EXPECT_NE(bundle->factoryFunction("93DF8824-0F30-4F82-A1EF-3B6D8997B3A4", &error), nullptr);
}

TEST_F(ScratchBundle, MissingInfoPlistIsAnError) {
    std::string error;
    EXPECT_EQ(PlugInBundle::load(bundle_.string(), &error), nullptr);
    EXPECT_NE(error.find("Info.plist"), std::string::npos) << error;
}

TEST_F(ScratchBundle, MissingModuleIsAnError) {
    writeInfo("<key>CFBundleExecutable</key><string>Absent</string>\n");
    std::string error;
    EXPECT_EQ(PlugInBundle::load(bundle_.string(), &error), nullptr);
    EXPECT_NE(error.find("cannot load the module"), std::string::npos) << error;
}

TEST_F(ScratchBundle, FactoryNamedButNotExportedIsAnError) {
    copyModule("Copy.so");
    writeInfo(
        "<key>CFBundleExecutable</key><string>Copy</string>\n"
        "<key>CFPlugInFactories</key><dict><key>93DF8824-0F30-4F82-A1EF-3B6D8997B3A4</key>"
        "<string>NoSuchFactory</string></dict>\n"
        "<key>CFPlugInTypes</key><dict><key>8B08C4BF-415B-11D8-B3F9-0003936726FC</key>"
        "<array><string>93DF8824-0F30-4F82-A1EF-3B6D8997B3A4</string></array></dict>\n");
    std::string error;
    const auto bundle = PlugInBundle::load(bundle_.string(), &error);
    ASSERT_NE(bundle, nullptr) << error;
    EXPECT_EQ(bundle->createInstanceForType(kMDImporterTypeID, &error), nullptr);
    EXPECT_NE(error.find("NoSuchFactory"), std::string::npos) << error;
}

TEST_F(ScratchBundle, TypeWithoutFactoryIsAnError) {
    copyModule("Copy.so");
    writeInfo("<key>CFBundleExecutable</key><string>Copy.so</string>\n");
    std::string error;
    const auto bundle = PlugInBundle::load(bundle_.string(), &error);
    ASSERT_NE(bundle, nullptr) << error;
    EXPECT_EQ(bundle->createInstanceForType(kMDImporterTypeID, &error), nullptr);
    EXPECT_NE(error.find("no factory serves"), std::string::npos) << error;
}
