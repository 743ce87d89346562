#pragma once
// 16-byte identifiers as CF-style objects: created (count 1, caller releases)
// or constant (one shared object per value, never freed), compared by value
// with CFEqual.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/CFBase.h"

namespace ossel {

// The UUID's bytes in text order; passed by value across the plug-in interface.
struct CFUUIDBytes {
    uint8_t byte0, byte1, byte2, byte3, byte4, byte5, byte6, byte7;
    uint8_t byte8, byte9, byte10, byte11, byte12, byte13, byte14, byte15;
};
static_assert(sizeof(CFUUIDBytes) == 16);

struct CFUUIDObject;
using CFUUIDRef = const CFUUIDObject*;

// "8B08C4BF-415B-11D8-B3F9-0003936726FC" (either case, optional braces); null when malformed.
CFUUIDRef CFUUIDCreateFromString(CFAllocatorRef allocator, std::string_view text);
CFUUIDRef CFUUIDCreateFromUUIDBytes(CFAllocatorRef allocator, CFUUIDBytes bytes);
CFUUIDRef CFUUIDCreateWithBytes(CFAllocatorRef allocator, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3,
                                uint8_t b4, uint8_t b5, uint8_t b6, uint8_t b7, uint8_t b8, uint8_t b9,
                                uint8_t b10, uint8_t b11, uint8_t b12, uint8_t b13, uint8_t b14, uint8_t b15);

// The one shared object for these bytes: the same pointer on every call, not to be released.
CFUUIDRef CFUUIDGetConstantUUIDWithBytes(CFAllocatorRef allocator, uint8_t b0, uint8_t b1, uint8_t b2,
                                         uint8_t b3, uint8_t b4, uint8_t b5, uint8_t b6, uint8_t b7,
                                         uint8_t b8, uint8_t b9, uint8_t b10, uint8_t b11, uint8_t b12,
                                         uint8_t b13, uint8_t b14, uint8_t b15);

// All-zero bytes for null.
CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid);

// The upper-case text form; empty for null.
std::string CFUUIDCreateString(CFAllocatorRef allocator, CFUUIDRef uuid);

// Created UUID objects not yet freed, so tests can see that every one was released.
CFIndex CFUUIDLiveCount();

}  // namespace ossel
