#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "PListTestEnvironment.h"
#include "foundation/Archiver.h"
#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "plist/TLDVPListContainerSet.h"
#include "plist/TLDVPListDictionary.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class TypedArray : public PListTest {
protected:
    std::string rawText(uint32_t index) const {
        const auto s = kindCast<String>(list->array()->objectAtIndex(index));
        return s ? s->utf8() : "(not a string)";
    }

    Ref<TLDVPListContainerSet> list = TLDVPListContainerSet::make();
};

}  // namespace

TEST_F(TypedArray, EveryModelValueSurvivesAFileAndANewContainer) {
    const auto values = everyModelValue();
    for (const auto& [name, value] : values) {
        if (auto v = kindCast<DVTimeCode>(value)) list->addTimeCode(v);
        else if (auto v = kindCast<DVMovieSnapshotId>(value)) list->addSnapshotId(v);
        else if (auto v = kindCast<DVClipId>(value)) list->addClipId(v);
        else if (auto v = kindCast<TLDVClipSequenceId>(value)) list->addClipSequenceId(v);
        else if (auto v = kindCast<DVSystem>(value)) list->addDVSystem(v);
        else if (auto v = kindCast<DVFrameCaptureDateTime>(value)) list->addString(list->encodeDVFrameCaptureDateTime(v.get()));
    }
    ASSERT_EQ(list->count(), values.size());
    ASSERT_TRUE(list->writeToFile(pathIn("all.plist"), true));

    const auto back = TLDVPListContainerSet::initWithContentsOfFile(pathIn("all.plist"));
    ASSERT_EQ(back->count(), values.size());
    const auto decoded = back->asMutableArray();
    ASSERT_EQ(decoded->count(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const auto& [name, value] = values[i];
        const auto read = decoded->objectAtIndex(i);
        EXPECT_EQ(read->className(), value->className()) << name;
        EXPECT_TRUE(value->isEqual(read.get())) << name << " read as " << read->description();
    }
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(TypedArray, PlainValuesComeBackAndTypedOnesDecoded) {
    list->addString(str("a text"));
    list->addNumber(Number::withInt(3));
    list->addTimeCode(DVTimeCode::timeCodeWithHours(0, 1, 2, 3));
    list->addData(Data::make({9}));
    list->addDate(Date::withTimeIntervalSinceReferenceDate(1));
    list->addString(nullptr);
    list->addNumber(nullptr);
    list->addTimeCode(nullptr);
    ASSERT_EQ(list->count(), 5u);

    const auto plist = kindCast<Array>(list->pListValue());
    ASSERT_TRUE(plist);
    EXPECT_EQ(kindCast<String>(plist->objectAtIndex(2))->utf8(), "@timecode:00:01:02.03");
    EXPECT_NE(plist, list->array());

    const auto decoded = list->asMutableArray();
    EXPECT_EQ(kindCast<String>(decoded->objectAtIndex(0))->utf8(), "a text");
    EXPECT_TRUE(Number::withInt(3)->isEqual(decoded->objectAtIndex(1).get()));
    EXPECT_TRUE(DVTimeCode::timeCodeWithHours(0, 1, 2, 3)->isEqual(decoded->objectAtIndex(2).get()));
    EXPECT_TRUE(isKindOf<Data>(decoded->objectAtIndex(3)));
    EXPECT_TRUE(isKindOf<Date>(decoded->objectAtIndex(4)));
    EXPECT_TRUE(list->description().starts_with("TLDVPListContainerSet with data:\n ("));
}

TEST_F(TypedArray, AddEntriesFromArrayDispatchesOverItsEightClasses) {
    const auto snapshot = std::make_shared<DVMovieSnapshotId>("h", 4, 1199145600.5);
    const auto clip = std::make_shared<DVClipId>(nullptr, 8);
    auto source = Array::make({Data::make({1}), Date::withTimeIntervalSinceReferenceDate(2), Number::withBool(false),
                               str("@x"), DVTimeCode::zeroTimeCode(), snapshot, clip, sequence7(),
                               // skipped:
                               DVSystem::system625_50(), DVFrameCaptureDateTime::dateWithYear(2006, 3, 14, 1, 2, 3),
                               Array::make(), Dictionary::make(), TLDVPListDictionary::make()});
    list->addEntriesFromArray(source.get());
    list->addEntriesFromArray(nullptr);
    ASSERT_EQ(list->count(), 8u);
    EXPECT_EQ(rawText(3), "@x");
    EXPECT_EQ(rawText(4), "@timecode:00:00:00.00");
    EXPECT_EQ(rawText(5), "@snapshot:snapshot//:h:4:1199145600.50000000");
    EXPECT_EQ(rawText(6), "@clip:clip//:8");
    EXPECT_EQ(rawText(7), "@sequence:sequence//:studio-mac.local:7:1199145600.25000000");
    // Appending its own elements doubles them.
    list->addEntriesFromArray(list->array().get());
    EXPECT_EQ(list->count(), 16u);
}

TEST_F(TypedArray, AMutableArrayIsSharedAndAnImmutableOneCopied) {
    auto mine = Array::make({str("first")}, true);
    const auto sharing = TLDVPListContainerSet::initWithArray(mine);
    sharing->addString(str("second"));
    EXPECT_EQ(mine->count(), 2u);
    mine->addObject(str("third"));
    EXPECT_EQ(sharing->count(), 3u);

    auto fixed = Array::make({str("first")}, false);
    const auto copying = TLDVPListContainerSet::initWithArray(fixed);
    copying->addString(str("second"));
    EXPECT_EQ(fixed->count(), 1u);
    EXPECT_EQ(copying->count(), 2u);

    EXPECT_EQ(TLDVPListContainerSet::initWithArray(nullptr)->count(), 0u);
    // A copy has its own array.
    const auto copy = kindCast<TLDVPListContainerSet>(sharing->copy());
    copy->addString(str("fourth"));
    EXPECT_EQ(sharing->count(), 3u);
    EXPECT_EQ(copy->count(), 4u);
}

TEST_F(TypedArray, ReadsOutsideTheArrayAndUnreadableElementsGiveNothing) {
    list->addString(str("@timecode:bad"));
    list->addString(str("@nobody"));
    list->addString(str("ok"));
    EXPECT_FALSE(list->valueAtIndex(3));
    EXPECT_FALSE(list->valueAtIndex(UINT32_MAX));
    EXPECT_FALSE(list->decodeObjectAtIndex(nullptr, 0));
    EXPECT_TRUE(takeLog().empty());
    EXPECT_FALSE(list->valueAtIndex(0));
    EXPECT_EQ(takeLog().size(), 1u);
    EXPECT_FALSE(list->valueAtIndex(1));
    EXPECT_TRUE(takeLog().empty());
    // The enumerator's snapshot leaves out what decodes to nothing.
    const auto values = list->valueEnumerator();
    ASSERT_EQ(values->count(), 1u);
    EXPECT_EQ(kindCast<String>(values->objectAtIndex(0))->utf8(), "ok");
    list->removeAllValues();
    EXPECT_EQ(values->count(), 1u);
    EXPECT_EQ(list->count(), 0u);
}

TEST_F(TypedArray, AContainerWithoutDataCountsNothingAndCannotBeWritten) {
    std::ofstream(pathIn("dict.plist")) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>a</key><string>x</string></dict></plist>)";
    for (const char* name : {"missing.plist", "dict.plist"}) {
        const auto empty = TLDVPListContainerSet::initWithContentsOfFile(pathIn(name));
        ASSERT_TRUE(empty);
        EXPECT_FALSE(empty->array());
        EXPECT_TRUE(empty->description().starts_with("TLDVPListContainerSet with data:\n ")) << empty->description();
        empty->addString(str("x"));
        empty->addTimeCode(DVTimeCode::zeroTimeCode());
        empty->addEntriesFromArray(Array::make({str("y")}).get());
        empty->removeAllValues();
        EXPECT_EQ(empty->count(), 0u);
        EXPECT_FALSE(empty->valueAtIndex(0));
        EXPECT_EQ(empty->asMutableArray()->count(), 0u);
        EXPECT_FALSE(empty->pListValue());
        EXPECT_FALSE(empty->writeToFile(pathIn("out.plist"), false));
        EXPECT_FALSE(std::filesystem::exists(pathIn("out.plist")));
        list->addPList(empty);
        EXPECT_EQ(list->count(), 0u);
    }
}

TEST_F(TypedArray, ArchivesItsElements) {
    list->addTimeCode(DVTimeCode::timeCodeWithHours(1, 1, 1, 1));
    list->addNumber(Number::withDouble(2.5));
    const auto bytes = Coder::archivedDataWithRootObject(list.get());
    std::string error;
    const auto back = kindCast<TLDVPListContainerSet>(Decoder::unarchiveObjectWithData(bytes, &error));
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(back->array()->isEqual(list->array().get()));
    back->addString(str("more"));
    EXPECT_EQ(back->count(), 3u);
    EXPECT_FALSE(back->tcFormatter());
}
