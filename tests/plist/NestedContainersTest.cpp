#include <gtest/gtest.h>

#include "foundation/Array.h"
#include "foundation/Dictionary.h"
#include "plist/TLDVPListContainerSet.h"
#include "plist/TLDVPListDictionary.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class Nested : public TestEnvironment {
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
    auto data = eventData();
    outer->putPList(data, "eventData");
    data->putInt(1, "later");  // what is stored is a snapshot
    EXPECT_EQ(outer->keyEnumerator(), (std::vector<std::string>{"eventData", "@dict:eventData"}));
    // The plain entry wins for valueForKey; pListValueForKey looks only at nested keys.
    EXPECT_EQ(kindCast<String>(outer->valueForKey("eventData"))->utf8(), "plain");
    const auto viaPList = kindCast<TLDVPListDictionary>(outer->pListValueForKey("eventData"));
    ASSERT_TRUE(viaPList);
    EXPECT_TRUE(viaPList->containerData()->isEqual(eventData()->containerData().get()));
    // A read dictionary is a copy: putting into it leaves the outer container as it was.
    viaPList->putInt(1, "added");
    EXPECT_FALSE(kindCast<TLDVPListDictionary>(outer->pListValueForKey("eventData"))->valueForKey("added"));

    // Entries of the wrong kind under the nested keys are passed over.
    outer->removeAllValues();
    outer->putString(str("not a dictionary"), "@dict:k");
    outer->putString(str("not an array"), "@array:k");
    EXPECT_FALSE(outer->valueForKey("k"));
    EXPECT_FALSE(outer->pListValueForKey("k"));
}

TEST_F(Nested, ANestedArrayReadBackSharesTheStoredArray) {
    outer->putPList(twoTimeCodes(), "list");
    const auto first = kindCast<TLDVPListContainerSet>(outer->valueForKey("list"));
    ASSERT_TRUE(first);
    first->addString(str("via valueForKey"));
    const auto second = kindCast<TLDVPListContainerSet>(outer->pListValueForKey("list"));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->count(), 3u);
    EXPECT_EQ(kindCast<Array>(outer->containerData()->objectForKey("@array:list"))->count(), 3u);
}

TEST_F(Nested, ANestedElementIsWrappedOnceAndThenNoFileCanTakeTheArray) {
    auto list = TLDVPListContainerSet::make();
    list->addString(str("first"));
    list->addPList(eventData());
    list->addPList(twoTimeCodes());
    EXPECT_TRUE(list->writeToFile(pathIn("before.plist"), true));

    const auto nestedDict = kindCast<TLDVPListDictionary>(list->valueAtIndex(1));
    ASSERT_TRUE(nestedDict);
    EXPECT_EQ(list->valueAtIndex(1), nestedDict);  // the very same container
    nestedDict->putInt(5, "kept");
    EXPECT_EQ(kindCast<TLDVPListDictionary>(list->valueAtIndex(1))->intValueForKey("kept", 0), 5);
    const auto nestedList = kindCast<TLDVPListContainerSet>(list->valueAtIndex(2));
    ASSERT_TRUE(nestedList);
    EXPECT_TRUE(DVTimeCode::timeCodeWithHours(2, 0, 0, 0)->isEqual(nestedList->valueAtIndex(1).get()));

    // The array now holds objects that no property-list file can take, nor any copy nested elsewhere.
    EXPECT_FALSE(list->writeToFile(pathIn("after.plist"), true));
    EXPECT_FALSE(std::filesystem::exists(pathIn("after.plist")));
    auto holder = TLDVPListDictionary::make();
    holder->putPList(list, "list");
    EXPECT_FALSE(holder->writeToFile(pathIn("holder.plist"), false));
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
    // asMutableDictionary keeps nested entries under their own keys, as property lists.
    EXPECT_EQ(back->asMutableDictionary()->allKeys(), (std::vector<std::string>{"@array:clips", "@dict:eventData", "version"}));
}
