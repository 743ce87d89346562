#include "foundation/String.h"

#include "foundation/Unicode.h"

namespace ossel {

uint32_t stringHash(std::string_view text) {
    // FNV-1a: cheap, and good enough for the short keys and ids we hash.
    uint32_t h = 2166136261u;
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

std::string replaceAll(std::string_view text, std::string_view target, std::string_view replacement) {
    if (target.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    for (size_t hit; (hit = text.find(target, pos)) != std::string_view::npos; pos = hit + target.size()) {
        out.append(text, pos, hit - pos);
        out.append(replacement);
    }
    out.append(text, pos);
    return out;
}

size_t String::length() const { return unicode::utf16Length(value_); }

std::string String::stringByReplacing(std::string_view target, std::string_view replacement) const {
    return replaceAll(value_, target, replacement);
}

bool String::isEqual(const Object* other) const {
    const auto* s = dynamic_cast<const String*>(other);
    return s && s->value_ == value_;
}

uint32_t String::hash() const { return stringHash(value_); }

}  // namespace ossel
