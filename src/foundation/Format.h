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
#include <vector>

#include "foundation/Object.h"

namespace ossel {

// One argument, as small as it can be: it is built for every conversion.
struct FormatArg {
    enum class Kind : uint8_t { Signed, Unsigned, Real, Text, Obj, Pointer };
    Kind kind;
    union {
        int64_t i = 0;
        uint64_t u;
        double d;
        const Object* object;
        const void* pointer;
    };
    std::string_view text;

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

// A format parsed once, for texts written over and over (a timecode's label, a
// typed string): formatting with it gives exactly what format() gives for the
// same format, without reading the format again. Made once, kept (static).
class ParsedFormat {
public:
    explicit ParsedFormat(std::string_view format);
    ParsedFormat(const ParsedFormat&) = delete;
    ParsedFormat& operator=(const ParsedFormat&) = delete;
    ~ParsedFormat();

    template <class... A>
    std::string operator()(const A&... args) const {
        if constexpr (sizeof...(A) == 0) {
            return formatArgs(nullptr, 0);
        } else {
            const FormatArg list[] = {FormatArg(args)...};
            return formatArgs(list, sizeof...(A));
        }
    }
    std::string formatArgs(const FormatArg* args, size_t count) const;

private:
    struct Piece;
    std::vector<Piece> pieces_;
    // A format of text and "%02d" fields alone (a label's, a date's) always
    // writes a text of one length: that text, and where each field's digits go.
    std::string fixedText_;
    std::vector<size_t> fixedFields_;
};

}  // namespace ossel
