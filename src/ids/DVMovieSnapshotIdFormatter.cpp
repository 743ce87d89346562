#include "ids/DVMovieSnapshotIdFormatter.h"

#include "ids/DVMovieSnapshotId.h"

namespace ossel {

std::string DVMovieSnapshotIdFormatter::prefix() const { return "snapshot//:"; }

Ref<TLDVClipSequenceId> DVMovieSnapshotIdFormatter::nextIdWithHostId(std::string host, int32_t index,
                                                                     double date) const {
    return std::make_shared<DVMovieSnapshotId>(std::move(host), index, date);
}

}  // namespace ossel
