#pragma once
// An immutable text, held as UTF-8. Lengths that the model counts in UTF-16
// code units (as the platform's strings do) are available through length().
//
// The text lives in the object's own block: a typed container holds thousands
// of short strings, and a second block for each text cost a second cache miss
// every time a string was made, read and freed.

#include <string>
#include <string_view>

#include "foundation/Object.h"

namespace ossel {

class String final : public Object {
    // Explicit, so that no caller can conjure one with {}.
    struct Made {
        explicit Made() = default;
    };

public:
    // Only make() builds a String: it alone knows where the text goes.
    String(Made, size_t size) : size_(size) {}
    static Ref<String> make(std::string_view value);

    std::string_view utf8() const { return {text_, size_}; }
    std::string_view view() const { return utf8(); }
    bool empty() const { return size_ == 0; }

    // Number of UTF-16 code units, as the platform's string length counts them.
    size_t length() const;
    bool hasPrefix(std::string_view prefix) const { return view().starts_with(prefix); }

    // A copy with every occurrence of `target` replaced by `replacement`.
    std::string stringByReplacing(std::string_view target, std::string_view replacement) const;

    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    std::string description() const override { return std::string(view()); }
    std::string className() const override { return "String"; }

private:
    const char* text_ = nullptr;
    size_t size_;
};

inline Ref<String> str(std::string_view value) { return String::make(value); }

// The platform's string hash over UTF-8 bytes: equal texts hash alike.
uint32_t stringHash(std::string_view text);
// Every occurrence of `target` in `text` replaced by `replacement`.
std::string replaceAll(std::string_view text, std::string_view target, std::string_view replacement);

}  // namespace ossel
