#pragma once
// The catalog record of one person ("People 2.xml"), with the unique id of the
// Address Book person it was made from.

#include <string>
#include <string_view>

#include "catalog/TLOsselCatalogRecord.h"
#include "platform/ABPerson.h"

namespace ossel {

inline constexpr std::string_view kTLOsselPeopleIdProperty = "peopleId";
inline constexpr std::string_view kTLOsselPeopleDataProperty = "peopleData";
inline constexpr std::string_view kTLOsselPeopleIsDemoKey = "isDemo";
inline constexpr std::string_view kTLOsselPeopleAddressBookIdProperty = "adressBookId";
inline constexpr std::string_view kTLOsselPeopleFirstNameProperty = "firstName";
inline constexpr std::string_view kTLOsselPeopleLastNameProperty = "lastName";
inline constexpr std::string_view kTLOsselPeopleNickNameProperty = "nickName";
inline constexpr std::string_view kTLOsselPeopleBirthdayProperty = "birthday";
inline constexpr std::string_view kTLOsselPeopleEMailProperty = "eMail";
inline constexpr std::string_view kTLOsselPeopleNotesProperty = "Notes";
inline constexpr std::string_view kTLOsselPeoplePasteboardType = "OsselPeopleIdsPasteboard";
inline constexpr std::string_view PEOPLE_ID_GENERATOR_KEY = "PeopleIdGenerator";
inline constexpr std::string_view PEOPLE_ID_PREFIX = "OsselPeople";

class TLOsselPeople : public TLOsselCatalogRecord {
public:
    // "init": a record with a freshly drawn people id.
    TLOsselPeople() : TLOsselCatalogRecord(nextPeopleId()) {}
    // "initWithPeopleId:": no id is drawn.
    explicit TLOsselPeople(Ref<String> peopleId) : TLOsselCatalogRecord(std::move(peopleId)) {}
    // A record from a catalog-file entry; null without "peopleId".
    static Ref<TLOsselPeople> initWithPList(const Dictionary* entry) { return fromEntry<TLOsselPeople>(entry); }
    // A new record (fresh id) filled from an Address Book person.
    static Ref<TLOsselPeople> initWithABPerson(const ABPerson& person);
    static Ref<TLOsselPeople> initWithCoder(Decoder& decoder) { return fromArchive<TLOsselPeople>(decoder); }

    // "firstName", "lastName", "nickName", "birthday", "eMail", "Notes", set up on first use.
    static void initialize() { recordKind().recordKeys(); }
    static const Ref<Array>& recordKeys() { return recordKind().recordKeys(); }
    static Ref<String> nextPeopleId() { return recordKind().nextId(); }
    static void resetPeopleId() { recordKind().resetId(); }
    static Kind& recordKind();

    const Ref<String>& peopleId() const { return recordId(); }
    const Ref<String>& abUniqueId() const { return abUniqueId_; }
    void setAbUniqueId(Ref<String> value) { abUniqueId_ = std::move(value); }
    Ref<Object> firstName() const { return valueForProperty(kTLOsselPeopleFirstNameProperty); }

    // The nick name, else first and last name, else "No Name".
    std::string name() const override;
    // Case-insensitive order of the names: -1, 0 or 1.
    int compare(const TLOsselPeople& other) const { return compareNames(other); }

    void populateWithAbPersonData(const ABPerson& person, bool clearExistingData);
    // Stores one plain value: a multi-value's primary one, else its first present one.
    void setAbValue(const Ref<Object>& value, Name property);

    Ref<Object> copy() const override;
    void encodeWithCoder(Coder& coder) const override;

protected:
    const Kind& kind() const override;
    void readKindEntry(const Dictionary& entry) override;
    void writeKindEntry(Dictionary& entry) const override;
    bool decodeKindFields(Decoder& decoder) override;
    Ref<TLOsselOrgConceptRecord> recordWithSameClass(Ref<String> recordId) const override {
        return std::make_shared<TLOsselPeople>(std::move(recordId));
    }
    bool isKindOfReceiverClass(const Object* other) const override { return isKindOf<TLOsselPeople>(other); }
    bool ownValueForKey(std::string_view key, Ref<Object>* value) const override;
    bool setOwnValueForKey(const Ref<Object>& value, std::string_view key) override;

private:
    Ref<String> abUniqueId_;
};

}  // namespace ossel
