#pragma once
// The common head of every CF-style object of this layer, so that CFRetain,
// CFRelease and CFEqual can work on an untyped reference. Private to src/platform.

#include <cstdint>

#include "platform/CFBase.h"

namespace ossel {

struct CFRuntimeClass {
    const char* name;
    void (*finalize)(const void* object);                   // frees the object
    bool (*equal)(const void* a, const void* b);            // both of this class
};

struct CFRuntimeBase {
    static constexpr uint32_t kMagic = 0x4346524bu;  // guards against foreign pointers
    uint32_t magic = kMagic;
    const CFRuntimeClass* cls = nullptr;
    mutable uint32_t retainCount = 1;
    bool immortal = false;
};

// The object's head, or null when the pointer does not lead to one of ours.
const CFRuntimeBase* cfRuntimeBase(CFTypeRef object);

}  // namespace ossel
