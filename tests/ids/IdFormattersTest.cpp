#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/TestEnvironment.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "foundation/StringTable.h"
#include "ids/DVClipId.h"
#include "ids/DVMovieSnapshotId.h"
#include "ids/DVMovieSnapshotIdFormatter.h"
#include "ids/TLDVClipIdFormatter.h"
#include "ids/TLDVClipSequenceId.h"
#include "ids/TLDVClipSequenceIdFormatter.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class IdFormatters : public TestEnvironment {
protected:
    // Parses and checks the failure contract: false, the value cleared, the message given.
    static void expectFailure(const Formatter& formatter, std::optional<std::string_view> text,
                              const std::string& message) {
        Ref<Object> value = str("stale");
        std::string error;
        EXPECT_FALSE(formatter.getObjectValue(&value, text, &error)) << text.value_or("(none)");
        EXPECT_FALSE(value) << text.value_or("(none)");
        EXPECT_EQ(error, message) << text.value_or("(none)");
        EXPECT_FALSE(formatter.getObjectValue(nullptr, text, nullptr));  // no slots: still no crash
    }
    template <class T>
    static Ref<T> parse(const Formatter& formatter, std::string_view text) {
        Ref<Object> value;
        std::string error;
        EXPECT_TRUE(formatter.getObjectValue(&value, text, &error)) << text << ": " << error;
        EXPECT_TRUE(error.empty());
        auto typed = kindCast<T>(value);
        EXPECT_TRUE(typed) << text;
        return typed;
    }

    TLDVClipIdFormatter clipFormatter;
    TLDVClipSequenceIdFormatter sequenceFormatter;
    DVMovieSnapshotIdFormatter snapshotFormatter;
};

Ref<TLDVClipSequenceId> sequence7() {
    return std::make_shared<TLDVClipSequenceId>("studio-mac.local", 7, 1199145600.25);
}

}  // namespace

TEST_F(IdFormatters, WritesTheDocumentedTexts) {
    const auto s = sequence7();
    EXPECT_EQ(sequenceFormatter.stringForObjectValue(s), "sequence//:studio-mac.local:7:1199145600.25000000");
    EXPECT_EQ(snapshotFormatter.stringForObjectValue(s), "snapshot//:studio-mac.local:7:1199145600.25000000");
    const auto p = std::make_shared<DVMovieSnapshotId>("h", -2, 1.0);
    EXPECT_EQ(sequenceFormatter.stringForObjectValue(p), "sequence//:h:-2:1.00000000");

    const auto clip = std::make_shared<DVClipId>(s, 3);
    EXPECT_EQ(clipFormatter.stringForObjectValue(clip), "sequenceClip//:studio-mac.local:7:1199145600.25000000:3");
    EXPECT_EQ(clipFormatter.stringForObjectValue(clip->childClipIdWithDateUid(1199149200.5, 0)),
              "sequenceClip//:studio-mac.local:7:1199145600.25000000:3-1199149200.50000000:0-"
              "Clip-Sequence.studio-mac.local-7-1199145600.250000.3?");
    EXPECT_EQ(clipFormatter.stringForObjectValue(std::make_shared<DVClipId>(nullptr, 3)), "clip//:3");
    EXPECT_EQ(clipFormatter.stringForObjectValue(
                  std::make_shared<DVClipId>(nullptr, 3)->childClipIdWithDateUid(2.5, 1)),
              "clip//:3-2.50000000:1-Clip-3?");

    for (const Formatter* f : std::initializer_list<const Formatter*>{&clipFormatter, &sequenceFormatter,
                                                                      &snapshotFormatter}) {
        EXPECT_EQ(f->stringForObjectValue(static_cast<const Object*>(nullptr)), "Type error");
        EXPECT_EQ(f->stringForObjectValue(Number::withInt(3)), "Type error");
    }
    EXPECT_EQ(clipFormatter.stringForObjectValue(s), "Type error");
    EXPECT_EQ(sequenceFormatter.stringForObjectValue(clip), "Type error");
}

TEST_F(IdFormatters, SequenceAndSnapshotTextsReadBackEqual) {
    const std::vector<std::string> hosts = {"studio-mac.local", "localhost", "a", "", "host with spaces",
                                            "ünïcödé", "x.y-z_w"};
    const double dates[] = {1e8, 1199145600.25, 1199145600.123456789, 4102444800.5, 1e12 + 0.125, 1e15};
    const int indices[] = {0, 1, -1, 7, 2147483647, -2147483647 - 1};
    for (const auto& host : hosts) {
        for (double date : dates) {
            for (int index : indices) {
                const auto s = std::make_shared<TLDVClipSequenceId>(host, index, date);
                const auto back = parse<TLDVClipSequenceId>(sequenceFormatter, *sequenceFormatter.stringForObjectValue(s));
                ASSERT_TRUE(back);
                EXPECT_EQ(back->className(), "TLDVClipSequenceId");
                EXPECT_TRUE(back->isEqual(s.get())) << back->stringId() << " / " << s->stringId();

                const auto p = std::make_shared<DVMovieSnapshotId>(host, index, date);
                const auto pBack = parse<DVMovieSnapshotId>(snapshotFormatter, *snapshotFormatter.stringForObjectValue(p));
                ASSERT_TRUE(pBack);
                EXPECT_TRUE(pBack->isEqual(p.get())) << pBack->stringId();
            }
        }
    }
    // Small dates lose what eight decimals cannot carry.
    const auto tiny = std::make_shared<TLDVClipSequenceId>("h", 1, 1e-9);
    EXPECT_FALSE(parse<TLDVClipSequenceId>(sequenceFormatter, *sequenceFormatter.stringForObjectValue(tiny))
                     ->isEqual(tiny.get()));
}

TEST_F(IdFormatters, SequenceReadingIsLenientWhereTheScannerIs) {
    auto s = parse<TLDVClipSequenceId>(sequenceFormatter, "sequence//:h:7:1.5;x");
    EXPECT_EQ(s->hostId(), "h");
    EXPECT_EQ(s->indexId(), 7);
    EXPECT_EQ(s->dateId(), 1.5);

    s = parse<TLDVClipSequenceId>(sequenceFormatter, "sequence//:  h : +7 :  -1.5e3");
    EXPECT_EQ(s->hostId(), "h ");
    EXPECT_EQ(s->indexId(), 7);
    EXPECT_EQ(s->dateId(), -1500.0);

    s = parse<TLDVClipSequenceId>(sequenceFormatter, "sequence//::99999999999:2");
    EXPECT_EQ(s->hostId(), "");
    EXPECT_EQ(s->indexId(), 2147483647);  // clamped

    // The snapshot prefix belongs to the snapshot formatter only, and a sequence text to neither.
    expectFailure(sequenceFormatter, "snapshot//:h:7:1.5", "Bad prefix for Id");
    const auto p = parse<DVMovieSnapshotId>(snapshotFormatter, "snapshot//:h:7:1.5");
    EXPECT_EQ(p->className(), "DVMovieSnapshotId");
    expectFailure(snapshotFormatter, "sequence//:h:7:1.5", "Bad prefix for Id");
    expectFailure(sequenceFormatter, "Sequence//:h:7:1.5", "Bad prefix for Id");
    expectFailure(sequenceFormatter, " sequence//:h:7:1.5", "Bad prefix for Id");

    // A snapshot written by the sequence formatter comes back as a sequence id.
    const auto snapshot = std::make_shared<DVMovieSnapshotId>("h", 7, 1.5);
    const auto asSequence = parse<TLDVClipSequenceId>(sequenceFormatter, *sequenceFormatter.stringForObjectValue(snapshot));
    EXPECT_EQ(asSequence->className(), "TLDVClipSequenceId");
    EXPECT_TRUE(asSequence->isEqual(snapshot.get()));
    EXPECT_FALSE(snapshot->isEqual(asSequence.get()));
}

TEST_F(IdFormatters, SequenceFailures) {
    for (const Formatter* f : std::initializer_list<const Formatter*>{&sequenceFormatter, &snapshotFormatter}) {
        expectFailure(*f, std::nullopt, "Undefined string to parse");
        expectFailure(*f, "Type error", "Undefined type to parse");
        expectFailure(*f, "", "Bad prefix for Id");
    }
    for (const char* text : {"sequence//:", "sequence//:h", "sequence//:h:", "sequence//:h:x:1.5", "sequence//:h:7",
                             "sequence//:h:7:", "sequence//:h:7;1.5", "sequence//:h:7:x"}) {
        expectFailure(sequenceFormatter, text, "Failed to scan");
    }
}

TEST_F(IdFormatters, ClipTextsReadBackEqual) {
    const std::vector<Ref<TLDVClipSequenceId>> sequences = {
        nullptr, sequence7(), std::make_shared<DVMovieSnapshotId>("bay", -3, 4102444800.5),
        std::make_shared<TLDVClipSequenceId>("", 0, 1e8)};
    for (const auto& s : sequences) {
        for (int index : {0, 3, -1, 2147483647}) {
            const auto clip = std::make_shared<DVClipId>(s, index);
            const std::string text = *clipFormatter.stringForObjectValue(clip);
            const auto back = parse<DVClipId>(clipFormatter, text);
            ASSERT_TRUE(back);
            // The text names a sequence by its fields only: a snapshot comes back as a
            // sequence, which the snapshot, judging by its own class, does not accept.
            EXPECT_TRUE(clip->isEqual(back.get())) << text;
            EXPECT_EQ(back->isEqual(clip.get()), !isKindOf<DVMovieSnapshotId>(s)) << text;
            EXPECT_FALSE(back->isChildClip());
            EXPECT_EQ(*clipFormatter.stringForObjectValue(back), text);
        }
    }
}

TEST_F(IdFormatters, ChildTextsReadBackAsChildrenOfAPlaceholder) {
    const auto parent = std::make_shared<DVClipId>(sequence7(), 3);
    for (const auto& [date, uid] : std::vector<std::pair<double, int>>{{1199149200.5, 0}, {0, 0}, {-2.25, -7}, {1e8, 2147483647}}) {
        const auto child = parent->childClipIdWithDateUid(date, uid);
        const std::string text = *clipFormatter.stringForObjectValue(child);
        const auto back = parse<DVClipId>(clipFormatter, text);
        ASSERT_TRUE(back);
        EXPECT_TRUE(back->isEqual(child.get())) << text;
        EXPECT_TRUE(back->isChildClip());
        EXPECT_EQ(back->parentLookUpStringId(), parent->stringId());
        ASSERT_TRUE(back->parentClipId());
        EXPECT_FALSE(back->parentClipId()->isChildClip());
        EXPECT_TRUE(back->parentClipId()->isEqual(parent.get()));
        EXPECT_EQ(back->parentClipId()->sequenceId(), back->sequenceId());
        EXPECT_EQ(back->stringId(), child->stringId());
        EXPECT_EQ(*clipFormatter.stringForObjectValue(back), text);  // writing again changes nothing
    }

    // A child known only by its lookup string writes that string, and reads it back.
    auto lookUpOnly = std::make_shared<DVClipId>(sequence7(), 4);
    lookUpOnly->setParentLookUpStringId("Clip-Sequence.elsewhere-2-5.000000.1");
    const std::string text = *clipFormatter.stringForObjectValue(lookUpOnly);
    EXPECT_EQ(text, "sequenceClip//:studio-mac.local:7:1199145600.25000000:4-0.00000000:0-"
                    "Clip-Sequence.elsewhere-2-5.000000.1?");
    const auto back = parse<DVClipId>(clipFormatter, text);
    EXPECT_TRUE(back->isEqual(lookUpOnly.get()));
    EXPECT_EQ(back->parentLookUpStringId(), lookUpOnly->parentLookUpStringId());
}

TEST_F(IdFormatters, ClipReadingIsLenientWhereTheFormatIs) {
    auto c = parse<DVClipId>(clipFormatter, "clip//:42");
    EXPECT_EQ(c->indexId(), 42);
    EXPECT_FALSE(c->sequenceId());
    EXPECT_EQ(parse<DVClipId>(clipFormatter, "clip//:3clip//:4")->indexId(), 4);
    EXPECT_EQ(parse<DVClipId>(clipFormatter, "clip//:3 CLIP//:5\n")->indexId(), 5);
    EXPECT_EQ(parse<DVClipId>(clipFormatter, "clip//:42   \t\n")->indexId(), 42);
    EXPECT_EQ(parse<DVClipId>(clipFormatter, "clip//:-1")->indexId(), DVClipIndexInSequenceNoSet);

    // Child uids without a parent part are dropped.
    c = parse<DVClipId>(clipFormatter, "sequenceClip//:studio-mac.local:7:1199145600.25000000:3-1199149200.5:0");
    EXPECT_FALSE(c->isChildClip());
    EXPECT_EQ(c->childDateUid(), 0.0);
    EXPECT_TRUE(c->isEqual(std::make_shared<DVClipId>(sequence7(), 3).get()));

    c = parse<DVClipId>(clipFormatter, "sequenceClip//::7:1199145600.25:3");
    EXPECT_EQ(c->sequenceId()->hostId(), "");
    EXPECT_EQ(c->sequenceId()->className(), "TLDVClipSequenceId");

    // A parent part without readable child uids: the uids are 0.
    c = parse<DVClipId>(clipFormatter, "sequenceClip//:h:7:1.5:3--parent?");
    EXPECT_TRUE(c->isChildClip());
    EXPECT_EQ(c->childDateUid(), 0.0);
    EXPECT_EQ(c->childIntUid(), 0);
    EXPECT_EQ(c->parentLookUpStringId(), "parent");

    // Nothing after the "?" is looked at, and a missing "?" is no error.
    c = parse<DVClipId>(clipFormatter, "sequenceClip//:h:7:1.5:3-2.5:1-Clip-9?trailing:stuff");
    EXPECT_EQ(c->parentLookUpStringId(), "Clip-9");
    EXPECT_EQ(c->childIntUid(), 1);
    c = parse<DVClipId>(clipFormatter, "sequenceClip//:h:7:1.5:3-2.5:1-Clip-9");
    EXPECT_EQ(c->parentLookUpStringId(), "Clip-9");
    c = parse<DVClipId>(clipFormatter, "sequenceClip//:h:7:1.5:3-2.5:1-?");
    EXPECT_TRUE(c->isChildClip());
    EXPECT_EQ(c->parentLookUpStringId(), "");
}

TEST_F(IdFormatters, ClipFailures) {
    expectFailure(clipFormatter, std::nullopt, "Undefined string to parse");
    expectFailure(clipFormatter, "Type error", "Undefined type to parse");
    for (const char* text : {"", "Clip//:3", " clip//:3", "sequence//:h:7:1.5", "snapshot//:h:7:1.5", "42"})
        expectFailure(clipFormatter, text, "Bad prefix for id");
    for (const char* text : {"clip//:", "clip//:x", "clip//:3clip//:", "clip//:3 4", "clip//:3-2.50000000:1-Clip-3?",
                             "sequenceClip//:", "sequenceClip//:h:7", "sequenceClip//:h:x:1.5:3",
                             "sequenceClip//:h:7:1.5", "sequenceClip//:h:7:1.5:", "sequenceClip//:h:7:y:3"})
        expectFailure(clipFormatter, text, "Failed to scan");
    // A child without a sequence is written in a form the reader refuses.
    const auto orphan = std::make_shared<DVClipId>(nullptr, 3)->childClipIdWithDateUid(2.5, 1);
    expectFailure(clipFormatter, *clipFormatter.stringForObjectValue(orphan), "Failed to scan");
}

TEST_F(IdFormatters, ParsingNeverDrawsASerialNumber) {
    UserDefaults::standardUserDefaults().setInteger(10, kSequenceStoreKey);
    UserDefaults::standardUserDefaults().setInteger(20, kClipStoreKey);
    startNewProcess();
    for (const char* text : {"clip//:42", "sequenceClip//:h:7:1.5:3", "sequenceClip//:h:7:1.5:3-2.5:1-Clip-9?"})
        parse<DVClipId>(clipFormatter, text);
    parse<TLDVClipSequenceId>(sequenceFormatter, "sequence//:h:7:1.5");
    parse<DVMovieSnapshotId>(snapshotFormatter, "snapshot//:h:7:1.5");
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 10);
    EXPECT_EQ(storedInteger(kClipStoreKey), 20);
    EXPECT_EQ(nextChildIntUid, 0);
    EXPECT_EQ(TLDVClipSequenceId::nextId()->indexId(), 11);
    EXPECT_EQ(DVClipId::nextId()->indexId(), 21);
}

TEST_F(IdFormatters, MessagesComeFromTheModelStringTable) {
    {
        std::ofstream table(dir_ / "GravelmothDV.strings");
        table << "\"Failed to scan\" = \"Lecture impossible\";\n\"Bad prefix for Id\" = \"Mauvais pr\u00e9fixe\";\n";
    }
    const std::string savedResources = resourcesDirectory();
    setResourcesDirectory(dir_.string());
    expectFailure(clipFormatter, "clip//:", "Lecture impossible");
    expectFailure(snapshotFormatter, "x", "Mauvais pr\u00e9fixe");
    expectFailure(clipFormatter, "x", "Bad prefix for id");  // no entry: the key itself
    EXPECT_EQ(clipFormatter.stringForObjectValue(str("x")), "Type error");  // never translated
    setResourcesDirectory(savedResources);
}
