#include "importer/CatalogRecordIndex.h"

#include <functional>
#include <limits>
#include <typeinfo>

#include "foundation/Array.h"
#include "foundation/Data.h"

namespace ossel {
namespace {

// Header and rounding of one heap block, as glibc's allocator spends them.
constexpr size_t kPerAllocation = 16;
// The control block of a shared object made with make_shared, and its block.
constexpr size_t kSharedObject = 16 + kPerAllocation;

size_t heapBytes(const std::string& text) {
    const auto* self = reinterpret_cast<const char*>(&text);
    const bool inPlace = text.data() >= self && text.data() < self + sizeof text;
    return inPlace ? 0 : text.capacity() + 1 + kPerAllocation;
}

// What a value read from a property list holds, counting what it shares with
// other values once for each of them.
size_t objectBytes(const Object& object) {
    // Nearly every value is a text: no cast chain for it.
    if (typeid(object) == typeid(String)) {
        // The text sits in the object's block, behind the allocator the control block keeps.
        const auto& text = static_cast<const String&>(object);
        return kSharedObject + 2 * sizeof(size_t) + sizeof(String) + text.utf8().size() + 1;
    }
    if (const auto* data = dynamic_cast<const Data*>(&object)) {
        return kSharedObject + sizeof(Data) + data->bytes().capacity() + kPerAllocation;
    }
    if (const auto* array = dynamic_cast<const Array*>(&object)) {
        size_t bytes = kSharedObject + sizeof(Array) + array->items().capacity() * sizeof(Ref<Object>) + kPerAllocation;
        for (const auto& item : *array) bytes += objectBytes(*item);
        return bytes;
    }
    if (const auto* dictionary = dynamic_cast<const Dictionary*>(&object)) {
        // Its look-up slots, when built, are one word for each of twice the entries.
        size_t bytes = kSharedObject + sizeof(Dictionary) +
                       dictionary->entries().capacity() * sizeof(Dictionary::Entry) +
                       dictionary->count() * 2 * sizeof(uint64_t) + 2 * kPerAllocation;
        for (const auto& [key, value] : *dictionary) bytes += heapBytes(key) + objectBytes(*value);
        return bytes;
    }
    // Numbers, dates, null: a few words each.
    return kSharedObject + 64;
}

// The upper half of a slot. Its top bit is set, so that a slot in use never
// reads as empty; its low bits, where probing starts, are left as they are.
uint64_t hashOf(std::string_view id) {
    const auto hash = static_cast<uint32_t>(std::hash<std::string_view>{}(id));
    return uint64_t(hash | 0x80000000u) << 32;
}

constexpr uint64_t kPositionBits = 0xFFFFFFFF;

}  // namespace

void CatalogRecordIndex::add(const Dictionary* entry) {
    if (!entry || records_.size() >= std::numeric_limits<uint32_t>::max() - 1) return;
    const auto idText = entry->objectForKeyAs<String>(kind_->recordIdKey);
    if (!idText || idText->utf8().size() > std::numeric_limits<uint32_t>::max()) return;
    const std::string_view id = idText->view();
    auto data = entry->objectForKeyAs<Dictionary>(kind_->dataKey);
    if (!data || data->empty()) data = entry->objectForKeyAs<Dictionary>(kind_->typedDataKey);

    Record record{ids_.size(), values_.size(), static_cast<uint32_t>(id.size()), 0, false};
    if (data) {
        for (const auto property : kind_->keywordProperties) {
            if (auto value = data->objectForKey(property)) {
                values_.push_back(std::move(value));
                ++record.keywordCount;
            }
        }
        if (auto value = data->objectForKey(kind_->contentProperty)) {
            values_.push_back(std::move(value));
            record.hasContent = true;
        }
    }
    if (2 * (records_.size() + 1) > slots_.size()) grow();
    const uint64_t hash = hashOf(id);
    const size_t slot = slotOf(id, hash);
    if (slots_[slot]) {
        // The same id again: its text is already held.
        Record& earlier = records_[(slots_[slot] & kPositionBits) - 1];
        record.idOffset = earlier.idOffset;
        earlier = record;
        return;
    }
    ids_.append(id);
    records_.push_back(record);
    slots_[slot] = hash | records_.size();
}

size_t CatalogRecordIndex::slotOf(std::string_view id, uint64_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t slot = (hash >> 32) & mask;; slot = (slot + 1) & mask) {
        const uint64_t held = slots_[slot];
        if (!held) return slot;
        if ((held & ~kPositionBits) == hash && idOf(records_[(held & kPositionBits) - 1]) == id) return slot;
    }
}

void CatalogRecordIndex::grow() {
    std::vector<uint64_t> old(slots_.empty() ? 64 : slots_.size() * 2, 0);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const uint64_t held : old) {
        if (!held) continue;
        size_t slot = (held >> 32) & mask;
        while (slots_[slot]) slot = (slot + 1) & mask;
        slots_[slot] = held;
    }
}

std::optional<CatalogRecordIndex::Contribution> CatalogRecordIndex::find(std::string_view id) const {
    if (slots_.empty()) return std::nullopt;
    const uint64_t held = slots_[slotOf(id, hashOf(id))];
    if (!held) return std::nullopt;
    const Record& record = records_[(held & kPositionBits) - 1];
    const Ref<Object>* first = values_.data() + record.firstValue;
    return Contribution{{first, record.keywordCount}, record.hasContent ? first + record.keywordCount : nullptr};
}

size_t CatalogRecordIndex::bytesHeld() const {
    size_t bytes = sizeof *this + values_.capacity() * sizeof(Ref<Object>) + records_.capacity() * sizeof(Record) +
                   slots_.capacity() * sizeof(uint64_t) + heapBytes(ids_) + 3 * kPerAllocation;
    for (const auto& value : values_) bytes += objectBytes(*value);
    return bytes;
}

}  // namespace ossel
