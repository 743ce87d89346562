#pragma once
// The catalog record of an event ("Events 2.xml").

#include <string_view>

#include "catalog/TLOsselCatalogRecord.h"

namespace ossel {

inline constexpr std::string_view kTLOsselEventIdProperty = "eventId";
inline constexpr std::string_view kTLOsselEventDataProperty = "eventData";
inline constexpr std::string_view kTLOsselEventIsDemoKey = "isDemo";
inline constexpr std::string_view kTLOsselEventNameProperty = "eventName";
inline constexpr std::string_view kTLOsselEventStartDateProperty = "start";
inline constexpr std::string_view kTLOsselEventEndDateProperty = "end";
inline constexpr std::string_view kTLOsselEventAttendeesProperty = "attendees";
inline constexpr std::string_view kTLOsselEventNotesProperty = "notes";
inline constexpr std::string_view kTLOsselEventPasteboardType = "OsselEventIdsPasteboard";
inline constexpr std::string_view EVENT_ID_GENERATOR_KEY = "eventIdGenerator";
inline constexpr std::string_view EVENT_ID_PREFIX = "OsselEvent";

class TLOsselEvent : public TLOsselCatalogRecord {
public:
    // "init": a record with a freshly drawn event id.
    TLOsselEvent() : TLOsselCatalogRecord(nextEventId()) {}
    // "initWithEventId:": no id is drawn.
    explicit TLOsselEvent(Ref<String> eventId) : TLOsselCatalogRecord(std::move(eventId)) {}
    // A record from a catalog-file entry; null without "eventId".
    static Ref<TLOsselEvent> initWithPList(const Dictionary* entry) { return fromEntry<TLOsselEvent>(entry); }
    static Ref<TLOsselEvent> initWithCoder(Decoder& decoder) { return fromArchive<TLOsselEvent>(decoder); }

    // "eventName", "start", "end", "notes", set up on first use.
    static void initialize() { recordKind().recordKeys(); }
    static const Ref<Array>& recordKeys() { return recordKind().recordKeys(); }
    static Ref<String> nextEventId() { return recordKind().nextId(); }
    static void resetEventId() { recordKind().resetId(); }
    static Kind& recordKind();

    const Ref<String>& eventId() const { return recordId(); }
    // The "eventName" value, else "Unnamed event"; names order case-insensitively.
    int compare(const TLOsselEvent& other) const { return compareNames(other); }

protected:
    // Defined with the class, which makes its type information there alone.
    const Kind& kind() const override;
    Ref<TLOsselOrgConceptRecord> recordWithSameClass(Ref<String> recordId) const override {
        return std::make_shared<TLOsselEvent>(std::move(recordId));
    }
    bool isKindOfReceiverClass(const Object* other) const override { return isKindOf<TLOsselEvent>(other); }
};

}  // namespace ossel
