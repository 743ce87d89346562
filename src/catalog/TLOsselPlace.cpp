#include "catalog/TLOsselPlace.h"

#include "base/TLLog.h"
#include "foundation/Unicode.h"
#include "catalog/ClassIdGenerator.h"
#include "foundation/Archiver.h"

namespace ossel {
namespace {

const bool registered = (registerArchivableClass("TLOsselPlace", 0,
                                                  [](Decoder& d) -> Ref<Object> { return TLOsselPlace::initWithCoder(d); }),
                          true);

// The class-level generator, shared by every place record of the process.
ClassIdGenerator& placeIdGenerator() {
    static ClassIdGenerator generator(PLACE_ID_GENERATOR_KEY);
    return generator;
}

Ref<Array>& placeKeys() {
    static Ref<Array> keys;
    return keys;
}

}  // namespace

TLOsselPlace::TLOsselPlace() : TLOsselOrgConceptRecord(nextPlaceId()) {}

void TLOsselPlace::initialize() {
    if (!placeKeys()) placeKeys() = Array::make({str("placeName"), str("notes")}, false);
}

const Ref<Array>& TLOsselPlace::recordKeys() {
    initialize();
    return placeKeys();
}

Ref<String> TLOsselPlace::nextPlaceId() {
    return str(placeIdGenerator().obtain().nextStringIdWithPrefix(PLACE_ID_PREFIX));
}

void TLOsselPlace::resetPlaceId() {
    if (auto* generator = placeIdGenerator().existing()) generator->resetId();
}

Ref<TLOsselPlace> TLOsselPlace::initWithPList(const Dictionary* entry) {
    auto placeId = entryId(entry, kTLOsselPlaceIdProperty);
    if (!placeId) return nullptr;
    initialize();
    auto record = std::make_shared<TLOsselPlace>(std::move(placeId));
    record->readEntryFlags(*entry);
    record->mergeEntryData(*entry, kTLOsselPlaceDataProperty);
    return record;
}

Ref<TLOsselPlace> TLOsselPlace::initWithCoder(Decoder& decoder) {
    auto record = std::make_shared<TLOsselPlace>(nullptr);
    return decodeBase(decoder, *record) ? record : nullptr;
}

std::string TLOsselPlace::name() const {
    if (const auto value = valueForProperty(kTLOsselPlaceNameProperty)) return value->description();
    return mainBundleLocalizedString("Unnamed place");
}

int TLOsselPlace::compare(const TLOsselPlace& other) const { return unicode::compareFolded(name(), other.name()); }

Ref<Dictionary> TLOsselPlace::plist() const {
    auto entry = entryWithId(kTLOsselPlaceIdProperty);
    finishEntry(*entry, kTLOsselPlaceDataProperty);
    return entry;
}

Ref<TLOsselOrgConceptRecord> TLOsselPlace::recordWithSameClass(Ref<String> recordId) const {
    return std::make_shared<TLOsselPlace>(std::move(recordId));
}

bool TLOsselPlace::ownValueForKey(std::string_view key, Ref<Object>* value) const {
    if (key == "placeId") {
        *value = placeId();
    } else if (key == "name" || key == "description") {
        *value = str(name());
    } else {
        return TLOsselOrgConceptRecord::ownValueForKey(key, value);
    }
    return true;
}

}  // namespace ossel
