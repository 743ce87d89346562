#include <gtest/gtest.h>

#include "support/TestEnvironment.h"

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

TEST_F(SequenceIds, SequenceAndSnapshotIdsShareOneCounterWithTheClockAndHost) {
    const auto first = TLDVClipSequenceId::nextId();
    EXPECT_EQ(first->indexId(), 1);
    EXPECT_EQ(first->dateId(), kTestNow);
    EXPECT_EQ(first->hostId(), "studio-mac.local");
    EXPECT_EQ(DVMovieSnapshotId::nextId()->indexId(), 2);
    setHostNameForTesting([] { return std::string(); });  // asked for every id
    EXPECT_EQ(std::make_shared<TLDVClipSequenceId>()->hostId(), "localhost");
    EXPECT_EQ(std::make_shared<DVMovieSnapshotId>(9, 1.5)->indexId(), 9);  // draws no number
    EXPECT_EQ(DVMovieSnapshotId::currentId(), 3);
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 3);
    EXPECT_FALSE(storedInteger(kClipStoreKey));  // clip ids count apart

    startNewProcess();
    EXPECT_EQ(DVMovieSnapshotId::nextId()->indexId(), 4);
}

TEST_F(SequenceIds, ResetActsOnlyOnceTheCounterWasUsedInThisProcess) {
    UserDefaults::standardUserDefaults().setInteger(41, kSequenceStoreKey);
    TLDVClipSequenceId::resetId();
    DVMovieSnapshotId::resetId(7);
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 41);
    EXPECT_EQ(TLDVClipSequenceId::nextId()->indexId(), 42);
    DVMovieSnapshotId::resetId(4294967295u);  // stored bit for bit into the signed counter
    EXPECT_EQ(storedInteger(kSequenceStoreKey), -1);
    EXPECT_EQ(TLDVClipSequenceId::nextId()->indexId(), 0);
    // A value built from its parts obtains the counter too.
    startNewProcess();
    sequence("h", 1, 1.0);
    TLDVClipSequenceId::resetId();
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 0);
}

TEST_F(SequenceIds, TextsPrintDatesWithSixDecimals) {
    const auto s = sequence("studio-mac.local", 7, 1199145600.25);
    EXPECT_EQ(s->stringId(), "Sequence.studio-mac.local-7-1199145600.250000");
    EXPECT_EQ(s->shortStringId(), "7-1199145600.250000");
    EXPECT_EQ(s->name(), "Sequence-7");
    const auto p = snapshot("studio-mac.local", 7, 1199145600.25);
    EXPECT_EQ(p->stringId(), "Snapshot.studio-mac.local-7-1199145600.250000");
    EXPECT_EQ(p->name(), "Snapshot-7");
    EXPECT_EQ(sequence("h", -3, 0.0000004)->stringId(), "Sequence.h--3-0.000000");
    // Changing the host once the text is cached keeps the text and the hash.
    const uint32_t hash = s->hash();
    s->setHostId("other");
    EXPECT_EQ(s->stringId(), "Sequence.studio-mac.local-7-1199145600.250000");
    EXPECT_EQ(s->hash(), hash);
    const auto fresh = sequence("a", 1, 1.0);
    fresh->setHostId("b");
    EXPECT_EQ(fresh->stringId(), "Sequence.b-1-1.000000");
}

TEST_F(SequenceIds, EqualityIsOneSidedAndComparesAllThreeParts) {
    const auto s = sequence("studio-mac.local", 7, 1199145600.25);
    const auto p = snapshot("studio-mac.local", 7, 1199145600.25);
    EXPECT_TRUE(s->isEqual(p.get()));
    EXPECT_FALSE(p->isEqual(s.get()));
    for (const auto& other : {sequence("studio-mac.local", 8, 1199145600.25),
                              sequence("studio-mac.local", 7, 1199145600.2500002),
                              sequence("Studio-mac.local", 7, 1199145600.25)}) {
        EXPECT_FALSE(s->isEqual(other.get())) << other->stringId();
    }
    EXPECT_FALSE(s->isEqual(str(s->stringId()).get()));
    EXPECT_EQ(s->hash(), stringHash(s->stringId()));
}

TEST_F(SequenceIds, CopiesAndArchivesKeepClassAndFieldsAndDrawNothing) {
    const std::vector<Ref<TLDVClipSequenceId>> values = {
        TLDVClipSequenceId::nextId(), DVMovieSnapshotId::nextId(), snapshot("edit-bay", INT32_MIN, -1e300),
        sequence("", INT32_MAX, 0.1), snapshot("ünïcödé host", 0, 1199145600.123456789)};
    startNewProcess();
    const auto check = [](const Ref<TLDVClipSequenceId>& value, const Ref<Object>& read) {
        const auto back = kindCast<TLDVClipSequenceId>(read);
        ASSERT_TRUE(back);
        EXPECT_NE(back.get(), value.get());
        EXPECT_EQ(back->className(), value->className());
        EXPECT_TRUE(back->isEqual(value.get()) && value->isEqual(back.get())) << value->stringId();
        EXPECT_EQ(back->stringId(), value->stringId());
    };
    for (const auto& value : values) check(value, archiveRoundTrip(*value));
    // Reading obtained no generator, so a reset still finds nothing to reset.
    TLDVClipSequenceId::resetId();
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 2);
    for (const auto& value : values) check(value, value->copy());
}
