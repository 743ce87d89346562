#include "foundation/Number.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace ossel {
namespace {

using Wide = __int128;

// Real to a signed integer of N bits the way the processor's truncating
// conversion does: out of range (or NaN) gives the "integer indefinite" value.
template <class I>
I realToInt(double d) {
    constexpr double lo = static_cast<double>(std::numeric_limits<I>::min());
    constexpr double hi = -lo;  // 2^(bits-1), exclusive
    if (!(d >= lo && d < hi)) return std::numeric_limits<I>::min();
    return static_cast<I>(d);
}

bool realAsWide(double d, Wide& out) {
    if (!std::isfinite(d) || std::trunc(d) != d) return false;
    if (std::fabs(d) >= 0x1p126) return false;
    out = static_cast<Wide>(d);
    return true;
}

}  // namespace

Ref<Number> Number::withBool(bool v) { return std::make_shared<Number>(Private{}, Kind::Bool, v ? 1 : 0, 0, 0); }
Ref<Number> Number::withInt(int64_t v) { return std::make_shared<Number>(Private{}, Kind::Int, v, 0, 0); }
Ref<Number> Number::withUnsigned(uint64_t v) { return std::make_shared<Number>(Private{}, Kind::UInt, 0, v, 0); }
Ref<Number> Number::withFloat(float v) { return std::make_shared<Number>(Private{}, Kind::Float, 0, 0, v); }
Ref<Number> Number::withDouble(double v) { return std::make_shared<Number>(Private{}, Kind::Double, 0, 0, v); }

bool Number::boolValue() const {
    switch (kind_) {
        case Kind::Bool:
        case Kind::Int: return i_ != 0;
        case Kind::UInt: return u_ != 0;
        default: return d_ != 0;
    }
}

int64_t Number::longLongValue() const {
    switch (kind_) {
        case Kind::Bool:
        case Kind::Int: return i_;
        case Kind::UInt: return static_cast<int64_t>(u_);
        default: return realToInt<int64_t>(d_);
    }
}

int32_t Number::intValue() const {
    if (isReal()) return realToInt<int32_t>(d_);
    return static_cast<int32_t>(longLongValue());
}

long Number::longValue() const {
    if (isReal()) return realToInt<long>(d_);
    return static_cast<long>(longLongValue());
}

uint64_t Number::unsignedLongLongValue() const {
    if (kind_ == Kind::UInt) return u_;
    if (isReal()) {
        if (d_ >= 0x1p63 && d_ < 0x1p64) return static_cast<uint64_t>(d_);
        return static_cast<uint64_t>(realToInt<int64_t>(d_));
    }
    return static_cast<uint64_t>(i_);
}

uint32_t Number::unsignedIntValue() const { return static_cast<uint32_t>(unsignedLongLongValue()); }

double Number::doubleValue() const {
    switch (kind_) {
        case Kind::Bool:
        case Kind::Int: return static_cast<double>(i_);
        case Kind::UInt: return static_cast<double>(u_);
        default: return d_;
    }
}

float Number::floatValue() const { return static_cast<float>(doubleValue()); }

int Number::compare(const Number& other) const {
    auto wide = [](const Number& n) -> Wide { return n.kind_ == Kind::UInt ? Wide(n.u_) : Wide(n.i_); };
    if (isInteger() && other.isInteger()) {
        const Wide a = wide(*this), b = wide(other);
        return a < b ? -1 : a > b ? 1 : 0;
    }
    if (isReal() && other.isReal()) {
        if (std::isnan(d_) || std::isnan(other.d_)) return std::isnan(d_) ? (std::isnan(other.d_) ? 0 : -1) : 1;
        return d_ < other.d_ ? -1 : d_ > other.d_ ? 1 : 0;
    }
    // One integer, one real: compare exactly, without rounding the integer.
    const bool realFirst = isReal();
    const double d = realFirst ? d_ : other.d_;
    const Wide i = realFirst ? wide(other) : wide(*this);
    int sign;
    if (std::isnan(d)) {
        sign = -1;
    } else if (d >= 0x1p126) {
        sign = 1;
    } else if (d <= -0x1p126) {
        sign = -1;
    } else {
        const double floor = std::floor(d);
        const Wide fi = static_cast<Wide>(floor);
        sign = fi < i ? -1 : fi > i ? 1 : (floor < d ? 1 : 0);
    }
    return realFirst ? sign : -sign;
}

bool Number::isEqual(const Object* other) const {
    const auto* n = dynamic_cast<const Number*>(other);
    if (!n) return false;
    if (isReal() && std::isnan(d_)) return n->isReal() && std::isnan(n->d_);
    return compare(*n) == 0;
}

uint32_t Number::hash() const {
    Wide w;
    bool integral = true;
    if (kind_ == Kind::UInt) {
        w = u_;
    } else if (isInteger()) {
        w = i_;
    } else {
        integral = realAsWide(d_, w);
    }
    uint64_t bits;
    if (integral) {
        bits = static_cast<uint64_t>(w) ^ static_cast<uint64_t>(w >> 64);
    } else {
        std::memcpy(&bits, &d_, sizeof bits);
    }
    bits ^= bits >> 33;
    bits *= 0xff51afd7ed558ccdULL;
    bits ^= bits >> 33;
    return static_cast<uint32_t>(bits);
}

std::string Number::description() const {
    std::string out;
    appendDescription(out);
    return out;
}

void Number::appendDescription(std::string& out) const {
    char buffer[64];
    std::to_chars_result r;
    switch (kind_) {
        case Kind::Bool:
        case Kind::Int: r = std::to_chars(buffer, buffer + sizeof buffer, i_); break;
        case Kind::UInt: r = std::to_chars(buffer, buffer + sizeof buffer, u_); break;
        case Kind::Float: r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(d_)); break;
        default: r = std::to_chars(buffer, buffer + sizeof buffer, d_); break;
    }
    out.append(buffer, r.ptr);
}

}  // namespace ossel
