#include "importer/CatalogLookup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ImporterTempDir.h"
#include "catalog/TLOsselPeople.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "importer/GetMetadataForFile.h"
#include "platform/MDItem.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

using Fields = std::map<std::string, std::string>;

// One catalog-file entry: id key and value, data key and its text properties.
Ref<Dictionary> entry(const char* idKey, const char* id, const char* dataKey, const Fields& fields) {
    auto data = Dictionary::make();
    for (const auto& [name, value] : fields) data->setObject(str(value), name);
    auto result = Dictionary::make();
    if (id) result->setObject(str(id), idKey);
    result->setObject(Number::withBool(false), "isDemo");
    result->setObject(data, dataKey);
    return result;
}

Ref<Array> ids(std::initializer_list<const char*> list) {
    auto array = Array::make();
    for (const char* id : list) array->addObject(str(id));
    return array;
}

std::vector<std::string> texts(const Array& array) {
    std::vector<std::string> out;
    for (const auto& item : array) out.push_back(item->description());
    return out;
}

class CatalogLookup : public ImporterTempDir {
protected:
    void SetUp() override {
        ImporterTempDir::SetUp();
        catalog_ = (root_ / "Ossel").string();
        std::filesystem::create_directories(catalog_);
        setCatalogFileReadObserverForTesting([this](const std::string& path) {
            opened_.push_back(std::filesystem::path(path).filename().string());
        });
    }
    void TearDown() override {
        setCatalogFileReadObserverForTesting(nullptr);
        ImporterTempDir::TearDown();
    }

    void writeCatalog(const char* fileName, std::vector<Ref<Object>> entries) {
        const auto array = Array::make(std::move(entries));
        std::string error;
        ASSERT_TRUE(writePropertyListToFile(array.get(), catalog_ + "/" + fileName, true, &error)) << error;
    }
    void writeRaw(const char* fileName, const std::string& contents) { writeFile(std::string("Ossel/") + fileName, contents); }

    void writeStandardCatalog() {
        writeCatalog("People 2.xml",
                     {entry("peopleId", "P1", "peopleData", {{"firstName", "Ann"}, {"lastName", "Lee"}, {"eMail", "ann@x"}}),
                      entry("peopleId", "P2", "peopleData", {{"nickName", "Bob"}, {"firstName", "Robert"}}),
                      entry("peopleId", "P3", "peopleData", {{"lastName", "Kim"}}),
                      entry("peopleId", "P4", "peopleData", {{"nickName", "Max"}, {"firstName", "Max"}, {"eMail", "max@x"}})});
        writeCatalog("Places 2.xml",
                     {entry("placeId", "L1", "placeData", {{"placeName", "Oslo"}, {"country", "Norway"}, {"notes", "fjord"}}),
                      entry("placeId", "L2", "placeData", {{"country", "Chile"}})});
        writeCatalog("Events 2.xml",
                     {entry("eventId", "E1", "eventData", {{"eventName", "Wedding"}, {"notes", "garden"}, {"start", "x"}})});
    }

    // Runs the three passes as the import does.
    void lookUp(const Dictionary& annotation) {
        keywords_ = Array::make();
        content_ = nullptr;
        loadMatchingPeople(&annotation, catalog_, &content_, keywords_.get());
        loadMatchingPlaces(&annotation, catalog_, &content_, keywords_.get());
        loadMatchingEvents(&annotation, catalog_, &content_, keywords_.get());
    }
    std::string content() const { return content_ ? content_->utf8() : "(none)"; }

    std::string catalog_;
    std::vector<std::string> opened_;
    Ref<Array> keywords_;
    Ref<String> content_;
};

TEST_F(CatalogLookup, ReadsOnlyTheCatalogFilesTheClipNeeds) {
    writeStandardCatalog();
    Dictionary annotation;
    lookUp(annotation);
    EXPECT_TRUE(opened_.empty());

    annotation.setObject(ids({"P1"}), "clipPeopleIds");
    annotation.setObject(Array::make(), "clipPlaceIds");
    annotation.setObject(str("E1"), "clipEventIds");  // not a list: counts as none
    lookUp(annotation);
    EXPECT_EQ(opened_, std::vector<std::string>{"People 2.xml"});
    EXPECT_EQ(texts(*keywords_), (std::vector<std::string>{"Ann", "Lee"}));

    opened_.clear();
    annotation.setObject(ids({"E1"}), "clipEventIds");
    annotation.setObject(nullptr, "clipPeopleIds");
    lookUp(annotation);
    EXPECT_EQ(opened_, std::vector<std::string>{"Events 2.xml"});
}

TEST_F(CatalogLookup, KeywordsFollowTheClipsIdOrderAndKeepDuplicates) {
    writeStandardCatalog();
    Dictionary annotation;
    annotation.setObject(ids({"P4", "P2", "nobody", "P3", "P1", "P2"}), "clipPeopleIds");
    annotation.setObject(ids({"L2", "L1"}), "clipPlaceIds");
    annotation.setObject(ids({"E1"}), "clipEventIds");
    lookUp(annotation);
    EXPECT_EQ(texts(*keywords_), (std::vector<std::string>{"Max", "Max", "Bob", "Robert", "Kim", "Ann", "Lee", "Bob",
                                                           "Robert", "Chile", "Oslo", "Norway", "Wedding"}));
    EXPECT_EQ(content(), "max@x ann@x fjord garden");
}

TEST_F(CatalogLookup, ARecordWithoutTheListedPropertiesAddsOnlyWhatItHas) {
    writeStandardCatalog();
    Dictionary annotation;
    annotation.setObject(ids({"P3"}), "clipPeopleIds");
    lookUp(annotation);
    EXPECT_EQ(texts(*keywords_), std::vector<std::string>{"Kim"});
    EXPECT_EQ(content(), "(none)");
}

TEST_F(CatalogLookup, TheLaterOfTwoRecordsWithOneIdWins) {
    writeCatalog("People 2.xml", {entry("peopleId", "P1", "peopleData", {{"firstName", "Old"}}),
                                  entry("peopleId", "P2", "peopleData", {{"firstName", "Other"}}),
                                  entry("peopleId", "P1", "peopleData", {{"firstName", "New"}})});
    Dictionary annotation;
    annotation.setObject(ids({"P1"}), "clipPeopleIds");
    lookUp(annotation);
    EXPECT_EQ(texts(*keywords_), std::vector<std::string>{"New"});

    auto table = Dictionary::make();
    loadPeople(table.get(), catalog_);
    EXPECT_EQ(table->allKeys(), (std::vector<std::string>{"P1", "P2"}));
}

TEST_F(CatalogLookup, BrokenEntriesAreSkippedAndTheRestStillMatch) {
    auto numericId = entry("peopleId", nullptr, "peopleData", {{"firstName", "Num"}});
    numericId->setObject(Number::withInt(7), "peopleId");
    auto nestedOnly = Dictionary::make();
    nestedOnly->setObject(str("P9"), "peopleId");
    auto nested = Dictionary::make();
    nested->setObject(str("Nested"), "nickName");
    nestedOnly->setObject(nested, "@dict:peopleData");
    auto wrongData = entry("peopleId", "P8", "peopleData", {});
    wrongData->setObject(str("not a dictionary"), "peopleData");
    wrongData->setObject(Number::withInt(3), "lastUse");
    writeCatalog("People 2.xml", {str("just text"), Array::make(), numericId,
                                  entry("peopleId", nullptr, "peopleData", {{"firstName", "NoId"}}),
                                  entry("placeId", "P1", "placeData", {{"placeName", "Wrong kind"}}), nestedOnly,
                                  wrongData, entry("peopleId", "P1", "peopleData", {{"firstName", "Ann"}})});
    Dictionary annotation;
    auto clipIds = ids({"P1", "7", "P9", "P8"});
    clipIds->addObject(Number::withInt(7));
    clipIds->addObject(Dictionary::make());
    annotation.setObject(clipIds, "clipPeopleIds");
    lookUp(annotation);
    EXPECT_EQ(texts(*keywords_), (std::vector<std::string>{"Ann", "Nested"}));
}

TEST_F(CatalogLookup, UnreadableOrMisshapenFilesLeaveTheirTableEmpty) {
    writeStandardCatalog();
    Dictionary annotation;
    annotation.setObject(ids({"P1"}), "clipPeopleIds");
    annotation.setObject(ids({"L1"}), "clipPlaceIds");
    annotation.setObject(ids({"E1"}), "clipEventIds");
    const std::vector<std::pair<std::string, std::string>> garbage = {
        {"not a plist", "hello"},
        {"empty file", ""},
        {"top-level dictionary", plist("<dict><key>peopleId</key><string>P1</string></dict>")},
        {"top-level string", plist("<string>P1</string>")},
        {"truncated", plist("<array><dict><key>peopleId</key><string>P1</str")},
        {"binary junk", std::string("bplist00\xff\xff\xff\xff\x00\x01", 14)},
    };
    for (const auto& [what, contents] : garbage) {
        writeRaw("People 2.xml", contents);
        lookUp(annotation);
        EXPECT_EQ(texts(*keywords_), (std::vector<std::string>{"Oslo", "Norway", "Wedding"})) << what;
        EXPECT_EQ(content(), "fjord garden") << what;
    }
    std::filesystem::remove(catalog_ + "/Places 2.xml");
    std::filesystem::create_directory(catalog_ + "/Places 2.xml");
    std::filesystem::remove(catalog_ + "/Events 2.xml");
    lookUp(annotation);
    EXPECT_TRUE(keywords_->empty());
    EXPECT_EQ(content(), "(none)");
}

TEST_F(CatalogLookup, TheReaderNeedsATableButNotAFile) {
    const auto noTable = loadOrgConceptRecordsOfClass(
        [](const Dictionary* e) -> Ref<TLOsselOrgConceptRecord> { return TLOsselPeople::initWithPList(e); },
        catalog_ + "/People 2.xml", nullptr);
    EXPECT_FALSE(noTable);
    auto table = Dictionary::make();
    EXPECT_TRUE(loadOrgConceptRecordsOfClass(nullptr, catalog_ + "/missing.xml", table.get()));
    EXPECT_TRUE(table->empty());
}

TEST_F(CatalogLookup, EveryTruncationOfACatalogIsSurvived) {
    writeStandardCatalog();
    std::ifstream in(catalog_ + "/People 2.xml", std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Dictionary annotation;
    annotation.setObject(ids({"P1", "P4"}), "clipPeopleIds");
    for (size_t keep = 0; keep < whole.size(); keep += 7) {
        writeRaw("People 2.xml", whole.substr(0, keep));
        lookUp(annotation);
        EXPECT_TRUE(keywords_->empty()) << keep;
    }
    writeRaw("People 2.xml", whole);
    lookUp(annotation);
    EXPECT_EQ(texts(*keywords_), (std::vector<std::string>{"Ann", "Lee", "Max", "Max"}));
}

TEST_F(CatalogLookup, TheImportStoresKeywordsAndTextContent) {
    writeStandardCatalog();
    auto annotation = Dictionary::make();
    annotation->setObject(str("Beach day"), "clipName");
    annotation->setObject(ids({"P2", "P1"}), "clipPeopleIds");
    annotation->setObject(ids({"L1"}), "clipPlaceIds");
    const auto clip = catalog_ + "/Clips/2006/beach.plist";
    std::filesystem::create_directories(std::filesystem::path(clip).parent_path());
    ASSERT_TRUE(writePropertyListToFile(annotation.get(), clip, true));

    Dictionary attributes;
    const auto path = str(clip);
    ASSERT_TRUE(GetMetadataForFile(nullptr, &attributes, nullptr, path.get()));
    const auto keywords = attributes.objectForKeyAs<Array>(kMDItemKeywords);
    ASSERT_TRUE(keywords);
    EXPECT_EQ(texts(*keywords), (std::vector<std::string>{"Bob", "Robert", "Ann", "Lee", "Oslo", "Norway"}));
    EXPECT_EQ(attributes.objectForKey(kMDItemTextContent)->description(), "ann@x fjord");
    EXPECT_EQ(opened_, (std::vector<std::string>{"People 2.xml", "Places 2.xml"}));

    // Ids that match nothing: neither attribute, not even empty.
    annotation->setObject(ids({"nobody"}), "clipPeopleIds");
    annotation->setObject(nullptr, "clipPlaceIds");
    ASSERT_TRUE(writePropertyListToFile(annotation.get(), clip, true));
    Dictionary unmatched;
    ASSERT_TRUE(GetMetadataForFile(nullptr, &unmatched, nullptr, path.get()));
    EXPECT_FALSE(unmatched.containsKey(kMDItemKeywords));
    EXPECT_FALSE(unmatched.containsKey(kMDItemTextContent));
    EXPECT_EQ(unmatched.objectForKey(kMDItemTitle)->description(), "Beach day");
}

}  // namespace
