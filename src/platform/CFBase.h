#pragma once
// The few CoreFoundation base types and reference-counting calls that the
// plug-in's binary interface speaks. CF objects here keep real integer retain
// counts, because the host/plug-in contract is about who releases what.

#include <cstdint>

namespace ossel {

using CFTypeRef = const void*;
using CFAllocatorRef = const void*;
using CFIndex = long;
using Boolean = unsigned char;  // one byte, as the host's ABI has it

// The allocator argument of the create calls; only the default one exists.
inline constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

// Both answer their argument. Null is ignored rather than crashing the host.
CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);

// Equal by value (two UUIDs with the same 16 bytes). Null equals nothing.
Boolean CFEqual(CFTypeRef a, CFTypeRef b);

// The current count; constant objects answer a very large count that never changes.
CFIndex CFGetRetainCount(CFTypeRef object);

}  // namespace ossel
