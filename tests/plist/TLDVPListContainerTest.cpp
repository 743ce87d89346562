#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PListTestEnvironment.h"
#include "dv/DVTimeCodeFormatter.h"
#include "foundation/Archiver.h"
#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/DateFormatter.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "plist/TLDVPListContainer.h"
#include "plist/TLDVPListDictionary.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class Codec : public PListTest {
protected:
    Ref<String> encode(const Ref<Object>& value) const {
        if (auto v = kindCast<DVTimeCode>(value)) return codec->encodeTimeCode(v.get());
        if (auto v = kindCast<DVMovieSnapshotId>(value)) return codec->encodeSnapshotId(v.get());
        if (auto v = kindCast<DVClipId>(value)) return codec->encodeClipId(v.get());
        if (auto v = kindCast<TLDVClipSequenceId>(value)) return codec->encodeClipSequenceId(v.get());
        if (auto v = kindCast<DVSystem>(value)) return codec->encodeDVSystem(v.get());
        if (auto v = kindCast<DVFrameCaptureDateTime>(value)) return codec->encodeDVFrameCaptureDateTime(v.get());
        ADD_FAILURE() << "no encoder for " << value->className();
        return nullptr;
    }
    // Decodes a text that must fail, and checks that it logged exactly this line.
    void expectLoggedFailure(const std::string& text, const std::string& line) {
        EXPECT_FALSE(codec->decodeObject(str(text))) << text;
        EXPECT_EQ(takeLog(), std::vector<std::string>{line + "\n"}) << text;
    }
    void expectSilentNothing(const std::string& text) {
        EXPECT_FALSE(codec->decodeObject(str(text))) << text;
        EXPECT_TRUE(takeLog().empty()) << text;
    }

    Ref<TLDVPListContainer> codec = std::make_shared<TLDVPListContainer>();
};

}  // namespace

TEST_F(Codec, EveryModelValueRoundTripsThroughItsTypedString) {
    for (const auto& [name, value] : everyModelValue()) {
        const auto typed = encode(value);
        ASSERT_TRUE(typed) << name;
        const auto back = codec->decodeObject(typed);
        ASSERT_TRUE(back) << name << ": " << typed->utf8();
        EXPECT_EQ(back->className(), value->className()) << name;
        EXPECT_TRUE(value->isEqual(back.get())) << name << ": " << typed->utf8() << " read as " << back->description();
    }
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(Codec, WritesPrefixSeparatorAndTheFormattersBody) {
    const auto sequence = sequence7();
    const auto clip = std::make_shared<DVClipId>(sequence, 3);
    EXPECT_EQ(codec->encodeTimeCode(DVTimeCode::timeCodeWithHours(1, 2, 3, 4).get())->utf8(), "@timecode:01:02:03.04");
    EXPECT_EQ(codec->encodeClipId(clip.get())->utf8(),
              "@clip:sequenceClip//:studio-mac.local:7:1199145600.25000000:3");
    EXPECT_TRUE(codec->encodeClipId(clip->childClipIdWithDateUid(1199149200.5, 0).get())
                    ->hasPrefix("@childclip:sequenceClip//:studio-mac.local:7:1199145600.25000000:3-1199149200.50000000:0-"));
    EXPECT_EQ(codec->encodeClipSequenceId(sequence.get())->utf8(),
              "@sequence:sequence//:studio-mac.local:7:1199145600.25000000");
    const auto snapshot = std::make_shared<DVMovieSnapshotId>("h", 1, 1199145600.5);
    EXPECT_EQ(codec->encodeSnapshotId(snapshot.get())->utf8(), "@snapshot:snapshot//:h:1:1199145600.50000000");
    EXPECT_EQ(codec->encodeDVSystem(DVSystem::system625_50().get())->utf8(), "@dvsystem:dvsystem//:System 625/50");
    // 14 March 2006 in Paris is one hour east of Greenwich; July is two.
    EXPECT_EQ(codec->encodeDVFrameCaptureDateTime(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14, 10, 22, 5).get())
                  ->utf8(),
              "@datetime:2006-03-14 10:22:05 +0100");
    EXPECT_EQ(codec->encodeDVFrameCaptureDateTime(DVFrameCaptureDateTime::dateWithYear(2007, 7, 1, 0, 0, 0).get())
                  ->utf8(),
              "@datetime:2007-07-01 00:00:00 +0200");
    // Values of another class get their formatter's placeholder as body.
    EXPECT_EQ(codec->encodeTimeCode(nullptr)->utf8(), "@timecode:--:--:--.--");
    EXPECT_EQ(codec->encodeDVSystem(nullptr)->utf8(), "@dvsystem:Type error");
}

TEST_F(Codec, DateTimeWithAnUnknownHalfIsWrittenAsNullAndReadsAsNothingWithOneLine) {
    for (const auto& value : {DVFrameCaptureDateTime::dateWithYear(2006, 3, 14),
                              DVFrameCaptureDateTime::timeWithHours(10, 22, 5),
                              std::make_shared<DVFrameCaptureDateTime>()}) {
        const auto typed = codec->encodeDVFrameCaptureDateTime(value.get());
        EXPECT_EQ(typed->utf8(), "@datetime:(null)");
        EXPECT_FALSE(codec->decodeObject(typed));
        const auto log = takeLog();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_TRUE(log[0].starts_with("Error parsing DVFrameCaptureDateTime in pList '(null)' : ")) << log[0];
    }
}

TEST_F(Codec, UnparsableBodiesLogExactlyOneLineWithTheFormattersMessage) {
    expectLoggedFailure("@timecode:1:02:03.04",
                        "Error parsing timeCode in pList '1:02:03.04' : String '1:02:03.04' cannot be parsed into a "
                        "timecode as it has not the expected length");
    expectLoggedFailure("@dvsystem:dvsystem//:Custom?HD?1", "Error parsing DVSystem in pList 'dvsystem//:Custom?HD?1' : Failed to scan");
    expectLoggedFailure("@dvsystem:DVSYSTEM//:System 625/50",
                        "Error parsing DVSystem in pList 'DVSYSTEM//:System 625/50' : Bad prefix for dv system");
    expectLoggedFailure("@clip:clip//:", "Error parsing clipId in pList 'clip//:' : Failed to scan");
    expectLoggedFailure("@childclip:nonsense", "Error parsing clipId in pList 'nonsense' : Bad prefix for id");
    expectLoggedFailure("@sequence:snapshot//:h:7:1.5",
                        "Error parsing clipSequenceId in pList 'snapshot//:h:7:1.5' : Bad prefix for Id");
    expectLoggedFailure("@snapshot:snapshot//:h:x", "Error parsing snapshotId in pList 'snapshot//:h:x' : Failed to scan");
    // "@clipboard" matches "@clip", skips one letter and hands "oard" to the clip formatter.
    expectLoggedFailure("@clipboard", "Error parsing clipId in pList 'oard' : Bad prefix for id");
    const auto line = [&](const std::string& text) {
        EXPECT_FALSE(codec->decodeObject(str(text)));
        const auto log = takeLog();
        EXPECT_EQ(log.size(), 1u) << text;
        return log.empty() ? std::string() : log[0];
    };
    EXPECT_TRUE(line("@datetime:yesterday-ish").starts_with("Error parsing DVFrameCaptureDateTime in pList 'yesterday-ish' : "));
}

TEST_F(Codec, APrefixWithNoBodyFailsLikeAnUnreadableBody) {
    // Nothing after the prefix (not even the separator), or a separator and nothing else.
    for (const std::string prefix : {"@timecode", "@clip", "@childclip", "@sequence", "@snapshot", "@dvsystem", "@datetime"}) {
        for (const std::string& text : {prefix, prefix + ":"}) {
            EXPECT_FALSE(codec->decodeObject(str(text))) << text;
            const auto log = takeLog();
            ASSERT_EQ(log.size(), 1u) << text;
            EXPECT_NE(log[0].find("in pList '' : "), std::string::npos) << log[0];
        }
    }
}

TEST_F(Codec, TheCharacterAfterThePrefixIsNotExamined) {
    const auto expected = DVTimeCode::timeCodeWithHours(1, 2, 3, 4);
    for (const std::string text : {"@timecode:01:02:03.04", "@timecode 01:02:03.04", "@timecodeX01:02:03;04",
                                   "@timecode\xc3\xa9" "01:02:03:04"}) {
        const auto value = codec->decodeObject(str(text));
        ASSERT_TRUE(value) << text;
        EXPECT_TRUE(expected->isEqual(value.get())) << text;
    }
    // A multi-byte character right after the prefix is skipped whole, and one at the very end is no body.
    expectLoggedFailure("@timecode\xe2\x82\xac", "Error parsing timeCode in pList '' : String '' cannot be parsed into a "
                                                 "timecode as it has not the expected length");
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(Codec, AtStringsWithNoKnownPrefixAreNothingWithoutALogLine) {
    for (const std::string text : {"@", "@home", "@TimeCode:01:02:03.04", "@TIMECODE:01:02:03.04", "@Clip:clip//:3",
                                   "@array:key", "@dict:eventData", "@date:2006-03-14 10:22:05 +0100", "@ timecode"}) {
        expectSilentNothing(text);
    }
}

TEST_F(Codec, EverythingElsePassesThroughAsTheVeryObject) {
    const std::vector<Ref<Object>> plain = {str("plain text"), str(""), str("a@b"), Number::withInt(3),
                                            Number::withBool(true), Date::withTimeIntervalSinceReferenceDate(5.5),
                                            Data::make({1, 2, 3}), Array::make({str("@timecode:01:02:03.04")}),
                                            Dictionary::make(), DVTimeCode::zeroTimeCode()};
    for (const auto& object : plain) EXPECT_EQ(codec->decodeObject(object), object) << object->description();
    EXPECT_FALSE(codec->decodeObject(nullptr));
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(Codec, SingleTypeDecodersOnlyReadTheirOwnPrefix) {
    EXPECT_FALSE(codec->decodeTimeCode("@clip:clip//:3"));
    EXPECT_FALSE(codec->decodeClipSequenceId("@snapshot:snapshot//:h:7:1.5"));
    EXPECT_FALSE(codec->decodeSnapshotId("@sequence:sequence//:h:7:1.5"));
    EXPECT_TRUE(takeLog().empty());
    // Both clip prefixes read through the clip formatter; the body decides whether it is a child.
    const auto plain = codec->decodeClipId("@childclip:clip//:5");
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->isChildClip());
    const auto child = codec->decodeClipId("@clip:sequenceClip//:h:7:1199145600.25:3-1199149200.5:1-Clip.h-7?");
    ASSERT_TRUE(child);
    EXPECT_TRUE(child->isChildClip());
    EXPECT_EQ(codec->decodeObject(str("@snapshot:snapshot//:h:7:1.5"))->className(), "DVMovieSnapshotId");
    EXPECT_EQ(codec->decodeObject(str("@sequence:sequence//:h:7:1.5"))->className(), "TLDVClipSequenceId");
}

TEST_F(Codec, EachFormatterIsMadeOnceOnFirstNeedAndNeverCopied) {
    EXPECT_FALSE(codec->tcFormatter());
    EXPECT_FALSE(codec->clipIdFormatter());
    EXPECT_FALSE(codec->clipSequenceIdFormatter());
    EXPECT_FALSE(codec->snapIdFormatter());
    EXPECT_FALSE(codec->dvSystemFormatter());
    EXPECT_FALSE(codec->dateFormatter());

    for (const auto& [name, value] : everyModelValue()) codec->decodeObject(encode(value));
    const std::vector<const void*> first = {codec->tcFormatter(),       codec->clipIdFormatter(),
                                            codec->clipSequenceIdFormatter(), codec->snapIdFormatter(),
                                            codec->dvSystemFormatter(), codec->dateFormatter()};
    for (const void* formatter : first) EXPECT_TRUE(formatter);
    for (const auto& [name, value] : everyModelValue()) codec->decodeObject(encode(value));
    codec->buildDateFormatter();
    const std::vector<const void*> again = {codec->tcFormatter(),       codec->clipIdFormatter(),
                                            codec->clipSequenceIdFormatter(), codec->snapIdFormatter(),
                                            codec->dvSystemFormatter(), codec->dateFormatter()};
    EXPECT_EQ(again, first);
    EXPECT_EQ(codec->dateFormatter()->dateFormat(), "%Y-%m-%d %H:%M:%S %z");
    EXPECT_TRUE(codec->dateFormatter()->allowsNaturalLanguage());

    // Only the formatter that a value needs is made.
    const auto other = std::make_shared<TLDVPListContainer>();
    other->decodeObject(str("@timecode:01:02:03.04"));
    EXPECT_TRUE(other->tcFormatter());
    EXPECT_FALSE(other->clipIdFormatter());
    EXPECT_FALSE(other->dateFormatter());

    const auto copy = kindCast<TLDVPListContainer>(codec->copy());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, codec);
    EXPECT_FALSE(copy->tcFormatter());
    EXPECT_FALSE(copy->dateFormatter());
}

TEST_F(Codec, TheBaseClassHoldsNoDataAndArchivesNone) {
    EXPECT_FALSE(codec->pListValue());
    EXPECT_FALSE(codec->writeToFile(pathIn("base.plist"), true));
    EXPECT_FALSE(std::filesystem::exists(pathIn("base.plist")));
    EXPECT_FALSE(TLDVPListContainer::initWithContentsOfFile(pathIn("base.plist")));

    codec->decodeObject(str("@timecode:01:02:03.04"));
    const auto bytes = Coder::archivedDataWithRootObject(codec.get());
    const auto back = kindCast<TLDVPListContainer>(Decoder::unarchiveObjectWithData(bytes));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->className(), "TLDVPListContainer");
    EXPECT_FALSE(back->tcFormatter());
    // A copy of a subclass is of that subclass.
    EXPECT_TRUE(isKindOf<TLDVPListDictionary>(TLDVPListDictionary::make()->copy()));
}
