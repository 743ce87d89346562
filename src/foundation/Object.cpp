#include "foundation/Object.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

namespace ossel {

Object::~Object() = default;

std::string demangledClassName(const std::type_info& type) {
    int status = 0;
    char* raw = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = (status == 0 && raw) ? raw : type.name();
    std::free(raw);
    const auto colon = name.rfind("::");
    return colon == std::string::npos ? name : name.substr(colon + 2);
}

std::string Object::className() const { return demangledClassName(typeid(*this)); }

bool Object::isEqual(const Object* other) const { return other == this; }

uint32_t Object::hash() const {
    const auto address = reinterpret_cast<uintptr_t>(this);
    return static_cast<uint32_t>(address ^ (address >> 32));
}

std::string Object::description() const {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", static_cast<const void*>(this));
    return "<" + className() + ": " + buffer + ">";
}

Ref<Object> Object::copy() const { return self(); }

void Object::encodeWithCoder(Coder&) const {}

Ref<Object> Object::self() const {
    return std::const_pointer_cast<Object>(shared_from_this());
}

bool objectsEqual(const Object* a, const Object* b) {
    if (!a || !b) return !a && !b;
    return a == b || a->isEqual(b);
}

}  // namespace ossel
