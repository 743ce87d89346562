#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PListTestEnvironment.h"
#include "catalog/TLOsselEvent.h"
#include "catalog/TLOsselPeople.h"
#include "catalog/TLOsselPlace.h"
#include "foundation/Array.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "plist/TLDVPListContainerSet.h"
#include "plist/TLDVPListDictionary.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class Nested : public PListTest {
protected:
    static Ref<TLDVPListDictionary> eventData() {
        auto data = TLDVPListDictionary::make();
        data->putString(str("Harvest fair"), "eventName");
        data->putTimeCode(DVTimeCode::timeCodeWithHours(0, 10, 0, 0), "offset");
        return data;
    }
    static Ref<TLDVPListContainerSet> twoTimeCodes() {
        auto list = TLDVPListContainerSet::make();
        list->addTimeCode(DVTimeCode::timeCodeWithHours(1, 0, 0, 0));
        list->addTimeCode(DVTimeCode::timeCodeWithHours(2, 0, 0, 0));
        return list;
    }

    Ref<TLDVPListDictionary> outer = TLDVPListDictionary::make();
};

}  // namespace

TEST_F(Nested, ADictionaryIsStoredUnderItsOwnKeyBesideThePlainOne) {
    outer->putString(str("plain"), "eventData");
    outer->putPList(eventData(), "eventData");
    EXPECT_EQ(outer->keyEnumerator(), (std::vector<std::string>{"eventData", "@dict:eventData"}));
    EXPECT_TRUE(isKindOf<Dictionary>(outer->containerData()->objectForKey("@dict:eventData")));
    // The plain entry wins for valueForKey; pListValueForKey looks only at nested keys.
    EXPECT_EQ(kindCast<String>(outer->valueForKey("eventData"))->utf8(), "plain");
    const auto viaPList = kindCast<TLDVPListDictionary>(outer->pListValueForKey("eventData"));
    ASSERT_TRUE(viaPList);
    EXPECT_TRUE(viaPList->containerData()->isEqual(eventData()->containerData().get()));

    outer->containerData()->removeObjectForKey("eventData");
    const auto viaValue = kindCast<TLDVPListDictionary>(outer->valueForKey("eventData"));
    ASSERT_TRUE(viaValue);
    EXPECT_TRUE(DVTimeCode::timeCodeWithHours(0, 10, 0, 0)->isEqual(viaValue->valueForKey("offset").get()));
    // A copy: putting into it leaves the outer container as it was.
    viaValue->putInt(1, "added");
    EXPECT_FALSE(kindCast<TLDVPListDictionary>(outer->valueForKey("eventData"))->valueForKey("added"));
}

TEST_F(Nested, WhatIsStoredIsASnapshotOfTheNestedContainer) {
    auto data = eventData();
    auto list = twoTimeCodes();
    outer->putPList(data, "d");
    outer->putPList(list, "a");
    data->putInt(1, "later");
    list->addString(str("later"));
    EXPECT_EQ(kindCast<TLDVPListDictionary>(outer->valueForKey("d"))->containerData()->count(), 2u);
    EXPECT_EQ(kindCast<TLDVPListContainerSet>(outer->valueForKey("a"))->count(), 2u);
}

TEST_F(Nested, ANestedArrayReadBackSharesTheStoredArray) {
    outer->putPList(twoTimeCodes(), "list");
    const auto first = kindCast<TLDVPListContainerSet>(outer->valueForKey("list"));
    ASSERT_TRUE(first);
    first->addString(str("via valueForKey"));
    const auto second = kindCast<TLDVPListContainerSet>(outer->pListValueForKey("list"));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->count(), 3u);
    second->addNumber(Number::withInt(4));
    EXPECT_EQ(kindCast<Array>(outer->containerData()->objectForKey("@array:list"))->count(), 4u);
    EXPECT_EQ(first->count(), 4u);
}

TEST_F(Nested, BothNestedKeysWithoutAPlainEntry) {
    outer->putPList(twoTimeCodes(), "k");
    outer->putPList(eventData(), "k");
    EXPECT_TRUE(isKindOf<TLDVPListDictionary>(outer->valueForKey("k")));
    EXPECT_TRUE(isKindOf<TLDVPListContainerSet>(outer->pListValueForKey("k")));
    // Entries of the wrong kind under the nested keys are passed over.
    outer->removeAllValues();
    outer->putString(str("not a dictionary"), "@dict:k");
    outer->putString(str("not an array"), "@array:k");
    EXPECT_FALSE(outer->valueForKey("k"));
    EXPECT_FALSE(outer->pListValueForKey("k"));
    outer->putPList(twoTimeCodes(), "k");  // replaces the wrong "@array:k"
    EXPECT_TRUE(isKindOf<TLDVPListContainerSet>(outer->valueForKey("k")));
    EXPECT_FALSE(outer->pListValueForKey("missing"));
}

TEST_F(Nested, ANestedElementIsWrappedOnceAndThenHoldsTheArrayBackFromFiles) {
    auto list = TLDVPListContainerSet::make();
    list->addString(str("first"));
    list->addPList(eventData());
    list->addPList(twoTimeCodes());
    ASSERT_EQ(list->count(), 3u);
    EXPECT_TRUE(isKindOf<Dictionary>(list->array()->objectAtIndex(1)));
    EXPECT_TRUE(list->writeToFile(pathIn("before.plist"), true));

    const auto nestedDict = kindCast<TLDVPListDictionary>(list->valueAtIndex(1));
    ASSERT_TRUE(nestedDict);
    EXPECT_EQ(list->valueAtIndex(1), nestedDict);  // the very same container
    EXPECT_EQ(list->array()->objectAtIndex(1), nestedDict);
    nestedDict->putInt(5, "kept");
    EXPECT_EQ(kindCast<TLDVPListDictionary>(list->valueAtIndex(1))->intValueForKey("kept", 0), 5);

    // The array now holds an object that no property-list file can take.
    EXPECT_FALSE(list->writeToFile(pathIn("after.plist"), true));
    EXPECT_FALSE(std::filesystem::exists(pathIn("after.plist")));
    const auto plist = kindCast<Array>(list->pListValue());
    EXPECT_EQ(plist->objectAtIndex(1), nestedDict);
    EXPECT_FALSE(isPropertyListValue(plist.get()));
    // ...and so does every copy of its property list nested elsewhere.
    auto holder = TLDVPListDictionary::make();
    holder->putPList(list, "list");
    EXPECT_FALSE(holder->writeToFile(pathIn("holder.plist"), false));

    const auto nestedList = kindCast<TLDVPListContainerSet>(list->valueAtIndex(2));
    ASSERT_TRUE(nestedList);
    EXPECT_TRUE(DVTimeCode::timeCodeWithHours(2, 0, 0, 0)->isEqual(nestedList->valueAtIndex(1).get()));
    // asMutableArray goes through the same replacement.
    const auto decoded = list->asMutableArray();
    EXPECT_EQ(decoded->objectAtIndex(1), nestedDict);
    EXPECT_EQ(decoded->objectAtIndex(2), nestedList);
}

TEST_F(Nested, ANestedArrayElementSharesItsArrayWithTheOuterOne) {
    auto inner = Array::make({str("@timecode:00:00:00.01")}, true);
    auto list = TLDVPListContainerSet::initWithArray(Array::make({inner}, true));
    const auto wrapped = kindCast<TLDVPListContainerSet>(list->valueAtIndex(0));
    ASSERT_TRUE(wrapped);
    wrapped->addString(str("more"));
    EXPECT_EQ(inner->count(), 2u);
}

TEST_F(Nested, ThreeLevelsSurviveAFile) {
    auto leaf = TLDVPListDictionary::make();
    leaf->putTimeCode(DVTimeCode::timeCodeWithHours(3, 2, 1, 0), "in");
    leaf->putDVSystem(DVSystem::system525_60(), "system");
    auto middle = TLDVPListContainerSet::make();
    middle->addPList(leaf);
    middle->addClipId(std::make_shared<DVClipId>(sequence7(), 9));
    outer->putPList(middle, "clips");
    outer->putPList(eventData(), "eventData");
    outer->putInt(2, "version");
    ASSERT_TRUE(outer->writeToFile(pathIn("nested.plist"), true));

    const auto back = TLDVPListDictionary::initWithContentsOfFile(pathIn("nested.plist"));
    EXPECT_TRUE(back->containerData()->isEqual(outer->containerData().get()));
    const auto clips = kindCast<TLDVPListContainerSet>(back->valueForKey("clips"));
    ASSERT_TRUE(clips);
    ASSERT_EQ(clips->count(), 2u);
    const auto readLeaf = kindCast<TLDVPListDictionary>(clips->valueAtIndex(0));
    ASSERT_TRUE(readLeaf);
    EXPECT_TRUE(DVTimeCode::timeCodeWithHours(3, 2, 1, 0)->isEqual(readLeaf->valueForKey("in").get()));
    EXPECT_EQ(readLeaf->valueForKey("system"), DVSystem::system525_60());
    EXPECT_TRUE(std::make_shared<DVClipId>(sequence7(), 9)->isEqual(clips->valueAtIndex(1).get()));
    EXPECT_EQ(kindCast<TLDVPListDictionary>(back->valueForKey("eventData"))->valueForKey("eventName")->description(),
              "Harvest fair");

    // Read from a file, a nested array is shared just as it was in memory.
    clips->addString(str("added"));
    EXPECT_EQ(kindCast<TLDVPListContainerSet>(back->valueForKey("clips"))->count(), 3u);

    // asMutableDictionary keeps nested entries under their own keys, as property lists.
    const auto decoded = back->asMutableDictionary();
    EXPECT_EQ(decoded->allKeys(), (std::vector<std::string>{"@array:clips", "@dict:eventData", "version"}));
    EXPECT_TRUE(isKindOf<Array>(decoded->objectForKey("@array:clips")));
    EXPECT_TRUE(isKindOf<Dictionary>(decoded->objectForKey("@dict:eventData")));
}

TEST_F(Nested, CatalogRecordsReadDataPutThroughANestedTypedDictionary) {
    auto catalog = TLDVPListContainerSet::make();
    auto event = TLDVPListDictionary::make();
    event->putString(str("OsselEvent-1"), "eventId");
    event->putPList(eventData(), "eventData");
    catalog->addPList(event);
    auto place = TLDVPListDictionary::make();
    auto placeData = TLDVPListDictionary::make();
    placeData->putString(str("Old mill"), "placeName");
    place->putString(str("OsselPlace-1"), "placeId");
    place->putPList(placeData, "placeData");
    catalog->addPList(place);
    auto person = TLDVPListDictionary::make();
    auto personData = TLDVPListDictionary::make();
    personData->putString(str("Ada"), "firstName");
    person->putString(str("OsselPeople-1"), "peopleId");
    person->putPList(personData, "peopleData");
    catalog->addPList(person);
    ASSERT_TRUE(catalog->writeToFile(pathIn("Catalog.xml"), true));

    const auto entries = kindCast<Array>(readPropertyListFromFile(pathIn("Catalog.xml")));
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->count(), 3u);
    const auto readEvent = TLOsselEvent::initWithPList(kindCast<Dictionary>(entries->objectAtIndex(0)).get());
    ASSERT_TRUE(readEvent);
    EXPECT_EQ(readEvent->name(), "Harvest fair");
    EXPECT_EQ(readEvent->valueForProperty("offset")->description(), "@timecode:00:10:00.00");
    const auto readPlace = TLOsselPlace::initWithPList(kindCast<Dictionary>(entries->objectAtIndex(1)).get());
    ASSERT_TRUE(readPlace);
    EXPECT_EQ(readPlace->valueForProperty("placeName")->description(), "Old mill");
    const auto readPerson = TLOsselPeople::initWithPList(kindCast<Dictionary>(entries->objectAtIndex(2)).get());
    ASSERT_TRUE(readPerson);
    EXPECT_EQ(readPerson->valueForProperty("firstName")->description(), "Ada");

    // In memory too: the entry's property list is what the record reads.
    const auto inMemory = TLOsselEvent::initWithPList(kindCast<Dictionary>(event->pListValue()).get());
    ASSERT_TRUE(inMemory);
    EXPECT_EQ(inMemory->name(), "Harvest fair");
}
