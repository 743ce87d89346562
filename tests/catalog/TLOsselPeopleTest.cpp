#include "catalog/TLOsselPeople.h"

#include <gtest/gtest.h>

#include "foundation/NotificationCenter.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "platform/ABMultiValue.h"
#include "platform/VCardReader.h"
#include "support/TestEnvironment.h"

namespace ossel {
namespace {

using testing::kRoundingNow;
using testing::TestEnvironment;

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

Ref<Dictionary> entry(std::initializer_list<std::pair<const char*, Ref<Object>>> items) {
    auto dictionary = Dictionary::make();
    for (const auto& [key, value] : items) dictionary->setObject(value, key);
    return dictionary;
}

TEST_F(PeopleTest, DisplayNamePrefersNickNameThenFirstAndLastAndComparesIgnoringCase) {
    EXPECT_EQ(personNamed("Ann", "Lee", "Bob")->name(), "Bob");
    EXPECT_EQ(personNamed("Ann", "Lee", "")->name(), "") << "an empty nick name still wins";
    EXPECT_EQ(personNamed("Ann", "Lee", nullptr)->description(), "Ann Lee");
    EXPECT_EQ(personNamed(nullptr, "Lee", nullptr)->name(), "Lee");
    EXPECT_EQ(personNamed("Ann", nullptr, nullptr)->name(), "Ann");
    EXPECT_EQ(personNamed(nullptr, nullptr, nullptr)->name(), "No Name");
    const struct { const char *a, *b; int order; } cases[] = {
        {"ann", "Ann", 0}, {"Ann", "bob", -1}, {"BOB", "ann", 1}, {"Émile", "éMILE", 0}, {"Ann", "ann lee", -1},
        // Every case pair of every script, and composed or decomposed accents alike.
        {"NGUYỄN", "Nguyễn", 0}, {"ȘTEFAN CEL MARE", "ștefan cel mare", 0}, {"Ǆuro", "ǆuro", 0},
        {"STRASSE", "Straße", 0}, {"E\u0301mile", "émile", 0}, {"Émile", "Zoé", 1}};  // by folded code point: é after z
    for (const auto& c : cases)
        EXPECT_EQ(personNamed(c.a, nullptr, nullptr)->compare(*personNamed(c.b, nullptr, nullptr)), c.order) << c.a;
}

TEST_F(PeopleTest, ReadsACatalogEntryWithTheNestedDataFallback) {
    const auto record = TLOsselPeople::initWithPList(
        entry({{"peopleId", str("P7")}, {"isFavorite", Number::withBool(true)}, {"isDemo", Number::withBool(true)},
               {"lastUse", Date::withTimeIntervalSince1970(now_ - 5)}, {"adressBookId", str("AB:7")},
               {"peopleData", entry({{"firstName", str("Ann")}, {"eMail", str("ann@example.org")}})}})
            .get());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->peopleId()->utf8(), "P7");
    EXPECT_TRUE(record->isFavorite() && record->isDemo());
    EXPECT_EQ(record->abUniqueId()->utf8(), "AB:7");
    EXPECT_EQ(record->valueForProperty("eMail")->description(), "ann@example.org");
    UserDefaults::standardUserDefaults().setObject(Number::withInt(10), "secondsForRecent");
    UserDefaults::standardUserDefaults().setObject(Number::withInt(1), "multiForRecent");
    EXPECT_TRUE(record->isRecent());

    // "@dict:peopleData" is read when the plain key is absent, empty or of the wrong kind.
    const auto nested = entry({{"lastName", str("Lee")}});
    for (const Ref<Object>& plain : {Ref<Object>(), Ref<Object>(Dictionary::make()), Ref<Object>(str("not a dictionary")),
                                     Ref<Object>(entry({{"nickName", str("Bob")}}))}) {
        auto e = entry({{"peopleId", str("P")}, {"@dict:peopleData", nested}});
        if (plain) e->setObject(plain, "peopleData");
        const auto read = TLOsselPeople::initWithPList(e.get());
        ASSERT_TRUE(read);
        EXPECT_EQ(read->name(), kindCast<Dictionary>(plain) && kindCast<Dictionary>(plain)->count() ? "Bob" : "Lee");
        read->setValueForProperty(str("Kim"), "lastName");  // the record's dictionary is its own
    }
    EXPECT_EQ(nested->objectForKey("lastName")->description(), "Lee");
}

TEST_F(PeopleTest, EntriesWithoutAUsableIdGiveNoRecordAndOtherWrongKindsAreAbsent) {
    EXPECT_FALSE(TLOsselPeople::initWithPList(nullptr));
    EXPECT_FALSE(TLOsselPeople::initWithPList(entry({{"placeId", str("P")}}).get()));
    EXPECT_FALSE(TLOsselPeople::initWithPList(entry({{"peopleId", Number::withInt(3)}}).get()));
    auto odd = TLOsselPeople::initWithPList(entry({{"peopleId", str("P")}, {"isFavorite", str("YES")},
                                                   {"lastUse", str("yesterday")}, {"adressBookId", Number::withInt(4)}})
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
    const auto withoutAb = people->plist();
    EXPECT_FALSE(withoutAb->containsKey("adressBookId"));
    EXPECT_FALSE(withoutAb->containsKey("lastUse"));
    people->setIsDemo(true);
    people->setAbUniqueId(str("AB:9"));
    people->setIsFavorite(true);
    people->setLastUse(Date::withTimeIntervalSince1970(1e9));
    std::string error;
    ASSERT_TRUE(writePropertyListToFile(Array::make({people->plist()}).get(), pathIn("People 2.xml"), true, &error)) << error;
    const auto read = kindCast<Array>(readPropertyListFromFile(pathIn("People 2.xml"), &error));
    ASSERT_TRUE(read) << error;
    const auto back = TLOsselPeople::initWithPList(kindCast<Dictionary>(read->objectAtIndex(0)).get());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isFavorite() && back->isDemo());
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

TEST_F(PeopleTest, FillingFromAPersonReplacesOrKeepsOtherPropertiesAndAnnouncesEach) {
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
    EXPECT_EQ(people->peopleId()->utf8(), "OsselPeople.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(people->name(), "Ann Lee");
    EXPECT_EQ(people->valueForProperty("eMail")->description(), "ann@work.example");
    EXPECT_TRUE(kindCast<Date>(people->valueForProperty("birthday")));
    EXPECT_EQ(people->plist()->objectForKey("adressBookId")->description(), "card-1");
}

}  // namespace
}  // namespace ossel
