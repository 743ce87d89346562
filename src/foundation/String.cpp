#include "foundation/String.h"

#include <cstring>
#include <memory>

#include "foundation/Unicode.h"

namespace ossel {
namespace {

// Hands the shared block out with `extra` bytes behind it and tells where they start.
template <class T>
struct TrailingAllocator {
    using value_type = T;
    size_t extra;
    char** trailing;

    TrailingAllocator(size_t extraBytes, char** trailingBytes) : extra(extraBytes), trailing(trailingBytes) {}
    template <class U>
    TrailingAllocator(const TrailingAllocator<U>& other) : extra(other.extra), trailing(other.trailing) {}

    T* allocate(size_t n) {
        char* block = std::allocator<char>().allocate(n * sizeof(T) + extra);
        *trailing = block + n * sizeof(T);
        return reinterpret_cast<T*>(block);
    }
    void deallocate(T* p, size_t n) {
        std::allocator<char>().deallocate(reinterpret_cast<char*>(p), n * sizeof(T) + extra);
    }
    template <class U>
    bool operator==(const TrailingAllocator<U>& other) const {
        return extra == other.extra;
    }
};

}  // namespace

Ref<String> String::make(std::string_view value) {
    char* text = nullptr;
    auto made = std::allocate_shared<String>(TrailingAllocator<String>(value.size() + 1, &text), Made{}, value.size());
    if (!value.empty()) std::memcpy(text, value.data(), value.size());
    text[value.size()] = '\0';
    made->text_ = text;
    return made;
}

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

size_t String::length() const { return unicode::utf16Length(view()); }

std::string String::stringByReplacing(std::string_view target, std::string_view replacement) const {
    return replaceAll(view(), target, replacement);
}

bool String::isEqual(const Object* other) const {
    const auto* s = dynamic_cast<const String*>(other);
    return s && s->view() == view();
}

uint32_t String::hash() const { return stringHash(view()); }

}  // namespace ossel
