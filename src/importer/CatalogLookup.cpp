#include "importer/CatalogLookup.h"

#include <initializer_list>
#include <string_view>

#include "catalog/TLOsselEvent.h"
#include "catalog/TLOsselPeople.h"
#include "catalog/TLOsselPlace.h"
#include "foundation/PropertyList.h"
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

// What one pass takes from the clip and gives to the keyword list and the text.
struct PassSettings {
    std::string_view idListKey;
    void (*load)(Dictionary* table, const std::string& catalogDir);
    std::initializer_list<std::string_view> keywordProperties;
    std::string_view contentProperty;
};

void runPass(const PassSettings& pass, const Dictionary* annotation, const std::string& catalogDir,
             Ref<String>* contentText, Array* keywords) {
    if (!annotation) return;
    // Anything but a non-empty list of ids leaves the catalog file alone.
    const auto ids = annotation->objectForKeyAs<Array>(pass.idListKey);
    if (!ids || ids->empty()) return;
    const auto table = Dictionary::make();
    pass.load(table.get(), catalogDir);
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
    if (!table) return false;
    if (const auto& observer = readObserver()) observer(path);
    const auto entries = kindCast<Array>(readPropertyListFromFile(path));
    if (!entries || !recordClass) return true;
    for (const auto& entry : *entries) {
        const auto record = recordClass(dynamic_cast<const Dictionary*>(entry.get()));
        if (record && record->recordId()) table->setObject(record, record->recordId()->utf8());
    }
    return true;
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
        loadPeople,
        {kTLOsselPeopleNickNameProperty, kTLOsselPeopleFirstNameProperty, kTLOsselPeopleLastNameProperty},
        kTLOsselPeopleEMailProperty};
    runPass(pass, annotation, catalogDir, contentText, keywords);
}

void loadMatchingPlaces(const Dictionary* annotation, const std::string& catalogDir, Ref<String>* contentText,
                        Array* keywords) {
    static constexpr PassSettings pass{kTLDVClipAnnotationPlaceIdList,
                                       loadPlaces,
                                       {kTLOsselPlaceNameProperty, kTLOsselPlaceCountryProperty},
                                       kTLOsselPlaceNotesProperty};
    runPass(pass, annotation, catalogDir, contentText, keywords);
}

void loadMatchingEvents(const Dictionary* annotation, const std::string& catalogDir, Ref<String>* contentText,
                        Array* keywords) {
    static constexpr PassSettings pass{
        kTLDVClipAnnotationEventIdList, loadEvents, {kTLOsselEventNameProperty}, kTLOsselEventNotesProperty};
    runPass(pass, annotation, catalogDir, contentText, keywords);
}

void setCatalogFileReadObserverForTesting(std::function<void(const std::string&)> observer) {
    readObserver() = std::move(observer);
}

}  // namespace ossel
