#include "catalog/TLOsselOrgConceptRecord.h"

#include <gtest/gtest.h>

#include "catalog/TLOsselPeople.h"
#include "catalog/TLOsselPlace.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "support/TestEnvironment.h"

namespace ossel {
namespace {

using RecordTest = testing::TestEnvironment;

TEST_F(RecordTest, EqualityIsByIdAndOneSided) {
    auto base = std::make_shared<TLOsselOrgConceptRecord>(str("R1"));
    auto people = std::make_shared<TLOsselPeople>(str("R1"));
    auto place = std::make_shared<TLOsselPlace>(str("R1"));
    auto otherPeople = std::make_shared<TLOsselPeople>(str("R1"));
    otherPeople->setValueForProperty(str("Ann"), "firstName");
    otherPeople->setIsFavorite(true);

    EXPECT_TRUE(base->isEqual(people.get()));
    EXPECT_FALSE(people->isEqual(base.get()));
    EXPECT_FALSE(people->isEqual(place.get()));
    EXPECT_TRUE(people->isEqual(otherPeople.get())) << "properties and flags are not compared";
    EXPECT_EQ(people->hash(), otherPeople->hash());
    EXPECT_FALSE(people->isEqual(nullptr));
    EXPECT_FALSE(people->isEqual(str("R1").get()));
    EXPECT_FALSE(people->isEqual(std::make_shared<TLOsselPeople>(str("R2")).get()));

    auto anonymous = std::make_shared<TLOsselOrgConceptRecord>();
    EXPECT_TRUE(anonymous->isEqual(std::make_shared<TLOsselOrgConceptRecord>().get()));
    EXPECT_FALSE(anonymous->isEqual(base.get()));
    EXPECT_FALSE(base->isEqual(anonymous.get()));
    EXPECT_EQ(anonymous->hash(), 0u);
}

TEST_F(RecordTest, RecencyFollowsTheStoredThresholdAtItsBoundary) {
    auto record = std::make_shared<TLOsselOrgConceptRecord>(str("R"));
    EXPECT_FALSE(record->isRecent()) << "never used";
    auto usedAgo = [&](double seconds) {
        record->setLastUse(Date::withTimeIntervalSince1970(now_ - seconds));
        return record->isRecent();
    };
    EXPECT_FALSE(usedAgo(0.0));
    EXPECT_TRUE(usedAgo(-1.0)) << "a use in the future beats a zero threshold";

    auto& defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(Number::withInt(2), "multiForRecent");
    EXPECT_FALSE(usedAgo(1.0)) << "seconds still unset";
    defaults.setObject(Number::withInt(3600), "secondsForRecent");
    EXPECT_TRUE(usedAgo(7199.0));
    EXPECT_FALSE(usedAgo(7200.0)) << "equal is not recent";
    EXPECT_FALSE(usedAgo(7201.0));

    // Read on every call and multiplied in single precision: 0.1f × 3 rounds to
    // 0.3000000119, where doubles would give 0.30000000000000004. Near the
    // reference date the elapsed time is exact enough to tell the two apart.
    now_ = kTimeIntervalBetween1970AndReferenceDate;
    defaults.setObject(Number::withDouble(0.1), "multiForRecent");
    defaults.setObject(Number::withDouble(3.0), "secondsForRecent");
    auto usedJustAgo = [&](double seconds) {
        record->setLastUse(Date::withTimeIntervalSinceReferenceDate(-seconds));
        return record->isRecent();
    };
    EXPECT_TRUE(usedJustAgo(0.30000001));
    EXPECT_FALSE(usedJustAgo(0.30000002));
}

TEST_F(RecordTest, EveryPropertyWriteIsAnnouncedButRemovalsAndOwnAttributesAreNot) {
    auto people = std::make_shared<TLOsselPeople>(str("P1"));
    int edits = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        "annotationBeingEdited", people.get(), [&](const Notification& note) {
            ++edits;
            EXPECT_EQ(note.object(), people);
        });
    people->setValueForProperty(str("Lee"), "lastName");
    people->setValueForProperty(str("Lee"), "lastName");
    EXPECT_EQ(edits, 2) << "unchanged values are announced too";
    people->setValueForProperty(nullptr, "lastName");
    EXPECT_FALSE(people->valueForProperty("lastName"));
    EXPECT_EQ(edits, 3);
    people->setValueForProperty(str("x"), std::nullopt);
    people->setValueForProperty(str("a"), "one");
    people->removeValueForProperty("one");
    people->removeAllValues();
    EXPECT_EQ(edits, 4) << "removals are silent";

    // Key-value writes go to the record's own attributes first, silently, else through the property setter.
    people->setValueForKey(Number::withBool(true), "isFavorite");
    people->setValueForKey(str("AB-1"), "abUniqueId");
    EXPECT_TRUE(people->isFavorite());
    EXPECT_EQ(people->abUniqueId()->utf8(), "AB-1");
    EXPECT_TRUE(people->properties()->empty());
    people->setValueForKey(str("Bob"), "nickName");
    EXPECT_EQ(edits, 5);
    EXPECT_EQ(people->valueForKey("peopleId")->description(), "P1");
    EXPECT_EQ(people->valueForKey("name")->description(), "Bob");
    EXPECT_FALSE(people->valueForKey("unknown"));
    NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(RecordTest, RecordTextSkipsTheNullMarker) {
    auto record = std::make_shared<TLOsselOrgConceptRecord>(str("R"));
    EXPECT_EQ(record->recordText(), "");
    record->setValueForProperty(str("Ann"), "name");
    record->setValueForProperty(Null::null(), "gone");
    EXPECT_EQ(record->recordText(), "Ann");
    record->setValueForProperty(Number::withInt(42), "age");
    record->setValueForProperty(str("x y"), "note");
    EXPECT_EQ(record->recordText(), "Ann 42 x y");
}

TEST_F(RecordTest, CopiesAndArchivesKeepIdValuesAndFavouriteButNeitherDemoNorUse) {
    auto people = std::make_shared<TLOsselPeople>(str("P1"));
    people->setValueForProperty(str("Ann"), "firstName");
    people->setValueForProperty(Date::withTimeIntervalSince1970(0), "birthday");
    people->setIsFavorite(true);
    people->setIsDemo(true);
    people->setAbUniqueId(str("AB"));
    people->setLastUse(Date::withTimeIntervalSince1970(now_ + 10));
    ASSERT_TRUE(people->isRecent());
    for (const auto& back :
         {kindCast<TLOsselPeople>(people->copy()), kindCast<TLOsselPeople>(testing::archiveRoundTrip(*people))}) {
        ASSERT_TRUE(back);
        EXPECT_NE(back, people);
        EXPECT_TRUE(back->isEqual(people.get()));
        EXPECT_TRUE(back->isFavorite());
        EXPECT_FALSE(back->isDemo());
        EXPECT_FALSE(back->isRecent());
        EXPECT_EQ(back->abUniqueId()->utf8(), "AB");
        EXPECT_TRUE(back->properties()->isEqual(people->properties().get()));
        back->setValueForProperty(str("Bea"), "firstName");  // the dictionary is its own, mutable one
        EXPECT_EQ(back->name(), "Bea");
    }
    EXPECT_EQ(people->name(), "Ann");
    EXPECT_FALSE(TLIdGenerator::generatorForKey("PeopleIdGenerator")->currentId()) << "no id drawn";

    const auto baseBack = kindCast<TLOsselOrgConceptRecord>(testing::archiveRoundTrip(TLOsselOrgConceptRecord()));
    ASSERT_TRUE(baseBack);
    EXPECT_FALSE(baseBack->recordId());
    EXPECT_FALSE(isKindOf<TLOsselPeople>(baseBack));
}

TEST(PropertyListBool, ReadsNumbersAndTextsAsThePlatformDoes) {
    EXPECT_FALSE(propertyListBoolValue(Number::withInt(0).get()));
    EXPECT_TRUE(propertyListBoolValue(Number::withDouble(0.5).get()));
    for (const char* yes : {"YES", "true", " y", "1", "-7", "0012"}) EXPECT_TRUE(propertyListBoolValue(str(yes).get())) << yes;
    for (const char* no : {"NO", "false", "", "0", "  ", "x1"}) EXPECT_FALSE(propertyListBoolValue(str(no).get())) << no;
    EXPECT_FALSE(propertyListBoolValue(nullptr));
    EXPECT_FALSE(propertyListBoolValue(Dictionary::make().get()));
}

}  // namespace
}  // namespace ossel
