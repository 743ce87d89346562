#include "platform/CFPlugIn.h"

#include <array>
#include <cstring>
#include <map>

namespace ossel {

namespace {

using FactoryKey = std::array<uint8_t, 16>;

struct Registry {
    std::map<FactoryKey, CFIndex> instances;
    CFIndex unbalancedRemovals = 0;
};

Registry& registry() {
    static Registry shared;
    return shared;
}

FactoryKey keyOf(CFUUIDRef factoryID) {
    const CFUUIDBytes bytes = CFUUIDGetUUIDBytes(factoryID);
    FactoryKey key;
    std::memcpy(key.data(), &bytes, key.size());
    return key;
}

}  // namespace

void CFPlugInAddInstanceForFactory(CFUUIDRef factoryID) {
    if (!factoryID) return;
    ++registry().instances[keyOf(factoryID)];
}

void CFPlugInRemoveInstanceForFactory(CFUUIDRef factoryID) {
    if (!factoryID) return;
    Registry& shared = registry();
    const auto found = shared.instances.find(keyOf(factoryID));
    if (found == shared.instances.end()) {
        ++shared.unbalancedRemovals;
        return;
    }
    if (--found->second == 0) shared.instances.erase(found);
}

CFIndex CFPlugInInstanceCountForFactory(CFUUIDRef factoryID) {
    if (!factoryID) return 0;
    const Registry& shared = registry();
    const auto found = shared.instances.find(keyOf(factoryID));
    return found == shared.instances.end() ? 0 : found->second;
}

CFIndex CFPlugInUnbalancedRemovalCount() { return registry().unbalancedRemovals; }

}  // namespace ossel
