#include "importer/MetadataImporterPlugin.h"

#include <cstdlib>

#include "importer/GetMetadataForFile.h"
#include "platform/CFPlugIn.h"

using namespace ossel;

namespace {

// One table for every instance, reached only through an instance.
const MDImporterInterfaceStruct testInterfaceFtbl = {
    nullptr,
    MetadataImporterQueryInterface,
    MetadataImporterPluginAddRef,
    MetadataImporterPluginRelease,
    GetMetadataForFile,
};

}  // namespace

// The record is the host's object, not one of ours: plain heap memory with an
// explicit count, freed when the host's last reference goes.
MetadataImporterPluginType* AllocMetadataImporterPluginType(CFUUIDRef inFactoryID) {
    auto* instance = static_cast<MetadataImporterPluginType*>(std::calloc(1, sizeof(MetadataImporterPluginType)));
    instance->interfaceTable = &testInterfaceFtbl;
    instance->factoryId = static_cast<CFUUIDRef>(CFRetain(inFactoryID));
    CFPlugInAddInstanceForFactory(inFactoryID);
    instance->referenceCount = 1;
    return instance;
}

void DeallocMetadataImporterPluginType(MetadataImporterPluginType* thisInstance) {
    if (!thisInstance) return;
    const CFUUIDRef factoryId = thisInstance->factoryId;
    std::free(thisInstance);
    if (factoryId) {
        CFPlugInRemoveInstanceForFactory(factoryId);
        CFRelease(factoryId);
    }
}

HRESULT MetadataImporterQueryInterface(void* thisInstance, REFIID iid, LPVOID* ppv) {
    const CFUUIDRef interfaceID = CFUUIDCreateFromUUIDBytes(kCFAllocatorDefault, iid);
    const bool accepted = CFEqual(interfaceID, kMDImporterInterfaceID) || CFEqual(interfaceID, IUnknownUUID);
    CFRelease(interfaceID);
    if (!accepted) {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    auto* instance = static_cast<MetadataImporterPluginType*>(thisInstance);
    if (!instance) {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    instance->interfaceTable->AddRef(instance);
    if (ppv) *ppv = instance;
    return S_OK;
}

ULONG MetadataImporterPluginAddRef(void* thisInstance) {
    auto* instance = static_cast<MetadataImporterPluginType*>(thisInstance);
    if (!instance) return 0;
    return ++instance->referenceCount;
}

ULONG MetadataImporterPluginRelease(void* thisInstance) {
    auto* instance = static_cast<MetadataImporterPluginType*>(thisInstance);
    if (!instance || instance->referenceCount == 0) return 0;
    if (--instance->referenceCount == 0) {
        DeallocMetadataImporterPluginType(instance);
        return 0;
    }
    return instance->referenceCount;
}

void* MetadataImporterPluginFactory(CFAllocatorRef, CFUUIDRef typeID) {
    if (!CFEqual(typeID, kMDImporterTypeID)) return nullptr;
    const CFUUIDRef factoryId = CFUUIDCreateFromString(kCFAllocatorDefault, kOsselImporterFactoryId);
    MetadataImporterPluginType* instance = AllocMetadataImporterPluginType(factoryId);
    CFRelease(factoryId);
    return instance;
}
