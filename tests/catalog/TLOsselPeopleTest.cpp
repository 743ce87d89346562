#include "catalog/TLOsselPeople.h"

#include <gtest/gtest.h>

#include "foundation/NotificationCenter.h"
#include "foundation/Number.h"
#include "platform/ABMultiValue.h"
#include "platform/VCardReader.h"
#include "support/Cases.h"
#include "support/TestEnvironment.h"

namespace ossel {
namespace {

using namespace testing;

class PeopleTest : public TestEnvironment {
protected:
    PeopleTest() { now_ = kRoundingNow; }
};

Ref<TLOsselPeople> personNamed(const char* first, const char* last, const char* nick) {
    auto people = std::make_shared<TLOsselPeople>(str("P"));
    if (first) people->setValueForProperty(str(first), kTLOsselPeopleFirstNameProperty);
    if (last) people->setValueForProperty(str(last), kTLOsselPeopleLastNameProperty);
    if (nick) people->setValueForProperty(str(nick), kTLOsselPeopleNickNameProperty);
    return people;
}

TEST_F(PeopleTest, DisplayNamePrefersNickNameThenFirstAndLast) {
    for (const auto& c : casesFrom("catalog/display-names.txt", 4)) {
        EXPECT_EQ(personNamed(c.orNull(0), c.orNull(1), c.orNull(2))->description(), c[3]) << c.where;
    }
}

// What people entries hold beyond the other kinds: the address book id, and
// values of the wrong kind read as the platform reads them or left out.
TEST_F(PeopleTest, EntriesCarryTheAddressBookIdAndLastUse) {
    const auto entry = dictionaryOf({{"peopleId", str("P7")}, {"adressBookId", str("AB:7")},
                                     {"lastUse", Date::withTimeIntervalSince1970(now_ - 5)},
                                     {"peopleData", dictionaryOf({{"firstName", str("Ann")}})}});
    const auto record = TLOsselPeople::initWithPList(entry.get());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->abUniqueId()->utf8(), "AB:7");
    UserDefaults::standardUserDefaults().setObject(Number::withInt(10), "secondsForRecent");
    UserDefaults::standardUserDefaults().setObject(Number::withInt(1), "multiForRecent");
    EXPECT_TRUE(record->isRecent());

    const auto oddEntry = dictionaryOf({{"peopleId", str("P")}, {"isFavorite", str("YES")},
                                        {"lastUse", str("yesterday")}, {"adressBookId", Number::withInt(4)}});
    auto odd = TLOsselPeople::initWithPList(oddEntry.get());
    ASSERT_TRUE(odd);
    EXPECT_TRUE(odd->isFavorite());
    EXPECT_FALSE(odd->abUniqueId());
    EXPECT_FALSE(odd->plist()->containsKey("lastUse"));
    EXPECT_FALSE(odd->plist()->containsKey("adressBookId"));
}

Ref<ABPerson> personWithEmails(std::initializer_list<const char*> addresses, int primary) {
    auto person = std::make_shared<ABPerson>("UID-1");
    auto emails = std::make_shared<ABMultiValue>();
    int index = 0;
    for (const char* address : addresses) {
        const auto identifier = emails->addValue(str(address), kABWorkLabel);
        if (index++ == primary) emails->setPrimaryIdentifier(identifier);
    }
    person->setValue(emails, kABEmailProperty);
    person->setValue(str("Ann"), kABFirstNameProperty);
    person->setValue(str("Lee"), kABLastNameProperty);
    return person;
}

TEST_F(PeopleTest, FillingFromAPersonPicksThePrimaryAddressAndReplacesOrKeepsTheRest) {
    auto people = std::make_shared<TLOsselPeople>(str("P"));
    people->setValueForProperty(str("met in Oslo"), "Notes");
    people->setValueForProperty(str("Bobby"), "nickName");
    int edits = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        "annotationBeingEdited", people.get(), [&](const Notification&) { ++edits; });
    people->populateWithAbPersonData(*personWithEmails({"a@x", "b@x", "c@x"}, 1), false);
    EXPECT_EQ(edits, 5) << "one announcement per Address Book property";
    EXPECT_EQ(people->valueForProperty("eMail")->description(), "b@x");
    EXPECT_EQ(people->valueForProperty("Notes")->description(), "met in Oslo");
    EXPECT_FALSE(people->valueForProperty("nickName")) << "the person has none, so it is removed";
    people->populateWithAbPersonData(*personWithEmails({"a@x", "b@x"}, -1), true);
    EXPECT_EQ(people->valueForProperty("eMail")->description(), "a@x") << "no primary: the first address";
    EXPECT_FALSE(people->valueForProperty("Notes"));
    people->populateWithAbPersonData(*personWithEmails({}, -1), false);
    EXPECT_FALSE(people->valueForProperty("eMail")) << "an empty multi-value removes the property";
    NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(PeopleTest, RecordFromAVCardPerson) {
    const auto persons = VCardReader::personsFromText(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:card-1\r\nN:Lee;Ann;;;\r\nBDAY:1970-03-14\r\n"
        "EMAIL;TYPE=INTERNET:ann@home.example\r\nEMAIL;TYPE=INTERNET,pref:ann@work.example\r\nEND:VCARD\r\n");
    ASSERT_EQ(persons.size(), 1u);
    const auto people = TLOsselPeople::initWithABPerson(*persons[0]);
    EXPECT_EQ(people->peopleId()->utf8(), "OsselPeople.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(people->name(), "Ann Lee");
    EXPECT_EQ(people->valueForProperty("eMail")->description(), "ann@work.example");
    EXPECT_TRUE(kindCast<Date>(people->valueForProperty("birthday")));
    EXPECT_EQ(people->plist()->objectForKey("adressBookId")->description(), "card-1");
}

}  // namespace
}  // namespace ossel
