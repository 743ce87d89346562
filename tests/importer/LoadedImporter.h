#pragma once
// The built importer bundle, loaded once per test program through the same
// loader the host uses, and small helpers to talk to it only as a host would.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/MDImporter.h"
#include "platform/PlugInBundle.h"

namespace ossel::testing {

inline const std::string kBuiltBundle = OSSEL_BINARY_DIR "/OsselImporter.mdimporter";
inline constexpr const char* kFactoryId = "93DF8824-0F30-4F82-A1EF-3B6D8997B3A4";

inline const PlugInBundle& loadedImporterBundle() {
    static const std::unique_ptr<PlugInBundle> bundle = [] {
        std::string error;
        auto loaded = PlugInBundle::load(kBuiltBundle, &error);
        if (!loaded) ADD_FAILURE() << error;
        return loaded;
    }();
    return *bundle;
}

inline CFPlugInFactoryFunction importerFactory() {
    std::string error;
    const CFPlugInFactoryFunction factory = loadedImporterBundle().factoryFunction(kFactoryId, &error);
    if (!factory) ADD_FAILURE() << error;
    return factory;
}

// An instance record as the host sees it: a pointer to a pointer to the table.
inline MDImporterInterfaceStruct** asInterface(void* instance) {
    return static_cast<MDImporterInterfaceStruct**>(instance);
}

// The instance's count, read the only way a host could: AddRef then Release.
inline ULONG currentCount(void* instance) {
    MDImporterInterfaceStruct** table = asInterface(instance);
    (*table)->AddRef(instance);
    return (*table)->Release(instance);
}

}  // namespace ossel::testing
