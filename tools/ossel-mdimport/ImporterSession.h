#pragma once
// One importer instance, obtained from a bundle the way the OS indexer obtains
// it: factory for the importer type, QueryInterface for the importer
// interface, then calls through the interface table only. The catalog entry
// points outside the table are used when the module exports them.

#include <memory>
#include <span>
#include <string>

#include "foundation/Dictionary.h"
#include "foundation/String.h"
#include "importer/ImporterCatalogInterface.h"
#include "platform/MDImporter.h"
#include "platform/PlugInBundle.h"

namespace ossel {

class ImporterSession {
public:
    // Null with *error when the bundle cannot be loaded or serves no importer.
    static std::unique_ptr<ImporterSession> open(const std::string& bundlePath, std::string* error);

    struct Private {};
    ImporterSession(Private, std::unique_ptr<PlugInBundle> bundle, MDImporterInterfaceStruct** importer);
    ~ImporterSession();  // the session's Release
    ImporterSession(const ImporterSession&) = delete;
    ImporterSession& operator=(const ImporterSession&) = delete;

    const PlugInBundle& bundle() const { return *bundle_; }

    // One call of the import function with the host's dictionary.
    bool importFile(const Ref<String>& absolutePath, Dictionary& attributes) const;

    // False when the plug-in offers no catalog read hook.
    bool setCatalogReadHook(OsselCatalogReadHook hook, void* context) const;
    // The catalog files the last import depended on; empty when the plug-in does not tell.
    std::span<const OsselCatalogDependency> catalogDependencies() const;

private:
    std::unique_ptr<PlugInBundle> bundle_;
    MDImporterInterfaceStruct** importer_;
    Ref<String> contentType_;
    OsselImporterSetCatalogReadHookFunction setCatalogReadHook_;
    OsselImporterCatalogDependenciesFunction catalogDependencies_;
};

}  // namespace ossel
