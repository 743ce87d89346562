#pragma once
// The root of the object model: every value that can sit in an Array or a
// Dictionary, be described, compared, copied or archived derives from Object.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ossel {

template <class T>
using Ref = std::shared_ptr<T>;

class Coder;

class Object : public std::enable_shared_from_this<Object> {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object();

    // The class's own name, as archives and messages spell it ("DVTimeCode").
    virtual std::string className() const;

    // Identity by default; value classes compare their contents.
    virtual bool isEqual(const Object* other) const;
    virtual uint32_t hash() const;
    virtual std::string description() const;

    // Immutable values answer themselves; classes with state return a new object.
    virtual Ref<Object> copy() const;

    // Writes the object's fields, in its fixed order, to an archive.
    virtual void encodeWithCoder(Coder& coder) const;

    // A shared reference to this very object (the object must be owned by a Ref).
    Ref<Object> self() const;
    template <class T>
    Ref<T> selfAs() const {
        return std::static_pointer_cast<T>(self());
    }
};

// "A T or a subclass of it."
template <class T>
bool isKindOf(const Object* o) {
    return dynamic_cast<const T*>(o) != nullptr;
}
template <class T, class U>
bool isKindOf(const Ref<U>& o) {
    return dynamic_cast<const T*>(o.get()) != nullptr;
}
// The object as a T, or null when it is not one.
template <class T, class U>
Ref<T> kindCast(const Ref<U>& o) {
    return std::dynamic_pointer_cast<T>(o);
}

// Nil-safe equality: both absent, or both present and the first equal to the second.
bool objectsEqual(const Object* a, const Object* b);
inline bool objectsEqual(const Ref<Object>& a, const Ref<Object>& b) {
    return objectsEqual(a.get(), b.get());
}

// Functors for unordered containers keyed by objects.
struct ObjectHash {
    size_t operator()(const Ref<Object>& o) const { return o ? o->hash() : 0; }
};
struct ObjectEqual {
    bool operator()(const Ref<Object>& a, const Ref<Object>& b) const { return objectsEqual(a, b); }
};

// The class name of a C++ type in this code base, without namespace.
std::string demangledClassName(const std::type_info& type);

}  // namespace ossel
