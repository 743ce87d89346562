#pragma once
// The plug-in's front door: the factory the host's plug-in loader calls, the
// instance record it hands out, and the reference counting and interface
// negotiation of that record. These are the plug-in's exported C entry points.

#include <cstdint>

#include "importer/ImporterCatalogInterface.h"
#include "platform/MDImporter.h"

#define OSSEL_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

// One importer instance. The host treats a pointer to it as a pointer to a
// pointer to the interface table, so the table reference must come first.
struct MetadataImporterPluginType {
    const ossel::MDImporterInterfaceStruct* interfaceTable;
    ossel::CFUUIDRef factoryId;  // retained by the record
    uint32_t referenceCount;
};

// The factory id this bundle's Info.plist names.
inline constexpr const char* kOsselImporterFactoryId = "93DF8824-0F30-4F82-A1EF-3B6D8997B3A4";

OSSEL_PLUGIN_EXPORT void* MetadataImporterPluginFactory(ossel::CFAllocatorRef allocator, ossel::CFUUIDRef typeID);
OSSEL_PLUGIN_EXPORT MetadataImporterPluginType* AllocMetadataImporterPluginType(ossel::CFUUIDRef inFactoryID);
OSSEL_PLUGIN_EXPORT void DeallocMetadataImporterPluginType(MetadataImporterPluginType* thisInstance);
OSSEL_PLUGIN_EXPORT ossel::HRESULT MetadataImporterQueryInterface(void* thisInstance, ossel::REFIID iid,
                                                                  ossel::LPVOID* ppv);
OSSEL_PLUGIN_EXPORT ossel::ULONG MetadataImporterPluginAddRef(void* thisInstance);
OSSEL_PLUGIN_EXPORT ossel::ULONG MetadataImporterPluginRelease(void* thisInstance);

// Beside the table: the catalog paths of the last import, and the host's hook
// before each catalog read (ImporterCatalogInterface.h).
OSSEL_PLUGIN_EXPORT size_t OsselImporterCatalogDependencies(const OsselCatalogDependency** entries);
OSSEL_PLUGIN_EXPORT void OsselImporterSetCatalogReadHook(OsselCatalogReadHook hook, void* context);
