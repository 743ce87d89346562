#include "plist/TLDVPListContainerSet.h"

#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"
#include "foundation/Archiver.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Format.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "ids/DVClipId.h"
#include "ids/DVMovieSnapshotId.h"
#include "plist/TLDVPListDictionary.h"

namespace ossel {
namespace {

[[maybe_unused]] const bool registered = [] {
    registerArchivableClass("TLDVPListContainerSet", 0, [](Decoder& decoder) -> Ref<Object> {
        return TLDVPListContainerSet::initWithCoder(decoder);
    });
    return true;
}();

}  // namespace

TLDVPListContainerSet::TLDVPListContainerSet() : array_(Array::make()) {}

Ref<TLDVPListContainerSet> TLDVPListContainerSet::withArray(Ref<Array> array) {
    auto container = make();
    container->array_ = std::move(array);
    return container;
}

Ref<TLDVPListContainerSet> TLDVPListContainerSet::initWithArray(const Ref<Array>& array) {
    if (!array) return make();
    // Sharing a mutable array is what lets a nested typed array, read back from
    // a dictionary, add to the array stored there.
    return withArray(array->isMutable() ? array : array->mutableCopy());
}

Ref<TLDVPListContainerSet> TLDVPListContainerSet::initWithContentsOfFile(const std::string& path) {
    // Mutable all the way down, like the containers the writer held.
    return withArray(kindCast<Array>(readPropertyListFromFile(path, nullptr, {.mutableContainers = true})));
}

// ---- Writing

void TLDVPListContainerSet::append(Ref<Object> value) {
    if (value && array_) array_->addObject(std::move(value));
}

void TLDVPListContainerSet::addData(const Ref<Data>& value) { append(value); }
void TLDVPListContainerSet::addDate(const Ref<Date>& value) { append(value); }
void TLDVPListContainerSet::addNumber(const Ref<Number>& value) { append(value); }
void TLDVPListContainerSet::addString(const Ref<String>& value) { append(value); }

void TLDVPListContainerSet::addTimeCode(const Ref<DVTimeCode>& value) {
    if (value) append(encodeTimeCode(value.get()));
}

void TLDVPListContainerSet::addClipId(const Ref<DVClipId>& value) {
    if (value) append(encodeClipId(value.get()));
}

void TLDVPListContainerSet::addClipSequenceId(const Ref<TLDVClipSequenceId>& value) {
    if (value) append(encodeClipSequenceId(value.get()));
}

void TLDVPListContainerSet::addSnapshotId(const Ref<DVMovieSnapshotId>& value) {
    if (value) append(encodeSnapshotId(value.get()));
}

void TLDVPListContainerSet::addDVSystem(const Ref<DVSystem>& value) {
    if (value) append(encodeDVSystem(value.get()));
}

void TLDVPListContainerSet::addPList(const Ref<TLDVPListContainer>& value) {
    // A container without data has no property list: nothing is appended.
    if (value) append(value->pListValue());
}

void TLDVPListContainerSet::addEntriesFromArray(const Array* array) {
    if (!array) return;
    // A copy of the elements, so that appending an array to itself walks a stable list.
    const std::vector<Ref<Object>> elements = array->items();
    for (const auto& element : elements) {
        // Order matters: a snapshot id is a sequence id and must keep its own prefix.
        if (auto data = kindCast<Data>(element)) {
            addData(data);
        } else if (auto date = kindCast<Date>(element)) {
            addDate(date);
        } else if (auto number = kindCast<Number>(element)) {
            addNumber(number);
        } else if (auto string = kindCast<String>(element)) {
            addString(string);
        } else if (auto timeCode = kindCast<DVTimeCode>(element)) {
            addTimeCode(timeCode);
        } else if (auto snapshot = kindCast<DVMovieSnapshotId>(element)) {
            addSnapshotId(snapshot);
        } else if (auto clip = kindCast<DVClipId>(element)) {
            addClipId(clip);
        } else if (auto sequence = kindCast<TLDVClipSequenceId>(element)) {
            addClipSequenceId(sequence);
        }
    }
}

void TLDVPListContainerSet::removeAllValues() {
    if (array_) array_->removeAllObjects();
}

// ---- Reading

uint32_t TLDVPListContainerSet::count() const { return array_ ? static_cast<uint32_t>(array_->count()) : 0; }

Ref<Object> TLDVPListContainerSet::valueAtIndex(uint32_t index) const {
    if (index >= count()) return nullptr;
    return decodeObjectAtIndex(array_->objectAtIndex(index), index);
}

Ref<Object> TLDVPListContainerSet::decodeObjectAtIndex(const Ref<Object>& raw, uint32_t index) const {
    if (!raw) return nullptr;
    Ref<TLDVPListContainer> wrapper;
    if (auto dictionary = kindCast<Dictionary>(raw)) {
        wrapper = TLDVPListDictionary::initWithDictionary(dictionary.get());
    } else if (auto array = kindCast<Array>(raw)) {
        wrapper = initWithArray(array);
    } else {
        return decodeObject(raw);
    }
    // The wrapper takes the element's place: later reads return this very
    // container, and what is changed through it stays in this array.
    if (array_) array_->replaceObjectAtIndex(index, wrapper);
    return wrapper;
}

Ref<Array> TLDVPListContainerSet::asMutableArray() const {
    auto result = Array::make();
    const uint32_t n = count();
    result->reserve(n);
    for (uint32_t index = 0; index < n; ++index) result->addObject(valueAtIndex(index));
    return result;
}

Ref<Object> TLDVPListContainerSet::pListValue() const { return array_ ? array_->mutableCopy() : nullptr; }

bool TLDVPListContainerSet::writeToFile(const std::string& path, bool atomically) const {
    return array_ && writePropertyListToFile(array_.get(), path, atomically);
}

std::string TLDVPListContainerSet::description() const {
    return format("TLDVPListContainerSet with data:\n %@", array_);
}

// ---- Copy and archive

Ref<TLDVPListContainer> TLDVPListContainerSet::makeEmptyOfSameClass() const { return make(); }

Ref<Object> TLDVPListContainerSet::copy() const {
    auto copied = std::static_pointer_cast<TLDVPListContainerSet>(TLDVPListContainer::copy());
    copied->array_ = array_ ? array_->mutableCopy() : nullptr;
    return copied;
}

void TLDVPListContainerSet::encodeWithCoder(Coder& coder) const {
    TLDVPListContainer::encodeWithCoder(coder);
    coder.encodeObject(array_);
}

Ref<TLDVPListContainerSet> TLDVPListContainerSet::initWithCoder(Decoder& decoder) {
    auto array = decoder.decodeObjectOfKind<Array>();
    // Appends edit the array in place, so the container must own a mutable one.
    if (array && !array->isMutable()) array = array->mutableCopy();
    return withArray(std::move(array));
}

}  // namespace ossel
