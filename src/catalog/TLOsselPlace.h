#pragma once
// The catalog record of a place ("Places 2.xml").

#include <string>
#include <string_view>

#include "catalog/TLOsselOrgConceptRecord.h"
#include "foundation/Array.h"

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

class TLOsselPlace : public TLOsselOrgConceptRecord {
public:
    // "init": a record with a freshly drawn place id.
    TLOsselPlace();
    // "initWithPlaceId:": no id is drawn.
    explicit TLOsselPlace(Ref<String> placeId) : TLOsselOrgConceptRecord(std::move(placeId)) {}
    // A record from a catalog-file entry; null without "placeId".
    static Ref<TLOsselPlace> initWithPList(const Dictionary* entry);
    static Ref<TLOsselPlace> initWithCoder(Decoder& decoder);

    static void initialize();
    // "placeName", "notes".
    static const Ref<Array>& recordKeys();
    static Ref<String> nextPlaceId();
    static void resetPlaceId();

    const Ref<String>& placeId() const { return recordId(); }
    // The "placeName" value, else "Unnamed place".
    std::string name() const;
    std::string description() const override { return name(); }
    // Case-insensitive order of the names: -1, 0 or 1.
    int compare(const TLOsselPlace& other) const;

    Ref<Dictionary> plist() const override;
    std::string recordScheme() const override { return "place"; }

protected:
    Ref<TLOsselOrgConceptRecord> recordWithSameClass(Ref<String> recordId) const override;
    bool isKindOfReceiverClass(const Object* other) const override { return isKindOf<TLOsselPlace>(other); }
    bool ownValueForKey(std::string_view key, Ref<Object>* value) const override;
};

}  // namespace ossel
