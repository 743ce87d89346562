#include "ids/DVClipId.h"

#include <bit>
#include <cstring>

#include "base/TLEquals.h"
#include "foundation/Archiver.h"
#include "foundation/Clock.h"
#include "foundation/Format.h"
#include "foundation/String.h"
#include "ids/TLIdGenerator.h"

namespace ossel {

int32_t nextChildIntUid = 0;

namespace {

struct GeneratorSlot {
    Ref<TLIdGenerator> generator;
    uint64_t generation = 0;
};

// Obtained on first need and held for the process; obtained again after a
// registry reset (tests only), as a fresh process would.
TLIdGenerator& clipIdGenerator() {
    static GeneratorSlot s;
    if (!s.generator || s.generation != TLIdGenerator::registryGeneration()) {
        s.generator = TLIdGenerator::generatorForKey(DVClipIdGeneratorKey);
        s.generation = TLIdGenerator::registryGeneration();
    }
    return *s.generator;
}

// Equal doubles hash alike: 0.0 and -0.0 compare equal, so they must share bits.
uint32_t doubleHash(double value) {
    const uint64_t bits = std::bit_cast<uint64_t>(value == 0.0 ? 0.0 : value);
    return static_cast<uint32_t>(bits ^ (bits >> 32));
}

uint32_t combine(uint32_t h, uint32_t field) { return h * 31u + field; }

[[maybe_unused]] const bool registered = [] {
    registerArchivableClass("DVClipId", DVClipIdClassVersion,
                            [](Decoder& decoder) -> Ref<Object> { return DVClipId::initWithCoder(decoder); });
    return true;
}();

}  // namespace

DVClipId::DVClipId(Ref<TLDVClipSequenceId> sequence) : DVClipId(std::move(sequence), clipIdGenerator().nextId()) {}

DVClipId::DVClipId(Ref<TLDVClipSequenceId> sequence, int32_t index)
    : sequenceId_(std::move(sequence)), indexId_(index) {
    clipIdGenerator();
}

DVClipId::DVClipId(Unarchived, Ref<TLDVClipSequenceId> sequence, int32_t index)
    : sequenceId_(std::move(sequence)), indexId_(index) {}

Ref<DVClipId> DVClipId::nextId() { return nextIdInSequence(nullptr); }

Ref<DVClipId> DVClipId::nextIdInSequence(Ref<TLDVClipSequenceId> sequence) {
    return std::make_shared<DVClipId>(std::move(sequence));
}

void DVClipId::resetId() { clipIdGenerator().resetId(); }

Ref<DVClipId> DVClipId::childClipIdWithSequence(Ref<TLDVClipSequenceId> sequence, int32_t index, double childDateUid,
                                                int32_t childIntUid, std::optional<std::string> parentLookUpStringId) {
    const auto placeholder = std::make_shared<DVClipId>(std::move(sequence), index);
    auto child = placeholder->childClipIdWithDateUid(childDateUid, childIntUid);
    child->setParentLookUpStringId(std::move(parentLookUpStringId));
    return child;
}

Ref<DVClipId> DVClipId::childClipId() const {
    const int32_t uid = nextChildIntUid++;
    return childClipIdWithDateUid(currentTimeIntervalSince1970(), uid);
}

Ref<DVClipId> DVClipId::childClipIdWithDateUid(double childDateUid, int32_t childIntUid) const {
    // A clip id not owned by a Ref (a local value) cannot be shared; its copy stands in as the parent.
    Ref<DVClipId> parent = std::static_pointer_cast<DVClipId>(std::const_pointer_cast<Object>(weak_from_this().lock()));
    if (!parent) parent = std::static_pointer_cast<DVClipId>(copy());
    auto child = std::make_shared<DVClipId>(sequenceId_, indexId_);
    child->setParentClipId(std::move(parent));
    child->childDateUid_ = childDateUid;
    child->childIntUid_ = childIntUid;
    return child;
}

void DVClipId::setParentClipId(Ref<DVClipId> parent) {
    parentClipId_ = std::move(parent);
    parentLookUpStringId_ = parentClipId_ ? std::optional<std::string>(parentClipId_->stringId()) : std::nullopt;
}

Ref<DVClipId> DVClipId::rootParentClipId() const {
    if (!parentClipId_) {
        Ref<DVClipId> me = std::static_pointer_cast<DVClipId>(std::const_pointer_cast<Object>(weak_from_this().lock()));
        return me ? me : std::static_pointer_cast<DVClipId>(copy());
    }
    Ref<DVClipId> node = parentClipId_;
    while (node->parentClipId_) node = node->parentClipId_;
    return node;
}

void DVClipId::setDisplayedChildIndex(int32_t index) {
    displayedChildIndex_ = index;
    name_.clear();
}

void DVClipId::setSequenceId(Ref<TLDVClipSequenceId> sequence) {
    if (sequence == sequenceId_) return;
    sequenceId_ = std::move(sequence);
    clearTexts();
}

void DVClipId::clearTexts() const {
    shortStringId_.clear();
    stringId_.clear();
    name_.clear();
}

const std::string& DVClipId::shortStringId() const {
    if (!shortStringId_.empty()) return shortStringId_;
    const std::string p = prefix();
    const bool child = parentClipId_ != nullptr;
    if (sequenceId_) {
        const TLDVClipSequenceId& s = *sequenceId_;
        shortStringId_ = child ? format("%@-%.8f-%d.%d-%.8f:%d", p, s.dateId(), s.indexId(), indexId_, childDateUid_,
                                        childIntUid_)
                               : format("%@-%d.%d", p, s.indexId(), indexId_);
    } else {
        shortStringId_ = child ? format("%@-%d-%.8f:%d", p, indexId_, childDateUid_, childIntUid_)
                               : format("%@-%d", p, indexId_);
    }
    return shortStringId_;
}

const std::string& DVClipId::stringId() const {
    if (!stringId_.empty()) return stringId_;
    const std::string p = prefix();
    const bool child = parentClipId_ != nullptr;
    if (sequenceId_) {
        const std::string& s = sequenceId_->stringId();
        stringId_ = child ? format("%@-%@.%d-%.8f:%d", p, s, indexId_, childDateUid_, childIntUid_)
                          : format("%@-%@.%d", p, s, indexId_);
    } else {
        stringId_ = child ? format("%@-%d-%.8f:%d", p, indexId_, childDateUid_, childIntUid_)
                          : format("%@-%d", p, indexId_);
    }
    return stringId_;
}

const std::string& DVClipId::name() const {
    if (!name_.empty()) return name_;
    const std::string p = prefix();
    const bool child = parentClipId_ != nullptr;
    if (sequenceId_) {
        const int32_t s = sequenceId_->indexId();
        name_ = child ? format("%@-%d.%d/%d", p, s, indexId_, displayedChildIndex_) : format("%@-%d.%d", p, s, indexId_);
    } else {
        name_ = child ? format("%@-%d/%d", p, indexId_, displayedChildIndex_) : format("%@-%d", p, indexId_);
    }
    return name_;
}

bool DVClipId::isEqual(const Object* other) const {
    const auto* that = dynamic_cast<const DVClipId*>(other);
    if (!that) return false;
    // The other's sequence judges, so that its own class test decides.
    return that->indexId_ == indexId_ && TLObjectsAreNilOrEqual(that->sequenceId_.get(), sequenceId_.get()) &&
           that->childDateUid_ == childDateUid_ && that->childIntUid_ == childIntUid_;
}

// Not the hash of stringId: that text depends on whether a parent is attached
// (which equality ignores) and on the sequence's cached text (which keeps an old
// host name after setHostId), so equal clip ids could hash apart and go missing
// in hashed sets and dictionaries. This hash uses only what equality compares,
// with the sequence contributing its fields but not its class (a sequence id
// may equal a snapshot id).
uint32_t DVClipId::hash() const {
    uint32_t h = static_cast<uint32_t>(indexId_);
    h = combine(h, static_cast<uint32_t>(childIntUid_));
    h = combine(h, doubleHash(childDateUid_));
    if (!sequenceId_) return h;
    h = combine(h, static_cast<uint32_t>(sequenceId_->indexId()));
    h = combine(h, doubleHash(sequenceId_->dateId()));
    return combine(h, stringHash(sequenceId_->hostId()));
}

Ref<Object> DVClipId::copy() const {
    Ref<TLDVClipSequenceId> sequence = sequenceId_ ? kindCast<TLDVClipSequenceId>(sequenceId_->copy()) : nullptr;
    auto clip = std::make_shared<DVClipId>(std::move(sequence), indexId_);
    if (parentClipId_) clip->setParentClipId(parentClipId_);
    else clip->parentLookUpStringId_ = parentLookUpStringId_;
    clip->displayedChildIndex_ = displayedChildIndex_;
    clip->childDateUid_ = childDateUid_;
    clip->childIntUid_ = childIntUid_;
    return clip;
}

void DVClipId::encodeWithCoder(Coder& coder) const {
    coder.encodeInt32(indexId_);
    coder.encodeObject(sequenceId_.get());
    coder.encodeObject(parentClipId_.get());
    if (!parentClipId_) return;
    coder.encodeDouble(childDateUid_);
    coder.encodeInt32(childIntUid_);
}

Ref<DVClipId> DVClipId::initWithCoder(Decoder& decoder) {
    const int32_t version = decoder.versionForClassName("DVClipId");
    const int32_t index = decoder.decodeInt32();
    auto clip = std::make_shared<DVClipId>(Unarchived{}, decoder.decodeObjectOfKind<TLDVClipSequenceId>(), index);
    if (version < DVClipIdFirstVersionWithParent) return clip;
    clip->parentClipId_ = decoder.decodeObjectOfKind<DVClipId>();
    if (!clip->parentClipId_) return clip;
    clip->childDateUid_ = decoder.decodeDouble();
    clip->childIntUid_ = decoder.decodeInt32();
    return clip;
}

}  // namespace ossel
