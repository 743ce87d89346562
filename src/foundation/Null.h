#pragma once
// The null marker value: an object that stands for "no value" inside collections.

#include "foundation/Object.h"

namespace ossel {

class Null final : public Object {
public:
    static const Ref<Null>& null();
    bool isEqual(const Object* other) const override { return dynamic_cast<const Null*>(other) != nullptr; }
    uint32_t hash() const override { return 0x6e756c6cu; }
    std::string description() const override { return "<null>"; }
    std::string className() const override { return "Null"; }
};

}  // namespace ossel
