#pragma once
// Nil-safe equality: both absent, or both present and the first reporting
// itself equal to the second.

#include "foundation/Object.h"

namespace ossel {

bool TLObjectsAreNilOrEqual(const Object* a, const Object* b);
inline bool TLObjectsAreNilOrEqual(const Ref<Object>& a, const Ref<Object>& b) {
    return TLObjectsAreNilOrEqual(a.get(), b.get());
}

// The class that the DV system equality asks; any class would answer the same.
class TLEquals {
public:
    static bool isObjectEqualTo(const Object* a, const Object* b) { return TLObjectsAreNilOrEqual(a, b); }
};

}  // namespace ossel
