#pragma once
// A persistent counter per key. Each key has one generator per process, held
// by a process-wide registry, and its counter lives in the user-defaults store
// under "com.tollendra.<key>" so that numbering continues across runs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Object.h"

namespace ossel {

// Prefix of every store key.
inline constexpr std::string_view PREFIX = "com.tollendra";
// Host name used in text ids when the platform gives none.
inline constexpr std::string_view DEFAULT_HOSTNAME = "localhost";
// Counter value of a fresh or reset generator.
inline constexpr int32_t DEFAULT_VALUE = 0;

class TLIdGenerator final : public Object {
public:
    // The generator registered under the key, created (its counter restored
    // from the store) on the first request. No key, no generator. The registry
    // keeps every generator alive, so callers may hold the result for good.
    static Ref<TLIdGenerator> generatorForKey(std::optional<std::string_view> key);
    // The creation step behind generatorForKey; it answers the registered
    // generator when there is one, so the two are the same operation.
    static Ref<TLIdGenerator> initWithKey(std::optional<std::string_view> key) { return generatorForKey(key); }
    // Flushes the store, for the host application.
    static void saveGeneratorsState();

    // Forgets every registered generator, so that the next request re-reads the
    // store as a fresh process would. Generators handed out before stay usable
    // but are no longer the registered ones; holders that cache a generator
    // compare registryGeneration() to notice. Tests only.
    static void resetRegistryForTesting();
    // Changes whenever the registry is reset.
    static uint64_t registryGeneration();

    const std::string& prefixedKey() const { return prefixedKey_; }

    int32_t currentId() const { return nextId_; }
    // Advances the counter, writes it through to the store and answers it.
    int32_t nextId();
    void resetId();
    void resetId(uint32_t value);

    // The host name used in text ids, asked for once.
    const std::string& hostId();

    // "<prefix>.<host>-<index>-<seconds since 1970>", prefix "UID" when absent;
    // the counter is not touched.
    std::string stringIdWithPrefix(std::optional<std::string_view> prefix, int32_t index);
    std::string nextStringIdWithPrefix(std::optional<std::string_view> prefix);

    std::string description() const override;

    struct Private {};
    TLIdGenerator(Private, std::string prefixedKey);

private:
    void save();

    std::string prefixedKey_;
    int32_t nextId_ = DEFAULT_VALUE;  // the last id handed out
    std::string hostId_;
};

}  // namespace ossel
