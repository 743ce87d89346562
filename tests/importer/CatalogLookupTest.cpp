#include "importer/CatalogLookup.h"

#include <gtest/gtest.h>

#include <map>

#include "ImporterTest.h"
#include "catalog/TLOsselPeople.h"
#include "foundation/BinaryPlistBuilder.h"
#include "foundation/PropertyList.h"
#include "importer/GetMetadataForFile.h"
#include "platform/MDItem.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

using Fields = std::map<std::string, std::string>;

Ref<Dictionary> textFields(const Fields& fields) {
    auto data = Dictionary::make();
    for (const auto& [name, value] : fields) data->setObject(str(value), name);
    return data;
}

// One catalog-file entry: id key and value, data key and its text properties.
Ref<Dictionary> entry(const char* idKey, const char* id, const char* dataKey, const Fields& fields) {
    return dictionaryOf(
        {{idKey, id ? str(id) : nullptr}, {"isDemo", Number::withBool(false)}, {dataKey, textFields(fields)}});
}

Ref<Array> ids(std::initializer_list<const char*> list) {
    auto array = Array::make();
    for (const char* id : list) array->addObject(str(id));
    return array;
}

// A clip's annotation naming people, places and events by id.
Ref<Dictionary> clip(Ref<Object> people, Ref<Object> places = nullptr, Ref<Object> events = nullptr) {
    return dictionaryOf({{"clipPeopleIds", people}, {"clipPlaceIds", places}, {"clipEventIds", events}});
}

class CatalogLookup : public ImporterTempDir {
protected:
    void SetUp() override {
        std::filesystem::create_directories(catalog_);
        OsselImporterSetCatalogReadHook(
            [](const char* path, void* opened) {
                static_cast<std::vector<std::string>*>(opened)->push_back(std::filesystem::path(path).filename());
                return 1;
            },
            &opened_);
    }
    void TearDown() override { OsselImporterSetCatalogReadHook(nullptr, nullptr); }

    void writeCatalog(const char* fileName, std::vector<Ref<Object>> entries) {
        const auto array = Array::make(std::move(entries));
        std::string error;
        ASSERT_TRUE(writePropertyListToFile(array.get(), catalog_ + "/" + fileName, true, &error)) << error;
    }
    void writeRaw(const char* fileName, const std::string& contents) { writeFile(std::string("Ossel/") + fileName, contents); }
    std::vector<std::string> keywords() const {
        std::vector<std::string> out;
        for (const auto& item : *keywords_) out.push_back(item->description());
        return out;
    }

    void writeStandardCatalog() {
        for (const char* file : {"People 2.xml", "Places 2.xml", "Events 2.xml"}) {
            writeRaw(file, fileContent(std::string(OSSEL_TEST_DATA "/importer/catalog/") + file));
        }
    }

    // Runs the three passes as the import does.
    void lookUp(const Dictionary& annotation) {
        keywords_ = Array::make();
        content_ = nullptr;
        loadMatchingPeople(&annotation, catalog_, &content_, keywords_.get());
        loadMatchingPlaces(&annotation, catalog_, &content_, keywords_.get());
        loadMatchingEvents(&annotation, catalog_, &content_, keywords_.get());
    }
    std::string content() const { return std::string(content_ ? content_->utf8() : "(none)"); }

    const std::string catalog_ = (root_ / "Ossel").string();
    std::vector<std::string> opened_;
    Ref<Array> keywords_;
    Ref<String> content_;
};

TEST_F(CatalogLookup, ReadsOnlyTheCatalogFilesTheClipNeeds) {
    writeStandardCatalog();
    lookUp(Dictionary());
    EXPECT_TRUE(opened_.empty());
    // An empty list, or a text where a list belongs, counts as none.
    lookUp(*clip(ids({"P1"}), Array::make(), str("E1")));
    EXPECT_EQ(opened_, std::vector<std::string>{"People 2.xml"});
    EXPECT_EQ(keywords(), (std::vector<std::string>{"Ann", "Lee"}));
    opened_.clear();
    lookUp(*clip(nullptr, nullptr, ids({"E1"})));
    EXPECT_EQ(opened_, std::vector<std::string>{"Events 2.xml"});
}

TEST_F(CatalogLookup, BrokenEntriesAreSkippedAndOfTwoRecordsWithOneIdTheLaterWins) {
    auto numericId = entry("peopleId", nullptr, "peopleData", {{"firstName", "Num"}});
    numericId->setObject(Number::withInt(7), "peopleId");
    writeCatalog("People 2.xml", {entry("peopleId", "P1", "peopleData", {{"firstName", "Old"}}), str("just text"), Array::make(), numericId,
                                  entry("peopleId", nullptr, "peopleData", {{"firstName", "NoId"}}),
                                  entry("placeId", "P1", "placeData", {{"placeName", "Wrong kind"}}),
                                  entry("peopleId", "P1", "peopleData", {{"firstName", "Ann"}})});
    auto clipIds = ids({"P1", "7"});
    clipIds->addObject(Number::withInt(7));
    clipIds->addObject(Dictionary::make());
    lookUp(*clip(clipIds));
    EXPECT_EQ(keywords(), (std::vector<std::string>{"Ann"}));
}

// The lookup reads values straight from the entries; the record class is the
// authority on what an entry gives.
TEST_F(CatalogLookup, EachEntryGivesTheValuesItsRecordWouldGive) {
    const Fields names{{"nickName", "Nick"}, {"firstName", "First"}, {"eMail", "e@x"}};
    const Fields others{{"lastName", "Other"}};
    std::vector<Ref<Object>> entries;
    auto add = [&](Ref<Object> data, Ref<Object> typed) {
        auto e = entry("peopleId", ("S" + std::to_string(entries.size())).c_str(), "peopleData", {});
        e->setObject(data, "peopleData");
        e->setObject(typed, "@dict:peopleData");
        entries.push_back(e);
    };
    for (const auto& data : std::initializer_list<Ref<Object>>{textFields(names), textFields({}), str("text"), nullptr}) {
        for (const auto& typed :
             std::initializer_list<Ref<Object>>{textFields(others), textFields({}), Number::withInt(1), nullptr}) {
            add(data, typed);
        }
    }
    add(dictionaryOf({{"lastName", Number::withInt(7)}, {"eMail", Number::withDouble(2.5)}}), nullptr);
    writeCatalog("People 2.xml", entries);

    Dictionary table;
    ASSERT_TRUE(loadOrgConceptRecordsOfClass(
        [](const Dictionary* e) -> Ref<TLOsselOrgConceptRecord> { return TLOsselPeople::initWithPList(e); },
        catalog_ + "/People 2.xml", &table));
    ASSERT_EQ(table.count(), entries.size());
    // The XML form, then the binary one, which is read whole rather than entry by entry.
    for (int binary = 0; binary < 2; ++binary) {
        if (binary) {
            const auto bytes = encodeBinaryPlist(Array::make(entries).get());
            writeRaw("People 2.xml", std::string(bytes.begin(), bytes.end()));
        }
        for (const auto& [id, value] : table) {
            const auto& record = static_cast<const TLOsselOrgConceptRecord&>(*value);
            std::vector<std::string> expected;
            for (const char* property : {"nickName", "firstName", "lastName"}) {
                if (const auto v = record.valueForProperty(property)) expected.push_back(v->description());
            }
            const auto mail = record.valueForProperty("eMail");
            lookUp(*clip(ids({id.c_str()})));
            EXPECT_EQ(keywords(), expected) << id << (binary ? " binary" : "");
            EXPECT_EQ(content(), mail ? mail->description() : "(none)") << id;
        }
    }
}

TEST_F(CatalogLookup, UnreadableOrMisshapenFilesLeaveTheirTableEmpty) {
    writeStandardCatalog();
    const auto annotation = clip(ids({"P1"}), ids({"L1"}), ids({"E1"}));
    for (const std::string& what : {std::string("hello"), std::string(), plist("<dict><key>peopleId</key><string>P1</string></dict>"),
                                   plist("<string>P1</string>"), std::string("bplist00\xff\xff\xff\xff\x00\x01", 14)}) {
        writeRaw("People 2.xml", what);
        lookUp(*annotation);
        EXPECT_EQ(keywords(), (std::vector<std::string>{"Oslo", "Norway", "Wedding"})) << what;
        EXPECT_EQ(content(), "fjord garden") << what;
    }
    std::filesystem::remove(catalog_ + "/Places 2.xml");
    std::filesystem::create_directory(catalog_ + "/Places 2.xml");
    std::filesystem::remove(catalog_ + "/Events 2.xml");
    lookUp(*annotation);
    EXPECT_TRUE(keywords_->empty());
    EXPECT_EQ(content(), "(none)");
}

// When the lookup finds something, the host's run over the examples shows what the import stores.
TEST_F(CatalogLookup, TheImportStoresNeitherKeywordsNorTextContentWhenNothingMatched) {
    writeStandardCatalog();
    const std::string path = writeFile("Ossel/Clips/2006/beach.plist", "");
    ASSERT_TRUE(writePropertyListToFile(clip(ids({"nobody"})).get(), path, true));
    Dictionary attributes;
    ASSERT_TRUE(GetMetadataForFile(nullptr, &attributes, nullptr, str(path).get()));
    EXPECT_FALSE(attributes.containsKey(kMDItemKeywords));
    EXPECT_FALSE(attributes.containsKey(kMDItemTextContent));
}

}  // namespace
