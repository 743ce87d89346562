#include "platform/SKDocument.h"

#include "foundation/Format.h"
#include "foundation/String.h"

namespace ossel {

bool SKDocument::isEqual(const Object* other) const {
    const auto* document = dynamic_cast<const SKDocument*>(other);
    return document && document->scheme_ == scheme_ && document->name_ == name_ &&
           objectsEqual(document->parent_.get(), parent_.get());
}

uint32_t SKDocument::hash() const { return stringHash(scheme_) * 31u + stringHash(name_); }

std::string SKDocument::description() const {
    if (!parent_) return format("%@://%@", scheme_, name_);
    return format("%@/%@", parent_->description(), name_);
}

SKDocumentRef SKDocumentCreate(std::string_view scheme, SKDocumentRef parent, const std::string* name) {
    if (!name) return nullptr;
    return std::make_shared<SKDocument>(std::string(scheme), std::move(parent), *name);
}

}  // namespace ossel
