#include "ids/DVMovieSnapshotId.h"

#include "foundation/Archiver.h"

namespace ossel {
namespace {

[[maybe_unused]] const bool registered = [] {
    registerArchivableClass("DVMovieSnapshotId", 0,
                            [](Decoder& decoder) -> Ref<Object> { return DVMovieSnapshotId::initWithCoder(decoder); });
    return true;
}();

}  // namespace

Ref<DVMovieSnapshotId> DVMovieSnapshotId::nextId() { return std::make_shared<DVMovieSnapshotId>(); }

std::string DVMovieSnapshotId::prefix() const { return "Snapshot"; }

bool DVMovieSnapshotId::isOfReceiversKind(const Object* other) const { return isKindOf<DVMovieSnapshotId>(other); }

Ref<Object> DVMovieSnapshotId::copy() const { return std::make_shared<DVMovieSnapshotId>(hostId(), indexId(), dateId()); }

Ref<DVMovieSnapshotId> DVMovieSnapshotId::initWithCoder(Decoder& decoder) { return unarchive<DVMovieSnapshotId>(decoder); }

}  // namespace ossel
