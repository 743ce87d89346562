#pragma once
// The metadata importer's plug-in type, its interface and the table the host
// calls through. The attribute dictionary and texts are this code base's own
// objects: the host owns the dictionary, the plug-in fills it.

#include "foundation/Dictionary.h"
#include "foundation/String.h"
#include "platform/CFPlugInCOM.h"

namespace ossel {

using CFMutableDictionaryRef = Dictionary*;
using CFStringRef = const String*;

// 8B08C4BF-415B-11D8-B3F9-0003936726FC: the plug-in type that importers serve.
inline const CFUUIDRef kMDImporterTypeID = CFUUIDGetConstantUUIDWithBytes(
    kCFAllocatorDefault, 0x8B, 0x08, 0xC4, 0xBF, 0x41, 0x5B, 0x11, 0xD8, 0xB3, 0xF9, 0x00, 0x03, 0x93, 0x67, 0x26,
    0xFC);

// 6EBC27C4-899C-11D8-84AE-0003936726FC: the importer interface.
inline const CFUUIDRef kMDImporterInterfaceID = CFUUIDGetConstantUUIDWithBytes(
    kCFAllocatorDefault, 0x6E, 0xBC, 0x27, 0xC4, 0x89, 0x9C, 0x11, 0xD8, 0x84, 0xAE, 0x00, 0x03, 0x93, 0x67, 0x26,
    0xFC);

using MDImporterImportDataFunction = Boolean (*)(void* thisInterface, CFMutableDictionaryRef attributes,
                                                 CFStringRef contentTypeUTI, CFStringRef pathToFile);

// Five slots in this order: the order is the binary interface.
struct MDImporterInterfaceStruct {
    void* _reserved;
    HRESULT (*QueryInterface)(void* thisPointer, REFIID iid, LPVOID* ppv);
    ULONG (*AddRef)(void* thisPointer);
    ULONG (*Release)(void* thisPointer);
    MDImporterImportDataFunction ImporterImportData;
};

}  // namespace ossel
