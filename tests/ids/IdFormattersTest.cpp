#include <gtest/gtest.h>

#include <map>

#include "foundation/Number.h"
#include "ids/DVMovieSnapshotIdFormatter.h"
#include "ids/TLDVClipIdFormatter.h"
#include "ids/TLDVClipSequenceIdFormatter.h"
#include "support/Cases.h"
#include "support/TestEnvironment.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class IdFormatters : public TestEnvironment {
protected:
    // What a text reads as: the value read, or the message of the failure, which leaves no value.
    template <class T = DVClipId>
    static Ref<T> parse(const Formatter& formatter, std::optional<std::string_view> text, std::string* error = nullptr) {
        Ref<Object> value = str("stale");
        std::string message;
        const bool ok = formatter.getObjectValue(&value, text, &message);
        EXPECT_EQ(ok, value != nullptr) << text.value_or("(none)");
        EXPECT_EQ(ok, message.empty()) << text.value_or("(none)");
        if (error) *error = message;
        return kindCast<T>(value);
    }
    void expectFailure(const Formatter& formatter, std::optional<std::string_view> text, const std::string& message) {
        std::string error;
        EXPECT_FALSE(parse(formatter, text, &error));
        EXPECT_EQ(error, message) << text.value_or("(none)");
        EXPECT_FALSE(formatter.getObjectValue(nullptr, text, nullptr));  // no slots: still no crash
    }
    std::string write(const Formatter& formatter, const Ref<Object>& value) const {
        return formatter.stringForObjectValue(value).value_or("nothing");
    }

    TLDVClipIdFormatter clips;
    TLDVClipSequenceIdFormatter sequences;
    DVMovieSnapshotIdFormatter snapshots;
};

}  // namespace

TEST_F(IdFormatters, SequenceAndSnapshotTextsReadBackEqual) {
    EXPECT_EQ(write(sequences, sequence7()), "sequence//:studio-mac.local:7:1199145600.25000000");
    EXPECT_EQ(write(snapshots, sequence7()), "snapshot//:studio-mac.local:7:1199145600.25000000");
    for (const std::string host : {"studio-mac.local", "", "host with spaces", "ünïcödé"}) {
        for (double date : {1e8, 1199145600.123456789, 1e15}) {
            for (int index : {0, -1, INT32_MAX, INT32_MIN}) {
                const auto s = std::make_shared<TLDVClipSequenceId>(host, index, date);
                const auto back = parse<TLDVClipSequenceId>(sequences, write(sequences, s));
                EXPECT_TRUE(back && back->className() == "TLDVClipSequenceId" && back->isEqual(s.get())) << s->stringId();
                const auto p = std::make_shared<DVMovieSnapshotId>(host, index, date);
                const auto pBack = parse<DVMovieSnapshotId>(snapshots, write(snapshots, p));
                EXPECT_TRUE(pBack && pBack->isEqual(p.get())) << p->stringId();
            }
        }
    }
    // A snapshot written by the sequence formatter comes back as a sequence id.
    const auto snapshot = std::make_shared<DVMovieSnapshotId>("h", 7, 1.5);
    EXPECT_EQ(parse<TLDVClipSequenceId>(sequences, write(sequences, snapshot))->className(), "TLDVClipSequenceId");
}

TEST_F(IdFormatters, ReadingIsLenientWhereTheScannerIsAndFailuresSayWhy) {
    auto s = parse<TLDVClipSequenceId>(sequences, "sequence//:  h : +7 :  -1.5e3;x");
    EXPECT_EQ(s->hostId(), "h ");
    EXPECT_EQ(s->indexId(), 7);
    EXPECT_EQ(s->dateId(), -1500.0);
    EXPECT_EQ(parse<TLDVClipSequenceId>(sequences, "sequence//::99999999999:2")->indexId(), INT32_MAX);  // clamped
    const std::map<std::string, const Formatter*> named{{"clips", &clips}, {"sequences", &sequences}, {"snapshots", &snapshots}};
    for (const auto& c : casesFrom("ids/formatter-failures.txt", 3)) {
        expectFailure(*named.at(c[0]), c[1] == "(none)" ? std::nullopt : std::optional<std::string_view>(c[1]), c[2]);
    }
}

TEST_F(IdFormatters, ClipTextsReadBackEqualWithChildrenOfAPlaceholder) {
    EXPECT_EQ(write(clips, std::make_shared<DVClipId>(nullptr, 3)), "clip//:3");
    const auto parent = std::make_shared<DVClipId>(sequence7(), 3);
    EXPECT_EQ(write(clips, parent->childClipIdWithDateUid(1199149200.5, 0)),
              "sequenceClip//:studio-mac.local:7:1199145600.25000000:3-1199149200.50000000:0-"
              "Clip-Sequence.studio-mac.local-7-1199145600.250000.3?");
    for (const auto& s : {Ref<TLDVClipSequenceId>(), sequence7(), std::make_shared<TLDVClipSequenceId>("", 0, 1e8)}) {
        for (int index : {0, -1, INT32_MAX}) {
            const auto clip = std::make_shared<DVClipId>(s, index);
            const auto back = parse(clips, write(clips, clip));
            EXPECT_TRUE(back && back->isEqual(clip.get()) && !back->isChildClip()) << write(clips, clip);
        }
    }
    for (const auto& [date, uid] : std::vector<std::pair<double, int>>{{1199149200.5, 0}, {-2.25, -7}, {1e8, INT32_MAX}}) {
        const auto child = parent->childClipIdWithDateUid(date, uid);
        const std::string text = write(clips, child);
        const auto back = parse(clips, text);
        ASSERT_TRUE(back) << text;
        EXPECT_TRUE(back->isEqual(child.get())) << text;
        EXPECT_EQ(back->parentLookUpStringId(), parent->stringId());
        ASSERT_TRUE(back->parentClipId());
        EXPECT_TRUE(back->parentClipId()->isEqual(parent.get()) && !back->parentClipId()->isChildClip());
        EXPECT_EQ(back->stringId(), child->stringId());
        EXPECT_EQ(write(clips, back), text);  // writing again changes nothing
    }
    // A snapshot comes back as a sequence, which the snapshot, judging by its class, does not accept.
    const auto inSnapshot = std::make_shared<DVClipId>(std::make_shared<DVMovieSnapshotId>("bay", -3, 5.5), 3);
    EXPECT_FALSE(parse(clips, write(clips, inSnapshot))->isEqual(inSnapshot.get()));
    for (const Formatter* f : std::initializer_list<const Formatter*>{&clips, &sequences, &snapshots})
        EXPECT_EQ(write(*f, Number::withInt(3)), "Type error");
    EXPECT_EQ(write(clips, sequence7()), "Type error");
}

TEST_F(IdFormatters, ClipReadingIsLenientWhereTheFormatIs) {
    EXPECT_EQ(parse(clips, "clip//:3 CLIP//:5\n")->indexId(), 5);
    EXPECT_EQ(parse(clips, "clip//:-1")->indexId(), DVClipIndexInSequenceNoSet);
    // Child uids without a parent part are dropped.
    EXPECT_FALSE(parse(clips, "sequenceClip//:h:7:1199145600.25:3-1199149200.5:0")->isChildClip());
    // A parent part without readable child uids: the uids are 0; nothing after the "?" is looked at.
    auto c = parse(clips, "sequenceClip//:h:7:1.5:3--parent?");
    EXPECT_TRUE(c->isChildClip());
    EXPECT_EQ(c->childIntUid(), 0);
    EXPECT_EQ(c->parentLookUpStringId(), "parent");
    EXPECT_EQ(parse(clips, "sequenceClip//:h:7:1.5:3-2.5:1-Clip-9?trailing:stuff")->parentLookUpStringId(), "Clip-9");
    EXPECT_EQ(parse(clips, "sequenceClip//:h:7:1.5:3-2.5:1-Clip-9")->parentLookUpStringId(), "Clip-9");

    // A child without a sequence is written in a form the reader refuses.
    expectFailure(clips, write(clips, std::make_shared<DVClipId>(nullptr, 3)->childClipIdWithDateUid(2.5, 1)),
                  "Failed to scan");
}

TEST_F(IdFormatters, ParsingNeverDrawsASerialNumber) {
    UserDefaults::standardUserDefaults().setInteger(10, kSequenceStoreKey);
    UserDefaults::standardUserDefaults().setInteger(20, kClipStoreKey);
    startNewProcess();
    for (const char* text : {"clip//:42", "sequenceClip//:h:7:1.5:3-2.5:1-Clip-9?"}) parse(clips, text);
    parse<TLDVClipSequenceId>(sequences, "sequence//:h:7:1.5");
    parse<DVMovieSnapshotId>(snapshots, "snapshot//:h:7:1.5");
    EXPECT_EQ(nextChildIntUid, 0);
    EXPECT_EQ(TLDVClipSequenceId::nextId()->indexId(), 11);
    EXPECT_EQ(DVClipId::nextId()->indexId(), 21);
}

TEST_F(IdFormatters, MessagesComeFromTheModelStringTable) {
    writeStringTable("GravelmothDV.strings",
                     "\"Failed to scan\" = \"Lecture impossible\";\n\"Bad prefix for Id\" = \"Mauvais pr\u00e9fixe\";\n");
    expectFailure(clips, "clip//:", "Lecture impossible");
    expectFailure(snapshots, "x", "Mauvais pr\u00e9fixe");
    expectFailure(clips, "x", "Bad prefix for id");  // no entry: the key itself
    EXPECT_EQ(write(clips, str("x")), "Type error");  // never translated
}
