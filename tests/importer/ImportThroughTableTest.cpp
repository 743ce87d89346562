#include <gtest/gtest.h>

#include "ImporterTempDir.h"
#include "LoadedImporter.h"
#include "foundation/Array.h"
#include "foundation/Date.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "platform/MDItem.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

// Calls the import function the way the host does: through an instance's table.
class ImportThroughTable : public ImporterTempDir {
protected:
    void SetUp() override {
        ImporterTempDir::SetUp();
        const CFPlugInFactoryFunction factory = importerFactory();
        ASSERT_NE(factory, nullptr);
        instance_ = factory(kCFAllocatorDefault, kMDImporterTypeID);
        ASSERT_NE(instance_, nullptr);
    }
    void TearDown() override {
        if (instance_) (*asInterface(instance_))->Release(instance_);
        ImporterTempDir::TearDown();
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

const char* kFullAnnotation = R"(<dict>
    <key>clipName</key><string>Regatta start</string>
    <key>clipNotes</key><string>Gun at 10:22</string>
    <key>clipRating</key><integer>4</integer>
    <key>clipVideoFormat</key><string>DV PAL 4:3</string>
    <key>clipDurationInSeconds</key><real>754.25</real>
    <key>clipShootingDate</key><date>2006-03-14T10:22:05Z</date>
    <key>clipId</key><string>not imported</string>
    <key>clipKeywords</key><array><string>not imported</string></array>
    <key>clipScene</key><string>1</string>
    <key>clipTake</key><string>2</string>
    <key>clipMarkers</key><array/>
</dict>)";

}  // namespace

TEST_F(ImportThroughTable, MapsEveryImportedKeyInOrderAndNothingElse) {
    bool imported = false;
    const auto attributes = importAnnotation(kFullAnnotation, &imported);
    ASSERT_TRUE(imported);
    const std::vector<std::string> expectedOrder = {"kMDItemTitle",      "kMDItemDescription",     "kMDItemCreator",
                                                    "kMDItemKind",       "kMDItemStarRating",      "kMDItemOsselVideoFormat",
                                                    "kMDItemDurationSeconds", "kMDItemContentCreationDate"};
    EXPECT_EQ(attributes->allKeys(), expectedOrder);
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemTitle), str("Regatta start")));
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemDescription), str("Gun at 10:22")));
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemCreator), str("Ossel")));
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemKind), str("Ossel Clip")));
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemStarRating), Number::withInt(4)));
    EXPECT_TRUE(objectsEqual(attributes->objectForKey("kMDItemOsselVideoFormat"), str("DV PAL 4:3")));
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemDurationSeconds), Number::withDouble(754.25)));
    const auto date = attributes->objectForKeyAs<Date>(kMDItemContentCreationDate);
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->description(), "2006-03-14 10:22:05 +0000");
}

TEST_F(ImportThroughTable, EachMappedKeyAloneGivesItsAttributeBesideCreatorAndKind) {
    const std::pair<const char*, const char*> mapping[] = {
        {"clipName", "kMDItemTitle"},
        {"clipNotes", "kMDItemDescription"},
        {"clipRating", "kMDItemStarRating"},
        {"clipVideoFormat", "kMDItemOsselVideoFormat"},
        {"clipDurationInSeconds", "kMDItemDurationSeconds"},
        {"clipShootingDate", "kMDItemContentCreationDate"},
    };
    for (const auto& [key, attribute] : mapping) {
        bool imported = false;
        const auto attributes =
            importAnnotation(std::string("<dict><key>") + key + "</key><string>v</string></dict>", &imported);
        ASSERT_TRUE(imported) << key;
        EXPECT_EQ(attributes->count(), 3u) << key;
        EXPECT_TRUE(objectsEqual(attributes->objectForKey(attribute), str("v"))) << key;
        EXPECT_TRUE(attributes->containsKey(kMDItemCreator));
        EXPECT_TRUE(attributes->containsKey(kMDItemKind));
    }
}

TEST_F(ImportThroughTable, ValuesPassThroughInTheirOwnTypes) {
    // Types the application never writes under these keys still go through untouched.
    const auto attributes = importAnnotation(R"(<dict>
        <key>clipName</key><integer>1234</integer>
        <key>clipNotes</key><array><string>a</string><true/></array>
        <key>clipRating</key><real>3.5</real>
        <key>clipVideoFormat</key><dict><key>rows</key><integer>576</integer></dict>
        <key>clipDurationInSeconds</key><string>twelve</string>
        <key>clipShootingDate</key><data>AAEC</data>
    </dict>)");
    const auto title = attributes->objectForKeyAs<Number>(kMDItemTitle);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->longLongValue(), 1234);
    const auto notes = attributes->objectForKeyAs<Array>(kMDItemDescription);
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->count(), 2u);
    const auto rating = attributes->objectForKeyAs<Number>(kMDItemStarRating);
    ASSERT_NE(rating, nullptr);
    EXPECT_TRUE(rating->isReal());
    EXPECT_EQ(rating->doubleValue(), 3.5);
    EXPECT_NE(attributes->objectForKeyAs<Dictionary>("kMDItemOsselVideoFormat"), nullptr);
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemDurationSeconds), str("twelve")));
    EXPECT_EQ(attributes->objectForKey(kMDItemContentCreationDate)->className(), "Data");
}

TEST_F(ImportThroughTable, EmptyDictionaryGivesExactlyCreatorAndKind) {
    bool imported = false;
    const auto attributes = importAnnotation("<dict/>", &imported);
    EXPECT_TRUE(imported);
    EXPECT_EQ(attributes->allKeys(), (std::vector<std::string>{"kMDItemCreator", "kMDItemKind"}));
}

TEST_F(ImportThroughTable, BinaryAnnotationFilesImportToo) {
    // { clipName = "Bin"; } in the binary form: three objects, one-byte offsets and references.
    const unsigned char bytes[] = {
        'b', 'p', 'l', 'i', 's', 't', '0', '0',                // header
        0xD1, 0x01, 0x02,                                      // dictionary: key 1, value 2
        0x58, 'c', 'l', 'i', 'p', 'N', 'a', 'm', 'e',          // "clipName"
        0x53, 'B', 'i', 'n',                                   // "Bin"
        0x08, 0x0B, 0x14,                                      // offset table
        0, 0, 0, 0, 0, 0, 1, 1,                                // trailer: sizes
        0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0,        // object count, top object
        0, 0, 0, 0, 0, 0, 0, 0x18,                             // offset table position
    };
    const std::string path =
        writeFile("Catalog/Clips/2006/binary.plist", std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
    auto attributes = Dictionary::make();
    ASSERT_TRUE(import(path, *attributes));
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemTitle), str("Bin")));
}

TEST_F(ImportThroughTable, UnreadableFilesAnswerFalseAndLeaveTheDictionaryUntouched) {
    const std::string cases[] = {
        (root_ / "missing.plist").string(),
        writeFile("garbage.plist", "\x01\x02 this is not a property list"),
        writeFile("empty.plist", ""),
        writeFile("array.plist", plist("<array><string>clipName</string></array>")),
        writeFile("string.plist", plist("<string>clipName</string>")),
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

TEST_F(ImportThroughTable, HostKeysBesideTheImportSurvive) {
    const std::string path = writeFile("Catalog/Clips/2006/clip.plist",
                                       plist("<dict><key>clipName</key><string>New</string></dict>"));
    auto attributes = Dictionary::make();
    attributes->setObject(str("Old"), std::string(kMDItemTitle));
    attributes->setObject(str("kept"), "hostOwnValue");
    ASSERT_TRUE(import(path, *attributes));
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemTitle), str("New")));
    EXPECT_TRUE(objectsEqual(attributes->objectForKey("hostOwnValue"), str("kept")));
}

namespace {

const char* kPeopleCatalog = R"(<array><dict>
    <key>peopleId</key><string>P1</string>
    <key>peopleData</key><dict><key>firstName</key><string>Ann</string><key>eMail</key><string>ann@example.org</string></dict>
</dict></array>)";
const char* kPlacesCatalog = R"(<array><dict>
    <key>placeId</key><string>L1</string>
    <key>placeData</key><dict><key>placeName</key><string>Quay</string></dict>
</dict></array>)";
const char* kClipWithIds = R"(<dict>
    <key>clipPeopleIds</key><array><string>P1</string></array>
    <key>clipPlaceIds</key><array><string>L1</string></array>
</dict>)";

}  // namespace

TEST_F(ImportThroughTable, CatalogThreeLevelsUpAddsKeywordsAndText) {
    writeFile("Catalog/People 2.xml", plist(kPeopleCatalog));
    writeFile("Catalog/Places 2.xml", plist(kPlacesCatalog));
    const auto attributes = importAnnotation(kClipWithIds);
    const auto keywords = attributes->objectForKeyAs<Array>(kMDItemKeywords);
    ASSERT_NE(keywords, nullptr);
    EXPECT_TRUE(keywords->isEqual(Array::make({str("Ann"), str("Quay")}).get()));
    EXPECT_TRUE(objectsEqual(attributes->objectForKey(kMDItemTextContent), str("ann@example.org")));
}

TEST_F(ImportThroughTable, WithoutAPeopleFileTheDirectoryIsNoCatalog) {
    writeFile("Catalog/Places 2.xml", plist(kPlacesCatalog));
    writeFile("Catalog/Events 2.xml", plist("<array/>"));
    const auto attributes = importAnnotation(kClipWithIds);
    EXPECT_EQ(attributes->allKeys(), (std::vector<std::string>{"kMDItemCreator", "kMDItemKind"}));
}

TEST_F(ImportThroughTable, UsersMoviesFolderServesAsTheFallbackCatalog) {
    writeFile("home/Movies/Ossel/People 2.xml", plist(kPeopleCatalog));
    const auto attributes = importAnnotation(kClipWithIds);
    const auto keywords = attributes->objectForKeyAs<Array>(kMDItemKeywords);
    ASSERT_NE(keywords, nullptr);
    EXPECT_TRUE(keywords->isEqual(Array::make({str("Ann")}).get()));
}

TEST_F(ImportThroughTable, NoMatchLeavesTextAndKeywordsAbsentNotEmpty) {
    writeFile("Catalog/People 2.xml", plist(kPeopleCatalog));
    const auto attributes =
        importAnnotation("<dict><key>clipPeopleIds</key><array><string>nobody</string></array></dict>");
    EXPECT_FALSE(attributes->containsKey(kMDItemKeywords));
    EXPECT_FALSE(attributes->containsKey(kMDItemTextContent));
    EXPECT_EQ(attributes->count(), 2u);
}
