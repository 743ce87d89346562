#include "catalog/TLOsselEvent.h"

#include "base/TLLog.h"
#include "foundation/Unicode.h"
#include "catalog/ClassIdGenerator.h"
#include "foundation/Archiver.h"

namespace ossel {
namespace {

const bool registered = (registerArchivableClass("TLOsselEvent", 0,
                                                  [](Decoder& d) -> Ref<Object> { return TLOsselEvent::initWithCoder(d); }),
                          true);

// The class-level generator, shared by every event record of the process.
ClassIdGenerator& eventIdGenerator() {
    static ClassIdGenerator generator(EVENT_ID_GENERATOR_KEY);
    return generator;
}

Ref<Array>& eventKeys() {
    static Ref<Array> keys;
    return keys;
}

}  // namespace

TLOsselEvent::TLOsselEvent() : TLOsselOrgConceptRecord(nextEventId()) {}

void TLOsselEvent::initialize() {
    if (!eventKeys()) eventKeys() = Array::make({str("eventName"), str("start"), str("end"), str("notes")}, false);
}

const Ref<Array>& TLOsselEvent::recordKeys() {
    initialize();
    return eventKeys();
}

Ref<String> TLOsselEvent::nextEventId() {
    return str(eventIdGenerator().obtain().nextStringIdWithPrefix(EVENT_ID_PREFIX));
}

void TLOsselEvent::resetEventId() {
    if (auto* generator = eventIdGenerator().existing()) generator->resetId();
}

Ref<TLOsselEvent> TLOsselEvent::initWithPList(const Dictionary* entry) {
    auto eventId = entryId(entry, kTLOsselEventIdProperty);
    if (!eventId) return nullptr;
    initialize();
    auto record = std::make_shared<TLOsselEvent>(std::move(eventId));
    record->readEntryFlags(*entry);
    record->mergeEntryData(*entry, kTLOsselEventDataProperty);
    return record;
}

Ref<TLOsselEvent> TLOsselEvent::initWithCoder(Decoder& decoder) {
    auto record = std::make_shared<TLOsselEvent>(nullptr);
    return decodeBase(decoder, *record) ? record : nullptr;
}

std::string TLOsselEvent::name() const {
    if (const auto value = valueForProperty(kTLOsselEventNameProperty)) return value->description();
    return mainBundleLocalizedString("Unnamed event");
}

int TLOsselEvent::compare(const TLOsselEvent& other) const { return unicode::compareFolded(name(), other.name()); }

Ref<Dictionary> TLOsselEvent::plist() const {
    auto entry = entryWithId(kTLOsselEventIdProperty);
    finishEntry(*entry, kTLOsselEventDataProperty);
    return entry;
}

Ref<TLOsselOrgConceptRecord> TLOsselEvent::recordWithSameClass(Ref<String> recordId) const {
    return std::make_shared<TLOsselEvent>(std::move(recordId));
}

bool TLOsselEvent::ownValueForKey(std::string_view key, Ref<Object>* value) const {
    if (key == "eventId") {
        *value = eventId();
    } else if (key == "name" || key == "description") {
        *value = str(name());
    } else {
        return TLOsselOrgConceptRecord::ownValueForKey(key, value);
    }
    return true;
}

}  // namespace ossel
