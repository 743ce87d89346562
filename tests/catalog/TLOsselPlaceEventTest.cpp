#include <gtest/gtest.h>

#include "catalog/TLOsselEvent.h"
#include "catalog/TLOsselPeople.h"
#include "catalog/TLOsselPlace.h"
#include "foundation/Number.h"
#include "support/TestEnvironment.h"

namespace ossel {
namespace {

using testing::kRoundingNow;
using testing::TestEnvironment;

class PlaceEventTest : public TestEnvironment {
protected:
    PlaceEventTest() { now_ = kRoundingNow; }
};

TEST_F(PlaceEventTest, NamesFallBackToTheUnnamedTextsAndCompareIgnoringCase) {
    auto place = std::make_shared<TLOsselPlace>(str("L"));
    auto event = std::make_shared<TLOsselEvent>(str("E"));
    EXPECT_EQ(place->name(), "Unnamed place");
    EXPECT_EQ(event->name(), "Unnamed event");
    place->setValueForProperty(str(""), kTLOsselPlaceNameProperty);
    EXPECT_EQ(place->name(), "");
    auto other = std::make_shared<TLOsselEvent>(str("2"));
    event->setValueForProperty(str("Summer Party"), kTLOsselEventNameProperty);
    other->setValueForProperty(str("summer PARTY"), kTLOsselEventNameProperty);
    EXPECT_EQ(event->compare(*other), 0);
    other->setValueForProperty(str("autumn"), kTLOsselEventNameProperty);
    EXPECT_EQ(event->compare(*other), 1);
    EXPECT_EQ(other->compare(*event), -1);
}

TEST_F(PlaceEventTest, EachKindKeepsItsOwnCounter) {
    EXPECT_EQ(TLOsselPlace::nextPlaceId()->utf8(), "OsselPlace.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(TLOsselPlace::nextPlaceId()->utf8(), "OsselPlace.studio_mac_local-2-1199145600.123457");
    EXPECT_EQ(std::make_shared<TLOsselEvent>()->eventId()->utf8(), "OsselEvent.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(std::make_shared<TLOsselPeople>()->peopleId()->utf8(), "OsselPeople.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(storedInteger("com.tollendra.PlaceIdGenerator"), 2);
    EXPECT_EQ(storedInteger("com.tollendra.eventIdGenerator"), 1);
    EXPECT_EQ(storedInteger("com.tollendra.PeopleIdGenerator"), 1);
    EXPECT_FALSE(storedInteger("com.tollendra.EventIdGenerator"));

    TLOsselEvent::resetEventId();
    EXPECT_EQ(storedInteger("com.tollendra.eventIdGenerator"), 0);
    EXPECT_EQ(storedInteger("com.tollendra.PlaceIdGenerator"), 2);
    startNewProcess();
    TLOsselPlace::resetPlaceId();
    EXPECT_EQ(storedInteger("com.tollendra.PlaceIdGenerator"), 2) << "a new process has not obtained it yet";
    EXPECT_EQ(TLOsselPlace::nextPlaceId()->utf8(), "OsselPlace.studio_mac_local-3-1199145600.123457");
}

TEST_F(PlaceEventTest, EntriesFallBackToNestedDataAndWriteBackTheSameKeys) {
    auto nested = Dictionary::make();
    nested->setObject(str("Wedding"), "eventName");
    nested->setObject(str("in the garden"), "notes");
    auto entry = Dictionary::make();
    entry->setObject(str("E1"), "eventId");
    entry->setObject(nested, "@dict:eventData");
    const auto event = TLOsselEvent::initWithPList(entry.get());
    ASSERT_TRUE(event);
    EXPECT_EQ(event->recordText(), "Wedding in the garden");
    const auto written = event->plist();
    EXPECT_EQ(written->allKeys(), (std::vector<std::string>{"eventId", "isDemo", "isFavorite", "eventData"}));
    EXPECT_EQ(kindCast<Number>(written->objectForKey("isFavorite"))->kind(), Number::Kind::Bool);
    EXPECT_FALSE(TLOsselPlace::initWithPList(entry.get())) << "an event entry has no place id";

    auto placeEntry = Dictionary::make();
    placeEntry->setObject(str("L1"), "placeId");
    placeEntry->setObject(Number::withBool(true), "isDemo");
    placeEntry->setObject(Number::withInt(1), "isFavorite");
    placeEntry->setObject(Date::withTimeIntervalSince1970(1e9), "lastUse");
    placeEntry->setObject(nested, "placeData");
    const auto place = TLOsselPlace::initWithPList(placeEntry.get());
    ASSERT_TRUE(place);
    EXPECT_TRUE(place->isDemo() && place->isFavorite());
    EXPECT_TRUE(place->plist()->isEqual(placeEntry.get()));
}

}  // namespace
}  // namespace ossel
