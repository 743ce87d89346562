#include "importer/CatalogLookup.h"

#include <string_view>
#include <vector>

#include "catalog/TLOsselEvent.h"
#include "catalog/TLOsselPeople.h"
#include "catalog/TLOsselPlace.h"
#include "foundation/PropertyList.h"
#include "importer/CatalogCache.h"
#include "importer/GetMetadataForFile.h"
#include "importer/PathComponents.h"
#include "importer/TLDVClipAnnotationKeys.h"

namespace ossel {
namespace {

struct ReadHook {
    OsselCatalogReadHook function = nullptr;
    void* context = nullptr;
};

ReadHook& readHook() {
    static ReadHook hook;
    return hook;
}

template <class Record>
Ref<TLOsselOrgConceptRecord> recordFromEntry(const Dictionary* entry) {
    return Record::initWithPList(entry);
}

constexpr CatalogRecordKind kPeople{
    kTLDVClipAnnotationPeopleIdList,
    "People 2.xml",
    recordFromEntry<TLOsselPeople>,
    kTLOsselPeopleIdProperty,
    kTLOsselPeopleDataProperty,
    "@dict:peopleData",
    {kTLOsselPeopleNickNameProperty, kTLOsselPeopleFirstNameProperty, kTLOsselPeopleLastNameProperty},
    kTLOsselPeopleEMailProperty};
constexpr CatalogRecordKind kPlaces{kTLDVClipAnnotationPlaceIdList,
                                    "Places 2.xml",
                                    recordFromEntry<TLOsselPlace>,
                                    kTLOsselPlaceIdProperty,
                                    kTLOsselPlaceDataProperty,
                                    "@dict:placeData",
                                    {kTLOsselPlaceNameProperty, kTLOsselPlaceCountryProperty},
                                    kTLOsselPlaceNotesProperty};
constexpr CatalogRecordKind kEvents{kTLDVClipAnnotationEventIdList,
                                    "Events 2.xml",
                                    recordFromEntry<TLOsselEvent>,
                                    kTLOsselEventIdProperty,
                                    kTLOsselEventDataProperty,
                                    "@dict:eventData",
                                    {kTLOsselEventNameProperty},
                                    kTLOsselEventNotesProperty};

void runPass(const CatalogRecordKind& kind, const Dictionary* annotation, const std::string& catalogDir,
             Ref<String>* contentText, Array* keywords) {
    if (!annotation) return;
    // Anything but a non-empty list of ids leaves the catalog file alone.
    const auto ids = annotation->objectForKeyAs<Array>(kind.idListKey);
    if (!ids || ids->empty()) return;
    const auto records = CatalogCache::shared().records(catalogDir, kind);
    if (!records) return;
    for (const auto& id : *ids) {
        const auto* idText = dynamic_cast<const String*>(id.get());
        const auto found = idText ? records->find(idText->view()) : std::nullopt;
        if (!found) continue;
        for (const auto& value : found->keywords) addToKeywordsArray(keywords, value);
        if (found->content) addToContentString(contentText, *found->content);
    }
}

void loadCatalogFile(const CatalogRecordKind& kind, Dictionary* table, const std::string& catalogDir) {
    loadOrgConceptRecordsOfClass(kind.recordClass, stringByAppendingPathComponent(catalogDir, kind.catalogFile), table);
}

}  // namespace

bool readCatalogEntries(const std::string& path, const std::function<void(const Dictionary* entry)>& take,
                        std::optional<FileIdentity>* identity) {
    if (const auto& hook = readHook(); hook.function && hook.function(path.c_str(), hook.context) == 0) return false;
    std::vector<uint8_t> bytes;
    FileIdentity read;
    if (!readRegularFile(path, catalogSizeLimit(), bytes, nullptr, &read)) return false;
    if (identity) *identity = read;
    PropertyListReadOptions options;
    options.arrayItemSink = [&](Ref<Object> item) { take(dynamic_cast<const Dictionary*>(item.get())); };
    const auto entries = kindCast<Array>(readPropertyList(bytes, nullptr, std::move(options)));
    // Only a binary list still holds its items here.
    if (entries) {
        for (const auto& item : *entries) take(dynamic_cast<const Dictionary*>(item.get()));
    }
    return entries != nullptr;
}

void setCatalogReadHook(OsselCatalogReadHook hook, void* context) { readHook() = {hook, context}; }

bool loadOrgConceptRecordsOfClass(OrgConceptRecordClass recordClass, const std::string& path, Dictionary* table) {
    if (!table) return false;
    if (!recordClass) return true;
    std::vector<Ref<TLOsselOrgConceptRecord>> records;
    const auto take = [&](const Dictionary* entry) {
        if (auto record = recordClass(entry); record && record->recordId()) records.push_back(std::move(record));
    };
    if (!readCatalogEntries(path, take)) return true;
    for (const auto& record : records) table->setObject(record, std::string(record->recordId()->utf8()));
    return true;
}

void loadPeople(Dictionary* table, const std::string& catalogDir) { loadCatalogFile(kPeople, table, catalogDir); }
void loadPlaces(Dictionary* table, const std::string& catalogDir) { loadCatalogFile(kPlaces, table, catalogDir); }
void loadEvents(Dictionary* table, const std::string& catalogDir) { loadCatalogFile(kEvents, table, catalogDir); }

void loadMatchingPeople(const Dictionary* annotation, const std::string& catalogDir, Ref<String>* contentText,
                        Array* keywords) {
    runPass(kPeople, annotation, catalogDir, contentText, keywords);
}

void loadMatchingPlaces(const Dictionary* annotation, const std::string& catalogDir, Ref<String>* contentText,
                        Array* keywords) {
    runPass(kPlaces, annotation, catalogDir, contentText, keywords);
}

void loadMatchingEvents(const Dictionary* annotation, const std::string& catalogDir, Ref<String>* contentText,
                        Array* keywords) {
    runPass(kEvents, annotation, catalogDir, contentText, keywords);
}

}  // namespace ossel
