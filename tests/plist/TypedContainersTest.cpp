#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "plist/TLDVPListDictionary.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class TypedDictionary : public TestEnvironment {
protected:
    std::string rawText(std::string_view key) const {
        const auto s = dict->containerData()->objectForKeyAs<String>(key);
        return s ? s->utf8() : "(not a string)";
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
    ASSERT_EQ(dict->containerData()->count(), everyModelValue().size() + 1);

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
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(TypedDictionary, PutObjectDispatchesOverItsEightClassesAndMergesThroughIt) {
    dict->putObject(std::make_shared<DVMovieSnapshotId>("h", 4, 1199145600.5), "snapshot");
    dict->putObject(DVSystem::system525_60(), "system");
    dict->putObject(Data::make({0xff}), "data");
    dict->putObject(Date::withTimeIntervalSinceReferenceDate(100), "date");
    dict->putObject(Number::withFloat(1.5f), "number");
    dict->putObject(str("@timecode:00:00:01.00"), "string");
    EXPECT_EQ(rawText("snapshot"), "@snapshot:snapshot//:h:4:1199145600.50000000");
    EXPECT_EQ(rawText("system"), "@dvsystem:dvsystem//:System 525/60");
    EXPECT_TRUE(isKindOf<Data>(dict->containerData()->objectForKey("data")));
    EXPECT_TRUE(isKindOf<Date>(dict->containerData()->objectForKey("date")));
    EXPECT_TRUE(isKindOf<Number>(dict->containerData()->objectForKey("number")));
    EXPECT_TRUE(isKindOf<DVTimeCode>(dict->valueForKey("string")));  // a typed string put as text reads decoded

    // Classes it does not handle, and a missing key, leave the entry that was there.
    dict->putString(str("kept"), "sequence");
    for (const Ref<Object>& ignored : {Ref<Object>(sequence7()), Ref<Object>(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14)),
                                       Ref<Object>(Array::make()), Ref<Object>(Dictionary::make()),
                                       Ref<Object>(TLDVPListDictionary::make()), Ref<Object>(nullptr)}) {
        dict->putObject(ignored, "sequence");
    }
    dict->putObject(str("v"), std::nullopt);
    EXPECT_EQ(rawText("sequence"), "kept");
    EXPECT_EQ(dict->containerData()->count(), 7u);

    auto source = Dictionary::make();
    source->setObject(str("new"), "string");
    source->setObject(sequence7(), "sequence");  // ignored: stays "kept"
    source->setObject(DVTimeCode::timeCodeWithHours(0, 0, 0, 1), "c");
    dict->addEntriesFromDictionary(source.get());
    dict->addEntriesFromDictionary(nullptr);
    EXPECT_EQ(rawText("string"), "new");
    EXPECT_EQ(rawText("sequence"), "kept");
    EXPECT_EQ(rawText("c"), "@timecode:00:00:00.01");
    EXPECT_EQ(dict->keyEnumerator().back(), "c");
}

TEST_F(TypedDictionary, NumbersReadBackExactlyAndOtherwiseGiveTheDefault) {
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
    // Across kinds: the platform's conversions.
    EXPECT_EQ(dict->intValueForKey("bool", -1), 1);
    EXPECT_EQ(dict->intValueForKey("double", -1), 0);
    // Missing, a text of digits, a typed string, a nested container, no key: the default, for every kind.
    for (const std::optional<std::string>& key : {std::optional<std::string>("missing"), std::optional<std::string>("digits"),
                                                 std::optional<std::string>("timecode"), std::optional<std::string>("nested"),
                                                 std::optional<std::string>()}) {
        const auto name = key.value_or("(none)");
        EXPECT_TRUE(dict->boolValueForKey(key, true)) << name;
        EXPECT_EQ(dict->intValueForKey(key, -1), -1) << name;
        EXPECT_EQ(dict->longValueForKey(key, -2), -2) << name;
        EXPECT_EQ(dict->unsignedIntValueForKey(key, 3u), 3u) << name;
        EXPECT_EQ(dict->floatValueForKey(key, 4.5f), 4.5f) << name;
        EXPECT_EQ(dict->doubleValueForKey(key, 5.5), 5.5) << name;
    }
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
    EXPECT_EQ(dict->asMutableDictionary()->allKeys(), std::vector<std::string>{"good"});
    EXPECT_EQ(takeLog().size(), 1u);
    EXPECT_TRUE(before->isEqual(dict->containerData().get()));
}

TEST_F(TypedDictionary, AContainerReadFromAMissingOrWrongFileIgnoresPutsAndCannotBeWritten) {
    std::ofstream(pathIn("array.plist")) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array><string>x</string></array></plist>)";
    std::ofstream(pathIn("garbage.plist")) << "<plist><dict><key>a</key>";
    for (const char* name : {"missing.plist", "array.plist", "garbage.plist"}) {
        const auto empty = TLDVPListDictionary::initWithContentsOfFile(pathIn(name));
        ASSERT_TRUE(empty) << name;
        EXPECT_FALSE(empty->containerData()) << name;
        EXPECT_EQ(empty->description(), "TLDVPListDictionary with no data");
        empty->putInt(1, "a");
        empty->putPList(TLDVPListDictionary::make(), "c");
        EXPECT_EQ(empty->intValueForKey("a", 5), 5);
        EXPECT_TRUE(empty->keyEnumerator().empty());
        EXPECT_FALSE(empty->writeToFile(pathIn("out.plist"), true));
        EXPECT_FALSE(std::filesystem::exists(pathIn("out.plist")));
        dict->putPList(empty, "nested");  // nesting it stores nothing
        EXPECT_EQ(dict->containerData()->count(), 0u);
    }
}

TEST_F(TypedDictionary, CopiesAndArchivesKeepEntriesButNotTheDictionaryOrFormatters) {
    auto given = Dictionary::make(false);
    given->setObject(str("@timecode:00:00:00.05"), "tc");
    const auto wrapped = TLDVPListDictionary::initWithDictionary(given.get());
    wrapped->putInt(1, "n");
    EXPECT_EQ(given->count(), 1u);  // never shared

    for (const auto& [key, value] : everyModelValue()) dict->putObject(value, key);
    auto nested = TLDVPListDictionary::make();
    nested->putInt(3, "three");
    dict->putPList(nested, "nested");
    const auto copy = kindCast<TLDVPListDictionary>(dict->copy());
    const auto back = kindCast<TLDVPListDictionary>(archiveRoundTrip(*dict));
    for (const auto& other : {copy, back}) {
        ASSERT_TRUE(other);
        EXPECT_TRUE(other->containerData()->isEqual(dict->containerData().get()));
        EXPECT_FALSE(other->tcFormatter());
        other->putInt(4, "four");
        EXPECT_EQ(kindCast<TLDVPListDictionary>(other->valueForKey("nested"))->intValueForKey("three", 0), 3);
    }
    EXPECT_FALSE(dict->valueForKey("four"));
    dict->removeAllValues();  // nested keys too
    EXPECT_TRUE(dict->keyEnumerator().empty());
}
