#include "plist/TLDVPListDictionary.h"

#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"
#include "foundation/Archiver.h"
#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Format.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "ids/DVClipId.h"
#include "ids/DVMovieSnapshotId.h"
#include "plist/TLDVPListContainerSet.h"

namespace ossel {
namespace {

[[maybe_unused]] const bool registered = [] {
    registerArchivableClass("TLDVPListDictionary", 0,
                            [](Decoder& decoder) -> Ref<Object> { return TLDVPListDictionary::initWithCoder(decoder); });
    return true;
}();

// Room for the few entries a typical annotation container holds.
inline constexpr size_t kInitialCapacity = 3;

std::string nestedKey(std::string_view format, std::string_view key) { return ossel::format(format, key); }

}  // namespace

TLDVPListDictionary::TLDVPListDictionary() : containerData_(Dictionary::make()) {
    containerData_->reserve(kInitialCapacity);
}

Ref<TLDVPListDictionary> TLDVPListDictionary::withData(Ref<Dictionary> data) {
    auto container = make();
    container->containerData_ = std::move(data);
    return container;
}

Ref<TLDVPListDictionary> TLDVPListDictionary::initWithDictionary(const Dictionary* dictionary) {
    if (!dictionary) return make();
    return withData(dictionary->mutableCopy());
}

Ref<TLDVPListDictionary> TLDVPListDictionary::initWithPListDictionary(const TLDVPListDictionary* other, bool copyItems) {
    if (!other || !other->containerData_) return make();
    if (!copyItems) return withData(other->containerData_->mutableCopy());
    auto data = Dictionary::make();
    data->reserve(other->containerData_->count());
    for (const auto& [key, value] : *other->containerData_) data->setObject(value->copy(), key);
    return withData(std::move(data));
}

Ref<TLDVPListDictionary> TLDVPListDictionary::initWithContentsOfFile(const std::string& path) {
    // Nested arrays and dictionaries come back mutable too, so that a container
    // read from a file behaves like the one that wrote it (a nested typed array
    // read back shares its storage with this container in both cases).
    auto data = kindCast<Dictionary>(readPropertyListFromFile(path, nullptr, {.mutableContainers = true}));
    return withData(std::move(data));
}

// ---- Writing

void TLDVPListDictionary::store(Ref<Object> value, PListKey key) {
    if (!value || !key || !containerData_) return;
    containerData_->setObject(std::move(value), std::string(*key));
}

void TLDVPListDictionary::putData(const Ref<Data>& value, PListKey key) { store(value, key); }
void TLDVPListDictionary::putDate(const Ref<Date>& value, PListKey key) { store(value, key); }
void TLDVPListDictionary::putNumber(const Ref<Number>& value, PListKey key) { store(value, key); }
void TLDVPListDictionary::putString(const Ref<String>& value, PListKey key) { store(value, key); }

void TLDVPListDictionary::putBool(bool value, PListKey key) { store(Number::withBool(value), key); }
void TLDVPListDictionary::putInt(int32_t value, PListKey key) { store(Number::withInt(value), key); }
void TLDVPListDictionary::putLong(long value, PListKey key) { store(Number::withInt(value), key); }
void TLDVPListDictionary::putUnsignedInt(uint32_t value, PListKey key) { store(Number::withUnsigned(value), key); }
void TLDVPListDictionary::putFloat(float value, PListKey key) { store(Number::withFloat(value), key); }
void TLDVPListDictionary::putDouble(double value, PListKey key) { store(Number::withDouble(value), key); }

void TLDVPListDictionary::putTimeCode(const Ref<DVTimeCode>& value, PListKey key) {
    if (value && key) store(encodeTimeCode(value.get()), key);
}

void TLDVPListDictionary::putClipId(const Ref<DVClipId>& value, PListKey key) {
    if (value && key) store(encodeClipId(value.get()), key);
}

void TLDVPListDictionary::putClipSequenceId(const Ref<TLDVClipSequenceId>& value, PListKey key) {
    if (value && key) store(encodeClipSequenceId(value.get()), key);
}

void TLDVPListDictionary::putSnapshotId(const Ref<DVMovieSnapshotId>& value, PListKey key) {
    if (value && key) store(encodeSnapshotId(value.get()), key);
}

void TLDVPListDictionary::putDVSystem(const Ref<DVSystem>& value, PListKey key) {
    if (value && key) store(encodeDVSystem(value.get()), key);
}

void TLDVPListDictionary::putObject(const Ref<Object>& value, PListKey key) {
    // Order matters: a snapshot id is a sequence id, and only snapshot ids are stored here.
    if (auto data = kindCast<Data>(value)) return putData(data, key);
    if (auto date = kindCast<Date>(value)) return putDate(date, key);
    if (auto number = kindCast<Number>(value)) return putNumber(number, key);
    if (auto string = kindCast<String>(value)) return putString(string, key);
    if (auto timeCode = kindCast<DVTimeCode>(value)) return putTimeCode(timeCode, key);
    if (auto snapshot = kindCast<DVMovieSnapshotId>(value)) return putSnapshotId(snapshot, key);
    if (auto clip = kindCast<DVClipId>(value)) return putClipId(clip, key);
    if (auto system = kindCast<DVSystem>(value)) return putDVSystem(system, key);
}

void TLDVPListDictionary::addEntriesFromDictionary(const Dictionary* dictionary) {
    if (!dictionary) return;
    // A copy of the entries, so that merging a dictionary into itself walks a stable list.
    const std::vector<Dictionary::Entry> entries = dictionary->entries();
    for (const auto& [key, value] : entries) putObject(value, key);
}

void TLDVPListDictionary::putPList(const Ref<TLDVPListContainer>& value, PListKey key) {
    if (!value || !key) return;
    // The typed array is tested first, as a container could in principle be both.
    if (isKindOf<TLDVPListContainerSet>(value)) {
        store(value->pListValue(), nestedKey(kTLDVNestedArrayKeyFormat, *key));
    } else if (isKindOf<TLDVPListDictionary>(value)) {
        store(value->pListValue(), nestedKey(kTLDVNestedDictKeyFormat, *key));
    }
}

void TLDVPListDictionary::removeAllValues() {
    if (containerData_) containerData_->removeAllObjects();
}

// ---- Reading

Ref<Object> TLDVPListDictionary::rawValue(PListKey key) const {
    if (!key || !containerData_) return nullptr;
    return containerData_->objectForKey(*key);
}

Ref<Object> TLDVPListDictionary::valueForKey(PListKey key) const { return decodeObjectWithKey(rawValue(key), key); }

Ref<Object> TLDVPListDictionary::decodeObjectWithKey(const Ref<Object>& raw, PListKey key) const {
    if (raw) return decodeObject(raw);
    if (!key) return nullptr;
    return nestedValue(*key);
}

Ref<Object> TLDVPListDictionary::nestedValue(std::string_view key) const {
    if (auto dictionary = kindCast<Dictionary>(rawValue(nestedKey(kTLDVNestedDictKeyFormat, key)))) {
        return initWithDictionary(dictionary.get());
    }
    if (auto array = kindCast<Array>(rawValue(nestedKey(kTLDVNestedArrayKeyFormat, key)))) {
        return TLDVPListContainerSet::initWithArray(array);
    }
    return nullptr;
}

Ref<TLDVPListContainer> TLDVPListDictionary::pListValueForKey(PListKey key) const {
    if (!key) return nullptr;
    if (auto array = kindCast<Array>(rawValue(nestedKey(kTLDVNestedArrayKeyFormat, *key)))) {
        return TLDVPListContainerSet::initWithArray(array);
    }
    if (auto dictionary = kindCast<Dictionary>(rawValue(nestedKey(kTLDVNestedDictKeyFormat, *key)))) {
        return initWithDictionary(dictionary.get());
    }
    return nullptr;
}

Ref<Number> TLDVPListDictionary::rawNumber(PListKey key) const { return kindCast<Number>(rawValue(key)); }

// The number under a key in the requested kind, or the default when the entry is
// absent or is not a number object.
template <class T>
T TLDVPListDictionary::numberValue(PListKey key, T defaultValue, T (Number::*read)() const) const {
    const auto number = rawNumber(key);
    return number ? ((*number).*read)() : defaultValue;
}

bool TLDVPListDictionary::boolValueForKey(PListKey key, bool defaultValue) const {
    return numberValue(key, defaultValue, &Number::boolValue);
}

int32_t TLDVPListDictionary::intValueForKey(PListKey key, int32_t defaultValue) const {
    return numberValue(key, defaultValue, &Number::intValue);
}

long TLDVPListDictionary::longValueForKey(PListKey key, long defaultValue) const {
    return numberValue(key, defaultValue, &Number::longValue);
}

uint32_t TLDVPListDictionary::unsignedIntValueForKey(PListKey key, uint32_t defaultValue) const {
    return numberValue(key, defaultValue, &Number::unsignedIntValue);
}

float TLDVPListDictionary::floatValueForKey(PListKey key, float defaultValue) const {
    return numberValue(key, defaultValue, &Number::floatValue);
}

double TLDVPListDictionary::doubleValueForKey(PListKey key, double defaultValue) const {
    return numberValue(key, defaultValue, &Number::doubleValue);
}

std::vector<std::string> TLDVPListDictionary::keyEnumerator() const {
    return containerData_ ? containerData_->allKeys() : std::vector<std::string>{};
}

Ref<Dictionary> TLDVPListDictionary::asMutableDictionary() const {
    auto result = Dictionary::make();
    if (!containerData_) return result;
    result->reserve(containerData_->count());
    for (const auto& [key, raw] : *containerData_) {
        // A dictionary cannot hold nothing: keys that decode to nothing are left out.
        if (auto value = decodeObjectWithKey(raw, key)) result->setObject(std::move(value), key);
    }
    return result;
}

Ref<Object> TLDVPListDictionary::pListValue() const {
    return containerData_ ? containerData_->mutableCopy() : nullptr;
}

bool TLDVPListDictionary::writeToFile(const std::string& path, bool atomically) const {
    return containerData_ && writePropertyListToFile(containerData_.get(), path, atomically);
}

std::string TLDVPListDictionary::description() const {
    if (!containerData_) return "TLDVPListDictionary with no data";
    return format("TLDVPListDictionary with data:\n %@", containerData_);
}

std::string TLDVPListDictionary::debugDescription() const {
    if (!containerData_) return "TLDVPListDictionary with no data";
    return format("TLDVPListDictionary with data set of size:\n %d", containerData_->count());
}

// ---- Copy and archive

Ref<TLDVPListContainer> TLDVPListDictionary::makeEmptyOfSameClass() const { return make(); }

Ref<Object> TLDVPListDictionary::copy() const {
    auto copied = std::static_pointer_cast<TLDVPListDictionary>(TLDVPListContainer::copy());
    copied->containerData_ = containerData_ ? containerData_->mutableCopy() : nullptr;
    return copied;
}

void TLDVPListDictionary::encodeWithCoder(Coder& coder) const {
    TLDVPListContainer::encodeWithCoder(coder);
    coder.encodeObject(containerData_);
}

Ref<TLDVPListDictionary> TLDVPListDictionary::initWithCoder(Decoder& decoder) {
    auto data = decoder.decodeObjectOfKind<Dictionary>();
    // Puts edit the dictionary in place, so the container must own a mutable one.
    if (data && !data->isMutable()) data = data->mutableCopy();
    return withData(std::move(data));
}

}  // namespace ossel
