#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "support/TestEnvironment.h"
#include "foundation/Archiver.h"
#include "ids/DVClipId.h"
#include "ids/DVMovieSnapshotId.h"
#include "ids/TLDVClipSequenceId.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

class ClipIds : public TestEnvironment {};

Ref<TLDVClipSequenceId> sequence7() {
    return std::make_shared<TLDVClipSequenceId>("studio-mac.local", 7, 1199145600.25);
}
Ref<DVClipId> clip(Ref<TLDVClipSequenceId> s, int index) { return std::make_shared<DVClipId>(std::move(s), index); }

// Written as an archive of a version of the class before parents existed: the
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
    registerArchivableClass("DVClipId", version, [](Decoder& d) -> Ref<Object> { return DVClipId::initWithCoder(d); });
    auto bytes = Coder::archivedDataWithRootObject(&root);
    registerArchivableClass("DVClipId", DVClipIdClassVersion,
                            [](Decoder& d) -> Ref<Object> { return DVClipId::initWithCoder(d); });
    return bytes;
}

}  // namespace

TEST_F(ClipIds, OneCounterForAllClipsWhateverTheirSequence) {
    EXPECT_EQ(DVClipId::nextId()->indexId(), 1);
    EXPECT_EQ(DVClipId::nextId()->indexId(), 2);
    const auto inSequence = DVClipId::nextIdInSequence(sequence7());
    EXPECT_EQ(inSequence->indexId(), 3);
    EXPECT_EQ(std::make_shared<DVClipId>(nullptr)->indexId(), 4);
    EXPECT_EQ(storedInteger(kClipStoreKey), 4);
    EXPECT_FALSE(storedInteger(kSequenceStoreKey));  // building a sequence from parts draws nothing

    startNewProcess();
    EXPECT_EQ(DVClipId::nextId()->indexId(), 5);
    DVClipId::resetId();
    EXPECT_EQ(storedInteger(kClipStoreKey), 0);
    EXPECT_EQ(DVClipId::nextId()->indexId(), 1);

    // Unlike sequence ids, a reset acts even before any clip id was made.
    startNewProcess();
    DVClipId::resetId();
    EXPECT_EQ(storedInteger(kClipStoreKey), 0);
}

TEST_F(ClipIds, ChildrenTakeTheProcessCounterAndTheClock) {
    const auto parent = DVClipId::nextIdInSequence(sequence7());
    const auto first = parent->childClipId();
    const auto second = parent->childClipId();
    EXPECT_EQ(first->childIntUid(), 0);
    EXPECT_EQ(second->childIntUid(), 1);
    EXPECT_EQ(nextChildIntUid, 2);
    for (const auto& child : {first, second}) {
        EXPECT_TRUE(child->isChildClip());
        EXPECT_EQ(child->childDateUid(), kTestNow);
        EXPECT_EQ(child->indexId(), parent->indexId());
        EXPECT_EQ(child->sequenceId(), parent->sequenceId());  // the same object
        EXPECT_EQ(child->parentClipId(), parent);
        EXPECT_EQ(child->parentLookUpStringId(), parent->stringId());
        EXPECT_EQ(child->displayedChildIndex(), DVClipChildIndexNoSet);
    }
    EXPECT_FALSE(parent->isChildClip());
    EXPECT_EQ(storedInteger(kClipStoreKey), 1);

    const auto grandchild = second->childClipIdWithDateUid(5.5, 9);
    EXPECT_EQ(grandchild->rootParentClipId(), parent);
    EXPECT_EQ(parent->rootParentClipId(), parent);
    EXPECT_EQ(nextChildIntUid, 2);

    // A clip id not held by a Ref still makes children, with a copy of itself as parent.
    DVClipId local(sequence7(), 3);
    const auto orphan = local.childClipIdWithDateUid(1, 2);
    ASSERT_TRUE(orphan->parentClipId());
    EXPECT_TRUE(orphan->parentClipId()->isEqual(&local));
    EXPECT_TRUE(local.rootParentClipId()->isEqual(&local));
}

TEST_F(ClipIds, TextsInAllFourVariants) {
    const auto plain = clip(sequence7(), 3);
    EXPECT_EQ(plain->stringId(), "Clip-Sequence.studio-mac.local-7-1199145600.250000.3");
    EXPECT_EQ(plain->shortStringId(), "Clip-7.3");
    EXPECT_EQ(plain->name(), "Clip-7.3");
    EXPECT_EQ(plain->description(), plain->stringId());

    const auto child = plain->childClipIdWithDateUid(1199149200.5, 0);
    EXPECT_EQ(child->stringId(), "Clip-Sequence.studio-mac.local-7-1199145600.250000.3-1199149200.50000000:0");
    EXPECT_EQ(child->shortStringId(), "Clip-1199145600.25000000-7.3-1199149200.50000000:0");
    EXPECT_EQ(child->name(), "Clip-7.3/0");

    const auto alone = clip(nullptr, 3);
    EXPECT_EQ(alone->stringId(), "Clip-3");
    EXPECT_EQ(alone->shortStringId(), "Clip-3");
    EXPECT_EQ(alone->name(), "Clip-3");
    const auto aloneChild = alone->childClipIdWithDateUid(-0.125, -4);
    EXPECT_EQ(aloneChild->stringId(), "Clip-3--0.12500000:-4");
    EXPECT_EQ(aloneChild->shortStringId(), "Clip-3--0.12500000:-4");
    EXPECT_EQ(aloneChild->name(), "Clip-3/0");

    // Only an attached parent selects the child forms.
    auto lookUpOnly = clip(sequence7(), 3);
    lookUpOnly->setParentLookUpStringId("Clip-Sequence.elsewhere-1-1.000000.2");
    EXPECT_TRUE(lookUpOnly->isChildClip());
    EXPECT_EQ(lookUpOnly->stringId(), plain->stringId());
    EXPECT_EQ(lookUpOnly->name(), "Clip-7.3");
}

TEST_F(ClipIds, SettersClearOnlyTheirTexts) {
    const auto child = clip(sequence7(), 3)->childClipIdWithDateUid(1199149200.5, 0);
    const std::string stringId = child->stringId();
    const std::string shortId = child->shortStringId();
    EXPECT_EQ(child->name(), "Clip-7.3/0");
    child->setDisplayedChildIndex(2);
    EXPECT_EQ(child->name(), "Clip-7.3/2");
    EXPECT_EQ(child->stringId(), stringId);
    EXPECT_EQ(child->shortStringId(), shortId);

    // setParentClipId does not clear: the texts cached as a child stay.
    child->setParentClipId(nullptr);
    EXPECT_FALSE(child->isChildClip());
    EXPECT_EQ(child->stringId(), stringId);
    EXPECT_FALSE(child->parentLookUpStringId());

    child->setSequenceId(std::make_shared<DVMovieSnapshotId>("bay", 8, 2.5));
    EXPECT_EQ(child->stringId(), "Clip-Snapshot.bay-8-2.500000.3");
    EXPECT_EQ(child->shortStringId(), "Clip-8.3");
    EXPECT_EQ(child->name(), "Clip-8.3");
    child->setSequenceId(nullptr);
    EXPECT_EQ(child->stringId(), "Clip-3");
}

TEST_F(ClipIds, EqualityIgnoresTheParentLinkAndLetsTheOthersSequenceJudge) {
    const auto parent = clip(sequence7(), 3);
    const auto twin = parent->childClipIdWithDateUid(0, 0);
    EXPECT_TRUE(twin->isEqual(parent.get()));
    EXPECT_TRUE(parent->isEqual(twin.get()));
    EXPECT_NE(twin->stringId(), parent->stringId());

    EXPECT_FALSE(parent->isEqual(parent->childClipIdWithDateUid(0, 1).get()));
    EXPECT_FALSE(parent->isEqual(parent->childClipIdWithDateUid(1e-9, 0).get()));
    EXPECT_FALSE(parent->isEqual(clip(sequence7(), 4).get()));
    EXPECT_FALSE(parent->isEqual(clip(nullptr, 3).get()));
    EXPECT_FALSE(clip(nullptr, 3)->isEqual(parent.get()));
    EXPECT_TRUE(clip(nullptr, 3)->isEqual(clip(nullptr, 3).get()));
    EXPECT_FALSE(parent->isEqual(nullptr));
    EXPECT_FALSE(parent->isEqual(sequence7().get()));

    auto displayed = clip(sequence7(), 3);
    displayed->setDisplayedChildIndex(5);
    displayed->setParentLookUpStringId("anything");
    EXPECT_TRUE(displayed->isEqual(parent.get()));

    // The other's sequence decides: a snapshot accepts no plain sequence as its equal.
    const auto inSnapshot = clip(std::make_shared<DVMovieSnapshotId>("studio-mac.local", 7, 1199145600.25), 3);
    EXPECT_FALSE(parent->isEqual(inSnapshot.get()));
    EXPECT_TRUE(inSnapshot->isEqual(parent.get()));
}

// Equal clip ids must hash alike, or hashed containers lose them: the hash
// takes exactly what equality compares.
TEST_F(ClipIds, EqualClipIdsHashAlikeAndWorkAsHashedKeys) {
    const auto parent = clip(sequence7(), 3);
    // A sequence whose cached text still names its old host.
    auto hostChanged = std::make_shared<TLDVClipSequenceId>("old-host", 7, 1199145600.25);
    (void)hostChanged->stringId();
    hostChanged->setHostId("studio-mac.local");
    const std::vector<std::pair<Ref<DVClipId>, Ref<DVClipId>>> equalPairs = {
        {parent, parent->childClipIdWithDateUid(0, 0)},
        {parent, kindCast<DVClipId>(parent->copy())},
        {parent, clip(hostChanged, 3)},
        {parent, clip(std::make_shared<DVMovieSnapshotId>("studio-mac.local", 7, 1199145600.25), 3)},
        {parent->childClipIdWithDateUid(0.0, 1), clip(sequence7(), 3)->childClipIdWithDateUid(-0.0, 1)},
        {parent->childClipIdWithDateUid(7.5, 2), DVClipId::childClipIdWithSequence(sequence7(), 3, 7.5, 2, "x")},
    };
    for (const auto& [a, b] : equalPairs) {
        ASSERT_TRUE(a->isEqual(b.get()) || b->isEqual(a.get())) << a->stringId() << " / " << b->stringId();
        EXPECT_EQ(a->hash(), b->hash()) << a->stringId() << " / " << b->stringId();
    }

    std::unordered_set<Ref<Object>, ObjectHash, ObjectEqual> set;
    set.insert(parent);
    EXPECT_EQ(set.count(parent->childClipIdWithDateUid(0, 0)), 1u);
    EXPECT_EQ(set.count(parent->copy()), 1u);
    EXPECT_EQ(set.count(parent->childClipIdWithDateUid(0, 1)), 0u);

    // Distinct clips spread: a thousand neighbours in one sequence give a thousand hashes.
    std::unordered_set<uint32_t> hashes;
    const auto s = sequence7();
    for (int i = 0; i < 1000; ++i) hashes.insert(clip(s, i)->hash());
    EXPECT_EQ(hashes.size(), 1000u);
}

TEST_F(ClipIds, CopiesShareTheParentCopyTheSequenceAndDrawNothing) {
    const auto parent = DVClipId::nextIdInSequence(TLDVClipSequenceId::nextId());
    auto child = parent->childClipIdWithDateUid(1199149200.5, 4);
    child->setDisplayedChildIndex(3);
    const auto copied = kindCast<DVClipId>(child->copy());
    ASSERT_TRUE(copied);
    EXPECT_TRUE(copied->isEqual(child.get()));
    EXPECT_EQ(copied->parentClipId(), parent);  // the same parent object
    EXPECT_NE(copied->sequenceId(), child->sequenceId());
    EXPECT_TRUE(copied->sequenceId()->isEqual(child->sequenceId().get()));
    EXPECT_EQ(copied->displayedChildIndex(), 3);
    EXPECT_EQ(copied->name(), child->name());
    EXPECT_EQ(copied->stringId(), child->stringId());
    EXPECT_EQ(storedInteger(kClipStoreKey), 1);
    EXPECT_EQ(storedInteger(kSequenceStoreKey), 1);

    auto lookUpOnly = clip(nullptr, 9);
    lookUpOnly->setParentLookUpStringId("Clip-8");
    const auto copiedLookUp = kindCast<DVClipId>(lookUpOnly->copy());
    EXPECT_EQ(copiedLookUp->parentLookUpStringId(), "Clip-8");
    EXPECT_FALSE(copiedLookUp->parentClipId());
    EXPECT_FALSE(copiedLookUp->sequenceId());
}

TEST_F(ClipIds, ArchivesCarryChildrenWithTheirParents) {
    const auto parent = clip(sequence7(), 3);
    const auto child = parent->childClipIdWithDateUid(1199149200.5, 6);
    const auto grandchild = child->childClipIdWithDateUid(-2.75, -1);
    grandchild->setDisplayedChildIndex(4);
    UserDefaults::standardUserDefaults().setInteger(20, kClipStoreKey);
    startNewProcess();

    const auto back = kindCast<DVClipId>(archiveRoundTrip(*grandchild));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(grandchild.get()));
    EXPECT_EQ(back->childDateUid(), -2.75);
    EXPECT_EQ(back->childIntUid(), -1);
    EXPECT_TRUE(back->isChildClip());
    EXPECT_FALSE(back->parentLookUpStringId());
    EXPECT_EQ(back->displayedChildIndex(), DVClipChildIndexNoSet);
    EXPECT_EQ(back->stringId(), grandchild->stringId());
    ASSERT_TRUE(back->parentClipId());
    EXPECT_TRUE(back->parentClipId()->isEqual(child.get()));
    EXPECT_EQ(back->parentClipId()->stringId(), child->stringId());
    EXPECT_TRUE(back->rootParentClipId()->isEqual(parent.get()));
    EXPECT_FALSE(back->rootParentClipId()->isChildClip());
    EXPECT_EQ(storedInteger(kClipStoreKey), 20);

    // Every truncation of the archive is refused or read, never a crash.
    const auto bytes = Coder::archivedDataWithRootObject(grandchild.get());
    for (size_t length = 0; length < bytes.size(); ++length) {
        const auto partial = kindCast<DVClipId>(Decoder::unarchiveObjectWithData(std::span(bytes.data(), length)));
        if (partial) (void)partial->stringId();
    }

    const auto plain = kindCast<DVClipId>(archiveRoundTrip(*clip(nullptr, -1)));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->indexId(), DVClipIndexInSequenceNoSet);
    EXPECT_FALSE(plain->sequenceId());
    EXPECT_FALSE(plain->isChildClip());
}

TEST_F(ClipIds, ArchivesOfOlderVersionsReadWithoutParents) {
    const auto s = std::make_shared<DVMovieSnapshotId>("bay", 8, 2.5);
    const auto old = archiveAsVersion(119, ClipIdBeforeParents(5, s));
    const auto back = kindCast<DVClipId>(Decoder::unarchiveObjectWithData(old));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->indexId(), 5);
    ASSERT_TRUE(back->sequenceId());
    EXPECT_EQ(back->sequenceId()->className(), "DVMovieSnapshotId");
    EXPECT_TRUE(back->sequenceId()->isEqual(s.get()));
    EXPECT_FALSE(back->isChildClip());
    EXPECT_EQ(back->childDateUid(), 0.0);
    EXPECT_EQ(back->childIntUid(), 0);

    // Version 120 is the first with the parent part.
    const auto child = clip(s, 5)->childClipIdWithDateUid(3.5, 2);
    const auto at120 = kindCast<DVClipId>(Decoder::unarchiveObjectWithData(archiveAsVersion(120, *child)));
    ASSERT_TRUE(at120);
    EXPECT_TRUE(at120->isChildClip());
    EXPECT_EQ(at120->childIntUid(), 2);

    // The current archives record version 180.
    const auto bytes = Coder::archivedDataWithRootObject(child.get());
    Decoder current(bytes);
    EXPECT_TRUE(current.decodeObject());
    EXPECT_EQ(current.versionForClassName("DVClipId"), 180);
    EXPECT_EQ(classVersion("DVClipId"), 180);
}
