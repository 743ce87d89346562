#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "plist/TLDVPListContainerSet.h"
#include "plist/TLDVPListDictionary.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class TypedArray : public TestEnvironment {
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
    list->addNumber(Number::withInt(3));
    list->addString(nullptr);
    ASSERT_EQ(list->count(), values.size() + 1);
    ASSERT_TRUE(list->writeToFile(pathIn("all.plist"), true));

    const auto decoded = TLDVPListContainerSet::initWithContentsOfFile(pathIn("all.plist"))->asMutableArray();
    ASSERT_EQ(decoded->count(), values.size() + 1);
    for (size_t i = 0; i < values.size(); ++i) {
        const auto& [name, value] = values[i];
        const auto read = decoded->objectAtIndex(i);
        EXPECT_EQ(read->className(), value->className()) << name;
        EXPECT_TRUE(value->isEqual(read.get())) << name << " read as " << read->description();
    }
    EXPECT_TRUE(Number::withInt(3)->isEqual(decoded->objectAtIndex(values.size()).get()));
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(TypedArray, AddEntriesFromArrayDispatchesOverItsEightClasses) {
    const auto snapshot = std::make_shared<DVMovieSnapshotId>("h", 4, 1199145600.5);
    auto source = Array::make({Data::make({1}), Date::withTimeIntervalSinceReferenceDate(2), Number::withBool(false),
                               str("@x"), DVTimeCode::zeroTimeCode(), snapshot, std::make_shared<DVClipId>(nullptr, 8),
                               sequence7(),
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
    list->addEntriesFromArray(list->array().get());  // its own elements: doubled, not looping
    EXPECT_EQ(list->count(), 16u);
}

TEST_F(TypedArray, AMutableArrayIsSharedAndAnImmutableOneCopied) {
    auto mine = Array::make({str("first")}, true);
    const auto sharing = TLDVPListContainerSet::initWithArray(mine);
    sharing->addString(str("second"));
    EXPECT_EQ(mine->count(), 2u);
    auto fixed = Array::make({str("first")}, false);
    TLDVPListContainerSet::initWithArray(fixed)->addString(str("second"));
    EXPECT_EQ(fixed->count(), 1u);
    const auto copy = kindCast<TLDVPListContainerSet>(sharing->copy());
    copy->addString(str("third"));
    EXPECT_EQ(sharing->count(), 2u);
}

TEST_F(TypedArray, ReadsOutsideTheArrayAndUnreadableElementsGiveNothing) {
    list->addString(str("@timecode:bad"));
    list->addString(str("@nobody"));
    list->addString(str("ok"));
    EXPECT_FALSE(list->valueAtIndex(3));
    EXPECT_FALSE(list->valueAtIndex(UINT32_MAX));
    EXPECT_TRUE(takeLog().empty());
    EXPECT_FALSE(list->valueAtIndex(0));
    EXPECT_EQ(takeLog().size(), 1u);
    EXPECT_FALSE(list->valueAtIndex(1));
    EXPECT_TRUE(takeLog().empty());
    // The enumerator's snapshot leaves out what decodes to nothing.
    const auto values = list->valueEnumerator();
    ASSERT_EQ(values->count(), 1u);
    list->removeAllValues();
    EXPECT_EQ(values->count(), 1u);
    EXPECT_EQ(list->count(), 0u);
}

TEST_F(TypedArray, AContainerReadFromAMissingOrWrongFileHasNoDataAndCannotBeWritten) {
    std::ofstream(pathIn("dict.plist")) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>a</key><string>x</string></dict></plist>)";
    for (const char* name : {"missing.plist", "dict.plist"}) {
        const auto empty = TLDVPListContainerSet::initWithContentsOfFile(pathIn(name));
        ASSERT_TRUE(empty);
        EXPECT_FALSE(empty->array());
        empty->addString(str("x"));
        empty->addEntriesFromArray(Array::make({str("y")}).get());
        EXPECT_EQ(empty->count(), 0u);
        EXPECT_FALSE(empty->valueAtIndex(0));
        EXPECT_FALSE(empty->writeToFile(pathIn("out.plist"), false));
        EXPECT_FALSE(std::filesystem::exists(pathIn("out.plist")));
        list->addPList(empty);
        EXPECT_EQ(list->count(), 0u);
    }
}
