#include "ids/TLIdGenerator.h"

#include <unordered_map>

#include "foundation/Clock.h"
#include "foundation/Format.h"
#include "foundation/Host.h"
#include "foundation/String.h"
#include "foundation/UserDefaults.h"

namespace ossel {
namespace {

struct Registry {
    std::unordered_map<std::string, Ref<TLIdGenerator>> generators;
    uint64_t generation = 0;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

}  // namespace

TLIdGenerator::TLIdGenerator(Private, std::string prefixedKey) : prefixedKey_(std::move(prefixedKey)) {
    // The store is read here only: once per generator and process.
    auto& defaults = UserDefaults::standardUserDefaults();
    nextId_ = defaults.objectForKey(prefixedKey_) ? static_cast<int32_t>(defaults.integerForKey(prefixedKey_))
                                                  : DEFAULT_VALUE;
}

Ref<TLIdGenerator> TLIdGenerator::generatorForKey(std::optional<std::string_view> key) {
    if (!key) return nullptr;
    auto& generators = registry().generators;
    if (const auto it = generators.find(std::string(*key)); it != generators.end()) return it->second;
    auto generator = std::make_shared<TLIdGenerator>(Private{}, format("%@.%@", PREFIX, *key));
    generators.emplace(std::string(*key), generator);
    return generator;
}

void TLIdGenerator::saveGeneratorsState() { UserDefaults::standardUserDefaults().synchronize(); }

void TLIdGenerator::resetRegistryForTesting() {
    registry().generators.clear();
    ++registry().generation;
}

uint64_t TLIdGenerator::registryGeneration() { return registry().generation; }

// Every change is written through at once: an id handed out must never come
// back in a later process, even when this one dies right after.
void TLIdGenerator::save() { UserDefaults::standardUserDefaults().setInteger(nextId_, prefixedKey_); }

int32_t TLIdGenerator::nextId() {
    // Wraps like the 32-bit counter it stands for instead of overflowing.
    nextId_ = static_cast<int32_t>(static_cast<uint32_t>(nextId_) + 1u);
    save();
    return nextId_;
}

void TLIdGenerator::resetId() {
    nextId_ = DEFAULT_VALUE;
    save();
}

void TLIdGenerator::resetId(uint32_t value) {
    nextId_ = static_cast<int32_t>(value);
    save();
}

const std::string& TLIdGenerator::hostId() {
    if (hostId_.empty()) {
        hostId_ = currentHostName();
        if (hostId_.empty()) hostId_ = DEFAULT_HOSTNAME;
    }
    return hostId_;
}

std::string TLIdGenerator::stringIdWithPrefix(std::optional<std::string_view> prefix, int32_t index) {
    const std::string_view chosen = prefix ? *prefix : std::string_view("UID");
    const std::string host = replaceAll(replaceAll(hostId(), "-", "_"), ".", "_");
    return format("%@.%@-%d-%f", chosen, host, index, currentTimeIntervalSince1970());
}

std::string TLIdGenerator::nextStringIdWithPrefix(std::optional<std::string_view> prefix) {
    return stringIdWithPrefix(prefix, nextId());
}

std::string TLIdGenerator::description() const { return format("<TLIdGenerator %@ = %d>", prefixedKey_, nextId_); }

}  // namespace ossel
