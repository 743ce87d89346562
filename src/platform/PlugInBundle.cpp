#include "platform/PlugInBundle.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "foundation/Array.h"
#include "foundation/Format.h"
#include "foundation/PropertyList.h"
#include "foundation/RegularFile.h"
#include "foundation/String.h"

namespace ossel {

namespace {

constexpr const char* kModuleSuffix = ".so";

void setError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}

std::string joinPath(const std::string& directory, const std::string& name) {
    if (directory.empty() || directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

// The OS names the module without a suffix; here it carries the platform's.
std::string modulePath(const std::string& bundlePath, const std::string& executable) {
    const std::string plain = joinPath(joinPath(bundlePath, "Contents/MacOS"), executable);
    return executable.ends_with(kModuleSuffix) ? plain : plain + kModuleSuffix;
}

bool sameUUID(const std::string& text, CFUUIDRef uuid) {
    const CFUUIDRef parsed = CFUUIDCreateFromString(kCFAllocatorDefault, text);
    const bool same = CFEqual(parsed, uuid);
    CFRelease(parsed);
    return same;
}

std::vector<std::string> stringsOf(const Ref<Object>& value) {
    std::vector<std::string> out;
    if (const auto text = kindCast<String>(value)) out.emplace_back(text->utf8());
    if (const auto list = kindCast<Array>(value)) {
        for (const auto& item : *list) {
            if (const auto text = kindCast<String>(item)) out.emplace_back(text->utf8());
        }
    }
    return out;
}

}  // namespace

PlugInBundle::PlugInBundle(Private, std::string bundlePath, std::string executablePath, Ref<Dictionary> info, void* handle)
    : bundlePath_(std::move(bundlePath)),
      executablePath_(std::move(executablePath)),
      info_(std::move(info)),
      handle_(handle) {}

// The module stays mapped (RTLD_NODELETE): objects it made, such as the values
// in an attribute dictionary, may outlive the host's use of the bundle.
PlugInBundle::~PlugInBundle() {
    if (handle_) dlclose(handle_);
}

std::unique_ptr<PlugInBundle> PlugInBundle::load(const std::string& bundlePath, std::string* error) {
    const std::string infoPath = joinPath(bundlePath, "Contents/Info.plist");
    std::string readError;
    const auto info = kindCast<Dictionary>(readPropertyListFromFile(infoPath, &readError));
    if (!info) {
        setError(error, format("%@: %@", infoPath, readError.empty() ? std::string("not a dictionary") : readError));
        return nullptr;
    }
    const auto executable = info->objectForKeyAs<String>("CFBundleExecutable");
    if (!executable || executable->empty()) {
        setError(error, format("%@: no CFBundleExecutable", infoPath));
        return nullptr;
    }
    const std::string executablePath = modulePath(bundlePath, std::string(executable->utf8()));
    // The loader would wait on a FIFO for ever; what is missing it reports itself.
    struct stat module {};
    if (::stat(executablePath.c_str(), &module) == 0 && !S_ISREG(module.st_mode)) {
        setError(error, format("%@: is %s, not a regular file", executablePath, fileTypeName(module.st_mode)));
        return nullptr;
    }
    void* handle = dlopen(executablePath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* reason = dlerror();
        setError(error, format("%@: cannot load the module (%@)", executablePath, reason ? reason : "unknown"));
        return nullptr;
    }
    return std::make_unique<PlugInBundle>(Private{}, bundlePath, executablePath, info, handle);
}

std::vector<PlugInBundle::Factory> PlugInBundle::factories() const {
    std::vector<Factory> out;
    const auto table = info_->objectForKeyAs<Dictionary>("CFPlugInFactories");
    if (!table) return out;
    for (const auto& [factoryId, name] : *table) {
        if (const auto text = kindCast<String>(name)) out.push_back({factoryId, std::string(text->utf8())});
    }
    return out;
}

std::vector<std::string> PlugInBundle::typeIds() const {
    const auto types = info_->objectForKeyAs<Dictionary>("CFPlugInTypes");
    return types ? types->allKeys() : std::vector<std::string>{};
}

std::vector<std::string> PlugInBundle::factoryIdsForType(CFUUIDRef typeID) const {
    const auto types = info_->objectForKeyAs<Dictionary>("CFPlugInTypes");
    if (!types) return {};
    for (const auto& [typeText, factoryIds] : *types) {
        if (sameUUID(typeText, typeID)) return stringsOf(factoryIds);
    }
    return {};
}

std::vector<std::string> PlugInBundle::contentTypes() const {
    std::vector<std::string> out;
    const auto documentTypes = info_->objectForKeyAs<Array>("CFBundleDocumentTypes");
    if (!documentTypes) return out;
    for (const auto& entry : *documentTypes) {
        const auto documentType = kindCast<Dictionary>(entry);
        if (!documentType) continue;
        for (auto& type : stringsOf(documentType->objectForKey("LSItemContentTypes"))) out.push_back(std::move(type));
    }
    return out;
}

CFPlugInFactoryFunction PlugInBundle::factoryFunction(const std::string& factoryId, std::string* error) const {
    for (const auto& factory : factories()) {
        if (factory.factoryId != factoryId) continue;
        dlerror();
        void* symbol = dlsym(handle_, factory.functionName.c_str());
        if (!symbol) {
            setError(error, format("%@: the module exports no factory function %@", executablePath_,
                                   factory.functionName));
            return nullptr;
        }
        return reinterpret_cast<CFPlugInFactoryFunction>(symbol);
    }
    setError(error, format("%@: no factory %@ in CFPlugInFactories", bundlePath_, factoryId));
    return nullptr;
}

void* PlugInBundle::exportedSymbol(const std::string& name) const { return dlsym(handle_, name.c_str()); }

void* PlugInBundle::createInstanceForType(CFUUIDRef typeID, std::string* error) const {
    const auto factoryIds = factoryIdsForType(typeID);
    if (factoryIds.empty()) {
        setError(error, format("%@: no factory serves the plug-in type %@", bundlePath_,
                               CFUUIDCreateString(kCFAllocatorDefault, typeID)));
        return nullptr;
    }
    for (const auto& factoryId : factoryIds) {
        const CFPlugInFactoryFunction factory = factoryFunction(factoryId, error);
        if (!factory) continue;
        if (void* instance = factory(kCFAllocatorDefault, typeID)) return instance;
        setError(error, format("%@: factory %@ made no instance", bundlePath_, factoryId));
    }
    return nullptr;
}

}  // namespace ossel
