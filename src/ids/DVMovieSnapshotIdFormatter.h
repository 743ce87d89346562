#pragma once
// The sequence-id text form with the prefix "snapshot//:", read back as snapshot ids.

#include "ids/TLDVClipSequenceIdFormatter.h"

namespace ossel {

class DVMovieSnapshotIdFormatter : public TLDVClipSequenceIdFormatter {
public:
    std::string prefix() const override;
    Ref<TLDVClipSequenceId> nextIdWithHostId(std::string host, int32_t index, double date) const override;

    std::string className() const override { return "DVMovieSnapshotIdFormatter"; }
};

}  // namespace ossel
