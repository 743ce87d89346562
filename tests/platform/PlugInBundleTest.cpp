#include <gtest/gtest.h>

#include "importer/ImporterTest.h"
#include "support/Cases.h"
#include "support/SpecialFiles.h"

using namespace ossel;
using ossel::testing::kBuiltBundle;
namespace fs = std::filesystem;

TEST(PlugInBundle, BrokenBundlesFailWithTheirReason) {
    // The real module under another bundle's name, so that only Info.plist differs.
    const ossel::testing::ScratchDir root;
    for (const auto& c : ossel::testing::casesFrom("platform/broken-bundles.txt", 4)) {
        const fs::path bundle = root / (c[0] + ".mdimporter");
        fs::create_directories(bundle / "Contents/MacOS");
        fs::copy_file(kBuiltBundle + "/Contents/MacOS/OsselImporter.so", bundle / "Contents/MacOS/Copy.so");
        if (c[1] != "-") {
            std::ofstream(bundle / "Contents/Info.plist") << "<plist><dict>" << c[1] << "</dict></plist>\n";
        }
        std::string error;
        const auto loaded = PlugInBundle::load(bundle.string(), &error);
        EXPECT_EQ(loaded != nullptr, c[3] == "loads") << c.where << ": " << error;
        if (loaded) {
            EXPECT_EQ(loaded->createInstanceForType(kMDImporterTypeID, &error), nullptr) << c.where;
        }
        EXPECT_NE(error.find(c[2]), std::string::npos) << c.where << ": " << error;
    }
    // An Info.plist or a module that is no regular file: refused at once. (The module is
    // one the process never loaded: the loader would answer a loaded one from memory.)
    const fs::path bundle = root / "type without factory.mdimporter";
    const fs::path info = bundle / "Contents/Info.plist", module = bundle / "Contents/MacOS/Special.so";
    const std::string infoText = "<plist><dict><key>CFBundleExecutable</key><string>Special</string></dict></plist>";
    for (const auto& special : ossel::testing::specialFiles()) {
        for (const fs::path& file : {info, module}) {
            ossel::testing::makeSpecialFile(special, file);
            ossel::testing::withinSeconds(5, special.name + " as " + file.filename().string(), [&] {
                std::string error;
                EXPECT_EQ(PlugInBundle::load(bundle.string(), &error), nullptr);
                if (file == info || special.kind == FileErrorKind::notRegularFile) {
                    EXPECT_EQ(error, file.string() + ": " + special.reason);
                } else {
                    EXPECT_NE(error.find(file.string()), std::string::npos) << error;
                }
            });
            fs::remove_all(file);
            std::ofstream(info) << infoText;
        }
    }
}
