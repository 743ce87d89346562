// Reading binary ("bplist00") property lists: a header, the objects, an offset
// table and a 32-byte trailer. Every offset, count and object reference is
// checked before it is followed, and containers that contain themselves are
// refused.
//
// Writers store a value once and refer to it from everywhere it appears, so a
// small file can stand for a large tree, and a crafted one for an endless one.
// Reading a container the first time costs what its bytes in the file hold.
// Each further reference is charged the size of the container's whole tree
// against a budget (the larger of 8 million and four times the objects the
// file holds), and a file that passes the budget is refused. The second
// reference builds the container once more and every later one shares that
// copy, so a crafted file costs no more than twice its own objects before it is
// refused. Mutable reads, where each reference must be changeable on its own,
// copy what is shared only once the whole file has passed. Files without
// sharing, the common case, pay for none of this but a byte per object.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/PropertyListFormats.h"
#include "foundation/String.h"
#include "foundation/Unicode.h"

namespace ossel::plist {
namespace {

inline constexpr size_t kHeaderSize = 8;
inline constexpr uint64_t kMinObjectBudget = 8'000'000;
inline constexpr uint64_t kObjectBudgetPerObject = 4;
using Kind = PropertyListErrorKind;

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

    Ref<Object> read(PropertyListError& error);

private:
    bool readTrailer();
    Ref<Object> object(uint64_t index, size_t referencedAt, int depth);
    Ref<Object> again(uint64_t index, size_t offset, int depth);
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
    // The objects of a container's tree as the file has it, and its height in containers.
    struct Tree {
        uint64_t size = 0;
        uint16_t height = 0;
    };
    Tree tree(uint64_t index);
    void unshare(Object& container, std::unordered_set<const Object*>& seen);

    Ref<Object> fail(size_t offset, Kind kind, std::string message);

    std::span<const uint8_t> bytes_;
    PropertyListReadOptions options_;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    uint64_t objectCount_ = 0;
    uint64_t topObject_ = 0;
    size_t tableOffset_ = 0;
    std::vector<Ref<Object>> scalars_;  // each read once however often referenced
    enum State : uint8_t { kUnread, kOpen, kRead };
    std::vector<uint8_t> state_;  // a reference to an open container is a cycle
    // Made when the first container is met again: its tree, and the copy later references share.
    std::vector<Tree> trees_;
    std::vector<Ref<Object>> copies_;
    int copying_ = 0;             // inside a copy whose whole tree is paid for already
    uint64_t budget_ = 0;
    uint64_t charged_ = 0;
    PropertyListError error_;
    bool failed_ = false;
};

Ref<Object> BinaryReader::fail(size_t offset, Kind kind, std::string message) {
    if (!failed_) error_ = {kind, 0, offset, std::move(message)};
    failed_ = true;
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
    if (n < kHeaderSize + kTrailerSize) return fail(0, Kind::truncated, "binary property list too short for its trailer"), false;
    const size_t t = n - kTrailerSize;
    offsetSize_ = bytes_[t + 6];
    refSize_ = bytes_[t + 7];
    objectCount_ = bigEndian(t + 8, 8);
    topObject_ = bigEndian(t + 16, 8);
    const uint64_t table = bigEndian(t + 24, 8);
    const auto bad = [&](size_t at, std::string message) { return fail(at, Kind::badTrailer, std::move(message)), false; };
    if (offsetSize_ < 1 || offsetSize_ > 8) return bad(t + 6, "offset size must be 1 to 8 bytes");
    if (refSize_ < 1 || refSize_ > 8) return bad(t + 7, "object reference size must be 1 to 8 bytes");
    if (objectCount_ == 0) return bad(t + 8, "no objects");
    if (topObject_ >= objectCount_) return bad(t + 16, "top object lies outside the object table");
    if (table < kHeaderSize || table > t) return bad(t + 24, "offset table lies outside the file");
    tableOffset_ = static_cast<size_t>(table);
    if (objectCount_ > (t - tableOffset_) / offsetSize_) {
        return bad(t + 8, "offset table of " + std::to_string(objectCount_) + " entries overruns the trailer");
    }
    scalars_.resize(objectCount_);
    state_.resize(objectCount_);
    budget_ = std::max(kMinObjectBudget, kObjectBudgetPerObject * objectCount_);
    return true;
}

bool BinaryReader::objectOffset(uint64_t index, size_t referencedAt, size_t& offset) {
    if (index >= objectCount_) {
        fail(referencedAt, Kind::badReference,
             "reference to object " + std::to_string(index) + " of " + std::to_string(objectCount_));
        return false;
    }
    const uint64_t at = bigEndian(tableOffset_ + index * offsetSize_, offsetSize_);
    if (at < kHeaderSize || at >= tableOffset_) {
        fail(tableOffset_ + index * offsetSize_, Kind::badReference,
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
        fail(offset, Kind::badValue, "object count is not followed by an integer of 1 to 8 bytes");
        return false;
    }
    const unsigned size = 1u << (bytes_[intAt] & 0xF);
    if (!fits(intAt + 1, 1, size)) {
        fail(intAt, Kind::truncated, "object count runs past the object area");
        return false;
    }
    count = bigEndian(intAt + 1, size);
    start = intAt + 1 + size;
    return true;
}

Ref<Object> BinaryReader::integer(size_t offset, uint8_t info) {
    if (info > 4) return fail(offset, Kind::unsupported, "integer of 2^" + std::to_string(info) + " bytes");
    const unsigned size = 1u << info;
    if (!fits(offset + 1, 1, size)) return fail(offset, Kind::truncated, "integer runs past the object area");
    if (size <= 8) return Number::withInt(static_cast<int64_t>(bigEndian(offset + 1, size)));
    // 16 bytes: how unsigned values from 2^63 up are written; anything wider is out of our range.
    const uint64_t high = bigEndian(offset + 1, 8);
    const uint64_t low = bigEndian(offset + 9, 8);
    if (high == 0) {
        return low > uint64_t(INT64_MAX) ? Number::withUnsigned(low) : Number::withInt(static_cast<int64_t>(low));
    }
    if (high == UINT64_MAX && low > uint64_t(INT64_MAX)) return Number::withInt(static_cast<int64_t>(low));
    return fail(offset, Kind::outOfRange, "128-bit integer out of the 64-bit range");
}

Ref<Object> BinaryReader::asciiString(size_t offset, size_t start, uint64_t count) {
    if (!fits(start, count, 1)) {
        return fail(offset, Kind::truncated, "string of " + std::to_string(count) + " bytes runs past the object area");
    }
    const auto* p = reinterpret_cast<const char*>(bytes_.data() + start);
    for (uint64_t i = 0; i < count; ++i) {
        if (static_cast<unsigned char>(p[i]) >= 0x80) return fail(start + i, Kind::encoding, "non-ASCII byte in an ASCII string");
    }
    return str(std::string_view(p, count));
}

Ref<Object> BinaryReader::utf16String(size_t offset, size_t start, uint64_t count) {
    if (!fits(start, count, 2)) {
        return fail(offset, Kind::truncated,
                    "string of " + std::to_string(count) + " UTF-16 units runs past the object area");
    }
    std::string out;
    size_t bad = 0;
    if (!unicode::appendUtf16AsUtf8(bytes_.subspan(start, 2 * count), unicode::ByteOrder::bigEndian, out, &bad)) {
        return fail(start + bad, Kind::encoding, "unpaired UTF-16 surrogate in a string");
    }
    return str(std::move(out));
}

Ref<Object> BinaryReader::scalar(uint64_t index, size_t offset, uint8_t marker) {
    const uint8_t info = marker & 0xF;
    Ref<Object> result;
    switch (marker >> 4) {
        case kSimple:
            if (marker == 0x08 || marker == 0x09) return sharedBool(marker == 0x09);
            if (marker == 0x00) return fail(offset, Kind::unsupported, "null object, which is not a property-list value");
            if (marker == 0x0F) return fail(offset, Kind::unsupported, "fill byte where an object should be");
            return fail(offset, Kind::unsupported, "unknown simple object " + hexByte(marker));
        case kInt: result = integer(offset, info); break;
        case kReal: {
            if (info != 2 && info != 3) return fail(offset, Kind::unsupported, "real of 2^" + std::to_string(info) + " bytes");
            const unsigned size = 1u << info;
            if (!fits(offset + 1, 1, size)) return fail(offset, Kind::truncated, "real runs past the object area");
            const uint64_t bits = bigEndian(offset + 1, size);
            const double v = size == 4 ? double(std::bit_cast<float>(static_cast<uint32_t>(bits)))
                                       : std::bit_cast<double>(bits);
            result = Number::withDouble(v);
            break;
        }
        case kDate: {
            if (marker != 0x33) return fail(offset, Kind::unsupported, "date that is not an 8-byte real");
            if (!fits(offset + 1, 1, 8)) return fail(offset, Kind::truncated, "date runs past the object area");
            const double v = std::bit_cast<double>(bigEndian(offset + 1, 8));
            if (!(std::fabs(v) <= kMaxDateMagnitude)) return fail(offset, Kind::outOfRange, "date out of range");
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
                return fail(offset, Kind::truncated, "data of " + std::to_string(count) + " bytes runs past the object area");
            } else {
                result = Data::make(std::vector<uint8_t>(bytes_.begin() + start, bytes_.begin() + start + count));
            }
            break;
        }
        case kUid: return fail(offset, Kind::unsupported, "UID objects are not supported");
        case kOrderedSet:
        case kSet: return fail(offset, Kind::unsupported, "sets are not supported");
        default: return fail(offset, Kind::unsupported, "unknown object type (marker " + hexByte(marker) + ")");
    }
    if (result) scalars_[index] = result;
    return result;
}

// Walks the references of a container that has been read, so that its counts and
// offsets are known to be sound. Sizes stop growing past the budget.
BinaryReader::Tree BinaryReader::tree(uint64_t index) {
    if (trees_.empty()) trees_.resize(objectCount_);
    if (trees_[index].size) return trees_[index];
    const size_t offset = static_cast<size_t>(bigEndian(tableOffset_ + index * offsetSize_, offsetSize_));
    const bool isArray = bytes_[offset] >> 4 == kArray;
    uint64_t count;
    size_t start;
    countAt(offset, bytes_[offset] & 0xF, count, start);
    Tree result{1 + (isArray ? 0 : count), 0};  // a dictionary's entries each hold a copy of their key
    const size_t valuesAt = isArray ? start : start + count * refSize_;
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t child = bigEndian(valuesAt + i * refSize_, refSize_);
        const uint8_t type = bytes_[bigEndian(tableOffset_ + child * offsetSize_, offsetSize_)] >> 4;
        if (type != kArray && type != kDict) {
            ++result.size;
            continue;
        }
        const Tree inner = tree(child);
        result.size = std::min(result.size + inner.size, budget_ + 1);
        result.height = std::max<uint16_t>(result.height, inner.height + 1);
    }
    return trees_[index] = result;
}

Ref<Object> BinaryReader::array(uint64_t index, size_t offset, uint8_t marker, int depth) {
    uint64_t count;
    size_t start;
    if (!countAt(offset, marker & 0xF, count, start)) return nullptr;
    if (!fits(start, count, refSize_)) {
        return fail(offset, Kind::truncated, "array of " + std::to_string(count) + " references runs past the object area");
    }
    std::vector<Ref<Object>> items;
    items.reserve(count);
    state_[index] = kOpen;
    for (uint64_t i = 0; i < count; ++i) {
        Ref<Object> item = object(bigEndian(start + i * refSize_, refSize_), start + i * refSize_, depth + 1);
        if (!item) return nullptr;
        items.push_back(std::move(item));
    }
    state_[index] = kRead;
    return Array::make(std::move(items), options_.mutableContainers);
}

Ref<Object> BinaryReader::dictionary(uint64_t index, size_t offset, uint8_t marker, int depth) {
    uint64_t count;
    size_t start;
    if (!countAt(offset, marker & 0xF, count, start)) return nullptr;
    if (count > UINT64_MAX / 2 || !fits(start, count * 2, refSize_)) {
        return fail(offset, Kind::truncated,
                    "dictionary of " + std::to_string(count) + " entries runs past the object area");
    }
    std::vector<Dictionary::Entry> entries;
    entries.reserve(count);
    state_[index] = kOpen;
    const size_t valuesAt = start + count * refSize_;
    for (uint64_t i = 0; i < count; ++i) {
        const size_t keyRef = start + i * refSize_;
        const uint64_t keyIndex = bigEndian(keyRef, refSize_);
        size_t keyOffset;
        if (!objectOffset(keyIndex, keyRef, keyOffset)) return nullptr;
        const uint8_t keyType = bytes_[keyOffset] >> 4;
        if (keyType != kAsciiString && keyType != kUtf16String) {
            return fail(keyRef, Kind::badValue, "dictionary key that is not a string");
        }
        const Ref<Object> key = object(keyIndex, keyRef, depth + 1);
        if (!key) return nullptr;
        const auto* keyString = static_cast<const String*>(key.get());
        const size_t valueRef = valuesAt + i * refSize_;
        Ref<Object> value = object(bigEndian(valueRef, refSize_), valueRef, depth + 1);
        if (!value) return nullptr;
        entries.emplace_back(keyString->utf8(), std::move(value));
    }
    state_[index] = kRead;
    return makeDictionary(std::move(entries), options_.mutableContainers);
}

// A container met again: its whole tree is charged against the budget, then
// the copy made for the second reference serves every later one.
Ref<Object> BinaryReader::again(uint64_t index, size_t offset, int depth) {
    if (copying_ == 0) {
        charged_ += tree(index).size;
        if (charged_ > budget_) {
            return fail(offset, Kind::tooManyObjects,
                        "shared containers would expand to more than " + std::to_string(budget_) + " objects");
        }
    }
    if (copies_.empty()) copies_.resize(objectCount_);
    if (copies_[index]) {
        if (depth + tree(index).height >= kMaxNestingDepth) {
            return fail(offset, Kind::tooDeep, "containers nested deeper than 512 levels");
        }
        return copies_[index];
    }
    ++copying_;
    copies_[index] = bytes_[offset] >> 4 == kArray ? array(index, offset, bytes_[offset], depth)
                                                   : dictionary(index, offset, bytes_[offset], depth);
    --copying_;
    return copies_[index];
}

Ref<Object> BinaryReader::object(uint64_t index, size_t referencedAt, int depth) {
    if (index < objectCount_ && scalars_[index]) return scalars_[index];
    size_t offset;
    if (!objectOffset(index, referencedAt, offset)) return nullptr;
    const uint8_t marker = bytes_[offset];
    const uint8_t type = marker >> 4;
    if (type != kArray && type != kDict) return scalar(index, offset, marker);
    if (state_[index] == kOpen) return fail(offset, Kind::cycle, "object " + std::to_string(index) + " contains itself");
    if (depth >= kMaxNestingDepth) return fail(offset, Kind::tooDeep, "containers nested deeper than 512 levels");
    if (state_[index] == kRead) return again(index, offset, depth);
    return type == kArray ? array(index, offset, marker, depth) : dictionary(index, offset, marker, depth);
}

Ref<Object> deepMutableCopy(const Ref<Object>& value) {
    if (const auto* array = dynamic_cast<const Array*>(value.get())) {
        std::vector<Ref<Object>> items;
        items.reserve(array->count());
        for (const auto& item : *array) items.push_back(deepMutableCopy(item));
        return Array::make(std::move(items), true);
    }
    if (const auto* dictionary = dynamic_cast<const Dictionary*>(value.get())) {
        std::vector<Dictionary::Entry> entries;
        entries.reserve(dictionary->count());
        for (const auto& [key, item] : *dictionary) entries.emplace_back(key, deepMutableCopy(item));
        return std::make_shared<Dictionary>(std::move(entries), true, Dictionary::UniqueKeys{});
    }
    return value;  // scalars are immutable and stay shared
}

// Every container reached a second time is replaced by a copy of its own.
void BinaryReader::unshare(Object& container, std::unordered_set<const Object*>& seen) {
    const auto visit = [&](const Ref<Object>& child, auto&& replace) {
        if (!isKindOf<Array>(child.get()) && !isKindOf<Dictionary>(child.get())) return;
        if (seen.insert(child.get()).second) {
            unshare(*child, seen);
        } else {
            replace(deepMutableCopy(child));
        }
    };
    if (auto* array = dynamic_cast<Array*>(&container)) {
        for (size_t i = 0; i < array->count(); ++i) {
            visit(array->items()[i], [&](Ref<Object> copy) { array->replaceObjectAtIndex(i, std::move(copy)); });
        }
    } else if (auto* dictionary = dynamic_cast<Dictionary*>(&container)) {
        for (size_t i = 0; i < dictionary->count(); ++i) {
            const auto& entry = dictionary->entries()[i];
            visit(entry.second, [&](Ref<Object> copy) { dictionary->setObject(std::move(copy), entry.first); });
        }
    }
}

Ref<Object> BinaryReader::read(PropertyListError& error) {
    Ref<Object> result;
    if (std::memcmp(bytes_.data(), "bplist00", kHeaderSize) != 0) {
        fail(0, Kind::unsupported, "unsupported binary property list version");
    } else if (readTrailer()) {
        result = object(topObject_, bytes_.size() - kTrailerSize + 16, 0);
    }
    if (result && options_.mutableContainers && charged_ > 0) {
        std::unordered_set<const Object*> seen{result.get()};
        unshare(*result, seen);
    }
    if (!result) error = failed_ ? error_ : PropertyListError{Kind::badValue, 0, 0, "unreadable binary property list"};
    return result;
}

}  // namespace

Ref<Object> readBinary(std::span<const uint8_t> bytes, PropertyListError& error, const PropertyListReadOptions& options) {
    if (bytes.size() < kHeaderSize) {
        error = {Kind::truncated, 0, 0, "binary property list too short"};
        return nullptr;
    }
    BinaryReader reader(bytes, options);
    return reader.read(error);
}

}  // namespace ossel::plist
