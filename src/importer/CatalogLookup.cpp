#include "importer/CatalogLookup.h"

#include <initializer_list>
#include <string_view>
#include <unordered_set>

#include "catalog/TLOsselEvent.h"
#include "catalog/TLOsselPeople.h"
#include "catalog/TLOsselPlace.h"
#include "foundation/PropertyList.h"
#include "foundation/RegularFile.h"
#include "importer/GetMetadataForFile.h"
#include "importer/PathComponents.h"
#include "importer/TLDVClipAnnotationKeys.h"

namespace ossel {
namespace {

constexpr std::string_view kPeopleCatalogFile = "People 2.xml";
constexpr std::string_view kPlacesCatalogFile = "Places 2.xml";
constexpr std::string_view kEventsCatalogFile = "Events 2.xml";

std::function<void(const std::string&)>& readObserver() {
    static std::function<void(const std::string&)> observer;
    return observer;
}

// Ids a pass looks for; views into the clip's own id texts.
using WantedIds = std::unordered_set<std::string_view>;

// What one pass reads and what it takes from the clip and gives to the keyword list and the text.
struct PassSettings {
    std::string_view idListKey;
    std::string_view catalogFile;
    OrgConceptRecordClass recordClass;
    std::string_view recordIdKey;
    std::initializer_list<std::string_view> keywordProperties;
    std::string_view contentProperty;
};

// Reads a catalog file into the table. With a wanted set, entries whose id is not
// wanted are passed over before a record is built: a clip names a handful of
// records out of hundreds, and matching cannot tell the difference.
bool readCatalog(OrgConceptRecordClass recordClass, const std::string& path, Dictionary* table,
                 std::string_view recordIdKey = {}, const WantedIds* wanted = nullptr) {
    if (!table) return false;
    if (const auto& observer = readObserver()) observer(path);
    const auto entries = kindCast<Array>(readPropertyListFromFile(path, nullptr, {.sizeLimit = catalogSizeLimit()}));
    if (!entries || !recordClass) return true;
    for (const auto& item : *entries) {
        const auto* entry = dynamic_cast<const Dictionary*>(item.get());
        if (wanted) {
            const auto* id = entry ? dynamic_cast<const String*>(entry->objectForKey(recordIdKey).get()) : nullptr;
            if (!id || !wanted->contains(id->view())) continue;
        }
        const auto record = recordClass(entry);
        if (record && record->recordId()) table->setObject(record, record->recordId()->utf8());
    }
    return true;
}

void runPass(const PassSettings& pass, const Dictionary* annotation, const std::string& catalogDir,
             Ref<String>* contentText, Array* keywords) {
    if (!annotation) return;
    // Anything but a non-empty list of ids leaves the catalog file alone.
    const auto ids = annotation->objectForKeyAs<Array>(pass.idListKey);
    if (!ids || ids->empty()) return;
    WantedIds wanted;
    for (const auto& id : *ids) {
        if (const auto* text = dynamic_cast<const String*>(id.get())) wanted.insert(text->view());
    }
    const auto table = Dictionary::make();
    readCatalog(pass.recordClass, stringByAppendingPathComponent(catalogDir, pass.catalogFile), table.get(),
                pass.recordIdKey, &wanted);
    for (const auto& id : *ids) {
        const auto idText = kindCast<String>(id);
        if (!idText) continue;
        const auto record = table->objectForKeyAs<TLOsselOrgConceptRecord>(idText->view());
        if (!record) continue;
        for (const auto property : pass.keywordProperties) addToKeywordsArray(keywords, record->valueForProperty(property));
        addToContentString(contentText, record->valueForProperty(pass.contentProperty));
    }
}

template <class Record>
Ref<TLOsselOrgConceptRecord> recordFromEntry(const Dictionary* entry) {
    return Record::initWithPList(entry);
}

void loadCatalogFile(OrgConceptRecordClass recordClass, Dictionary* table, const std::string& catalogDir,
                     std::string_view fileName) {
    loadOrgConceptRecordsOfClass(recordClass, stringByAppendingPathComponent(catalogDir, fileName), table);
}

}  // namespace

bool loadOrgConceptRecordsOfClass(OrgConceptRecordClass recordClass, const std::string& path, Dictionary* table) {
    return readCatalog(recordClass, path, table);
}

void loadPeople(Dictionary* table, const std::string& catalogDir) {
    loadCatalogFile(recordFromEntry<TLOsselPeople>, table, catalogDir, kPeopleCatalogFile);
}

void loadPlaces(Dictionary* table, const std::string& catalogDir) {
    loadCatalogFile(recordFromEntry<TLOsselPlace>, table, catalogDir, kPlacesCatalogFile);
}

void loadEvents(Dictionary* table, const std::string& catalogDir) {
    loadCatalogFile(recordFromEntry<TLOsselEvent>, table, catalogDir, kEventsCatalogFile);
}

void loadMatchingPeople(const Dictionary* annotation, const std::string& catalogDir, Ref<String>* contentText,
                        Array* keywords) {
    static constexpr PassSettings pass{
        kTLDVClipAnnotationPeopleIdList,
        kPeopleCatalogFile,
        recordFromEntry<TLOsselPeople>,
        kTLOsselPeopleIdProperty,
        {kTLOsselPeopleNickNameProperty, kTLOsselPeopleFirstNameProperty, kTLOsselPeopleLastNameProperty},
        kTLOsselPeopleEMailProperty};
    runPass(pass, annotation, catalogDir, contentText, keywords);
}

void loadMatchingPlaces(const Dictionary* annotation, const std::string& catalogDir, Ref<String>* contentText,
                        Array* keywords) {
    static constexpr PassSettings pass{kTLDVClipAnnotationPlaceIdList,
                                       kPlacesCatalogFile,
                                       recordFromEntry<TLOsselPlace>,
                                       kTLOsselPlaceIdProperty,
                                       {kTLOsselPlaceNameProperty, kTLOsselPlaceCountryProperty},
                                       kTLOsselPlaceNotesProperty};
    runPass(pass, annotation, catalogDir, contentText, keywords);
}

void loadMatchingEvents(const Dictionary* annotation, const std::string& catalogDir, Ref<String>* contentText,
                        Array* keywords) {
    static constexpr PassSettings pass{kTLDVClipAnnotationEventIdList,
                                       kEventsCatalogFile,
                                       recordFromEntry<TLOsselEvent>,
                                       kTLOsselEventIdProperty,
                                       {kTLOsselEventNameProperty},
                                       kTLOsselEventNotesProperty};
    runPass(pass, annotation, catalogDir, contentText, keywords);
}

void setCatalogFileReadObserverForTesting(std::function<void(const std::string&)> observer) {
    readObserver() = std::move(observer);
}

}  // namespace ossel
