#include <gtest/gtest.h>

#include <unordered_set>

#include "support/TestEnvironment.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class ClipIds : public TestEnvironment {};

Ref<DVClipId> clip(Ref<TLDVClipSequenceId> s, int index) { return std::make_shared<DVClipId>(std::move(s), index); }

// An archive as a version of the class before parents existed wrote it: the
// index and the sequence only, under the class name "DVClipId".
class ClipIdBeforeParents : public Object {
public:
    ClipIdBeforeParents(int32_t index, Ref<TLDVClipSequenceId> s) : index_(index), sequence_(std::move(s)) {}
    std::string className() const override { return "DVClipId"; }
    void encodeWithCoder(Coder& coder) const override {
        coder.encodeInt32(index_);
        coder.encodeObject(sequence_.get());
    }

private:
    int32_t index_;
    Ref<TLDVClipSequenceId> sequence_;
};

std::vector<uint8_t> archiveAsVersion(int32_t version, const Object& root) {
    const auto read = [](Decoder& d) -> Ref<Object> { return DVClipId::initWithCoder(d); };
    registerArchivableClass("DVClipId", version, read);
    auto bytes = Coder::archivedDataWithRootObject(&root);
    registerArchivableClass("DVClipId", DVClipIdClassVersion, read);
    return bytes;
}

}  // namespace

TEST_F(ClipIds, OneCounterForAllClipsAndAProcessCounterForChildren) {
    EXPECT_EQ(DVClipId::nextId()->indexId(), 1);
    const auto parent = DVClipId::nextIdInSequence(sequence7());
    EXPECT_EQ(parent->indexId(), 2);
    EXPECT_EQ(storedInteger(kClipStoreKey), 2);
    EXPECT_FALSE(storedInteger(kSequenceStoreKey));  // building a sequence from parts draws nothing

    const auto first = parent->childClipId();
    const auto second = parent->childClipId();
    EXPECT_EQ(first->childIntUid(), 0);
    EXPECT_EQ(second->childIntUid(), 1);
    EXPECT_EQ(second->childDateUid(), kTestNow);
    EXPECT_EQ(second->sequenceId(), parent->sequenceId());  // the same object
    EXPECT_EQ(second->parentLookUpStringId(), parent->stringId());
    EXPECT_EQ(second->childClipIdWithDateUid(5.5, 9)->rootParentClipId(), parent);
    EXPECT_EQ(nextChildIntUid, 2);
    EXPECT_EQ(storedInteger(kClipStoreKey), 2);
    // A clip id not held by a Ref still makes children, with a copy of itself as parent.
    DVClipId local(sequence7(), 3);
    EXPECT_TRUE(local.childClipIdWithDateUid(1, 2)->parentClipId()->isEqual(&local));

    startNewProcess();
    DVClipId::resetId();  // unlike sequence ids, before any clip id was made
    EXPECT_EQ(storedInteger(kClipStoreKey), 0);
}

TEST_F(ClipIds, TextsInAllFourVariantsAndWhichSettersClearThem) {
    const auto plain = clip(sequence7(), 3);
    EXPECT_EQ(plain->stringId(), "Clip-Sequence.studio-mac.local-7-1199145600.250000.3");
    EXPECT_EQ(plain->shortStringId(), "Clip-7.3");
    EXPECT_EQ(clip(nullptr, 3)->stringId(), "Clip-3");
    EXPECT_EQ(clip(nullptr, 3)->childClipIdWithDateUid(-0.125, -4)->stringId(), "Clip-3--0.12500000:-4");
    const auto child = plain->childClipIdWithDateUid(1199149200.5, 0);
    EXPECT_EQ(child->stringId(), "Clip-Sequence.studio-mac.local-7-1199145600.250000.3-1199149200.50000000:0");
    EXPECT_EQ(child->shortStringId(), "Clip-1199145600.25000000-7.3-1199149200.50000000:0");
    EXPECT_EQ(child->name(), "Clip-7.3/0");

    const std::string stringId = child->stringId();
    child->setDisplayedChildIndex(2);
    EXPECT_EQ(child->name(), "Clip-7.3/2");
    child->setParentClipId(nullptr);  // clears nothing: the texts cached as a child stay
    EXPECT_FALSE(child->isChildClip());
    EXPECT_EQ(child->stringId(), stringId);
    child->setSequenceId(std::make_shared<DVMovieSnapshotId>("bay", 8, 2.5));
    EXPECT_EQ(child->stringId(), "Clip-Snapshot.bay-8-2.500000.3");
    EXPECT_EQ(child->name(), "Clip-8.3");

    // Only an attached parent selects the child forms.
    auto lookUpOnly = clip(sequence7(), 3);
    lookUpOnly->setParentLookUpStringId("Clip-Sequence.elsewhere-1-1.000000.2");
    EXPECT_TRUE(lookUpOnly->isChildClip());
    EXPECT_EQ(lookUpOnly->stringId(), plain->stringId());
}

// Equality ignores the parent link, and the other's sequence judges; equal
// clip ids must hash alike, or hashed containers lose them.
TEST_F(ClipIds, EqualClipIdsHashAlikeAndWorkAsHashedKeys) {
    const auto parent = clip(sequence7(), 3);
    const auto inSnapshot = clip(std::make_shared<DVMovieSnapshotId>("studio-mac.local", 7, kTestNow), 3);
    EXPECT_FALSE(parent->isEqual(inSnapshot.get()));
    EXPECT_TRUE(inSnapshot->isEqual(parent.get()));
    for (const auto& other : {parent->childClipIdWithDateUid(0, 1), parent->childClipIdWithDateUid(1e-9, 0),
                              clip(sequence7(), 4), clip(nullptr, 3)}) {
        EXPECT_FALSE(parent->isEqual(other.get()) || other->isEqual(parent.get())) << other->stringId();
    }
    // A sequence whose cached text still names its old host.
    auto hostChanged = std::make_shared<TLDVClipSequenceId>("old-host", 7, kTestNow);
    (void)hostChanged->stringId();
    hostChanged->setHostId("studio-mac.local");
    auto displayed = clip(sequence7(), 3);
    displayed->setDisplayedChildIndex(5);
    displayed->setParentLookUpStringId("anything");
    const std::vector<std::pair<Ref<DVClipId>, Ref<DVClipId>>> equalPairs = {
        {parent, parent->childClipIdWithDateUid(0, 0)},
        {parent, clip(hostChanged, 3)},
        {parent, inSnapshot},
        {parent, displayed},
        {parent->childClipIdWithDateUid(0.0, 1), clip(sequence7(), 3)->childClipIdWithDateUid(-0.0, 1)},
        {parent->childClipIdWithDateUid(7.5, 2), DVClipId::childClipIdWithSequence(sequence7(), 3, 7.5, 2, "x")},
    };
    for (const auto& [a, b] : equalPairs) {
        ASSERT_TRUE(a->isEqual(b.get()) || b->isEqual(a.get())) << a->stringId() << " / " << b->stringId();
        EXPECT_EQ(a->hash(), b->hash()) << a->stringId() << " / " << b->stringId();
    }
    std::unordered_set<Ref<Object>, ObjectHash, ObjectEqual> set{parent};
    EXPECT_EQ(set.count(parent->childClipIdWithDateUid(0, 0)), 1u);
    EXPECT_EQ(set.count(parent->childClipIdWithDateUid(0, 1)), 0u);
    std::unordered_set<uint32_t> hashes;  // neighbours in one sequence spread
    for (int i = 0; i < 1000; ++i) hashes.insert(clip(parent->sequenceId(), i)->hash());
    EXPECT_EQ(hashes.size(), 1000u);
}

TEST_F(ClipIds, CopiesAndArchivesCarryChildrenWithTheirParents) {
    const auto parent = DVClipId::nextIdInSequence(TLDVClipSequenceId::nextId());
    const auto child = parent->childClipIdWithDateUid(1199149200.5, 6);
    const auto grandchild = child->childClipIdWithDateUid(-2.75, -1);
    grandchild->setDisplayedChildIndex(4);
    const auto copied = kindCast<DVClipId>(grandchild->copy());
    EXPECT_EQ(copied->parentClipId(), child);  // the same parent object
    EXPECT_NE(copied->sequenceId(), grandchild->sequenceId());
    EXPECT_EQ(copied->displayedChildIndex(), 4);
    EXPECT_EQ(copied->stringId(), grandchild->stringId());

    startNewProcess();
    const auto back = kindCast<DVClipId>(archiveRoundTrip(*grandchild));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(grandchild.get()));
    EXPECT_EQ(back->stringId(), grandchild->stringId());
    EXPECT_EQ(back->displayedChildIndex(), DVClipChildIndexNoSet);
    ASSERT_TRUE(back->parentClipId());
    EXPECT_EQ(back->parentClipId()->stringId(), child->stringId());
    EXPECT_EQ(back->rootParentClipId()->stringId(), parent->stringId());
    EXPECT_EQ(storedInteger(kClipStoreKey), 1);  // copies and reading draw nothing
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 1);
}

TEST_F(ClipIds, ArchivesOfOlderVersionsReadWithoutParents) {
    const auto s = std::make_shared<DVMovieSnapshotId>("bay", 8, 2.5);
    const auto back = kindCast<DVClipId>(Decoder::unarchiveObjectWithData(archiveAsVersion(119, ClipIdBeforeParents(5, s))));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->indexId(), 5);
    EXPECT_EQ(back->sequenceId()->className(), "DVMovieSnapshotId");
    EXPECT_TRUE(back->sequenceId()->isEqual(s.get()));
    EXPECT_FALSE(back->isChildClip());
    // Version 120 is the first with the parent part.
    const auto child = clip(s, 5)->childClipIdWithDateUid(3.5, 2);
    const auto at120 = kindCast<DVClipId>(Decoder::unarchiveObjectWithData(archiveAsVersion(120, *child)));
    ASSERT_TRUE(at120);
    EXPECT_EQ(at120->childIntUid(), 2);
}
