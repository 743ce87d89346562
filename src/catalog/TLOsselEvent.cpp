#include "catalog/TLOsselEvent.h"

namespace ossel {
namespace {

const bool registered = TLOsselCatalogRecord::registerArchives<TLOsselEvent>();

}  // namespace

TLOsselCatalogRecord::Kind& TLOsselEvent::recordKind() {
    static constexpr std::string_view keys[] = {kTLOsselEventNameProperty, kTLOsselEventStartDateProperty,
                                                kTLOsselEventEndDateProperty, kTLOsselEventNotesProperty};
    static Kind kind({.className = "TLOsselEvent",
                      .idProperty = kTLOsselEventIdProperty,
                      .dataProperty = kTLOsselEventDataProperty,
                      .generatorKey = EVENT_ID_GENERATOR_KEY,
                      .idPrefix = EVENT_ID_PREFIX,
                      .scheme = "event",
                      .recordKeys = keys,
                      .nameProperty = kTLOsselEventNameProperty,
                      .unnamed = "Unnamed event"});
    return kind;
}

const TLOsselCatalogRecord::Kind& TLOsselEvent::kind() const { return recordKind(); }

}  // namespace ossel
