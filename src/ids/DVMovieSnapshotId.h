#pragma once
// Names one movie snapshot. The same value as a sequence id, with its own
// prefix, drawing its serial numbers from the same counter.

#include "ids/TLDVClipSequenceId.h"

namespace ossel {

class DVMovieSnapshotId : public TLDVClipSequenceId {
public:
    using TLDVClipSequenceId::TLDVClipSequenceId;

    static Ref<DVMovieSnapshotId> nextId();

    std::string prefix() const override;
    std::string className() const override { return "DVMovieSnapshotId"; }

    Ref<Object> copy() const override;
    static Ref<DVMovieSnapshotId> initWithCoder(Decoder& decoder);

protected:
    bool isOfReceiversKind(const Object* other) const override;
};

}  // namespace ossel
