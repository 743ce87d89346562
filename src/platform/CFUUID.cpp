#include "platform/CFUUID.h"

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "foundation/Format.h"
#include "platform/CFRuntime.h"

namespace ossel {

struct CFUUIDObject {
    CFRuntimeBase base;
    CFUUIDBytes bytes;
};

namespace {

using ByteArray = std::array<uint8_t, 16>;

CFIndex liveCount = 0;

ByteArray toArray(const CFUUIDBytes& bytes) {
    ByteArray out;
    std::memcpy(out.data(), &bytes, out.size());
    return out;
}

CFUUIDBytes fromArray(const ByteArray& array) {
    CFUUIDBytes out;
    std::memcpy(&out, array.data(), array.size());
    return out;
}

void finalizeUUID(const void* object) {
    delete static_cast<const CFUUIDObject*>(object);
    --liveCount;
}

bool equalUUIDs(const void* a, const void* b) {
    const auto* left = static_cast<const CFUUIDObject*>(a);
    const auto* right = static_cast<const CFUUIDObject*>(b);
    return std::memcmp(&left->bytes, &right->bytes, sizeof(CFUUIDBytes)) == 0;
}

constexpr CFRuntimeClass kUUIDClass{"CFUUID", finalizeUUID, equalUUIDs};

// UUID objects keep an explicit count for the host's benefit, so they are
// made and freed by hand; finalizeUUID is the only delete.
CFUUIDRef makeUUID(const CFUUIDBytes& bytes) {
    auto* uuid = new CFUUIDObject{CFRuntimeBase{}, bytes};
    uuid->base.cls = &kUUIDClass;
    ++liveCount;
    return uuid;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<ByteArray> parseUUID(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return std::nullopt;
    ByteArray bytes{};
    size_t next = 0;
    for (size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes[next++] = static_cast<uint8_t>(high << 4 | low);
        i += 2;
    }
    return bytes;
}

}  // namespace

CFUUIDRef CFUUIDCreateFromString(CFAllocatorRef, std::string_view text) {
    const auto bytes = parseUUID(text);
    return bytes ? makeUUID(fromArray(*bytes)) : nullptr;
}

CFUUIDRef CFUUIDCreateFromUUIDBytes(CFAllocatorRef, CFUUIDBytes bytes) { return makeUUID(bytes); }

CFUUIDRef CFUUIDCreateWithBytes(CFAllocatorRef, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4,
                                uint8_t b5, uint8_t b6, uint8_t b7, uint8_t b8, uint8_t b9, uint8_t b10,
                                uint8_t b11, uint8_t b12, uint8_t b13, uint8_t b14, uint8_t b15) {
    return makeUUID(CFUUIDBytes{b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15});
}

CFUUIDRef CFUUIDGetConstantUUIDWithBytes(CFAllocatorRef, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3,
                                         uint8_t b4, uint8_t b5, uint8_t b6, uint8_t b7, uint8_t b8,
                                         uint8_t b9, uint8_t b10, uint8_t b11, uint8_t b12, uint8_t b13,
                                         uint8_t b14, uint8_t b15) {
    // Constants live as long as the process; the table owns them.
    static std::map<ByteArray, std::unique_ptr<CFUUIDObject>> constants;
    const ByteArray key{b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15};
    auto& slot = constants[key];
    if (!slot) {
        slot = std::make_unique<CFUUIDObject>(CFUUIDObject{CFRuntimeBase{}, fromArray(key)});
        slot->base.cls = &kUUIDClass;
        slot->base.immortal = true;
    }
    return slot.get();
}

CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid) {
    if (!cfRuntimeBase(uuid)) return CFUUIDBytes{};
    return uuid->bytes;
}

std::string CFUUIDCreateString(CFAllocatorRef, CFUUIDRef uuid) {
    if (!cfRuntimeBase(uuid)) return {};
    const ByteArray b = toArray(uuid->bytes);
    return format("%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1], b[2],
                  b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

CFIndex CFUUIDLiveCount() { return liveCount; }

}  // namespace ossel
