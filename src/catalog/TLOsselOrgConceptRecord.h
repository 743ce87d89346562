#pragma once
// The common base of people, place and event records: an identified bag of
// named properties with a favourite flag, a demo flag and a last-use date.
// Records are always held by Ref: they post themselves in notifications.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Object.h"
#include "foundation/String.h"
#include "platform/SKDocument.h"

namespace ossel {

class Decoder;

inline constexpr std::string_view kTLOsselIsFavoriteProperty = "isFavorite";
inline constexpr std::string_view kTLOsselLastUseProperty = "lastUse";
// User-defaults keys of the recency threshold (multiplier × seconds).
inline constexpr std::string_view kTLOsselMultiForRecentKey = "multiForRecent";
inline constexpr std::string_view kTLOsselSecondsForRecentKey = "secondsForRecent";

class TLOsselOrgConceptRecord : public Object {
public:
    // A property name or key that may be absent.
    using Name = std::optional<std::string_view>;

    // "init": a record without id.
    TLOsselOrgConceptRecord() : TLOsselOrgConceptRecord(nullptr) {}
    // "initWithRecordId:".
    explicit TLOsselOrgConceptRecord(Ref<String> recordId);
    // Only the kinds of record can be read from a catalog-file entry.
    static Ref<TLOsselOrgConceptRecord> initWithPList(const Dictionary*) { return nullptr; }
    // The catalog-file entry; the base class has none.
    virtual Ref<Dictionary> plist() const { return nullptr; }

    const Ref<String>& recordId() const { return recordId_; }
    void setRecordId(Ref<String> recordId) { recordId_ = std::move(recordId); }

    bool isFavorite() const { return isFavorite_; }
    void setIsFavorite(bool value) { isFavorite_ = value; }
    bool isDemo() const { return isDemo_; }
    void setIsDemo(bool value) { isDemo_ = value; }
    void setLastUse(Ref<Date> date) { lastUse_ = std::move(date); }
    // Used within "multiForRecent" × "secondsForRecent" seconds before now,
    // both read from the user defaults on every call.
    bool isRecent() const;

    Ref<Object> valueForProperty(Name name) const;
    // Stores (a null value removes) and announces the edit, changed or not.
    void setValueForProperty(Ref<Object> value, Name name);
    void removeValueForProperty(Name name);
    void removeAllValues();
    // The record's own dictionary, shared.
    const Ref<Dictionary>& properties() const { return properties_; }

    // Generic key-value access: the record's own attributes first, then its properties.
    Ref<Object> valueForKey(std::string_view key) const;
    void setValueForKey(Ref<Object> value, std::string_view key);
    Ref<Object> valueForUndefinedKey(std::string_view key) const { return valueForProperty(key); }
    void setValueForUndefinedKey(Ref<Object> value, std::string_view key) { setValueForProperty(std::move(value), key); }

    // The search-index document named by recordScheme and the id.
    SKDocumentRef documentForRecord() const;
    virtual std::string recordScheme() const { return "orgrecord"; }
    // Every property value but the null marker, as text, joined by blanks.
    std::string recordText() const;

    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    // Same class, same id, a new dictionary with the same values, the favourite
    // flag; neither demo nor used.
    Ref<Object> copy() const override;
    // Id, favourite flag as a number, property dictionary.
    void encodeWithCoder(Coder& coder) const override;
    // A record read back from its archive (no new id drawn); null when the archive failed.
    static Ref<TLOsselOrgConceptRecord> initWithCoder(Decoder& decoder);

protected:
    // A record of the receiver's class with the given id, drawing no new id.
    virtual Ref<TLOsselOrgConceptRecord> recordWithSameClass(Ref<String> recordId) const;
    // "An instance of the receiver's class or of a subclass of it."
    virtual bool isKindOfReceiverClass(const Object* other) const;
    // Key-value access to the class's own attributes; false when the key is not one.
    virtual bool ownValueForKey(std::string_view key, Ref<Object>* value) const;
    virtual bool setOwnValueForKey(const Ref<Object>& value, std::string_view key);

    // The common part of a catalog-file entry, read and written.
    void readEntryFlags(const Dictionary& entry);
    void mergeEntryData(const Dictionary& entry, std::string_view dataKey);
    Ref<Dictionary> entryWithId(std::string_view idKey) const;
    void finishEntry(Dictionary& entry, std::string_view dataKey) const;
    // The entry's id, or null when it has none (or not as text).
    static Ref<String> entryId(const Dictionary* entry, std::string_view idKey);

    // The archive's common fields into a blank record; false when the archive failed.
    static bool decodeBase(Decoder& decoder, TLOsselOrgConceptRecord& record);

private:
    Ref<String> recordId_;
    Ref<Dictionary> properties_;
    bool isFavorite_ = false;
    bool isDemo_ = false;
    Ref<Date> lastUse_;
};

// "Truthy" as the platform reads a boolean from a number or a text; false for anything else.
bool propertyListBoolValue(const Object* value);

}  // namespace ossel
