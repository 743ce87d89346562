#pragma once
// A search-index document reference: a document named by a scheme and a name,
// optionally inside a parent document.

#include <string>
#include <string_view>

#include "foundation/Object.h"

namespace ossel {

class SKDocument final : public Object {
public:
    SKDocument(std::string scheme, Ref<SKDocument> parent, std::string name)
        : scheme_(std::move(scheme)), parent_(std::move(parent)), name_(std::move(name)) {}

    const std::string& scheme() const { return scheme_; }
    const Ref<SKDocument>& parent() const { return parent_; }
    const std::string& name() const { return name_; }

    // Two references name the same document when scheme, name and parent agree.
    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    // "scheme://parent/.../name"
    std::string description() const override;
    std::string className() const override { return "SKDocument"; }

private:
    std::string scheme_;
    Ref<SKDocument> parent_;
    std::string name_;
};

using SKDocumentRef = Ref<SKDocument>;

// A document reference; nothing when the name is absent, as the platform refuses one.
SKDocumentRef SKDocumentCreate(std::string_view scheme, SKDocumentRef parent, const std::string* name);

}  // namespace ossel
