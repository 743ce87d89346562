#include "catalog/TLOsselPeople.h"

#include <gtest/gtest.h>

#include "catalog/CatalogTestEnvironment.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "platform/ABMultiValue.h"
#include "platform/VCardReader.h"

namespace ossel {
namespace {

using testing::CatalogTest;

class PeopleTest : public CatalogTest {};

Ref<TLOsselPeople> personNamed(const char* first, const char* last, const char* nick) {
    auto people = std::make_shared<TLOsselPeople>(str("P"));
    if (first) people->setValueForProperty(str(first), kTLOsselPeopleFirstNameProperty);
    if (last) people->setValueForProperty(str(last), kTLOsselPeopleLastNameProperty);
    if (nick) people->setValueForProperty(str(nick), kTLOsselPeopleNickNameProperty);
    return people;
}

TEST_F(PeopleTest, DisplayNamePrefersNickNameThenFirstAndLast) {
    EXPECT_EQ(personNamed("Ann", "Lee", "Bob")->name(), "Bob");
    EXPECT_EQ(personNamed("Ann", "Lee", "")->name(), "") << "an empty nick name still wins";
    EXPECT_EQ(personNamed("Ann", "Lee", nullptr)->name(), "Ann Lee");
    EXPECT_EQ(personNamed(nullptr, "Lee", nullptr)->name(), "Lee");
    EXPECT_EQ(personNamed("Ann", nullptr, nullptr)->name(), "Ann");
    EXPECT_EQ(personNamed(nullptr, nullptr, nullptr)->name(), "No Name");
    EXPECT_EQ(personNamed("Ann", "Lee", nullptr)->description(), "Ann Lee");
}

TEST_F(PeopleTest, ComparesNamesIgnoringCase) {
    EXPECT_EQ(personNamed("ann", "lee", nullptr)->compare(*personNamed("Ann", "Lee", nullptr)), 0);
    EXPECT_EQ(personNamed("Ann", nullptr, nullptr)->compare(*personNamed("bob", nullptr, nullptr)), -1);
    EXPECT_EQ(personNamed("BOB", nullptr, nullptr)->compare(*personNamed("ann", nullptr, nullptr)), 1);
    EXPECT_EQ(personNamed("Émile", nullptr, nullptr)->compare(*personNamed("éMILE", nullptr, nullptr)), 0);
    EXPECT_EQ(personNamed("Ann", nullptr, nullptr)->compare(*personNamed("ann lee", nullptr, nullptr)), -1);
}

TEST_F(PeopleTest, IdsComeFromThePeopleGenerator) {
    TLOsselPeople::resetPeopleId();
    EXPECT_FALSE(storedInteger("com.tollendra.PeopleIdGenerator")) << "no generator yet: nothing to reset";

    const auto first = TLOsselPeople::nextPeopleId();
    const auto second = std::make_shared<TLOsselPeople>()->peopleId();
    EXPECT_EQ(first->utf8(), "OsselPeople.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(second->utf8(), "OsselPeople.studio_mac_local-2-1199145600.123457");
    EXPECT_EQ(storedInteger("com.tollendra.PeopleIdGenerator"), 2);

    TLOsselPeople::resetPeopleId();
    EXPECT_EQ(storedInteger("com.tollendra.PeopleIdGenerator"), 0);
    EXPECT_EQ(TLOsselPeople::nextPeopleId()->utf8(), first->utf8());
}

Ref<Dictionary> entry(std::initializer_list<std::pair<const char*, Ref<Object>>> items) {
    auto dictionary = Dictionary::make();
    for (const auto& [key, value] : items) dictionary->setObject(value, key);
    return dictionary;
}

Ref<Dictionary> data(std::initializer_list<std::pair<const char*, Ref<Object>>> items) { return entry(items); }

TEST_F(PeopleTest, ReadsACatalogEntry) {
    const auto lastUse = Date::withTimeIntervalSince1970(now_ - 5);
    const auto record = TLOsselPeople::initWithPList(
        entry({{"peopleId", str("P7")},
               {"isFavorite", Number::withBool(true)},
               {"isDemo", Number::withBool(true)},
               {"lastUse", lastUse},
               {"adressBookId", str("AB:7")},
               {"peopleData", data({{"firstName", str("Ann")}, {"eMail", str("ann@example.org")}})}})
            .get());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->peopleId()->utf8(), "P7");
    EXPECT_TRUE(record->isFavorite());
    EXPECT_TRUE(record->isDemo());
    EXPECT_EQ(record->abUniqueId()->utf8(), "AB:7");
    EXPECT_EQ(record->name(), "Ann");
    EXPECT_EQ(record->valueForProperty("eMail")->description(), "ann@example.org");
    UserDefaults::standardUserDefaults().setObject(Number::withInt(10), "secondsForRecent");
    UserDefaults::standardUserDefaults().setObject(Number::withInt(1), "multiForRecent");
    EXPECT_TRUE(record->isRecent());
}

TEST_F(PeopleTest, FallsBackToTheNestedDataKey) {
    const auto nested = data({{"lastName", str("Lee")}});
    auto fromEmpty = TLOsselPeople::initWithPList(
        entry({{"peopleId", str("P")}, {"peopleData", Dictionary::make()}, {"@dict:peopleData", nested}}).get());
    ASSERT_TRUE(fromEmpty);
    EXPECT_EQ(fromEmpty->name(), "Lee");
    auto fromAbsent = TLOsselPeople::initWithPList(entry({{"peopleId", str("P")}, {"@dict:peopleData", nested}}).get());
    EXPECT_EQ(fromAbsent->name(), "Lee");
    auto plainWins = TLOsselPeople::initWithPList(entry(
        {{"peopleId", str("P")}, {"peopleData", data({{"nickName", str("Bob")}})}, {"@dict:peopleData", nested}}).get());
    EXPECT_EQ(plainWins->name(), "Bob");
    EXPECT_FALSE(plainWins->valueForProperty("lastName"));
    auto wrongKind = TLOsselPeople::initWithPList(
        entry({{"peopleId", str("P")}, {"peopleData", str("not a dictionary")}, {"@dict:peopleData", nested}}).get());
    EXPECT_EQ(wrongKind->name(), "Lee");
    // The record's dictionary is its own, not the entry's.
    fromAbsent->setValueForProperty(str("Kim"), "lastName");
    EXPECT_EQ(nested->objectForKey("lastName")->description(), "Lee");
}

TEST_F(PeopleTest, EntriesWithoutUsableIdGiveNoRecord) {
    EXPECT_FALSE(TLOsselPeople::initWithPList(nullptr));
    EXPECT_FALSE(TLOsselPeople::initWithPList(entry({{"placeId", str("P")}}).get()));
    EXPECT_FALSE(TLOsselPeople::initWithPList(entry({{"peopleId", Number::withInt(3)}}).get()));
    // Wrong kinds elsewhere are tolerated as absent.
    auto odd = TLOsselPeople::initWithPList(entry({{"peopleId", str("P")},
                                                   {"isFavorite", str("YES")},
                                                   {"lastUse", str("yesterday")},
                                                   {"adressBookId", Number::withInt(4)}})
                                                .get());
    ASSERT_TRUE(odd);
    EXPECT_TRUE(odd->isFavorite());
    EXPECT_FALSE(odd->abUniqueId());
    EXPECT_FALSE(odd->plist()->containsKey("lastUse"));
}

TEST_F(PeopleTest, EntryFormRoundTripsThroughAFile) {
    auto people = std::make_shared<TLOsselPeople>(str("P9"));
    people->setValueForProperty(str("Ann"), "firstName");
    people->setValueForProperty(Date::withTimeIntervalSince1970(86400.0 * 365), "birthday");
    people->setIsDemo(true);
    const auto withoutAb = people->plist();
    EXPECT_FALSE(withoutAb->containsKey("adressBookId"));
    EXPECT_FALSE(withoutAb->containsKey("lastUse"));
    EXPECT_EQ(withoutAb->objectForKey("peopleData"), people->properties()) << "the live dictionary, not a copy";
    people->setValueForProperty(str("Lee"), "lastName");
    EXPECT_TRUE(kindCast<Dictionary>(withoutAb->objectForKey("peopleData"))->containsKey("lastName"));

    people->setAbUniqueId(str("AB:9"));
    people->setIsFavorite(true);
    people->setLastUse(Date::withTimeIntervalSince1970(1e9));
    const auto path = pathIn("People 2.xml");
    const auto array = Array::make({people->plist()});
    std::string error;
    ASSERT_TRUE(writePropertyListToFile(array.get(), path, true, &error)) << error;
    const auto read = kindCast<Array>(readPropertyListFromFile(path, &error));
    ASSERT_TRUE(read) << error;
    const auto back = TLOsselPeople::initWithPList(kindCast<Dictionary>(read->objectAtIndex(0)).get());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(people.get()));
    EXPECT_TRUE(back->isFavorite());
    EXPECT_TRUE(back->isDemo());
    EXPECT_EQ(back->abUniqueId()->utf8(), "AB:9");
    EXPECT_TRUE(back->properties()->isEqual(people->properties().get()));
    EXPECT_TRUE(back->plist()->isEqual(people->plist().get()));
}

// A person with an e-mail multi-value built by hand.
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

TEST_F(PeopleTest, AddressBookValuesArePickedByPrimaryIdentifierElseFirst) {
    auto people = std::make_shared<TLOsselPeople>(str("P"));
    people->populateWithAbPersonData(*personWithEmails({"a@x", "b@x", "c@x"}, 1), false);
    EXPECT_EQ(people->valueForProperty("eMail")->description(), "b@x");
    people->populateWithAbPersonData(*personWithEmails({"a@x", "b@x"}, -1), false);
    EXPECT_EQ(people->valueForProperty("eMail")->description(), "a@x") << "no primary: the first address";
    people->populateWithAbPersonData(*personWithEmails({}, -1), false);
    EXPECT_FALSE(people->valueForProperty("eMail")) << "an empty multi-value removes the property";
}

TEST_F(PeopleTest, FillingFromAPersonReplacesOrKeepsOtherProperties) {
    auto people = std::make_shared<TLOsselPeople>(str("P"));
    people->setValueForProperty(str("met in Oslo"), "Notes");
    people->setValueForProperty(str("Bobby"), "nickName");
    int edits = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        "annotationBeingEdited", people.get(), [&](const Notification&) { ++edits; });
    const auto person = personWithEmails({"a@x"}, 0);
    people->populateWithAbPersonData(*person, false);
    EXPECT_EQ(edits, 5) << "one announcement per Address Book property";
    EXPECT_EQ(people->valueForProperty("Notes")->description(), "met in Oslo");
    EXPECT_FALSE(people->valueForProperty("nickName")) << "the person has none, so it is removed";
    EXPECT_EQ(people->name(), "Ann Lee");
    people->populateWithAbPersonData(*person, true);
    EXPECT_FALSE(people->valueForProperty("Notes"));
    NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(PeopleTest, RecordFromAVCardPerson) {
    const auto persons = VCardReader::personsFromText(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:card-1\r\nN:Lee;Ann;;;\r\nBDAY:1970-03-14\r\n"
        "EMAIL;TYPE=INTERNET:ann@home.example\r\nEMAIL;TYPE=INTERNET,pref:ann@work.example\r\nEND:VCARD\r\n");
    ASSERT_EQ(persons.size(), 1u);
    const auto people = TLOsselPeople::initWithABPerson(*persons[0]);
    EXPECT_EQ(people->abUniqueId()->utf8(), "card-1");
    EXPECT_EQ(people->peopleId()->utf8(), "OsselPeople.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(people->name(), "Ann Lee");
    EXPECT_EQ(people->valueForProperty("eMail")->description(), "ann@work.example");
    ASSERT_TRUE(kindCast<Date>(people->valueForProperty("birthday")));
    EXPECT_EQ(people->plist()->objectForKey("adressBookId")->description(), "card-1");
}

}  // namespace
}  // namespace ossel
