#include "catalog/TLOsselOrgConceptRecord.h"

#include <cctype>

#include "base/TLEquals.h"
#include "foundation/Archiver.h"
#include "foundation/Clock.h"
#include "foundation/Null.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Number.h"
#include "foundation/UserDefaults.h"
#include "catalog/TLOsselRecordNotifications.h"

namespace ossel {
namespace {

constexpr std::string_view kIsDemoKey = "isDemo";
constexpr std::string_view kDictMarker = "@dict:";

const bool registered = (registerArchivableClass("TLOsselOrgConceptRecord", 0,
                                                  [](Decoder& d) -> Ref<Object> {
                                                      return TLOsselOrgConceptRecord::initWithCoder(d);
                                                  }),
                          true);

}  // namespace

bool propertyListBoolValue(const Object* value) {
    if (const auto* number = dynamic_cast<const Number*>(value)) return number->boolValue();
    const auto* text = dynamic_cast<const String*>(value);
    if (!text) return false;
    // As the platform reads "YES", "true" or a non-zero count from a text.
    std::string_view view = text->view();
    while (!view.empty() && std::isspace(static_cast<unsigned char>(view.front()))) view.remove_prefix(1);
    if (!view.empty() && (view.front() == '+' || view.front() == '-')) view.remove_prefix(1);
    while (!view.empty() && view.front() == '0') view.remove_prefix(1);
    if (view.empty()) return false;
    const char c = view.front();
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

TLOsselOrgConceptRecord::TLOsselOrgConceptRecord(Ref<String> recordId)
    : recordId_(std::move(recordId)), properties_(Dictionary::make()) {}

bool TLOsselOrgConceptRecord::isRecent() const {
    if (!lastUse_) return false;
    const double elapsed = Date::now()->timeIntervalSinceDate(*lastUse_);
    auto& defaults = UserDefaults::standardUserDefaults();
    const float multiplier = defaults.floatForKey(kTLOsselMultiForRecentKey);
    const float seconds = defaults.floatForKey(kTLOsselSecondsForRecentKey);
    // Multiplied in single precision, as the setting is stored.
    const float threshold = multiplier * seconds;
    return static_cast<double>(threshold) > elapsed;
}

Ref<Object> TLOsselOrgConceptRecord::valueForProperty(Name name) const {
    return name ? properties_->objectForKey(*name) : nullptr;
}

void TLOsselOrgConceptRecord::setValueForProperty(Ref<Object> value, Name name) {
    if (!name) return;
    properties_->setObject(std::move(value), std::string(*name));
    // A record on the stack (never in practice) is announced without itself.
    NotificationCenter::defaultCenter().postNotification(std::string(kTLOsselAnnotationBeingEdited),
                                                         weak_from_this().lock());
}

void TLOsselOrgConceptRecord::removeValueForProperty(Name name) {
    if (name) properties_->removeObjectForKey(*name);
}

void TLOsselOrgConceptRecord::removeAllValues() { properties_->removeAllObjects(); }

Ref<Object> TLOsselOrgConceptRecord::valueForKey(std::string_view key) const {
    Ref<Object> value;
    return ownValueForKey(key, &value) ? value : valueForUndefinedKey(key);
}

void TLOsselOrgConceptRecord::setValueForKey(Ref<Object> value, std::string_view key) {
    if (!setOwnValueForKey(value, key)) setValueForUndefinedKey(std::move(value), key);
}

bool TLOsselOrgConceptRecord::ownValueForKey(std::string_view key, Ref<Object>* value) const {
    if (key == "recordId") {
        *value = recordId_;
    } else if (key == kTLOsselIsFavoriteProperty) {
        *value = Number::withBool(isFavorite_);
    } else if (key == kIsDemoKey) {
        *value = Number::withBool(isDemo_);
    } else if (key == "isRecent") {
        *value = Number::withBool(isRecent());
    } else if (key == "recordScheme") {
        *value = str(recordScheme());
    } else if (key == "recordText") {
        *value = str(recordText());
    } else {
        return false;
    }
    return true;
}

bool TLOsselOrgConceptRecord::setOwnValueForKey(const Ref<Object>& value, std::string_view key) {
    if (key == "recordId") {
        // A value of another kind cannot be an id; the record keeps none rather than a wrong one.
        setRecordId(kindCast<String>(value));
    } else if (key == kTLOsselIsFavoriteProperty) {
        setIsFavorite(propertyListBoolValue(value.get()));
    } else if (key == kIsDemoKey) {
        setIsDemo(propertyListBoolValue(value.get()));
    } else if (key == kTLOsselLastUseProperty) {
        setLastUse(kindCast<Date>(value));
    } else {
        return false;
    }
    return true;
}

SKDocumentRef TLOsselOrgConceptRecord::documentForRecord() const {
    const std::string id = recordId_ ? std::string(recordId_->utf8()) : std::string();
    return SKDocumentCreate(recordScheme(), nullptr, recordId_ ? &id : nullptr);
}

std::string TLOsselOrgConceptRecord::recordText() const {
    std::string text;
    bool first = true;
    for (const auto& [name, value] : *properties_) {
        if (isKindOf<Null>(value)) continue;
        if (!first) text += ' ';
        text += value->description();
        first = false;
    }
    return text;
}

bool TLOsselOrgConceptRecord::isKindOfReceiverClass(const Object* other) const {
    return isKindOf<TLOsselOrgConceptRecord>(other);
}

bool TLOsselOrgConceptRecord::isEqual(const Object* other) const {
    if (!other || !isKindOfReceiverClass(other)) return false;
    const auto* record = static_cast<const TLOsselOrgConceptRecord*>(other);
    return TLObjectsAreNilOrEqual(recordId_.get(), record->recordId_.get());
}

uint32_t TLOsselOrgConceptRecord::hash() const { return recordId_ ? recordId_->hash() : 0; }

Ref<TLOsselOrgConceptRecord> TLOsselOrgConceptRecord::recordWithSameClass(Ref<String> recordId) const {
    return std::make_shared<TLOsselOrgConceptRecord>(std::move(recordId));
}

Ref<Object> TLOsselOrgConceptRecord::copy() const {
    // Texts are immutable here, so the id's copy is the id itself.
    auto record = recordWithSameClass(recordId_);
    record->properties_ = properties_->mutableCopy();
    record->isFavorite_ = isFavorite_;
    return record;
}

void TLOsselOrgConceptRecord::encodeWithCoder(Coder& coder) const {
    coder.encodeObject(recordId_);
    coder.encodeObject(Number::withBool(isFavorite_));
    coder.encodeObject(properties_);
}

Ref<TLOsselOrgConceptRecord> TLOsselOrgConceptRecord::initWithCoder(Decoder& decoder) {
    auto record = std::make_shared<TLOsselOrgConceptRecord>();
    return decodeBase(decoder, *record) ? record : nullptr;
}

bool TLOsselOrgConceptRecord::decodeBase(Decoder& decoder, TLOsselOrgConceptRecord& record) {
    auto recordId = decoder.decodeObjectOfKind<String>();
    const auto favorite = decoder.decodeObjectOfKind<Number>();
    const auto properties = decoder.decodeObjectOfKind<Dictionary>();
    if (decoder.failed()) return false;
    record.recordId_ = std::move(recordId);
    record.isFavorite_ = favorite && favorite->boolValue();
    // The record edits its dictionary in place, so it must own a mutable one.
    record.properties_ = properties ? properties->mutableCopy() : Dictionary::make();
    return true;
}

Ref<String> TLOsselOrgConceptRecord::entryId(const Dictionary* entry, std::string_view idKey) {
    return entry ? entry->objectForKeyAs<String>(idKey) : nullptr;
}

void TLOsselOrgConceptRecord::readEntryFlags(const Dictionary& entry) {
    isFavorite_ = propertyListBoolValue(entry.objectForKey(kTLOsselIsFavoriteProperty).get());
    isDemo_ = propertyListBoolValue(entry.objectForKey(kIsDemoKey).get());
    // A last use that is not a date would make recency meaningless; it counts as none.
    lastUse_ = entry.objectForKeyAs<Date>(kTLOsselLastUseProperty);
}

void TLOsselOrgConceptRecord::mergeEntryData(const Dictionary& entry, std::string_view dataKey) {
    auto data = entry.objectForKeyAs<Dictionary>(dataKey);
    // Data written by the typed dictionary container sits under "@dict:<key>".
    if (!data || data->empty()) data = entry.objectForKeyAs<Dictionary>(std::string(kDictMarker) + std::string(dataKey));
    if (!data) return;
    // Into an empty dictionary a merge is a copy, and the catalog reader makes hundreds of these.
    if (properties_->empty()) {
        properties_ = data->mutableCopy();
        return;
    }
    for (const auto& [name, value] : *data) properties_->setObject(value, name);
}

Ref<Dictionary> TLOsselOrgConceptRecord::entryWithId(std::string_view idKey) const {
    auto entry = Dictionary::make();
    entry->setObject(recordId_, std::string(idKey));
    entry->setObject(Number::withBool(isDemo_), std::string(kIsDemoKey));
    return entry;
}

void TLOsselOrgConceptRecord::finishEntry(Dictionary& entry, std::string_view dataKey) const {
    entry.setObject(Number::withBool(isFavorite_), std::string(kTLOsselIsFavoriteProperty));
    entry.setObject(lastUse_, std::string(kTLOsselLastUseProperty));
    entry.setObject(properties_, std::string(dataKey));
}

}  // namespace ossel
