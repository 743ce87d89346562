#pragma once
// The catalog record of a place ("Places 2.xml").

#include <string_view>

#include "catalog/TLOsselCatalogRecord.h"

namespace ossel {

inline constexpr std::string_view kTLOsselPlaceIdProperty = "placeId";
inline constexpr std::string_view kTLOsselPlaceDataProperty = "placeData";
inline constexpr std::string_view kTLOsselPlaceIsDemoKey = "isDemo";
inline constexpr std::string_view kTLOsselPlaceNameProperty = "placeName";
inline constexpr std::string_view kTLOsselPlaceCountryProperty = "country";
inline constexpr std::string_view kTLOsselPlaceLatitudeProperty = "latitude";
inline constexpr std::string_view kTLOsselPlaceLongitudeProperty = "longitude";
inline constexpr std::string_view kTLOsselPlaceNotesProperty = "notes";
inline constexpr std::string_view kTLOsselPlacePasteboardType = "OsselPlaceIdsPasteboard";
inline constexpr std::string_view PLACE_ID_GENERATOR_KEY = "PlaceIdGenerator";
inline constexpr std::string_view PLACE_ID_PREFIX = "OsselPlace";

class TLOsselPlace : public TLOsselCatalogRecord {
public:
    // "init": a record with a freshly drawn place id.
    TLOsselPlace() : TLOsselCatalogRecord(nextPlaceId()) {}
    // "initWithPlaceId:": no id is drawn.
    explicit TLOsselPlace(Ref<String> placeId) : TLOsselCatalogRecord(std::move(placeId)) {}
    // A record from a catalog-file entry; null without "placeId".
    static Ref<TLOsselPlace> initWithPList(const Dictionary* entry) { return fromEntry<TLOsselPlace>(entry); }
    static Ref<TLOsselPlace> initWithCoder(Decoder& decoder) { return fromArchive<TLOsselPlace>(decoder); }

    // "placeName", "notes", set up on first use.
    static void initialize() { recordKind().recordKeys(); }
    static const Ref<Array>& recordKeys() { return recordKind().recordKeys(); }
    static Ref<String> nextPlaceId() { return recordKind().nextId(); }
    static void resetPlaceId() { recordKind().resetId(); }
    static Kind& recordKind();

    const Ref<String>& placeId() const { return recordId(); }
    // The "placeName" value, else "Unnamed place"; names order case-insensitively.
    int compare(const TLOsselPlace& other) const { return compareNames(other); }

protected:
    // Defined with the class, which makes its type information there alone.
    const Kind& kind() const override;
    Ref<TLOsselOrgConceptRecord> recordWithSameClass(Ref<String> recordId) const override {
        return std::make_shared<TLOsselPlace>(std::move(recordId));
    }
    bool isKindOfReceiverClass(const Object* other) const override { return isKindOf<TLOsselPlace>(other); }
};

}  // namespace ossel
