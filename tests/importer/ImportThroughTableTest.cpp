#include <gtest/gtest.h>

#include "ImporterTest.h"
#include "foundation/Array.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "platform/MDItem.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

// Calls the import function the way the host does: through an instance's table.
class ImportThroughTable : public ImporterTempDir {
protected:
    void SetUp() override {
        const CFPlugInFactoryFunction factory = importerFactory();
        ASSERT_NE(factory, nullptr);
        instance_ = factory(kCFAllocatorDefault, kMDImporterTypeID);
        ASSERT_NE(instance_, nullptr);
    }
    void TearDown() override {
        if (instance_) (*asInterface(instance_))->Release(instance_);
    }

    bool import(const std::string& path, Dictionary& attributes) {
        const Ref<String> type = str("com.tollendra.ossel.clip-annotation");
        const Ref<String> file = str(path);
        return (*asInterface(instance_))->ImporterImportData(instance_, &attributes, type.get(), file.get()) != 0;
    }

    Ref<Dictionary> importAnnotation(const std::string& body, bool* imported = nullptr) {
        const std::string path = writeFile("Catalog/Clips/2006/clip.plist", plist(body));
        auto attributes = Dictionary::make();
        const bool ok = import(path, *attributes);
        if (imported) *imported = ok;
        return attributes;
    }

    void* instance_ = nullptr;
};

}  // namespace

TEST_F(ImportThroughTable, MapsEveryImportedKeyInOrderAndKeepsTheHostsOwn) {
    const std::string path =
        writeFile("Catalog/Clips/2006/clip.plist", fileContent(OSSEL_TEST_DATA "/importer/full-annotation.plist"));
    auto attributes = Dictionary::make();
    attributes->setObject(str("Old"), std::string(kMDItemTitle));
    attributes->setObject(str("kept"), "hostOwnValue");
    ASSERT_TRUE(import(path, *attributes));
    const auto expected =
        kindCast<Dictionary>(readPropertyListFromFile(OSSEL_TEST_DATA "/importer/full-annotation-attributes.plist"));
    ASSERT_TRUE(expected);
    EXPECT_TRUE(attributes->isEqual(expected.get())) << attributes->description();
    EXPECT_EQ(attributes->allKeys(), expected->allKeys());
}

TEST_F(ImportThroughTable, ValuesPassThroughInTheirOwnTypesAndAnEmptyDictionaryGivesCreatorAndKind) {
    // Types the application never writes under these keys still go through untouched.
    const auto attributes = importAnnotation(R"(<dict>
        <key>clipName</key><integer>1234</integer>
        <key>clipNotes</key><array><string>a</string><true/></array>
        <key>clipRating</key><real>3.5</real>
        <key>clipVideoFormat</key><dict><key>rows</key><integer>576</integer></dict>
        <key>clipDurationInSeconds</key><string>twelve</string>
        <key>clipShootingDate</key><data>AAEC</data>
    </dict>)");
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemTitle), Number::withInt(1234)));
    EXPECT_EQ(attributes->objectForKeyAs<Array>(kMDItemDescription)->count(), 2u);
    EXPECT_TRUE(attributes->objectForKeyAs<Number>(kMDItemStarRating)->isReal());
    EXPECT_TRUE(attributes->objectForKeyAs<Dictionary>("kMDItemOsselVideoFormat"));
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemDurationSeconds), str("twelve")));
    EXPECT_EQ(attributes->objectForKey(kMDItemContentCreationDate)->className(), "Data");

    bool imported = false;
    EXPECT_EQ(importAnnotation("<dict/>", &imported)->allKeys(), (std::vector<std::string>{"kMDItemCreator", "kMDItemKind"}));
    EXPECT_TRUE(imported);
}

TEST_F(ImportThroughTable, UnreadableFilesAnswerFalseAndLeaveTheDictionaryUntouched) {
    const std::string cases[] = {
        (root_ / "missing.plist").string(),
        writeFile("garbage.plist", "\x01\x02 this is not a property list"),
        writeFile("empty.plist", ""),
        writeFile("array.plist", plist("<array><string>clipName</string></array>")),
        writeFile("truncated.plist", plist("<dict><key>clipName</key><string>cut")),
        writeFile("bplist.plist", "bplist00\xff\xff"),
        root_.string(),
    };
    for (const auto& path : cases) {
        auto attributes = Dictionary::make();
        attributes->setObject(str("kept"), "hostOwnValue");
        EXPECT_FALSE(import(path, *attributes)) << path;
        EXPECT_EQ(attributes->allKeys(), std::vector<std::string>{"hostOwnValue"}) << path;
    }
}

TEST_F(ImportThroughTable, MissingArgumentsAreRefusedNotFollowed) {
    const Ref<String> path = str(writeFile("Catalog/Clips/2006/clip.plist", plist("<dict/>")));
    auto attributes = Dictionary::make();
    MDImporterInterfaceStruct* table = *asInterface(instance_);
    EXPECT_FALSE(table->ImporterImportData(instance_, nullptr, nullptr, path.get()));
    EXPECT_FALSE(table->ImporterImportData(instance_, attributes.get(), nullptr, nullptr));
    EXPECT_TRUE(attributes->empty());
    // Neither the instance nor the content type is looked at.
    EXPECT_TRUE(table->ImporterImportData(nullptr, attributes.get(), nullptr, path.get()));
}
