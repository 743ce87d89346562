#pragma once
// A number object of one of five kinds. Numbers of different kinds that hold
// the same value compare equal and hash alike; conversions between kinds
// follow the platform (truncation toward zero; values a kind cannot hold wrap
// for integers and become the kind's "indefinite" minimum for reals).

#include <cstdint>

#include "foundation/Object.h"

namespace ossel {

class Number final : public Object {
public:
    enum class Kind { Bool, Int, UInt, Float, Double };

    static Ref<Number> withBool(bool v);
    static Ref<Number> withInt(int64_t v);
    static Ref<Number> withUnsigned(uint64_t v);
    static Ref<Number> withFloat(float v);
    static Ref<Number> withDouble(double v);

    Kind kind() const { return kind_; }
    bool isInteger() const { return kind_ == Kind::Bool || kind_ == Kind::Int || kind_ == Kind::UInt; }
    bool isReal() const { return !isInteger(); }

    bool boolValue() const;
    int32_t intValue() const;
    long longValue() const;
    int64_t longLongValue() const;
    uint32_t unsignedIntValue() const;
    uint64_t unsignedLongLongValue() const;
    float floatValue() const;
    double doubleValue() const;

    // -1, 0 or 1, comparing values exactly across kinds (NaN sorts first).
    int compare(const Number& other) const;

    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    std::string description() const override;
    // The description appended to `out`, without a text of its own.
    void appendDescription(std::string& out) const;
    std::string className() const override { return "Number"; }

    struct Private {};
    Number(Private, Kind kind, int64_t i, uint64_t u, double d) : kind_(kind), i_(i), u_(u), d_(d) {}

private:
    Kind kind_;
    int64_t i_ = 0;   // Bool, Int
    uint64_t u_ = 0;  // UInt
    double d_ = 0;    // Float (exactly the float's value), Double
};

}  // namespace ossel
