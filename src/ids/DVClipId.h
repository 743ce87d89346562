#pragma once
// Names one clip: a serial number from the clip counter, optionally with the
// sequence the clip belongs to. A child clip id names a clip derived from
// another: it repeats its parent's sequence and serial number, points to the
// parent and adds two child uids that tell siblings apart.

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Object.h"
#include "ids/TLDVClipSequenceId.h"

namespace ossel {

class Decoder;
class TLIdGenerator;

// Marks a clip index in a sequence as not set (for the application; nothing here uses it).
inline constexpr int32_t DVClipIndexInSequenceNoSet = -1;
// The displayed child index of a clip id whose index has not been set.
inline constexpr int32_t DVClipChildIndexNoSet = 0;
// The key of the clip counter.
inline constexpr const char* DVClipIdGeneratorKey = "GravelmothDV.ClipId";
// The class version written into archives; older archives (below 120) carry no parent.
inline constexpr int32_t DVClipIdClassVersion = 180;
inline constexpr int32_t DVClipIdFirstVersionWithParent = 120;

// The per-process child counter: each childClipId takes its value, then increments it.
extern int32_t nextChildIntUid;

class DVClipId : public Object {
public:
    // initNextWithSequence: the next serial number from the clip counter (advanced and stored).
    explicit DVClipId(Ref<TLDVClipSequenceId> sequence);
    // initNextWithSequence:index: a plain clip id; the counter is not advanced.
    DVClipId(Ref<TLDVClipSequenceId> sequence, int32_t index);

    static Ref<DVClipId> nextId();
    static Ref<DVClipId> nextIdInSequence(Ref<TLDVClipSequenceId> sequence);
    // Rewinds the clip counter to 0 even when no clip id was made yet in this process.
    static void resetId();
    // A child whose attached parent is a placeholder plain clip id with the
    // child's own sequence and index, and whose lookup string is the one given:
    // what a text form can tell about a child.
    static Ref<DVClipId> childClipIdWithSequence(Ref<TLDVClipSequenceId> sequence, int32_t index, double childDateUid,
                                                 int32_t childIntUid, std::optional<std::string> parentLookUpStringId);

    // A new child of this clip id (which must be owned by a Ref): now as its
    // date uid and the next value of the process's child counter.
    Ref<DVClipId> childClipId() const;
    Ref<DVClipId> childClipIdWithDateUid(double childDateUid, int32_t childIntUid) const;

    bool isChildClip() const { return parentClipId_ || parentLookUpStringId_; }
    const Ref<DVClipId>& parentClipId() const { return parentClipId_; }
    // Also sets the lookup string to the parent's stringId; the cached texts stay.
    void setParentClipId(Ref<DVClipId> parent);
    const std::optional<std::string>& parentLookUpStringId() const { return parentLookUpStringId_; }
    void setParentLookUpStringId(std::optional<std::string> lookUp) { parentLookUpStringId_ = std::move(lookUp); }
    // The top of the chain of attached parents (this clip id when it has none).
    Ref<DVClipId> rootParentClipId() const;
    double childDateUid() const { return childDateUid_; }
    int32_t childIntUid() const { return childIntUid_; }
    int32_t displayedChildIndex() const { return displayedChildIndex_; }
    void setDisplayedChildIndex(int32_t index);

    const Ref<TLDVClipSequenceId>& sequenceId() const { return sequenceId_; }
    // A different sequence clears the three cached texts; the same object changes nothing.
    void setSequenceId(Ref<TLDVClipSequenceId> sequence);
    int32_t indexId() const { return indexId_; }

    virtual std::string prefix() const { return "Clip"; }
    // Each text is computed on first request and cached; the child variants
    // apply only when a parent is attached.
    const std::string& shortStringId() const;
    const std::string& stringId() const;
    const std::string& name() const;

    // Index, sequence (judged by the other's sequence), child date uid and
    // child uid; the parent link and the display index take no part.
    bool isEqual(const Object* other) const override;
    // Built from exactly the fields equality compares, so that equal clip ids
    // always hash alike (see DVClipId.cpp).
    uint32_t hash() const override;
    std::string description() const override { return stringId(); }
    std::string className() const override { return "DVClipId"; }

    Ref<Object> copy() const override;
    void encodeWithCoder(Coder& coder) const override;
    static Ref<DVClipId> initWithCoder(Decoder& decoder);

    // Values read from an archive: the clip counter is not touched.
    struct Unarchived {};
    DVClipId(Unarchived, Ref<TLDVClipSequenceId> sequence, int32_t index);

private:
    void clearTexts() const;

    Ref<TLDVClipSequenceId> sequenceId_;
    int32_t indexId_;
    mutable std::string shortStringId_;
    mutable std::string stringId_;
    mutable std::string name_;
    Ref<DVClipId> parentClipId_;
    std::optional<std::string> parentLookUpStringId_;
    double childDateUid_ = 0.0;
    int32_t childIntUid_ = 0;
    int32_t displayedChildIndex_ = DVClipChildIndexNoSet;
};

}  // namespace ossel
