#pragma once
// The one formatting function of the code base. It takes the system's format
// texts as they stand ("%@-%@.%d-%.8f:%d") and understands "%@" (an object's
// description, "(null)" for none, or a text) beside the printf conversions
// d i u x X o c s f F e E g G a A p and %%, with flags, width, precision and
// the length modifiers hh h l ll q z j t L.
//
// Arguments are taken type-safely: integers, reals, texts, objects. As in C,
// "%d" prints its argument as a 32-bit int (an unsigned 2^31 prints negative)
// and "%ld"/"%lld" as 64 bits. A conversion without an argument is copied as
// it stands; an argument of the wrong sort is converted as well as it can be.

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "foundation/Object.h"

namespace ossel {

struct FormatArg {
    enum class Kind { Signed, Unsigned, Real, Text, Obj, Pointer };
    Kind kind;
    int64_t i = 0;
    uint64_t u = 0;
    double d = 0;
    std::string_view text;
    const Object* object = nullptr;
    const void* pointer = nullptr;

    FormatArg(bool v) : kind(Kind::Signed), i(v) {}
    FormatArg(char v) : kind(Kind::Signed), i(v) {}
    template <std::signed_integral T>
    FormatArg(T v) : kind(Kind::Signed), i(v) {}
    template <std::unsigned_integral T>
    FormatArg(T v) : kind(Kind::Unsigned), u(v) {}
    template <std::floating_point T>
    FormatArg(T v) : kind(Kind::Real), d(static_cast<double>(v)) {}
    FormatArg(const char* v) : kind(Kind::Text), text(v ? std::string_view(v) : std::string_view("(null)")) {}
    FormatArg(const std::string& v) : kind(Kind::Text), text(v) {}
    FormatArg(std::string_view v) : kind(Kind::Text), text(v) {}
    FormatArg(const Object* v) : kind(Kind::Obj), object(v) {}
    FormatArg(std::nullptr_t) : kind(Kind::Obj) {}
    template <class T>
        requires std::derived_from<T, Object>
    FormatArg(const Ref<T>& v) : kind(Kind::Obj), object(v.get()) {}
    template <class T>
        requires std::derived_from<T, Object>
    FormatArg(const T* v) : kind(Kind::Obj), object(v) {}
    FormatArg(const void* v) : kind(Kind::Pointer), pointer(v) {}
};

std::string formatArgs(std::string_view format, const FormatArg* args, size_t count);

template <class... A>
std::string format(std::string_view fmt, const A&... args) {
    if constexpr (sizeof...(A) == 0) {
        return formatArgs(fmt, nullptr, 0);
    } else {
        const FormatArg list[] = {FormatArg(args)...};
        return formatArgs(fmt, list, sizeof...(A));
    }
}

}  // namespace ossel
