#include <gtest/gtest.h>

#include "catalog/CatalogTestEnvironment.h"
#include "catalog/TLOsselEvent.h"
#include "catalog/TLOsselPlace.h"
#include "foundation/Archiver.h"
#include "foundation/Number.h"

namespace ossel {
namespace {

using testing::CatalogTest;

class PlaceEventTest : public CatalogTest {};

TEST_F(PlaceEventTest, NamesFallBackToTheUnnamedTexts) {
    auto place = std::make_shared<TLOsselPlace>(str("L"));
    auto event = std::make_shared<TLOsselEvent>(str("E"));
    EXPECT_EQ(place->name(), "Unnamed place");
    EXPECT_EQ(event->name(), "Unnamed event");
    place->setValueForProperty(str(""), kTLOsselPlaceNameProperty);
    EXPECT_EQ(place->name(), "");
    event->setValueForProperty(str("Harvest Fair"), kTLOsselEventNameProperty);
    EXPECT_EQ(event->description(), "Harvest Fair");
    place->setValueForProperty(str("Oslo"), kTLOsselPlaceNameProperty);
    EXPECT_EQ(place->valueForKey("name")->description(), "Oslo");
}

TEST_F(PlaceEventTest, CompareIgnoresCase) {
    auto a = std::make_shared<TLOsselEvent>(str("1"));
    auto b = std::make_shared<TLOsselEvent>(str("2"));
    a->setValueForProperty(str("Summer Party"), "eventName");
    b->setValueForProperty(str("summer PARTY"), "eventName");
    EXPECT_EQ(a->compare(*b), 0);
    b->setValueForProperty(str("autumn"), "eventName");
    EXPECT_EQ(a->compare(*b), 1);
    EXPECT_EQ(b->compare(*a), -1);
    auto p = std::make_shared<TLOsselPlace>(str("1"));
    auto q = std::make_shared<TLOsselPlace>(str("2"));
    p->setValueForProperty(str("ÅLESUND"), "placeName");
    q->setValueForProperty(str("ålesund"), "placeName");
    EXPECT_EQ(p->compare(*q), 0);
}

TEST_F(PlaceEventTest, EachKindKeepsItsOwnCounter) {
    EXPECT_EQ(TLOsselPlace::nextPlaceId()->utf8(), "OsselPlace.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(TLOsselPlace::nextPlaceId()->utf8(), "OsselPlace.studio_mac_local-2-1199145600.123457");
    EXPECT_EQ(std::make_shared<TLOsselEvent>()->eventId()->utf8(), "OsselEvent.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(storedInteger("com.tollendra.PlaceIdGenerator"), 2);
    EXPECT_EQ(storedInteger("com.tollendra.eventIdGenerator"), 1);
    EXPECT_FALSE(storedInteger("com.tollendra.EventIdGenerator"));

    TLOsselEvent::resetEventId();
    EXPECT_EQ(storedInteger("com.tollendra.eventIdGenerator"), 0);
    EXPECT_EQ(storedInteger("com.tollendra.PlaceIdGenerator"), 2);
    startNewProcess();
    TLOsselPlace::resetPlaceId();
    EXPECT_EQ(storedInteger("com.tollendra.PlaceIdGenerator"), 2) << "a new process has not obtained it yet";
    EXPECT_EQ(TLOsselPlace::nextPlaceId()->utf8(), "OsselPlace.studio_mac_local-3-1199145600.123457");
}

TEST_F(PlaceEventTest, EventEntryFallsBackToNestedData) {
    auto nested = Dictionary::make();
    nested->setObject(str("Wedding"), "eventName");
    nested->setObject(str("in the garden"), "notes");
    auto entry = Dictionary::make();
    entry->setObject(str("E1"), "eventId");
    entry->setObject(nested, "@dict:eventData");
    const auto event = TLOsselEvent::initWithPList(entry.get());
    ASSERT_TRUE(event);
    EXPECT_EQ(event->name(), "Wedding");
    EXPECT_EQ(event->recordText(), "Wedding in the garden");
    EXPECT_FALSE(event->isFavorite());
    EXPECT_FALSE(event->isDemo());

    const auto written = event->plist();
    EXPECT_EQ(written->allKeys(), (std::vector<std::string>{"eventId", "isDemo", "isFavorite", "eventData"}));
    EXPECT_FALSE(kindCast<Number>(written->objectForKey("isDemo"))->boolValue());
    EXPECT_EQ(kindCast<Number>(written->objectForKey("isFavorite"))->kind(), Number::Kind::Bool);
    EXPECT_FALSE(TLOsselPlace::initWithPList(entry.get())) << "an event entry has no place id";
}

TEST_F(PlaceEventTest, PlaceEntryAndArchiveRoundTrip) {
    auto entry = Dictionary::make();
    entry->setObject(str("L1"), "placeId");
    entry->setObject(Number::withBool(true), "isDemo");
    entry->setObject(Number::withInt(1), "isFavorite");
    entry->setObject(Date::withTimeIntervalSince1970(1e9), "lastUse");
    auto data = Dictionary::make();
    data->setObject(str("Oslo"), "placeName");
    data->setObject(str("Norway"), "country");
    data->setObject(Number::withDouble(59.91), "latitude");
    entry->setObject(data, "placeData");
    const auto place = TLOsselPlace::initWithPList(entry.get());
    ASSERT_TRUE(place);
    EXPECT_TRUE(place->isDemo());
    EXPECT_TRUE(place->isFavorite());
    EXPECT_TRUE(place->plist()->isEqual(entry.get()));

    std::string error;
    const auto back = kindCast<TLOsselPlace>(
        Decoder::unarchiveObjectWithData(Coder::archivedDataWithRootObject(place.get()), &error));
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(back->isEqual(place.get()));
    EXPECT_TRUE(back->isFavorite());
    EXPECT_FALSE(back->isDemo());
    EXPECT_FALSE(back->plist()->containsKey("lastUse"));
    EXPECT_TRUE(back->properties()->isEqual(data.get()));

    const auto copy = kindCast<TLOsselEvent>(std::make_shared<TLOsselEvent>(str("E"))->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->eventId()->utf8(), "E");
}

}  // namespace
}  // namespace ossel
