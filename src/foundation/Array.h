#pragma once
// An ordered list of objects, mutable or not. Mutability matters where the
// model shares a mutable array it was handed but copies an immutable one.

#include <vector>

#include "foundation/Object.h"

namespace ossel {

class Array final : public Object {
public:
    explicit Array(std::vector<Ref<Object>> items = {}, bool isMutable = true)
        : items_(std::move(items)), mutable_(isMutable) {}
    static Ref<Array> make(std::vector<Ref<Object>> items = {}, bool isMutable = true) {
        return std::make_shared<Array>(std::move(items), isMutable);
    }

    bool isMutable() const { return mutable_; }
    size_t count() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    // The element at the index, or null past the end.
    Ref<Object> objectAtIndex(size_t index) const { return index < items_.size() ? items_[index] : nullptr; }
    const std::vector<Ref<Object>>& items() const { return items_; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    // Mutation; null elements are not stored.
    void addObject(Ref<Object> object);
    void replaceObjectAtIndex(size_t index, Ref<Object> object);
    void removeAllObjects() { items_.clear(); }
    void reserve(size_t n) { items_.reserve(n); }

    // A new mutable array holding the same elements.
    Ref<Array> mutableCopy() const { return make(items_, true); }

    bool isEqual(const Object* other) const override;
    uint32_t hash() const override { return static_cast<uint32_t>(items_.size()); }
    std::string description() const override;
    // An immutable array answers itself; a mutable one an immutable shallow copy.
    Ref<Object> copy() const override;
    std::string className() const override { return "Array"; }

private:
    std::vector<Ref<Object>> items_;
    bool mutable_;
};

}  // namespace ossel
