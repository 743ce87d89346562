// The two typed containers: a dictionary and an array of model values.
#include <gtest/gtest.h>

#include <limits>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "plist/TLDVPListContainerSet.h"
#include "plist/TLDVPListDictionary.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class TypedContainers : public TestEnvironment {
protected:
    std::string rawText(std::string_view key) const {
        const auto s = dict->containerData()->objectForKeyAs<String>(key);
        return std::string(s ? s->utf8() : "(not a string)");
    }

    Ref<TLDVPListDictionary> dict = TLDVPListDictionary::make();
    Ref<TLDVPListContainerSet> list = TLDVPListContainerSet::make();
};

}  // namespace

TEST_F(TypedContainers, EveryModelValueSurvivesAFileInBothKinds) {
    const auto values = everyModelValue();
    for (const auto& [key, value] : values) {
        // Sequence ids and date-times have their own ways in; putObject passes them over.
        if (auto v = kindCast<DVFrameCaptureDateTime>(value)) {
            dict->putString(dict->encodeDVFrameCaptureDateTime(v.get()), key);
            list->addString(list->encodeDVFrameCaptureDateTime(v.get()));
        } else if (auto v = kindCast<DVMovieSnapshotId>(value)) {
            dict->putObject(v, key);
            list->addSnapshotId(v);
        } else if (auto v = kindCast<TLDVClipSequenceId>(value)) {
            dict->putClipSequenceId(v, key);
            list->addClipSequenceId(v);
        } else {
            dict->putObject(value, key);
            list->addEntriesFromArray(Array::make({value}).get());
            if (auto s = kindCast<DVSystem>(value)) list->addDVSystem(s);  // not dispatched by the array
        }
    }
    list->addNumber(Number::withInt(3));
    list->addString(nullptr);
    ASSERT_TRUE(dict->writeToFile(pathIn("dict.plist"), true));
    ASSERT_TRUE(list->writeToFile(pathIn("list.plist"), true));

    const auto dictBack = TLDVPListDictionary::initWithContentsOfFile(pathIn("dict.plist"));
    const auto listBack = TLDVPListContainerSet::initWithContentsOfFile(pathIn("list.plist"))->asMutableArray();
    ASSERT_TRUE(dictBack->containerData());
    EXPECT_TRUE(dictBack->containerData()->isEqual(dict->containerData().get()));
    ASSERT_EQ(listBack->count(), values.size() + 1);
    for (size_t i = 0; i < values.size(); ++i) {
        const auto& [key, value] = values[i];
        for (const auto& read : {dictBack->valueForKey(key), listBack->objectAtIndex(i)}) {
            ASSERT_TRUE(read) << key;
            EXPECT_EQ(read->className(), value->className()) << key;
            EXPECT_TRUE(value->isEqual(read.get())) << key << " read as " << read->description();
        }
    }
    EXPECT_TRUE(Number::withInt(3)->isEqual(listBack->objectAtIndex(values.size()).get()));
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(TypedContainers, PutObjectAndAddEntriesDispatchOverTheirClasses) {
    // Plain values are stored as they are; a typed string put as text reads decoded.
    for (const auto& [key, value] : {std::pair<const char*, Ref<Object>>{"data", Data::make({0xff})},
                                     {"date", Date::withTimeIntervalSinceReferenceDate(100)},
                                     {"number", Number::withFloat(1.5f)}, {"string", str("@timecode:00:00:01.00")}}) {
        dict->putObject(value, key);
        EXPECT_TRUE(value->isEqual(dict->containerData()->objectForKey(key).get())) << key;
    }
    EXPECT_TRUE(isKindOf<DVTimeCode>(dict->valueForKey("string")));

    // Classes it does not handle, and a missing key, leave the entry that was there.
    dict->putString(str("kept"), "sequence");
    for (const Ref<Object>& ignored : {Ref<Object>(sequence7()), Ref<Object>(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)),
                                       Ref<Object>(Array::make()), Ref<Object>(Dictionary::make()),
                                       Ref<Object>(TLDVPListDictionary::make()), Ref<Object>(nullptr)}) {
        dict->putObject(ignored, "sequence");
    }
    dict->putObject(str("v"), std::nullopt);
    EXPECT_EQ(rawText("sequence"), "kept");
    EXPECT_EQ(dict->containerData()->count(), 5u);

    const auto source = dictionaryOf(
        {{"string", str("new")}, {"sequence", sequence7()}, {"c", DVTimeCode::timeCodeWithHours(0, 0, 0, 1)}});
    dict->addEntriesFromDictionary(source.get());
    dict->addEntriesFromDictionary(nullptr);
    EXPECT_EQ(rawText("string"), "new");
    EXPECT_EQ(rawText("sequence"), "kept");
    EXPECT_EQ(rawText("c"), "@timecode:00:00:00.01");
    EXPECT_EQ(dict->keyEnumerator().back(), "c");

    // The array takes eight classes and skips the rest.
    auto array = Array::make({Data::make({1}), Date::withTimeIntervalSinceReferenceDate(2), Number::withBool(false), str("@x"),
                              DVTimeCode::zeroTimeCode(), std::make_shared<DVMovieSnapshotId>("h", 4, 1.5),
                              std::make_shared<DVClipId>(nullptr, 8), sequence7(), DVSystem::system625_50(),
                              DVFrameCaptureDateTime::dateWithYear(2006, 3, 14, 1, 2, 3), Array::make(), Dictionary::make(),
                              TLDVPListDictionary::make()});
    list->addEntriesFromArray(array.get());
    list->addEntriesFromArray(nullptr);
    ASSERT_EQ(list->count(), 8u);
    EXPECT_EQ(kindCast<String>(list->array()->objectAtIndex(4))->utf8(), "@timecode:00:00:00.00");
    list->addEntriesFromArray(list->array().get());  // its own elements: doubled, not looping
    EXPECT_EQ(list->count(), 16u);
}

TEST_F(TypedContainers, NumbersReadBackExactlyAndOtherwiseGiveTheDefault) {
    dict->putInt(std::numeric_limits<int32_t>::min(), "int");
    dict->putLong(std::numeric_limits<long>::max(), "long");
    dict->putUnsignedInt(std::numeric_limits<uint32_t>::max(), "unsigned");
    dict->putFloat(0.1f, "float");
    dict->putDouble(1.0 / 3.0, "double");
    dict->putBool(true, "bool");
    dict->putString(str("12"), "digits");
    dict->putTimeCode(DVTimeCode::zeroTimeCode(), "timecode");
    dict->putPList(TLDVPListDictionary::make(), "nested");
    // A file keeps integers and reals apart: each reads back the same.
    ASSERT_TRUE(dict->writeToFile(pathIn("numbers.plist"), false));
    for (const auto& d : {dict, TLDVPListDictionary::initWithContentsOfFile(pathIn("numbers.plist"))}) {
        EXPECT_EQ(d->intValueForKey("int", 0), std::numeric_limits<int32_t>::min());
        EXPECT_EQ(d->longValueForKey("long", 0), std::numeric_limits<long>::max());
        EXPECT_EQ(d->unsignedIntValueForKey("unsigned", 0), std::numeric_limits<uint32_t>::max());
        EXPECT_EQ(d->floatValueForKey("float", 0), 0.1f);
        EXPECT_EQ(d->doubleValueForKey("double", 0), 1.0 / 3.0);
        EXPECT_TRUE(d->boolValueForKey("bool", false));
    }
    EXPECT_EQ(dict->intValueForKey("bool", -1), 1);
    EXPECT_EQ(dict->intValueForKey("double", -1), 0);
    // Missing, a text of digits, a typed string, a nested container, no key: the default, for every kind.
    for (const char* name : {"missing", "digits", "timecode", "nested", "(none)"}) {
        const auto key = name[0] == '(' ? std::nullopt : std::optional<std::string>(name);
        EXPECT_TRUE(dict->boolValueForKey(key, true)) << name;
        EXPECT_EQ(dict->intValueForKey(key, -1), -1) << name;
        EXPECT_EQ(dict->longValueForKey(key, -2), -2) << name;
        EXPECT_EQ(dict->unsignedIntValueForKey(key, 3u), 3u) << name;
        EXPECT_EQ(dict->floatValueForKey(key, 4.5f), 4.5f) << name;
        EXPECT_EQ(dict->doubleValueForKey(key, 5.5), 5.5) << name;
    }
}

TEST_F(TypedContainers, UnreadableTypedStringsGiveNothingAndLogOnlyForABadBody) {
    dict->putString(str("@timecode:1:2:3"), "bad");
    dict->putString(str("@someone"), "at");
    dict->putTimeCode(DVTimeCode::timeCodeWithHours(1, 0, 0, 0), "good");
    const auto before = dict->pListValue();
    EXPECT_FALSE(dict->valueForKey("bad"));
    EXPECT_EQ(takeLog().size(), 1u);
    EXPECT_FALSE(dict->valueForKey("at"));
    EXPECT_TRUE(takeLog().empty());
    // asMutableDictionary leaves out what decodes to nothing, logging once for the bad body.
    EXPECT_EQ(dict->asMutableDictionary()->allKeys(), std::vector<std::string>{"good"});
    EXPECT_EQ(takeLog().size(), 1u);
    EXPECT_TRUE(before->isEqual(dict->containerData().get()));

    list->addString(str("@timecode:bad"));
    list->addString(str("@nobody"));
    list->addString(str("ok"));
    for (const uint32_t index : {3u, UINT32_MAX, 0u, 1u}) EXPECT_FALSE(list->valueAtIndex(index)) << index;
    EXPECT_EQ(takeLog().size(), 1u);
    // The enumerator's snapshot leaves out what decodes to nothing.
    const auto values = list->valueEnumerator();
    ASSERT_EQ(values->count(), 1u);
    list->removeAllValues();
    EXPECT_EQ(values->count(), 1u);
}

TEST_F(TypedContainers, AContainerReadFromAMissingOrWrongFileHasNoDataAndCannotBeWritten) {
    std::ofstream(pathIn("array.plist")) << R"(<plist version="1.0"><array><string>x</string></array></plist>)";
    std::ofstream(pathIn("dict.plist")) << R"(<plist version="1.0"><dict><key>a</key><string>x</string></dict></plist>)";
    std::ofstream(pathIn("garbage.plist")) << "<plist><dict><key>a</key>";
    for (const char* name : {"missing.plist", "array.plist", "garbage.plist"}) {
        const auto empty = TLDVPListDictionary::initWithContentsOfFile(pathIn(name));
        ASSERT_TRUE(empty) << name;
        EXPECT_FALSE(empty->containerData()) << name;
        empty->putInt(1, "a");
        EXPECT_EQ(empty->intValueForKey("a", 5), 5);
        EXPECT_FALSE(empty->writeToFile(pathIn("out.plist"), true));
        dict->putPList(empty, "nested");  // nesting it stores nothing
        EXPECT_EQ(dict->containerData()->count(), 0u);
    }
    for (const char* name : {"missing.plist", "dict.plist"}) {
        const auto empty = TLDVPListContainerSet::initWithContentsOfFile(pathIn(name));
        ASSERT_TRUE(empty) << name;
        EXPECT_FALSE(empty->array());
        empty->addEntriesFromArray(Array::make({str("y")}).get());
        EXPECT_EQ(empty->count(), 0u);
        EXPECT_FALSE(empty->writeToFile(pathIn("out.plist"), false));
        list->addPList(empty);
        EXPECT_EQ(list->count(), 0u);
    }
    EXPECT_FALSE(std::filesystem::exists(pathIn("out.plist")));
}

TEST_F(TypedContainers, CopiesAndArchivesKeepEntriesButShareNothing) {
    auto given = Dictionary::make(false);
    given->setObject(str("@timecode:00:00:00.05"), "tc");
    TLDVPListDictionary::initWithDictionary(given.get())->putInt(1, "n");
    EXPECT_EQ(given->count(), 1u);  // never shared

    for (const auto& [key, value] : everyModelValue()) dict->putObject(value, key);
    auto nested = TLDVPListDictionary::make();
    nested->putInt(3, "three");
    dict->putPList(nested, "nested");
    for (const auto& other : {kindCast<TLDVPListDictionary>(dict->copy()), kindCast<TLDVPListDictionary>(archiveRoundTrip(*dict))}) {
        ASSERT_TRUE(other);
        EXPECT_TRUE(other->containerData()->isEqual(dict->containerData().get()));
        EXPECT_FALSE(other->tcFormatter());
        other->putInt(4, "four");
        EXPECT_EQ(kindCast<TLDVPListDictionary>(other->valueForKey("nested"))->intValueForKey("three", 0), 3);
    }
    EXPECT_FALSE(dict->valueForKey("four"));
    dict->removeAllValues();  // nested keys too
    EXPECT_TRUE(dict->keyEnumerator().empty());

    // An array container shares a mutable array it is given, copies an immutable one, and its copies are their own.
    auto mine = Array::make({str("first")}, true);
    const auto sharing = TLDVPListContainerSet::initWithArray(mine);
    sharing->addString(str("second"));
    EXPECT_EQ(mine->count(), 2u);
    auto fixed = Array::make({str("first")}, false);
    TLDVPListContainerSet::initWithArray(fixed)->addString(str("second"));
    EXPECT_EQ(fixed->count(), 1u);
    kindCast<TLDVPListContainerSet>(sharing->copy())->addString(str("third"));
    EXPECT_EQ(sharing->count(), 2u);
}
