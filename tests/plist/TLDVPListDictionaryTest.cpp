#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "PListTestEnvironment.h"
#include "foundation/Archiver.h"
#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "plist/TLDVPListDictionary.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class TypedDictionary : public PListTest {
protected:
    static Ref<String> rawString(const TLDVPListDictionary& d, std::string_view key) {
        return d.containerData()->objectForKeyAs<String>(key);
    }

    Ref<TLDVPListDictionary> dict = TLDVPListDictionary::make();
};

}  // namespace

TEST_F(TypedDictionary, EveryModelValueSurvivesAFileAndANewContainer) {
    for (const auto& [key, value] : everyModelValue()) dict->putObject(value, key);
    // Sequence ids and date-times are not dispatched by putObject; they have their own ways in.
    dict->putClipSequenceId(sequence7(), "sequence");
    for (const auto& [key, value] : everyModelValue()) {
        if (auto dateTime = kindCast<DVFrameCaptureDateTime>(value))
            dict->putString(dict->encodeDVFrameCaptureDateTime(dateTime.get()), key);
    }
    dict->putString(str("plain"), "text");
    dict->putDouble(0.1, "double");
    ASSERT_EQ(dict->containerData()->count(), everyModelValue().size() + 2);

    ASSERT_TRUE(dict->writeToFile(pathIn("all.plist"), true));
    const auto back = TLDVPListDictionary::initWithContentsOfFile(pathIn("all.plist"));
    ASSERT_TRUE(back->containerData());
    EXPECT_TRUE(back->containerData()->isEqual(dict->containerData().get()));
    for (const auto& [key, value] : everyModelValue()) {
        const auto read = back->valueForKey(key);
        ASSERT_TRUE(read) << key;
        EXPECT_EQ(read->className(), value->className()) << key;
        EXPECT_TRUE(value->isEqual(read.get())) << key << " read as " << read->description();
    }
    EXPECT_EQ(kindCast<String>(back->valueForKey("text"))->utf8(), "plain");
    EXPECT_EQ(back->doubleValueForKey("double", 0), 0.1);
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(TypedDictionary, PutObjectDispatchesOverItsEightClasses) {
    const auto snapshot = std::make_shared<DVMovieSnapshotId>("h", 4, 1199145600.5);
    dict->putObject(snapshot, "snapshot");
    dict->putObject(DVSystem::system525_60(), "system");
    dict->putObject(Data::make({0xff}), "data");
    dict->putObject(Date::withTimeIntervalSinceReferenceDate(100), "date");
    dict->putObject(Number::withFloat(1.5f), "number");
    dict->putObject(str("@timecode:00:00:01.00"), "string");
    EXPECT_EQ(rawString(*dict, "snapshot")->utf8(), "@snapshot:snapshot//:h:4:1199145600.50000000");
    EXPECT_EQ(rawString(*dict, "system")->utf8(), "@dvsystem:dvsystem//:System 525/60");
    EXPECT_TRUE(isKindOf<Data>(dict->containerData()->objectForKey("data")));
    EXPECT_TRUE(isKindOf<Date>(dict->containerData()->objectForKey("date")));
    EXPECT_TRUE(isKindOf<Number>(dict->containerData()->objectForKey("number")));
    EXPECT_TRUE(isKindOf<DVTimeCode>(dict->valueForKey("string")));  // a typed string put as text reads decoded

    // Classes it does not handle leave the entry that was there.
    dict->putString(str("kept"), "sequence");
    for (const Ref<Object>& ignored : {Ref<Object>(sequence7()), Ref<Object>(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)),
                                       Ref<Object>(Array::make()), Ref<Object>(Dictionary::make()),
                                       Ref<Object>(TLDVPListDictionary::make()), Ref<Object>(nullptr)}) {
        dict->putObject(ignored, "sequence");
    }
    EXPECT_EQ(rawString(*dict, "sequence")->utf8(), "kept");
    EXPECT_EQ(dict->containerData()->count(), 7u);
}

TEST_F(TypedDictionary, AddEntriesFromDictionaryMergesThroughPutObject) {
    dict->putString(str("old"), "a");
    dict->putString(str("old"), "b");
    auto source = Dictionary::make();
    source->setObject(str("new"), "a");
    source->setObject(sequence7(), "b");  // ignored: "b" stays
    source->setObject(DVTimeCode::timeCodeWithHours(0, 0, 0, 1), "c");
    dict->addEntriesFromDictionary(source.get());
    dict->addEntriesFromDictionary(nullptr);
    EXPECT_EQ(dict->keyEnumerator(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(rawString(*dict, "a")->utf8(), "new");
    EXPECT_EQ(rawString(*dict, "b")->utf8(), "old");
    EXPECT_EQ(rawString(*dict, "c")->utf8(), "@timecode:00:00:00.01");
    // Merging its own entries changes nothing.
    const auto before = dict->pListValue();
    dict->addEntriesFromDictionary(dict->containerData().get());
    EXPECT_TRUE(before->isEqual(dict->containerData().get()));
}

TEST_F(TypedDictionary, PutsWithoutAValueOrAKeyStoreNothing) {
    dict->putString(nullptr, "k");
    dict->putTimeCode(nullptr, "k");
    dict->putString(str("v"), std::nullopt);
    dict->putTimeCode(DVTimeCode::zeroTimeCode(), std::nullopt);
    dict->putObject(str("v"), std::nullopt);
    dict->putBool(true, std::nullopt);
    dict->putInt(1, std::nullopt);
    dict->putLong(1, std::nullopt);
    dict->putUnsignedInt(1, std::nullopt);
    dict->putFloat(1, std::nullopt);
    dict->putDouble(1, std::nullopt);
    dict->putPList(TLDVPListDictionary::make(), std::nullopt);
    EXPECT_EQ(dict->containerData()->count(), 0u);
    EXPECT_FALSE(dict->valueForKey(std::nullopt));
    EXPECT_EQ(dict->intValueForKey(std::nullopt, 9), 9);
    EXPECT_FALSE(dict->pListValueForKey(std::nullopt));
}

TEST_F(TypedDictionary, NumbersReadBackExactlyAndOtherwiseGiveTheDefault) {
    dict->putInt(7, "int");
    dict->putInt(std::numeric_limits<int32_t>::min(), "intMin");
    dict->putLong(std::numeric_limits<long>::max(), "long");
    dict->putUnsignedInt(std::numeric_limits<uint32_t>::max(), "unsigned");
    dict->putFloat(0.1f, "float");
    dict->putDouble(1.0 / 3.0, "double");
    dict->putBool(true, "bool");
    dict->putString(str("12"), "digits");
    dict->putTimeCode(DVTimeCode::zeroTimeCode(), "timecode");
    EXPECT_EQ(dict->intValueForKey("int", -1), 7);
    EXPECT_EQ(dict->intValueForKey("intMin", 0), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(dict->longValueForKey("long", 0), std::numeric_limits<long>::max());
    EXPECT_EQ(dict->unsignedIntValueForKey("unsigned", 0), std::numeric_limits<uint32_t>::max());
    EXPECT_EQ(dict->floatValueForKey("float", 0), 0.1f);
    EXPECT_EQ(dict->doubleValueForKey("double", 0), 1.0 / 3.0);
    EXPECT_TRUE(dict->boolValueForKey("bool", false));
    // Across kinds: the platform's conversions.
    EXPECT_EQ(dict->intValueForKey("bool", -1), 1);
    EXPECT_EQ(dict->doubleValueForKey("int", 0), 7.0);
    EXPECT_EQ(dict->intValueForKey("double", -1), 0);
    EXPECT_TRUE(dict->boolValueForKey("int", false));
    // Missing, a text of digits, a typed string: the default, for every kind.
    for (const char* key : {"missing", "digits", "timecode"}) {
        EXPECT_FALSE(dict->boolValueForKey(key, false)) << key;
        EXPECT_TRUE(dict->boolValueForKey(key, true)) << key;
        EXPECT_EQ(dict->intValueForKey(key, -1), -1) << key;
        EXPECT_EQ(dict->longValueForKey(key, -2), -2) << key;
        EXPECT_EQ(dict->unsignedIntValueForKey(key, 3u), 3u) << key;
        EXPECT_EQ(dict->floatValueForKey(key, 4.5f), 4.5f) << key;
        EXPECT_EQ(dict->doubleValueForKey(key, 5.5), 5.5) << key;
    }
    // A file keeps integers and reals apart: each reads back the same.
    ASSERT_TRUE(dict->writeToFile(pathIn("numbers.plist"), false));
    const auto back = TLDVPListDictionary::initWithContentsOfFile(pathIn("numbers.plist"));
    EXPECT_EQ(back->intValueForKey("int", -1), 7);
    EXPECT_EQ(back->longValueForKey("long", 0), std::numeric_limits<long>::max());
    EXPECT_EQ(back->unsignedIntValueForKey("unsigned", 0), std::numeric_limits<uint32_t>::max());
    EXPECT_EQ(back->floatValueForKey("float", 0), 0.1f);
    EXPECT_EQ(back->doubleValueForKey("double", 0), 1.0 / 3.0);
    EXPECT_TRUE(back->boolValueForKey("bool", false));
    // Nested-container keys are not consulted by number reads.
    auto nested = TLDVPListDictionary::make();
    nested->putInt(1, "x");
    dict->putPList(nested, "n");
    EXPECT_EQ(dict->intValueForKey("n", -1), -1);
}

TEST_F(TypedDictionary, UnreadableTypedStringsGiveNothingAndLeaveTheEntry) {
    dict->putString(str("@timecode:1:2:3"), "bad");
    dict->putString(str("@someone"), "at");
    dict->putTimeCode(DVTimeCode::timeCodeWithHours(1, 0, 0, 0), "good");
    const auto before = dict->pListValue();
    EXPECT_FALSE(dict->valueForKey("bad"));
    EXPECT_EQ(takeLog().size(), 1u);
    EXPECT_FALSE(dict->valueForKey("at"));
    EXPECT_TRUE(takeLog().empty());
    // asMutableDictionary leaves out what decodes to nothing, logging once for the bad body.
    const auto decoded = dict->asMutableDictionary();
    EXPECT_EQ(decoded->allKeys(), std::vector<std::string>{"good"});
    EXPECT_EQ(takeLog().size(), 1u);
    EXPECT_TRUE(before->isEqual(dict->containerData().get()));
}

TEST_F(TypedDictionary, AContainerWithoutDataIgnoresPutsAndCannotBeWritten) {
    std::ofstream(pathIn("array.plist")) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array><string>x</string></array></plist>)";
    std::ofstream(pathIn("garbage.plist")) << "<plist><dict><key>a</key>";
    for (const char* name : {"missing.plist", "array.plist", "garbage.plist"}) {
        const auto empty = TLDVPListDictionary::initWithContentsOfFile(pathIn(name));
        ASSERT_TRUE(empty) << name;
        EXPECT_FALSE(empty->containerData()) << name;
        EXPECT_EQ(empty->description(), "TLDVPListDictionary with no data");
        EXPECT_EQ(empty->debugDescription(), "TLDVPListDictionary with no data");
        empty->putInt(1, "a");
        empty->putString(str("s"), "b");
        empty->putPList(TLDVPListDictionary::make(), "c");
        empty->removeAllValues();
        EXPECT_FALSE(empty->valueForKey("a"));
        EXPECT_EQ(empty->intValueForKey("a", 5), 5);
        EXPECT_TRUE(empty->keyEnumerator().empty());
        EXPECT_EQ(empty->asMutableDictionary()->count(), 0u);
        EXPECT_FALSE(empty->pListValue());
        EXPECT_FALSE(empty->writeToFile(pathIn("out.plist"), true));
        EXPECT_FALSE(std::filesystem::exists(pathIn("out.plist")));
        // Its copy is without data too, and nesting it stores nothing.
        EXPECT_FALSE(kindCast<TLDVPListDictionary>(empty->copy())->containerData());
        dict->putPList(empty, "nested");
        EXPECT_EQ(dict->containerData()->count(), 0u);
    }
}

TEST_F(TypedDictionary, ConstructorsAndDescriptions) {
    const auto fromNothing = TLDVPListDictionary::initWithDictionary(nullptr);
    EXPECT_TRUE(fromNothing->description().starts_with("TLDVPListDictionary with data:\n "));
    EXPECT_EQ(fromNothing->containerData()->count(), 0u);

    auto given = Dictionary::make(false);
    given->setObject(str("@timecode:00:00:00.05"), "tc");
    const auto wrapped = TLDVPListDictionary::initWithDictionary(given.get());
    wrapped->putInt(1, "n");
    EXPECT_EQ(given->count(), 1u);  // never shared
    EXPECT_NE(wrapped->containerData(), given);
    EXPECT_EQ(wrapped->description(), "TLDVPListDictionary with data:\n " + wrapped->containerData()->description());
    EXPECT_EQ(wrapped->debugDescription(), "TLDVPListDictionary with data set of size:\n 2");

    // copyItems: each value's own copy (a mutable array becomes a new one), else the values shared.
    auto inner = Array::make({str("x")});
    wrapped->containerData()->setObject(inner, "list");
    const auto shared = TLDVPListDictionary::initWithPListDictionary(wrapped.get(), false);
    const auto copied = TLDVPListDictionary::initWithPListDictionary(wrapped.get(), true);
    EXPECT_TRUE(shared->containerData()->isEqual(wrapped->containerData().get()));
    EXPECT_TRUE(copied->containerData()->isEqual(wrapped->containerData().get()));
    EXPECT_NE(shared->containerData(), wrapped->containerData());
    EXPECT_EQ(shared->containerData()->objectForKey("list"), inner);
    EXPECT_NE(copied->containerData()->objectForKey("list"), inner);
    EXPECT_EQ(TLDVPListDictionary::initWithPListDictionary(nullptr, true)->containerData()->count(), 0u);
}

TEST_F(TypedDictionary, CopiesShareNestedValuesButNotTheDictionary) {
    auto nested = TLDVPListDictionary::make();
    nested->putInt(1, "x");
    dict->putPList(nested, "inner");
    dict->putString(str("s"), "plain");
    const auto copy = kindCast<TLDVPListDictionary>(dict->copy());
    ASSERT_TRUE(copy);
    copy->putString(str("only in the copy"), "added");
    EXPECT_FALSE(dict->valueForKey("added"));
    EXPECT_EQ(copy->containerData()->objectForKey("@dict:inner"), dict->containerData()->objectForKey("@dict:inner"));
    EXPECT_FALSE(copy->tcFormatter());
}

TEST_F(TypedDictionary, ArchivesItsEntriesAndNotItsFormatters) {
    for (const auto& [key, value] : everyModelValue()) dict->putObject(value, key);
    auto nested = TLDVPListDictionary::make();
    nested->putInt(3, "three");
    dict->putPList(nested, "nested");
    const auto bytes = Coder::archivedDataWithRootObject(dict.get());
    ASSERT_FALSE(bytes.empty());
    std::string error;
    const auto back = kindCast<TLDVPListDictionary>(Decoder::unarchiveObjectWithData(bytes, &error));
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(back->containerData()->isEqual(dict->containerData().get()));
    EXPECT_FALSE(back->tcFormatter());
    back->putInt(4, "four");  // owns a mutable dictionary
    EXPECT_EQ(back->intValueForKey("four", 0), 4);
    EXPECT_EQ(kindCast<TLDVPListDictionary>(back->valueForKey("nested"))->intValueForKey("three", 0), 3);
}

TEST_F(TypedDictionary, RemoveAllValuesRemovesNestedKeysToo) {
    dict->putInt(1, "a");
    dict->putPList(TLDVPListDictionary::make(), "a");
    dict->putPList(std::make_shared<TLDVPListContainer>(), "ignored");  // the base class is no nested container
    EXPECT_EQ(dict->keyEnumerator(), (std::vector<std::string>{"a", "@dict:a"}));
    EXPECT_EQ(dict->debugDescription(), "TLDVPListDictionary with data set of size:\n 2");
    dict->removeAllValues();
    EXPECT_TRUE(dict->keyEnumerator().empty());
    EXPECT_TRUE(dict->writeToFile(pathIn("empty.plist"), true));
    EXPECT_EQ(TLDVPListDictionary::initWithContentsOfFile(pathIn("empty.plist"))->containerData()->count(), 0u);
}
