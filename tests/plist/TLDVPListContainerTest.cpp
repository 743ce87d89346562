#include <gtest/gtest.h>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "plist/TLDVPListContainer.h"
#include "support/Cases.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class Codec : public TestEnvironment {
protected:
    // Decodes a text that must fail, and returns the one line it logged.
    std::string failureLine(const std::string& text) {
        EXPECT_FALSE(codec->decodeObject(str(text))) << text;
        const auto log = takeLog();
        EXPECT_EQ(log.size(), 1u) << text;
        return log.empty() ? std::string() : log[0];
    }

    Ref<TLDVPListContainer> codec = std::make_shared<TLDVPListContainer>();
};

}  // namespace

TEST_F(Codec, WritesPrefixSeparatorAndTheFormattersBody) {
    const auto clip = std::make_shared<DVClipId>(sequence7(), 3);
    EXPECT_EQ(codec->encodeTimeCode(DVTimeCode::timeCodeWithHours(1, 2, 3, 4).get())->utf8(), "@timecode:01:02:03.04");
    EXPECT_EQ(codec->encodeClipId(clip.get())->utf8(), "@clip:sequenceClip//:studio-mac.local:7:1199145600.25000000:3");
    EXPECT_TRUE(codec->encodeClipId(clip->childClipIdWithDateUid(1199149200.5, 0).get())
                    ->hasPrefix("@childclip:sequenceClip//:studio-mac.local:7:1199145600.25000000:3-1199149200.50000000:0-"));
    EXPECT_EQ(codec->encodeClipSequenceId(sequence7().get())->utf8(),
              "@sequence:sequence//:studio-mac.local:7:1199145600.25000000");
    const auto snapshot = std::make_shared<DVMovieSnapshotId>("h", 1, 1199145600.5);
    EXPECT_EQ(codec->encodeSnapshotId(snapshot.get())->utf8(), "@snapshot:snapshot//:h:1:1199145600.50000000");
    EXPECT_EQ(codec->encodeDVSystem(DVSystem::system625_50().get())->utf8(), "@dvsystem:dvsystem//:System 625/50");
    // 14 March 2006 in Paris is one hour east of Greenwich; July is two.
    EXPECT_EQ(codec->encodeDVFrameCaptureDateTime(DVFrameCaptureDateTime::dateWithYear(2006, 3, 14, 10, 22, 5).get())->utf8(),
              "@datetime:2006-03-14 10:22:05 +0100");
    EXPECT_EQ(codec->encodeDVFrameCaptureDateTime(DVFrameCaptureDateTime::dateWithYear(2007, 7, 1, 0, 0, 0).get())->utf8(),
              "@datetime:2007-07-01 00:00:00 +0200");
    // Values of another class get their formatter's placeholder as body.
    EXPECT_EQ(codec->encodeTimeCode(nullptr)->utf8(), "@timecode:--:--:--.--");
    EXPECT_EQ(codec->encodeDVSystem(nullptr)->utf8(), "@dvsystem:Type error");
}

TEST_F(Codec, DateTimeWithAnUnknownHalfIsWrittenAsNullAndReadsAsNothingWithOneLine) {
    for (const auto& value : {DVFrameCaptureDateTime::dateWithYear(2006, 3, 14), DVFrameCaptureDateTime::timeWithHours(10, 22, 5),
                              std::make_shared<DVFrameCaptureDateTime>()}) {
        const auto typed = codec->encodeDVFrameCaptureDateTime(value.get());
        EXPECT_EQ(typed->utf8(), "@datetime:(null)");
        EXPECT_TRUE(failureLine(std::string(typed->utf8()))
                        .starts_with("Error parsing DVFrameCaptureDateTime in pList '(null)' : "));
    }
}

TEST_F(Codec, UnparsableBodiesLogExactlyOneLineWithTheFormattersMessage) {
    for (const auto& c : casesFrom("typed/typed-string-failures.txt", 2)) {
        EXPECT_EQ(failureLine(c[0]), c[1] + "\n") << c.where;
    }
    EXPECT_TRUE(failureLine("@datetime:yesterday-ish").starts_with("Error parsing DVFrameCaptureDateTime in pList 'yesterday-ish' : "));
    // Nothing after the prefix (not even the separator), or a separator and nothing else.
    for (const std::string prefix : {"@timecode", "@clip", "@childclip", "@sequence", "@snapshot", "@dvsystem", "@datetime"}) {
        for (const std::string& text : {prefix, prefix + ":"})
            EXPECT_NE(failureLine(text).find("in pList '' : "), std::string::npos) << text;
    }
}

TEST_F(Codec, TheCharacterAfterThePrefixIsNotExamined) {
    for (const std::string text : {"@timecode:01:02:03.04", "@timecode 01:02:03.04", "@timecodeX01:02:03;04",
                                   "@timecode\xc3\xa9" "01:02:03:04"}) {
        const auto value = codec->decodeObject(str(text));
        EXPECT_TRUE(value && DVTimeCode::timeCodeWithHours(1, 2, 3, 4)->isEqual(value.get())) << text;
    }
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(Codec, AtStringsWithNoKnownPrefixAndPlainObjectsPassThroughWithoutALogLine) {
    for (const std::string text : {"@", "@home", "@TimeCode:01:02:03.04", "@TIMECODE:01:02:03.04", "@Clip:clip//:3",
                                   "@array:key", "@dict:eventData", "@date:2006-03-14 10:22:05 +0100", "@ timecode"}) {
        EXPECT_FALSE(codec->decodeObject(str(text))) << text;
    }
    const std::vector<Ref<Object>> plain = {str("plain text"), str(""), str("a@b"), Number::withBool(true),
                                            Date::withTimeIntervalSinceReferenceDate(5.5), Data::make({1, 2, 3}),
                                            Array::make({str("@timecode:01:02:03.04")}), Dictionary::make(),
                                            DVTimeCode::zeroTimeCode()};
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
    EXPECT_TRUE(plain && !plain->isChildClip());
    const auto child = codec->decodeClipId("@clip:sequenceClip//:h:7:1199145600.25:3-1199149200.5:1-Clip.h-7?");
    EXPECT_TRUE(child && child->isChildClip());
}
