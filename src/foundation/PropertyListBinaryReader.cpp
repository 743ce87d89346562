// Reading binary ("bplist00") property lists: a header, the objects, an offset
// table and a 32-byte trailer. Every offset, count and object reference is
// checked before it is followed, containers that contain themselves are
// refused, and a file that shares containers so often that expanding it would
// dwarf the file itself is refused too.
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/PropertyListFormats.h"
#include "foundation/String.h"

namespace ossel::plist {
namespace {

inline constexpr size_t kHeaderSize = 8;

std::string hexByte(uint8_t b) {
    static constexpr char kDigits[] = "0123456789abcdef";
    return std::string("0x") + kDigits[b >> 4] + kDigits[b & 0xF];
}
inline constexpr size_t kTrailerSize = 32;

enum Marker : uint8_t {
    kSimple = 0x0,
    kInt = 0x1,
    kReal = 0x2,
    kDate = 0x3,
    kData = 0x4,
    kAsciiString = 0x5,
    kUtf16String = 0x6,
    kUid = 0x8,
    kArray = 0xA,
    kOrderedSet = 0xB,
    kSet = 0xC,
    kDict = 0xD,
};

class BinaryReader {
public:
    BinaryReader(std::span<const uint8_t> bytes, const PropertyListReadOptions& options)
        : bytes_(bytes), options_(options) {}

    Ref<Object> read(std::string& error);

private:
    bool readTrailer();
    Ref<Object> object(uint64_t index, size_t referencedAt, int depth);
    Ref<Object> scalar(uint64_t index, size_t offset, uint8_t marker);
    Ref<Object> array(uint64_t index, size_t offset, uint8_t marker, int depth);
    Ref<Object> dictionary(uint64_t index, size_t offset, uint8_t marker, int depth);
    Ref<Object> integer(size_t offset, uint8_t info);
    Ref<Object> asciiString(size_t offset, size_t start, uint64_t count);
    Ref<Object> utf16String(size_t offset, size_t start, uint64_t count);

    // The count in a marker's low nibble, or in the integer object that follows it.
    bool countAt(size_t offset, uint8_t info, uint64_t& count, size_t& start);
    // True when `count` items of `size` bytes starting at `start` lie before the offset table.
    bool fits(size_t start, uint64_t count, uint64_t size) const;
    uint64_t bigEndian(size_t at, unsigned size) const;
    bool objectOffset(uint64_t index, size_t referencedAt, size_t& offset);

    Ref<Object> fail(size_t offset, const std::string& message);

    std::span<const uint8_t> bytes_;
    PropertyListReadOptions options_;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    uint64_t objectCount_ = 0;
    uint64_t topObject_ = 0;
    size_t tableOffset_ = 0;
    std::vector<Ref<Object>> scalars_;  // immutable values, read once however often referenced
    std::vector<uint8_t> open_;         // containers being read: a reference to one is a cycle
    uint64_t containerVisits_ = 0;
    std::string error_;
};

Ref<Object> BinaryReader::fail(size_t offset, const std::string& message) {
    if (error_.empty()) error_ = "offset " + std::to_string(offset) + ": " + message;
    return nullptr;
}

uint64_t BinaryReader::bigEndian(size_t at, unsigned size) const {
    uint64_t v = 0;
    for (unsigned i = 0; i < size; ++i) v = (v << 8) | bytes_[at + i];
    return v;
}

bool BinaryReader::fits(size_t start, uint64_t count, uint64_t size) const {
    if (start > tableOffset_) return false;
    const uint64_t room = tableOffset_ - start;
    return size == 0 || count <= room / size;
}

bool BinaryReader::readTrailer() {
    const size_t n = bytes_.size();
    if (n < kHeaderSize + kTrailerSize) return fail(0, "binary property list too short for its trailer"), false;
    const size_t t = n - kTrailerSize;
    offsetSize_ = bytes_[t + 6];
    refSize_ = bytes_[t + 7];
    objectCount_ = bigEndian(t + 8, 8);
    topObject_ = bigEndian(t + 16, 8);
    const uint64_t table = bigEndian(t + 24, 8);
    if (offsetSize_ < 1 || offsetSize_ > 8) return fail(t + 6, "offset size must be 1 to 8 bytes"), false;
    if (refSize_ < 1 || refSize_ > 8) return fail(t + 7, "object reference size must be 1 to 8 bytes"), false;
    if (objectCount_ == 0) return fail(t + 8, "no objects"), false;
    if (topObject_ >= objectCount_) return fail(t + 16, "top object lies outside the object table"), false;
    if (table < kHeaderSize || table > t) return fail(t + 24, "offset table lies outside the file"), false;
    tableOffset_ = static_cast<size_t>(table);
    if (objectCount_ > (t - tableOffset_) / offsetSize_) {
        return fail(t + 8, "offset table of " + std::to_string(objectCount_) + " entries overruns the trailer"), false;
    }
    scalars_.resize(objectCount_);
    open_.resize(objectCount_);
    return true;
}

bool BinaryReader::objectOffset(uint64_t index, size_t referencedAt, size_t& offset) {
    if (index >= objectCount_) {
        fail(referencedAt, "reference to object " + std::to_string(index) + " of " + std::to_string(objectCount_));
        return false;
    }
    const uint64_t at = bigEndian(tableOffset_ + index * offsetSize_, offsetSize_);
    if (at < kHeaderSize || at >= tableOffset_) {
        fail(tableOffset_ + index * offsetSize_,
             "object " + std::to_string(index) + " has offset " + std::to_string(at) + " outside the object area");
        return false;
    }
    offset = static_cast<size_t>(at);
    return true;
}

bool BinaryReader::countAt(size_t offset, uint8_t info, uint64_t& count, size_t& start) {
    if (info != 0xF) {
        count = info;
        start = offset + 1;
        return true;
    }
    const size_t intAt = offset + 1;
    if (intAt >= tableOffset_ || (bytes_[intAt] >> 4) != kInt || (bytes_[intAt] & 0xF) > 3) {
        fail(offset, "object count is not followed by an integer of 1 to 8 bytes");
        return false;
    }
    const unsigned size = 1u << (bytes_[intAt] & 0xF);
    if (!fits(intAt + 1, 1, size)) {
        fail(intAt, "object count runs past the object area");
        return false;
    }
    count = bigEndian(intAt + 1, size);
    start = intAt + 1 + size;
    return true;
}

Ref<Object> BinaryReader::integer(size_t offset, uint8_t info) {
    if (info > 4) return fail(offset, "integer of 2^" + std::to_string(info) + " bytes");
    const unsigned size = 1u << info;
    if (!fits(offset + 1, 1, size)) return fail(offset, "integer runs past the object area");
    if (size < 8) return Number::withInt(static_cast<int64_t>(bigEndian(offset + 1, size)));
    if (size == 8) return Number::withInt(static_cast<int64_t>(bigEndian(offset + 1, 8)));
    // 16 bytes: how unsigned values from 2^63 up are written; anything wider is out of our range.
    const uint64_t high = bigEndian(offset + 1, 8);
    const uint64_t low = bigEndian(offset + 9, 8);
    if (high == 0) {
        return low > uint64_t(INT64_MAX) ? Number::withUnsigned(low) : Number::withInt(static_cast<int64_t>(low));
    }
    if (high == UINT64_MAX && low > uint64_t(INT64_MAX)) return Number::withInt(static_cast<int64_t>(low));
    return fail(offset, "128-bit integer out of the 64-bit range");
}

Ref<Object> BinaryReader::asciiString(size_t offset, size_t start, uint64_t count) {
    if (!fits(start, count, 1)) return fail(offset, "string of " + std::to_string(count) + " bytes runs past the object area");
    const auto* p = reinterpret_cast<const char*>(bytes_.data() + start);
    for (uint64_t i = 0; i < count; ++i) {
        if (static_cast<unsigned char>(p[i]) >= 0x80) return fail(start + i, "non-ASCII byte in an ASCII string");
    }
    return str(std::string(p, count));
}

Ref<Object> BinaryReader::utf16String(size_t offset, size_t start, uint64_t count) {
    if (!fits(start, count, 2)) {
        return fail(offset, "string of " + std::to_string(count) + " UTF-16 units runs past the object area");
    }
    std::string out;
    out.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
        uint32_t cp = static_cast<uint32_t>(bigEndian(start + 2 * i, 2));
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count) {
            const uint32_t low = static_cast<uint32_t>(bigEndian(start + 2 * i + 2, 2));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) return fail(start + 2 * i, "unpaired UTF-16 surrogate in a string");
        appendUtf8(out, cp);
    }
    return str(std::move(out));
}

Ref<Object> BinaryReader::scalar(uint64_t index, size_t offset, uint8_t marker) {
    const uint8_t info = marker & 0xF;
    Ref<Object> result;
    switch (marker >> 4) {
        case kSimple:
            if (marker == 0x08 || marker == 0x09) return sharedBool(marker == 0x09);
            if (marker == 0x00) return fail(offset, "null object, which is not a property-list value");
            if (marker == 0x0F) return fail(offset, "fill byte where an object should be");
            return fail(offset, "unknown simple object " + hexByte(marker));
        case kInt: result = integer(offset, info); break;
        case kReal: {
            if (info != 2 && info != 3) return fail(offset, "real of 2^" + std::to_string(info) + " bytes");
            const unsigned size = 1u << info;
            if (!fits(offset + 1, 1, size)) return fail(offset, "real runs past the object area");
            const uint64_t bits = bigEndian(offset + 1, size);
            const double v = size == 4 ? double(std::bit_cast<float>(static_cast<uint32_t>(bits)))
                                       : std::bit_cast<double>(bits);
            result = Number::withDouble(v);
            break;
        }
        case kDate: {
            if (marker != 0x33) return fail(offset, "date that is not an 8-byte real");
            if (!fits(offset + 1, 1, 8)) return fail(offset, "date runs past the object area");
            const double v = std::bit_cast<double>(bigEndian(offset + 1, 8));
            if (!(std::fabs(v) <= kMaxDateMagnitude)) return fail(offset, "date out of range");
            result = Date::withTimeIntervalSinceReferenceDate(v);
            break;
        }
        case kData:
        case kAsciiString:
        case kUtf16String: {
            uint64_t count;
            size_t start;
            if (!countAt(offset, info, count, start)) return nullptr;
            if ((marker >> 4) == kAsciiString) {
                result = asciiString(offset, start, count);
            } else if ((marker >> 4) == kUtf16String) {
                result = utf16String(offset, start, count);
            } else if (!fits(start, count, 1)) {
                return fail(offset, "data of " + std::to_string(count) + " bytes runs past the object area");
            } else {
                result = Data::make(std::vector<uint8_t>(bytes_.begin() + start, bytes_.begin() + start + count));
            }
            break;
        }
        case kUid: return fail(offset, "UID objects are not supported");
        case kOrderedSet:
        case kSet: return fail(offset, "sets are not supported");
        default: return fail(offset, "unknown object type (marker " + hexByte(marker) + ")");
    }
    if (result) scalars_[index] = result;
    return result;
}

Ref<Object> BinaryReader::array(uint64_t index, size_t offset, uint8_t marker, int depth) {
    uint64_t count;
    size_t start;
    if (!countAt(offset, marker & 0xF, count, start)) return nullptr;
    if (!fits(start, count, refSize_)) {
        return fail(offset, "array of " + std::to_string(count) + " references runs past the object area");
    }
    std::vector<Ref<Object>> items;
    items.reserve(count);
    open_[index] = 1;
    for (uint64_t i = 0; i < count; ++i) {
        Ref<Object> item = object(bigEndian(start + i * refSize_, refSize_), start + i * refSize_, depth + 1);
        if (!item) return nullptr;
        items.push_back(std::move(item));
    }
    open_[index] = 0;
    return Array::make(std::move(items), options_.mutableContainers);
}

Ref<Object> BinaryReader::dictionary(uint64_t index, size_t offset, uint8_t marker, int depth) {
    uint64_t count;
    size_t start;
    if (!countAt(offset, marker & 0xF, count, start)) return nullptr;
    if (count > UINT64_MAX / 2 || !fits(start, count * 2, refSize_)) {
        return fail(offset, "dictionary of " + std::to_string(count) + " entries runs past the object area");
    }
    std::vector<Dictionary::Entry> entries;
    entries.reserve(count);
    open_[index] = 1;
    const size_t valuesAt = start + count * refSize_;
    for (uint64_t i = 0; i < count; ++i) {
        const size_t keyRef = start + i * refSize_;
        const uint64_t keyIndex = bigEndian(keyRef, refSize_);
        size_t keyOffset;
        if (!objectOffset(keyIndex, keyRef, keyOffset)) return nullptr;
        const uint8_t keyType = bytes_[keyOffset] >> 4;
        if (keyType != kAsciiString && keyType != kUtf16String) return fail(keyRef, "dictionary key that is not a string");
        const Ref<Object> key = object(keyIndex, keyRef, depth + 1);
        if (!key) return nullptr;
        const auto* keyString = static_cast<const String*>(key.get());
        const size_t valueRef = valuesAt + i * refSize_;
        Ref<Object> value = object(bigEndian(valueRef, refSize_), valueRef, depth + 1);
        if (!value) return nullptr;
        entries.emplace_back(keyString->utf8(), std::move(value));
    }
    open_[index] = 0;
    return makeDictionary(std::move(entries), options_.mutableContainers);
}

Ref<Object> BinaryReader::object(uint64_t index, size_t referencedAt, int depth) {
    if (index < objectCount_ && scalars_[index]) return scalars_[index];
    size_t offset;
    if (!objectOffset(index, referencedAt, offset)) return nullptr;
    const uint8_t marker = bytes_[offset];
    const uint8_t type = marker >> 4;
    if (type != kArray && type != kDict) return scalar(index, offset, marker);
    if (open_[index]) return fail(offset, "object " + std::to_string(index) + " contains itself");
    if (depth >= kMaxNestingDepth) return fail(offset, "containers nested deeper than 512 levels");
    // A tree of containers is visited once per reference, and each reference takes a
    // byte of the file at least; more visits than that mean containers shared over and
    // over, which could expand a small file into an enormous tree.
    if (++containerVisits_ > bytes_.size()) return fail(offset, "containers shared too often");
    return type == kArray ? array(index, offset, marker, depth) : dictionary(index, offset, marker, depth);
}

Ref<Object> BinaryReader::read(std::string& error) {
    Ref<Object> result;
    if (std::memcmp(bytes_.data(), "bplist00", kHeaderSize) != 0) {
        fail(0, "unsupported binary property list version");
    } else if (readTrailer()) {
        result = object(topObject_, bytes_.size() - kTrailerSize + 16, 0);
    }
    if (!result) error = error_.empty() ? "unreadable binary property list" : error_;
    return result;
}

}  // namespace

Ref<Object> readBinary(std::span<const uint8_t> bytes, std::string& error, const PropertyListReadOptions& options) {
    if (bytes.size() < kHeaderSize) {
        error = "offset 0: binary property list too short";
        return nullptr;
    }
    BinaryReader reader(bytes, options);
    return reader.read(error);
}

}  // namespace ossel::plist
