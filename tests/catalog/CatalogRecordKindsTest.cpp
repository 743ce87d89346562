// What people, place and event records share: entries read and written alike,
// a counter per kind, and display names ordered ignoring case.
#include <gtest/gtest.h>

#include "catalog/TLOsselEvent.h"
#include "catalog/TLOsselPeople.h"
#include "catalog/TLOsselPlace.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "support/Cases.h"
#include "support/TestEnvironment.h"

namespace ossel {
namespace {

using namespace testing;

class RecordKinds : public TestEnvironment {
protected:
    RecordKinds() { now_ = kRoundingNow; }
};

struct KindCase {
    const char *idKey, *dataKey, *nameProperty;
    std::function<Ref<TLOsselCatalogRecord>(const Dictionary*)> read;
};
const KindCase kKinds[] = {
    {"peopleId", "peopleData", "firstName", [](const Dictionary* e) { return TLOsselPeople::initWithPList(e); }},
    {"placeId", "placeData", "placeName", [](const Dictionary* e) { return TLOsselPlace::initWithPList(e); }},
    {"eventId", "eventData", "eventName", [](const Dictionary* e) { return TLOsselEvent::initWithPList(e); }},
};

TEST_F(RecordKinds, EntriesReadWithTheNestedFallbackAndWriteBackTheSameKeysThroughAFile) {
    auto written = Array::make();
    for (const auto& kind : kKinds) {
        const auto data = dictionaryOf({{kind.nameProperty, str("Ann")}, {"notes", str("x y")}});
        const auto full = dictionaryOf({{kind.idKey, str("R1")}, {"isDemo", Number::withBool(true)},
                                        {"isFavorite", Number::withBool(true)},
                                        {"lastUse", Date::withTimeIntervalSince1970(1e9)}, {kind.dataKey, data}});
        const auto record = kind.read(full.get());
        ASSERT_TRUE(record) << kind.idKey;
        EXPECT_EQ(record->name(), "Ann") << kind.idKey;
        EXPECT_TRUE(record->isDemo() && record->isFavorite()) << kind.idKey;
        EXPECT_TRUE(record->plist()->isEqual(full.get())) << record->plist()->description();
        EXPECT_EQ(kindCast<Number>(record->plist()->objectForKey("isFavorite"))->kind(), Number::Kind::Bool);
        written->addObject(record->plist());

        // "@dict:<data>" is read when the plain key is absent, empty or of the wrong kind.
        const auto nested = dictionaryOf({{kind.nameProperty, str("Lee")}});
        for (const Ref<Object>& plain : {Ref<Object>(), Ref<Object>(Dictionary::make()), Ref<Object>(str("text")),
                                         Ref<Object>(dictionaryOf({{kind.nameProperty, str("Bob")}}))}) {
            auto e = dictionaryOf({{kind.idKey, str("R")}, {std::string("@dict:") + kind.dataKey, nested}});
            if (plain) e->setObject(plain, kind.dataKey);
            const auto read = kind.read(e.get());
            ASSERT_TRUE(read);
            EXPECT_EQ(read->name(), kindCast<Dictionary>(plain) && kindCast<Dictionary>(plain)->count() ? "Bob" : "Lee");
            EXPECT_EQ(read->plist()->allKeys(), (std::vector<std::string>{kind.idKey, "isDemo", "isFavorite", kind.dataKey}));
            read->setValueForProperty(str("Kim"), kind.nameProperty);  // the record's dictionary is its own
        }
        EXPECT_EQ(nested->objectForKey(kind.nameProperty)->description(), "Lee");
        // No record without an id of the kind's own key, as a text.
        EXPECT_FALSE(kind.read(nullptr));
        EXPECT_FALSE(kind.read(dictionaryOf({{kind.idKey, Number::withInt(3)}}).get()));
        for (const auto& other : kKinds) {
            const bool read = kind.read(dictionaryOf({{other.idKey, str("R")}}).get()) != nullptr;
            EXPECT_EQ(read, &other == &kind) << kind.idKey << " from " << other.idKey;
        }
    }
    ASSERT_TRUE(writePropertyListToFile(written.get(), pathIn("entries.xml"), true));
    const auto read = kindCast<Array>(readPropertyListFromFile(pathIn("entries.xml")));
    ASSERT_TRUE(read && read->count() == 3u);
    for (size_t i = 0; i < 3; ++i) {
        const auto back = kKinds[i].read(kindCast<Dictionary>(read->objectAtIndex(i)).get());
        EXPECT_TRUE(back && back->plist()->isEqual(written->objectAtIndex(i).get())) << kKinds[i].idKey;
    }
}

TEST_F(RecordKinds, EachKindKeepsItsOwnCounter) {
    EXPECT_EQ(TLOsselPlace::nextPlaceId()->utf8(), "OsselPlace.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(TLOsselPlace::nextPlaceId()->utf8(), "OsselPlace.studio_mac_local-2-1199145600.123457");
    EXPECT_EQ(std::make_shared<TLOsselEvent>()->eventId()->utf8(), "OsselEvent.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(std::make_shared<TLOsselPeople>()->peopleId()->utf8(), "OsselPeople.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(storedInteger("com.tollendra.PlaceIdGenerator"), 2);
    EXPECT_EQ(storedInteger("com.tollendra.eventIdGenerator"), 1);
    EXPECT_EQ(storedInteger("com.tollendra.PeopleIdGenerator"), 1);

    TLOsselEvent::resetEventId();
    EXPECT_EQ(storedInteger("com.tollendra.eventIdGenerator"), 0);
    EXPECT_EQ(storedInteger("com.tollendra.PlaceIdGenerator"), 2);
}

TEST_F(RecordKinds, NamesFallBackToTheKindsTextAndCompareIgnoringCase) {
    EXPECT_EQ(std::make_shared<TLOsselPlace>(str("L"))->name(), "Unnamed place");
    EXPECT_EQ(std::make_shared<TLOsselEvent>(str("E"))->name(), "Unnamed event");
    const auto place = std::make_shared<TLOsselPlace>(str("L"));
    place->setValueForProperty(str(""), kTLOsselPlaceNameProperty);
    EXPECT_EQ(place->name(), "") << "an empty name is a name";

    const auto event = [](const char* name) {
        auto e = std::make_shared<TLOsselEvent>(str("E"));
        e->setValueForProperty(str(name), kTLOsselEventNameProperty);
        return e;
    };
    // Names order as the folded texts do.
    for (const auto& c : casesFrom("foundation/folded-order.txt", 3)) {
        EXPECT_EQ(event(c[0].c_str())->compare(*event(c[1].c_str())), c.number(2)) << c.where;
    }
}

}  // namespace
}  // namespace ossel
