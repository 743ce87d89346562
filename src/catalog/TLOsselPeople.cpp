#include "catalog/TLOsselPeople.h"

#include "base/TLLog.h"
#include "foundation/Format.h"
#include "platform/ABMultiValue.h"
#include "platform/PlatformException.h"

namespace ossel {
namespace {

const bool registered = TLOsselCatalogRecord::registerArchives<TLOsselPeople>();

}  // namespace

TLOsselCatalogRecord::Kind& TLOsselPeople::recordKind() {
    static constexpr std::string_view keys[] = {
        kTLOsselPeopleFirstNameProperty, kTLOsselPeopleLastNameProperty, kTLOsselPeopleNickNameProperty,
        kTLOsselPeopleBirthdayProperty,  kTLOsselPeopleEMailProperty,    kTLOsselPeopleNotesProperty};
    static Kind kind({.className = "TLOsselPeople",
                      .idProperty = kTLOsselPeopleIdProperty,
                      .dataProperty = kTLOsselPeopleDataProperty,
                      .generatorKey = PEOPLE_ID_GENERATOR_KEY,
                      .idPrefix = PEOPLE_ID_PREFIX,
                      .scheme = "people",
                      .recordKeys = keys,
                      .nameProperty = {},  // a person's name is made of several (see name())
                      .unnamed = "No Name"});
    return kind;
}

const TLOsselCatalogRecord::Kind& TLOsselPeople::kind() const { return recordKind(); }

Ref<TLOsselPeople> TLOsselPeople::initWithABPerson(const ABPerson& person) {
    auto record = std::make_shared<TLOsselPeople>();
    record->abUniqueId_ = person.uniqueId().empty() ? nullptr : str(person.uniqueId());
    record->populateWithAbPersonData(person, false);
    return record;
}

std::string TLOsselPeople::name() const {
    if (const auto nick = valueForProperty(kTLOsselPeopleNickNameProperty)) return nick->description();
    const auto first = valueForProperty(kTLOsselPeopleFirstNameProperty);
    const auto last = valueForProperty(kTLOsselPeopleLastNameProperty);
    if (first && last) return first->description() + format(" %@", last);
    if (first) return first->description();
    if (last) return last->description();
    return mainBundleLocalizedString(recordKind().names.unnamed);
}

void TLOsselPeople::populateWithAbPersonData(const ABPerson& person, bool clearExistingData) {
    if (clearExistingData) removeAllValues();
    setAbValue(person.valueForProperty(kABFirstNameProperty), kTLOsselPeopleFirstNameProperty);
    setAbValue(person.valueForProperty(kABLastNameProperty), kTLOsselPeopleLastNameProperty);
    setAbValue(person.valueForProperty(kABNicknameProperty), kTLOsselPeopleNickNameProperty);
    setAbValue(person.valueForProperty(kABBirthdayProperty), kTLOsselPeopleBirthdayProperty);
    setAbValue(person.valueForProperty(kABEmailProperty), kTLOsselPeopleEMailProperty);
}

namespace {

// The primary value of a multi-value; null when there is none to read.
Ref<Object> primaryValue(const ABMultiValue& values) {
    try {
        return values.valueAtIndex(values.indexForIdentifier(values.primaryIdentifier()));
    } catch (const PlatformException&) {
        // Without a primary identifier the index is out of range; the first value serves.
        return nullptr;
    }
}

Ref<Object> chosenValue(const Ref<Object>& value) {
    const auto* values = dynamic_cast<const ABMultiValue*>(value.get());
    if (!values) return value;
    if (auto primary = primaryValue(*values)) return primary;
    for (size_t i = 0; i < values->count(); ++i) {
        if (auto candidate = values->valueAtIndex(i)) return candidate;
    }
    return nullptr;
}

}  // namespace

void TLOsselPeople::setAbValue(const Ref<Object>& value, Name property) {
    setValueForProperty(chosenValue(value), property);
}

void TLOsselPeople::readKindEntry(const Dictionary& entry) {
    abUniqueId_ = entry.objectForKeyAs<String>(kTLOsselPeopleAddressBookIdProperty);
}

void TLOsselPeople::writeKindEntry(Dictionary& entry) const {
    entry.setObject(abUniqueId_, std::string(kTLOsselPeopleAddressBookIdProperty));
}

Ref<Object> TLOsselPeople::copy() const {
    auto record = std::static_pointer_cast<TLOsselPeople>(TLOsselOrgConceptRecord::copy());
    record->abUniqueId_ = abUniqueId_;
    return record;
}

void TLOsselPeople::encodeWithCoder(Coder& coder) const {
    TLOsselOrgConceptRecord::encodeWithCoder(coder);
    coder.encodeObject(abUniqueId_);
}

bool TLOsselPeople::decodeKindFields(Decoder& decoder) {
    auto abUniqueId = decoder.decodeObjectOfKind<String>();
    if (decoder.failed()) return false;
    abUniqueId_ = std::move(abUniqueId);
    return true;
}

bool TLOsselPeople::ownValueForKey(std::string_view key, Ref<Object>* value) const {
    if (key == "abUniqueId") {
        *value = abUniqueId_;
    } else if (key == "firstName") {
        *value = firstName();
    } else {
        return TLOsselCatalogRecord::ownValueForKey(key, value);
    }
    return true;
}

bool TLOsselPeople::setOwnValueForKey(const Ref<Object>& value, std::string_view key) {
    if (key != "abUniqueId") return TLOsselOrgConceptRecord::setOwnValueForKey(value, key);
    setAbUniqueId(kindCast<String>(value));
    return true;
}

}  // namespace ossel
