#include "ids/TLDVClipSequenceId.h"

#include "foundation/Archiver.h"
#include "foundation/Clock.h"
#include "foundation/Format.h"
#include "foundation/Host.h"
#include "foundation/String.h"
#include "ids/TLIdGenerator.h"

namespace ossel {
namespace {

struct GeneratorSlot {
    Ref<TLIdGenerator> generator;
    uint64_t generation = 0;
};

GeneratorSlot& slot() {
    static GeneratorSlot s;
    return s;
}

// After a registry reset (tests only) the held generator is no longer the
// registered one; treat it as never obtained, as a fresh process would.
TLIdGenerator* obtainedGenerator() {
    const GeneratorSlot& s = slot();
    if (!s.generator || s.generation != TLIdGenerator::registryGeneration()) return nullptr;
    return s.generator.get();
}

std::string thisHostName() {
    std::string host = currentHostName();
    return host.empty() ? std::string(DEFAULT_HOSTNAME) : host;
}

[[maybe_unused]] const bool registered = [] {
    registerArchivableClass("TLDVClipSequenceId", 0,
                            [](Decoder& decoder) -> Ref<Object> { return TLDVClipSequenceId::initWithCoder(decoder); });
    return true;
}();

}  // namespace

TLIdGenerator& TLDVClipSequenceId::generator() {
    if (TLIdGenerator* held = obtainedGenerator()) return *held;
    GeneratorSlot& s = slot();
    s.generator = TLIdGenerator::generatorForKey(GENERATOR_KEY);
    s.generation = TLIdGenerator::registryGeneration();
    return *s.generator;
}

TLDVClipSequenceId::TLDVClipSequenceId() : TLDVClipSequenceId(generator().nextId(), currentTimeIntervalSince1970()) {}

TLDVClipSequenceId::TLDVClipSequenceId(int32_t index, double date) : TLDVClipSequenceId(thisHostName(), index, date) {}

TLDVClipSequenceId::TLDVClipSequenceId(std::string host, int32_t index, double date)
    : indexId_(index), dateId_(date), hostId_(std::move(host)) {
    generator();
}

TLDVClipSequenceId::TLDVClipSequenceId(Unarchived, std::string host, int32_t index, double date)
    : indexId_(index), dateId_(date), hostId_(std::move(host)) {}

Ref<TLDVClipSequenceId> TLDVClipSequenceId::nextId() { return std::make_shared<TLDVClipSequenceId>(); }

int32_t TLDVClipSequenceId::currentId() { return generator().currentId(); }

void TLDVClipSequenceId::resetId() {
    if (TLIdGenerator* held = obtainedGenerator()) held->resetId();
}

void TLDVClipSequenceId::resetId(uint32_t value) {
    if (TLIdGenerator* held = obtainedGenerator()) held->resetId(value);
}

std::string TLDVClipSequenceId::prefix() const { return "Sequence"; }

const std::string& TLDVClipSequenceId::stringId() const {
    if (stringId_.empty()) stringId_ = format("%@.%@-%d-%f", prefix(), hostId_, indexId_, dateId_);
    return stringId_;
}

std::string TLDVClipSequenceId::shortStringId() const { return format("%d-%f", indexId_, dateId_); }

const std::string& TLDVClipSequenceId::name() const {
    if (name_.empty()) name_ = format("%@-%d", prefix(), indexId_);
    return name_;
}

bool TLDVClipSequenceId::isOfReceiversKind(const Object* other) const { return isKindOf<TLDVClipSequenceId>(other); }

bool TLDVClipSequenceId::isEqual(const Object* other) const {
    if (!other || !isOfReceiversKind(other)) return false;
    const auto& that = static_cast<const TLDVClipSequenceId&>(*other);
    return that.dateId_ == dateId_ && that.indexId_ == indexId_ && that.hostId_ == hostId_;
}

uint32_t TLDVClipSequenceId::hash() const { return stringHash(stringId()); }

Ref<Object> TLDVClipSequenceId::copy() const {
    return std::make_shared<TLDVClipSequenceId>(hostId_, indexId_, dateId_);
}

void TLDVClipSequenceId::encodeWithCoder(Coder& coder) const {
    coder.encodeInt32(indexId_);
    coder.encodeDouble(dateId_);
    coder.encodeObject(str(hostId_));
}

void TLDVClipSequenceId::readFields(Decoder& decoder, std::string* host, int32_t* index, double* date) {
    *index = decoder.decodeInt32();
    *date = decoder.decodeDouble();
    // We never write an absent host; an archive without one reads as an empty host,
    // which at least compares equal to itself.
    const Ref<String> text = decoder.decodeObjectOfKind<String>();
    *host = text ? text->utf8() : std::string();
}

Ref<TLDVClipSequenceId> TLDVClipSequenceId::initWithCoder(Decoder& decoder) { return unarchive<TLDVClipSequenceId>(decoder); }

}  // namespace ossel
