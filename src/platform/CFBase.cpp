#include "platform/CFBase.h"

#include <limits>

#include "platform/CFRuntime.h"

namespace ossel {

const CFRuntimeBase* cfRuntimeBase(CFTypeRef object) {
    if (!object) return nullptr;
    const auto* base = static_cast<const CFRuntimeBase*>(object);
    return base->magic == CFRuntimeBase::kMagic ? base : nullptr;
}

CFTypeRef CFRetain(CFTypeRef object) {
    const CFRuntimeBase* base = cfRuntimeBase(object);
    if (base && !base->immortal) ++base->retainCount;
    return object;
}

void CFRelease(CFTypeRef object) {
    const CFRuntimeBase* base = cfRuntimeBase(object);
    if (!base || base->immortal) return;
    if (--base->retainCount == 0) base->cls->finalize(object);
}

Boolean CFEqual(CFTypeRef a, CFTypeRef b) {
    const CFRuntimeBase* left = cfRuntimeBase(a);
    const CFRuntimeBase* right = cfRuntimeBase(b);
    if (!left || !right) return false;
    if (a == b) return true;
    if (left->cls != right->cls) return false;
    return left->cls->equal(a, b);
}

CFIndex CFGetRetainCount(CFTypeRef object) {
    const CFRuntimeBase* base = cfRuntimeBase(object);
    if (!base) return 0;
    if (base->immortal) return std::numeric_limits<CFIndex>::max();
    return static_cast<CFIndex>(base->retainCount);
}

}  // namespace ossel
