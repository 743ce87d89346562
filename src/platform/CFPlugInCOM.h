#pragma once
// The COM-style binary interface between a plug-in host and its plug-ins:
// result codes, interface ids passed as 16 bytes by value, and the three
// IUnknown slots that open every interface table.

#include <cstdint>

#include "platform/CFUUID.h"

namespace ossel {

using HRESULT = int32_t;
using ULONG = uint32_t;
using LPVOID = void*;
using REFIID = CFUUIDBytes;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80000004u);

// 00000000-0000-0000-C000-000000000046
inline const CFUUIDRef IUnknownUUID = CFUUIDGetConstantUUIDWithBytes(
    kCFAllocatorDefault, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x46);

// The head of every interface table; an instance is a pointer to a pointer to its table.
struct IUnknownVTbl {
    void* _reserved;
    HRESULT (*QueryInterface)(void* thisPointer, REFIID iid, LPVOID* ppv);
    ULONG (*AddRef)(void* thisPointer);
    ULONG (*Release)(void* thisPointer);
};

// The factory a bundle names for a plug-in type.
using CFPlugInFactoryFunction = void* (*)(CFAllocatorRef allocator, CFUUIDRef typeID);

}  // namespace ossel
