#include "catalog/TLOsselPeople.h"

#include "base/TLLog.h"
#include "foundation/Unicode.h"
#include "foundation/Archiver.h"
#include "foundation/Format.h"
#include "catalog/ClassIdGenerator.h"
#include "ids/TLIdGenerator.h"
#include "platform/ABMultiValue.h"
#include "platform/PlatformException.h"

namespace ossel {
namespace {

const bool registered = (registerArchivableClass("TLOsselPeople", 0,
                                                  [](Decoder& d) -> Ref<Object> { return TLOsselPeople::initWithCoder(d); }),
                          true);

// The class-level generator, shared by every people record of the process.
ClassIdGenerator& peopleIdGenerator() {
    static ClassIdGenerator generator(PEOPLE_ID_GENERATOR_KEY);
    return generator;
}

Ref<Array>& peopleKeys() {
    static Ref<Array> keys;
    return keys;
}

}  // namespace


TLOsselPeople::TLOsselPeople() : TLOsselOrgConceptRecord(nextPeopleId()) {}

void TLOsselPeople::initialize() {
    if (peopleKeys()) return;
    peopleKeys() = Array::make({str("firstName"), str("lastName"), str("nickName"), str("birthday"), str("eMail"),
                                str("Notes")},
                               false);
}

const Ref<Array>& TLOsselPeople::recordKeys() {
    initialize();
    return peopleKeys();
}

Ref<String> TLOsselPeople::nextPeopleId() {
    return str(peopleIdGenerator().obtain().nextStringIdWithPrefix(PEOPLE_ID_PREFIX));
}

void TLOsselPeople::resetPeopleId() {
    if (auto* generator = peopleIdGenerator().existing()) generator->resetId();
}

Ref<TLOsselPeople> TLOsselPeople::initWithPList(const Dictionary* entry) {
    auto peopleId = entryId(entry, kTLOsselPeopleIdProperty);
    if (!peopleId) return nullptr;
    initialize();
    auto record = std::make_shared<TLOsselPeople>(std::move(peopleId));
    record->readEntryFlags(*entry);
    record->abUniqueId_ = entry->objectForKeyAs<String>(kTLOsselPeopleAddressBookIdProperty);
    record->mergeEntryData(*entry, kTLOsselPeopleDataProperty);
    return record;
}

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
    return mainBundleLocalizedString("No Name");
}

int TLOsselPeople::compare(const TLOsselPeople& other) const { return unicode::compareFolded(name(), other.name()); }

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

Ref<Dictionary> TLOsselPeople::plist() const {
    auto entry = entryWithId(kTLOsselPeopleIdProperty);
    entry->setObject(abUniqueId_, std::string(kTLOsselPeopleAddressBookIdProperty));
    finishEntry(*entry, kTLOsselPeopleDataProperty);
    return entry;
}

Ref<TLOsselOrgConceptRecord> TLOsselPeople::recordWithSameClass(Ref<String> recordId) const {
    return std::make_shared<TLOsselPeople>(std::move(recordId));
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

Ref<TLOsselPeople> TLOsselPeople::initWithCoder(Decoder& decoder) {
    auto record = std::make_shared<TLOsselPeople>(nullptr);
    if (!decodeBase(decoder, *record)) return nullptr;
    auto abUniqueId = decoder.decodeObjectOfKind<String>();
    if (decoder.failed()) return nullptr;
    record->abUniqueId_ = std::move(abUniqueId);
    return record;
}

bool TLOsselPeople::ownValueForKey(std::string_view key, Ref<Object>* value) const {
    if (key == "peopleId") {
        *value = peopleId();
    } else if (key == "abUniqueId") {
        *value = abUniqueId_;
    } else if (key == "firstName") {
        *value = firstName();
    } else if (key == "name" || key == "description") {
        *value = str(name());
    } else {
        return TLOsselOrgConceptRecord::ownValueForKey(key, value);
    }
    return true;
}

bool TLOsselPeople::setOwnValueForKey(const Ref<Object>& value, std::string_view key) {
    if (key != "abUniqueId") return TLOsselOrgConceptRecord::setOwnValueForKey(value, key);
    setAbUniqueId(kindCast<String>(value));
    return true;
}

}  // namespace ossel
