#include "base/TLEquals.h"

namespace ossel {

bool TLObjectsAreNilOrEqual(const Object* a, const Object* b) {
    if (!a || !b) return !a && !b;
    return a->isEqual(b);
}

}  // namespace ossel
