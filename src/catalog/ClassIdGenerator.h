#pragma once
// A record class's reference to its shared id generator: obtained on first
// need and kept for the life of the process, as the registry keeps it alive.

#include <cstdint>
#include <string_view>

#include "ids/TLIdGenerator.h"

namespace ossel {

class ClassIdGenerator {
public:
    explicit constexpr ClassIdGenerator(std::string_view key) : key_(key) {}

    // The generator, obtained now when needed.
    TLIdGenerator& obtain() {
        if (!existing()) {
            generator_ = TLIdGenerator::generatorForKey(key_);
            generation_ = TLIdGenerator::registryGeneration();
        }
        return *generator_;
    }

    // The generator when it was obtained already, else null. A registry reset
    // (tests only) turns the held generator into a stranger, so it no longer counts.
    TLIdGenerator* existing() const {
        return generator_ && generation_ == TLIdGenerator::registryGeneration() ? generator_.get() : nullptr;
    }

private:
    std::string_view key_;
    Ref<TLIdGenerator> generator_;
    uint64_t generation_ = 0;
};

}  // namespace ossel
