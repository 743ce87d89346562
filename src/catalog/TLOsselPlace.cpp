#include "catalog/TLOsselPlace.h"

namespace ossel {
namespace {

const bool registered = TLOsselCatalogRecord::registerArchives<TLOsselPlace>();

}  // namespace

TLOsselCatalogRecord::Kind& TLOsselPlace::recordKind() {
    static constexpr std::string_view keys[] = {kTLOsselPlaceNameProperty, kTLOsselPlaceNotesProperty};
    static Kind kind({.className = "TLOsselPlace",
                      .idProperty = kTLOsselPlaceIdProperty,
                      .dataProperty = kTLOsselPlaceDataProperty,
                      .generatorKey = PLACE_ID_GENERATOR_KEY,
                      .idPrefix = PLACE_ID_PREFIX,
                      .scheme = "place",
                      .recordKeys = keys,
                      .nameProperty = kTLOsselPlaceNameProperty,
                      .unnamed = "Unnamed place"});
    return kind;
}

const TLOsselCatalogRecord::Kind& TLOsselPlace::kind() const { return recordKind(); }

}  // namespace ossel
