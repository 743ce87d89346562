#pragma once
// An immutable text, held as UTF-8. Lengths that the model counts in UTF-16
// code units (as the platform's strings do) are available through length().

#include <string>
#include <string_view>

#include "foundation/Object.h"

namespace ossel {

class String final : public Object {
public:
    explicit String(std::string value) : value_(std::move(value)) {}
    static Ref<String> make(std::string value) { return std::make_shared<String>(std::move(value)); }

    const std::string& utf8() const { return value_; }
    std::string_view view() const { return value_; }
    bool empty() const { return value_.empty(); }

    // Number of UTF-16 code units, as the platform's string length counts them.
    size_t length() const;
    bool hasPrefix(std::string_view prefix) const { return value_.starts_with(prefix); }

    // A copy with every occurrence of `target` replaced by `replacement`.
    std::string stringByReplacing(std::string_view target, std::string_view replacement) const;

    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    std::string description() const override { return value_; }
    std::string className() const override { return "String"; }

private:
    std::string value_;
};

inline Ref<String> str(std::string value) { return String::make(std::move(value)); }

// The platform's string hash over UTF-8 bytes: equal texts hash alike.
uint32_t stringHash(std::string_view text);
// Every occurrence of `target` in `text` replaced by `replacement`.
std::string replaceAll(std::string_view text, std::string_view target, std::string_view replacement);

}  // namespace ossel
