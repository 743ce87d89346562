#include "ImporterSession.h"

#include "foundation/String.h"

namespace ossel {

namespace {

// Every file the host hands over is declared to be of the bundle's first content type.
Ref<String> declaredContentType(const PlugInBundle& bundle) {
    const auto types = bundle.contentTypes();
    return types.empty() ? nullptr : str(types.front());
}

}  // namespace

std::unique_ptr<ImporterSession> ImporterSession::open(const std::string& bundlePath, std::string* error) {
    auto bundle = PlugInBundle::load(bundlePath, error);
    if (!bundle) return nullptr;
    auto** unknown = static_cast<IUnknownVTbl**>(bundle->createInstanceForType(kMDImporterTypeID, error));
    if (!unknown) return nullptr;
    void* importer = nullptr;
    const HRESULT result =
        (*unknown)->QueryInterface(unknown, CFUUIDGetUUIDBytes(kMDImporterInterfaceID), &importer);
    // The IUnknown reference has done its job whether or not the interface was there.
    (*unknown)->Release(unknown);
    if (result != S_OK || !importer) {
        if (error) *error = bundle->bundlePath() + ": the plug-in does not offer the importer interface";
        return nullptr;
    }
    return std::make_unique<ImporterSession>(Private{}, std::move(bundle),
                                             static_cast<MDImporterInterfaceStruct**>(importer));
}

ImporterSession::ImporterSession(Private, std::unique_ptr<PlugInBundle> bundle,
                                 MDImporterInterfaceStruct** importer)
    : bundle_(std::move(bundle)),
      importer_(importer),
      contentType_(declaredContentType(*bundle_)),
      setCatalogReadHook_(reinterpret_cast<OsselImporterSetCatalogReadHookFunction>(
          bundle_->exportedSymbol(kOsselImporterSetCatalogReadHookName))),
      catalogDependencies_(reinterpret_cast<OsselImporterCatalogDependenciesFunction>(
          bundle_->exportedSymbol(kOsselImporterCatalogDependenciesName))) {}

ImporterSession::~ImporterSession() { (*importer_)->Release(importer_); }

bool ImporterSession::importFile(const Ref<String>& absolutePath, Dictionary& attributes) const {
    return (*importer_)->ImporterImportData(importer_, &attributes, contentType_.get(), absolutePath.get()) != 0;
}

bool ImporterSession::setCatalogReadHook(OsselCatalogReadHook hook, void* context) const {
    if (!setCatalogReadHook_) return false;
    setCatalogReadHook_(hook, context);
    return true;
}

std::span<const OsselCatalogDependency> ImporterSession::catalogDependencies() const {
    if (!catalogDependencies_) return {};
    const OsselCatalogDependency* entries = nullptr;
    const size_t count = catalogDependencies_(&entries);
    if (!entries) return {};
    return {entries, count};
}

}  // namespace ossel
