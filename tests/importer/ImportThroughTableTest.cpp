#include <gtest/gtest.h>

#include "ImporterTest.h"
#include "foundation/PropertyList.h"
#include "support/Cases.h"
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

    void* instance_ = nullptr;
};

}  // namespace

// Each annotation of tests/data/importer, imported into a dictionary that holds an old title and
// a value of the host's own, against the attributes expected, in their order.
TEST_F(ImportThroughTable, MapsEveryImportedKeyInOrderPassesOtherTypesThroughAndKeepsTheHostsOwn) {
    for (const std::string name : {"full-annotation", "odd-types", "empty-annotation"}) {
        const std::string data = OSSEL_TEST_DATA "/importer/" + name;
        const std::string path = writeFile("Catalog/Clips/2006/clip.plist", fileContent(data + ".plist"));
        auto attributes = Dictionary::make();
        attributes->setObject(str("Old"), std::string(kMDItemTitle));
        attributes->setObject(str("kept"), "hostOwnValue");
        ASSERT_TRUE(import(path, *attributes)) << name;
        const auto expected = kindCast<Dictionary>(readPropertyListFromFile(data + "-attributes.plist"));
        ASSERT_TRUE(expected) << name;
        EXPECT_TRUE(attributes->isEqual(expected.get())) << attributes->description();
        EXPECT_EQ(attributes->allKeys(), expected->allKeys());
    }
}

TEST_F(ImportThroughTable, UnreadableFilesAnswerFalseAndLeaveTheDictionaryUntouched) {
    for (const auto& c : casesFrom("importer/unreadable-clips.txt", 2)) {
        const std::string path = c[1] == "(none)" ? (root_ / c[0]).string() : writeFile(c[0], c[1]);
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
