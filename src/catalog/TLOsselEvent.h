#pragma once
// The catalog record of an event ("Events 2.xml").

#include <string>
#include <string_view>

#include "catalog/TLOsselOrgConceptRecord.h"
#include "foundation/Array.h"

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

class TLOsselEvent : public TLOsselOrgConceptRecord {
public:
    // "init": a record with a freshly drawn event id.
    TLOsselEvent();
    // "initWithEventId:": no id is drawn.
    explicit TLOsselEvent(Ref<String> eventId) : TLOsselOrgConceptRecord(std::move(eventId)) {}
    // A record from a catalog-file entry; null without "eventId".
    static Ref<TLOsselEvent> initWithPList(const Dictionary* entry);
    static Ref<TLOsselEvent> initWithCoder(Decoder& decoder);

    static void initialize();
    // "eventName", "start", "end", "notes".
    static const Ref<Array>& recordKeys();
    static Ref<String> nextEventId();
    static void resetEventId();

    const Ref<String>& eventId() const { return recordId(); }
    // The "eventName" value, else "Unnamed event".
    std::string name() const;
    std::string description() const override { return name(); }
    // Case-insensitive order of the names: -1, 0 or 1.
    int compare(const TLOsselEvent& other) const;

    Ref<Dictionary> plist() const override;
    std::string recordScheme() const override { return "event"; }

protected:
    Ref<TLOsselOrgConceptRecord> recordWithSameClass(Ref<String> recordId) const override;
    bool isKindOfReceiverClass(const Object* other) const override { return isKindOf<TLOsselEvent>(other); }
    bool ownValueForKey(std::string_view key, Ref<Object>* value) const override;
};

}  // namespace ossel
