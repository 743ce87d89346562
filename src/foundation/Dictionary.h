#pragma once
// A map from text keys to objects that keeps its entries in insertion order,
// so that enumeration is stable. Small dictionaries are searched linearly;
// larger ones build a hash index on first need.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/Object.h"

namespace ossel {

class Dictionary final : public Object {
public:
    using Entry = std::pair<std::string, Ref<Object>>;

    explicit Dictionary(bool isMutable = true) : mutable_(isMutable) {}
    Dictionary(std::vector<Entry> entries, bool isMutable);  // later duplicates replace earlier ones
    // Takes the entries as they are, for callers that know every key to be distinct
    // (a reader that has checked): no per-entry look-up, no second vector.
    struct UniqueKeys {};
    Dictionary(std::vector<Entry> entries, bool isMutable, UniqueKeys)
        : entries_(std::move(entries)), mutable_(isMutable) {}
    static Ref<Dictionary> make(bool isMutable = true) { return std::make_shared<Dictionary>(isMutable); }

    bool isMutable() const { return mutable_; }
    size_t count() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    // The value under the key, or null.
    Ref<Object> objectForKey(std::string_view key) const;
    bool containsKey(std::string_view key) const { return find(key) != npos; }
    template <class T>
    Ref<T> objectForKeyAs(std::string_view key) const {
        return std::dynamic_pointer_cast<T>(objectForKey(key));
    }

    // Stores the value (a null value removes the key). A replaced key keeps its position.
    void setObject(Ref<Object> value, std::string key);
    void removeObjectForKey(std::string_view key);
    void removeAllObjects();
    void reserve(size_t n) { entries_.reserve(n); }

    // Entries in insertion order.
    const std::vector<Entry>& entries() const { return entries_; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }
    std::vector<std::string> allKeys() const;

    // A new mutable dictionary holding the same entries.
    Ref<Dictionary> mutableCopy() const;

    bool isEqual(const Object* other) const override;
    uint32_t hash() const override { return static_cast<uint32_t>(entries_.size()); }
    std::string description() const override;
    Ref<Object> copy() const override;
    std::string className() const override { return "Dictionary"; }

private:
    static constexpr size_t npos = static_cast<size_t>(-1);
    static constexpr size_t kIndexThreshold = 16;
    // Small and not indexed yet: look-ups read the keys in turn.
    bool scansEntries() const { return entries_.size() < kIndexThreshold && slots_.empty(); }
    size_t find(std::string_view key) const;
    // The key's position, or npos with `freeSlot` set to the empty slot that ended the run.
    size_t probe(std::string_view key, uint64_t tag, size_t& freeSlot) const;
    void place(uint64_t slotValue) const;
    void rebuildIndex() const;
    void growIndex() const;

    std::vector<Entry> entries_;
    // Open addressing over entry positions, sized to at least twice the entries: one
    // probe run per look-up and no copy of any key. A slot holds the upper 32 bits of
    // the key's hash above position + 1 (0 = empty), so that a probe reads a key only
    // when its hash matches. Built on the first look-up of a large dictionary, kept up
    // to date by appends, dropped by removals (which shift positions).
    mutable std::vector<uint64_t> slots_;
    bool mutable_;
};

// The platform's old-style text rendering, as descriptions print collections:
// "{\n    key = value;\n}" and "(\n    a,\n    b\n)", nested with four spaces a level.
// Texts go in quotes when they hold more than letters, digits and "_$/:.-", or
// always, for listings where a bare word must not pass for a number or a date.
enum class TextQuoting { asNeeded, always };
std::string oldStyleDescription(const Object* object, int indentLevel = 0, TextQuoting quoting = TextQuoting::asNeeded);

}  // namespace ossel
