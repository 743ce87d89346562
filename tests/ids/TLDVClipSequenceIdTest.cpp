#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/TestEnvironment.h"
#include "foundation/String.h"
#include "ids/DVMovieSnapshotId.h"
#include "ids/TLDVClipSequenceId.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class SequenceIds : public TestEnvironment {};

Ref<TLDVClipSequenceId> sequence(std::string host, int index, double date) {
    return std::make_shared<TLDVClipSequenceId>(std::move(host), index, date);
}
Ref<DVMovieSnapshotId> snapshot(std::string host, int index, double date) {
    return std::make_shared<DVMovieSnapshotId>(std::move(host), index, date);
}

}  // namespace

TEST_F(SequenceIds, SequenceAndSnapshotIdsShareOneCounter) {
    EXPECT_EQ(TLDVClipSequenceId::nextId()->indexId(), 1);
    EXPECT_EQ(DVMovieSnapshotId::nextId()->indexId(), 2);
    EXPECT_EQ(std::make_shared<TLDVClipSequenceId>()->indexId(), 3);
    EXPECT_EQ(TLDVClipSequenceId::currentId(), 3);
    EXPECT_EQ(DVMovieSnapshotId::currentId(), 3);  // asking does not advance
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 3);
    EXPECT_FALSE(storedInteger(kClipStoreKey));  // clip ids count apart

    startNewProcess();
    const auto next = DVMovieSnapshotId::nextId();
    EXPECT_EQ(next->indexId(), 4);
    EXPECT_EQ(next->className(), "DVMovieSnapshotId");
}

TEST_F(SequenceIds, FreshIdsTakeTheClockAndTheHostAskedEveryTime) {
    const auto first = TLDVClipSequenceId::nextId();
    EXPECT_EQ(first->dateId(), kTestNow);
    EXPECT_EQ(first->hostId(), "studio-mac.local");

    setHostNameForTesting([] { return std::string(); });
    EXPECT_EQ(TLDVClipSequenceId::nextId()->hostId(), "localhost");
    setHostNameForTesting([] { return std::string("edit-bay"); });
    EXPECT_EQ(std::make_shared<DVMovieSnapshotId>(9, 1.5)->hostId(), "edit-bay");
    EXPECT_EQ(TLDVClipSequenceId::currentId(), 2);  // initNextWithIndex:date: draws no number
}

TEST_F(SequenceIds, ResetActsOnlyOnceTheCounterWasUsedInThisProcess) {
    UserDefaults::standardUserDefaults().setInteger(41, kSequenceStoreKey);
    TLDVClipSequenceId::resetId();
    DVMovieSnapshotId::resetId(7);
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 41);

    EXPECT_EQ(TLDVClipSequenceId::nextId()->indexId(), 42);
    DVMovieSnapshotId::resetId();
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 0);
    EXPECT_EQ(TLDVClipSequenceId::nextId()->indexId(), 1);
    TLDVClipSequenceId::resetId(4294967295u);  // stored bit for bit into the signed counter
    EXPECT_EQ(storedInteger(kSequenceStoreKey), -1);
    EXPECT_EQ(DVMovieSnapshotId::nextId()->indexId(), 0);

    // A value built from its parts, or asking currentId, obtains the counter too.
    startNewProcess();
    sequence("h", 1, 1.0);
    TLDVClipSequenceId::resetId(99);
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 99);
    startNewProcess();
    EXPECT_EQ(TLDVClipSequenceId::currentId(), 99);
    TLDVClipSequenceId::resetId();
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 0);
}

TEST_F(SequenceIds, TextsPrintDatesWithSixDecimals) {
    const auto s = sequence("studio-mac.local", 7, 1199145600.25);
    EXPECT_EQ(s->stringId(), "Sequence.studio-mac.local-7-1199145600.250000");
    EXPECT_EQ(s->shortStringId(), "7-1199145600.250000");
    EXPECT_EQ(s->name(), "Sequence-7");
    EXPECT_EQ(s->description(), s->stringId());

    const auto p = snapshot("studio-mac.local", 7, 1199145600.25);
    EXPECT_EQ(p->stringId(), "Snapshot.studio-mac.local-7-1199145600.250000");
    EXPECT_EQ(p->name(), "Snapshot-7");
    EXPECT_EQ(p->shortStringId(), s->shortStringId());

    EXPECT_EQ(sequence("h", 12, 1199145600)->shortStringId(), "12-1199145600.000000");
    EXPECT_EQ(sequence("h", -3, 0.0000004)->stringId(), "Sequence.h--3-0.000000");
}

TEST_F(SequenceIds, EqualityIsOneSidedAndComparesAllThreeParts) {
    const auto s = sequence("studio-mac.local", 7, 1199145600.25);
    const auto p = snapshot("studio-mac.local", 7, 1199145600.25);
    EXPECT_TRUE(s->isEqual(p.get()));
    EXPECT_FALSE(p->isEqual(s.get()));
    EXPECT_TRUE(p->isEqual(snapshot("studio-mac.local", 7, 1199145600.25).get()));

    EXPECT_FALSE(s->isEqual(sequence("studio-mac.local", 8, 1199145600.25).get()));
    EXPECT_FALSE(s->isEqual(sequence("studio-mac.local", 7, 1199145600.2500002).get()));
    EXPECT_FALSE(s->isEqual(sequence("Studio-mac.local", 7, 1199145600.25).get()));
    EXPECT_FALSE(s->isEqual(nullptr));
    EXPECT_FALSE(s->isEqual(str(s->stringId()).get()));
    EXPECT_TRUE(sequence("", 0, 0.0)->isEqual(sequence("", 0, -0.0).get()));

    EXPECT_EQ(s->hash(), sequence("studio-mac.local", 7, 1199145600.25)->hash());
    EXPECT_EQ(s->hash(), stringHash(s->stringId()));
}

TEST_F(SequenceIds, ChangingTheHostKeepsTheCachedStringId) {
    const auto s = sequence("studio-mac.local", 7, 1199145600.25);
    const std::string before = s->stringId();
    const uint32_t hash = s->hash();
    s->setHostId("other");
    EXPECT_EQ(s->hostId(), "other");
    EXPECT_EQ(s->stringId(), before);
    EXPECT_EQ(s->hash(), hash);
    EXPECT_FALSE(s->isEqual(sequence("studio-mac.local", 7, 1199145600.25).get()));

    const auto fresh = sequence("a", 1, 1.0);
    fresh->setHostId("b");  // not yet cached: the new host shows
    EXPECT_EQ(fresh->stringId(), "Sequence.b-1-1.000000");
}

TEST_F(SequenceIds, CopiesKeepClassAndFieldsWithoutDrawingNumbers) {
    const auto s = TLDVClipSequenceId::nextId();
    const Ref<TLDVClipSequenceId> p = DVMovieSnapshotId::nextId();
    for (const Ref<TLDVClipSequenceId>& original : {s, p}) {
        const auto copied = kindCast<TLDVClipSequenceId>(original->copy());
        ASSERT_TRUE(copied);
        EXPECT_NE(copied.get(), original.get());
        EXPECT_EQ(copied->className(), original->className());
        EXPECT_TRUE(copied->isEqual(original.get()));
        EXPECT_TRUE(original->isEqual(copied.get()));
        EXPECT_EQ(copied->stringId(), original->stringId());
    }
    EXPECT_EQ(TLDVClipSequenceId::currentId(), 2);
}

TEST_F(SequenceIds, ArchivesKeepClassAndFieldsAndLeaveTheCounterAlone) {
    const std::vector<Ref<TLDVClipSequenceId>> values = {
        sequence("studio-mac.local", 7, 1199145600.25), snapshot("edit-bay", -2147483647 - 1, -1e300),
        sequence("", 2147483647, 0.1), snapshot("ünïcödé host", 0, 1199145600.123456789)};
    UserDefaults::standardUserDefaults().setInteger(12, kSequenceStoreKey);
    startNewProcess();
    for (const auto& value : values) {
        const auto back = kindCast<TLDVClipSequenceId>(archiveRoundTrip(*value));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->className(), value->className());
        EXPECT_TRUE(back->isEqual(value.get()));
        EXPECT_EQ(back->hostId(), value->hostId());
        EXPECT_EQ(back->stringId(), value->stringId());
    }
    // Reading obtained no generator, so a reset still finds nothing to reset.
    TLDVClipSequenceId::resetId();
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 12);
}

// Run by ContinuedByAnotherProcess in a child process of its own.
TEST(SequenceIdsChild, DrawOneSnapshotId) {
    if (!std::getenv("OSSEL_IDS_CHILD")) GTEST_SKIP() << "runs only as the child of ContinuedByAnotherProcess";
    setHostNameForTesting([] { return std::string("child-host"); });
    setClockForTesting([] { return 1.0; });
    std::printf("drawn=%d\n", DVMovieSnapshotId::nextId()->indexId());
}

TEST_F(SequenceIds, ContinuedByAnotherProcess) {
    TLDVClipSequenceId::nextId();
    TLDVClipSequenceId::nextId();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string run = "OSSEL_IDS_CHILD=1 OSSEL_DEFAULTS='" + defaultsPath() + "' '" + self +
                            "' --gtest_filter=SequenceIdsChild.DrawOneSnapshotId 2>&1";
    FILE* pipe = ::popen(run.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    EXPECT_EQ(::pclose(pipe), 0) << output;
    EXPECT_NE(output.find("drawn=3\n"), std::string::npos) << output;
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 3);
}
