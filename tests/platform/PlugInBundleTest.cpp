#include <gtest/gtest.h>

#include "importer/ImporterTest.h"
#include "support/SpecialFiles.h"

using namespace ossel;
using ossel::testing::kBuiltBundle;
namespace fs = std::filesystem;

TEST(PlugInBundle, BrokenBundlesFailWithTheirReason) {
    // The real module under another bundle's name, so that only Info.plist differs.
    const struct { const char *why, *info, *expected; bool loads; } cases[] = {
        {"no Info.plist", nullptr, "Info.plist", false},
        {"missing module", "<key>CFBundleExecutable</key><string>Absent</string>", "cannot load the module", false},
        {"factory not exported",
         "<key>CFBundleExecutable</key><string>Copy</string><key>CFPlugInFactories</key><dict>"
         "<key>93DF8824-0F30-4F82-A1EF-3B6D8997B3A4</key><string>NoSuchFactory</string></dict><key>CFPlugInTypes</key>"
         "<dict><key>8B08C4BF-415B-11D8-B3F9-0003936726FC</key><array><string>93DF8824-0F30-4F82-A1EF-3B6D8997B3A4"
         "</string></array></dict>",
         "NoSuchFactory", true},
        {"type without factory", "<key>CFBundleExecutable</key><string>Copy.so</string>", "no factory serves", true},
    };
    const ossel::testing::ScratchDir root;
    for (const auto& c : cases) {
        const fs::path bundle = root / (std::string(c.why) + ".mdimporter");
        fs::create_directories(bundle / "Contents/MacOS");
        fs::copy_file(kBuiltBundle + "/Contents/MacOS/OsselImporter.so", bundle / "Contents/MacOS/Copy.so");
        if (c.info) {
            std::ofstream(bundle / "Contents/Info.plist") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
                                                          << "<dict>" << c.info << "</dict></plist>\n";
        }
        std::string error;
        const auto loaded = PlugInBundle::load(bundle.string(), &error);
        EXPECT_EQ(loaded != nullptr, c.loads) << c.why << ": " << error;
        if (loaded) {
            EXPECT_EQ(loaded->createInstanceForType(kMDImporterTypeID, &error), nullptr) << c.why;
        }
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.why << ": " << error;
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
