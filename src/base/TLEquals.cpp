#include "base/TLEquals.h"

namespace ossel {

// Not objectsEqual(), which takes an object as equal to itself without asking
// it, as collections do: here the first object is always asked, and one that
// is not equal to itself (a sequence id dated NaN) makes two clip ids that
// share it unequal.
bool TLObjectsAreNilOrEqual(const Object* a, const Object* b) {
    if (!a || !b) return !a && !b;
    return a->isEqual(b);
}

}  // namespace ossel
