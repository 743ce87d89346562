#pragma once
// A plug-in bundle found and loaded the way the OS plug-in loader does it:
// Contents/Info.plist names the module (CFBundleExecutable, under Contents/MacOS),
// the factories it exports (CFPlugInFactories: factory id -> function name) and
// the plug-in types each factory serves (CFPlugInTypes: type id -> factory ids).
// Callers reach the plug-in only through a factory.

#include <memory>
#include <string>
#include <vector>

#include "foundation/Dictionary.h"
#include "platform/CFPlugInCOM.h"

namespace ossel {

class PlugInBundle {
public:
    struct Factory {
        std::string factoryId;     // the UUID text, as Info.plist spells it
        std::string functionName;  // the exported symbol
    };

    // Reads Info.plist and loads the module; null with *error naming the problem.
    static std::unique_ptr<PlugInBundle> load(const std::string& bundlePath, std::string* error);
    ~PlugInBundle();
    PlugInBundle(const PlugInBundle&) = delete;
    PlugInBundle& operator=(const PlugInBundle&) = delete;

    const std::string& bundlePath() const { return bundlePath_; }
    const std::string& executablePath() const { return executablePath_; }
    const Dictionary& infoDictionary() const { return *info_; }

    // Every factory the bundle declares, in Info.plist order.
    std::vector<Factory> factories() const;
    // The type ids the bundle declares, in Info.plist order.
    std::vector<std::string> typeIds() const;
    // The factory ids declared for a plug-in type (compared by UUID value).
    std::vector<std::string> factoryIdsForType(CFUUIDRef typeID) const;
    // The content types the bundle's document types list.
    std::vector<std::string> contentTypes() const;

    // The exported factory function for a factory id; null with *error when absent.
    CFPlugInFactoryFunction factoryFunction(const std::string& factoryId, std::string* error) const;

    // An entry point the module exports beside its factories (null when absent), for
    // interfaces a host may use when the plug-in offers them.
    void* exportedSymbol(const std::string& name) const;

    // The first factory serving the type, called with it: a new instance (count 1) or
    // null with *error. The instance is the caller's to Release.
    void* createInstanceForType(CFUUIDRef typeID, std::string* error) const;

    struct Private {};
    PlugInBundle(Private, std::string bundlePath, std::string executablePath, Ref<Dictionary> info, void* handle);

private:
    std::string bundlePath_;
    std::string executablePath_;
    Ref<Dictionary> info_;
    void* handle_;
};

}  // namespace ossel
