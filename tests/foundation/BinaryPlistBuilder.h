#pragma once
// A small binary ("bplist00") writer for tests and benchmarks only: the library
// reads the binary form but never writes it. It can encode whole object trees
// and also assemble raw objects with a hand-made trailer, so that tests can
// build exactly the malformed files they need.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "foundation/Unicode.h"

namespace ossel::testing {

struct BinaryTrailer {
    unsigned offsetSize = 0;  // 0: the smallest that fits
    unsigned refSize = 1;
    uint64_t objectCount = UINT64_MAX;  // UINT64_MAX: the real count
    uint64_t topObject = 0;
    uint64_t tableOffset = UINT64_MAX;  // UINT64_MAX: where the table really is
};

inline void appendBigEndian(std::vector<uint8_t>& out, uint64_t v, unsigned size) {
    for (unsigned i = size; i-- > 0;) out.push_back(i < 8 ? static_cast<uint8_t>(v >> (8 * i)) : 0);
}

inline unsigned bytesFor(uint64_t v) { return v <= 0xFF ? 1 : v <= 0xFFFF ? 2 : v <= 0xFFFFFFFF ? 4 : 8; }

// Objects given as raw bytes (marker included), in index order.
inline std::vector<uint8_t> assembleBinary(const std::vector<std::vector<uint8_t>>& objects, BinaryTrailer t = {}) {
    std::vector<uint8_t> out{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<uint64_t> offsets;
    for (const auto& o : objects) {
        offsets.push_back(out.size());
        out.insert(out.end(), o.begin(), o.end());
    }
    const uint64_t table = out.size();
    const unsigned offsetSize = t.offsetSize ? t.offsetSize : bytesFor(table);
    for (uint64_t o : offsets) appendBigEndian(out, o, offsetSize);
    for (int i = 0; i < 6; ++i) out.push_back(0);
    out.push_back(static_cast<uint8_t>(offsetSize));
    out.push_back(static_cast<uint8_t>(t.refSize));
    appendBigEndian(out, t.objectCount == UINT64_MAX ? objects.size() : t.objectCount, 8);
    appendBigEndian(out, t.topObject, 8);
    appendBigEndian(out, t.tableOffset == UINT64_MAX ? table : t.tableOffset, 8);
    return out;
}

// A marker with its count, spilling into a following integer from 15 on.
inline void appendMarker(std::vector<uint8_t>& out, uint8_t type, uint64_t count) {
    if (count < 15) {
        out.push_back(static_cast<uint8_t>(type << 4 | count));
        return;
    }
    out.push_back(static_cast<uint8_t>(type << 4 | 0xF));
    const unsigned size = bytesFor(count);
    out.push_back(static_cast<uint8_t>(0x10 | std::countr_zero(size)));
    appendBigEndian(out, count, size);
}

// Four-byte references fit any tree a test or benchmark encodes, with no
// counting pass before the objects are written.
inline constexpr unsigned kEncoderRefSize = 4;

// Appends the objects of a tree of property-list values, every node its own object
// (no sharing), strings as ASCII where they can be and UTF-16 otherwise; answers the
// index of the root.
inline size_t appendBinaryObjects(const Object* o, std::vector<std::vector<uint8_t>>& objects) {
    const size_t index = objects.size();
    objects.emplace_back();
    std::vector<uint8_t> out;
    const auto appendRefs = [&](const std::vector<size_t>& refs) {
        for (size_t r : refs) appendBigEndian(out, r, kEncoderRefSize);
    };
    if (const auto* s = dynamic_cast<const String*>(o)) {
        const std::string_view text = s->utf8();
        if (std::all_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x80; })) {
            appendMarker(out, 0x5, text.size());
            out.insert(out.end(), text.begin(), text.end());
        } else {
            std::vector<uint16_t> units;
            for (size_t i = 0; i < text.size();) {
                const char32_t cp = unicode::decodeNext(text, i);
                if (cp >= 0x10000) units.push_back(static_cast<uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                units.push_back(static_cast<uint16_t>(cp >= 0x10000 ? 0xDC00 + ((cp - 0x10000) & 0x3FF) : cp));
            }
            appendMarker(out, 0x6, units.size());
            for (uint16_t u : units) appendBigEndian(out, u, 2);
        }
    } else if (const auto* n = dynamic_cast<const Number*>(o)) {
        if (n->kind() == Number::Kind::Bool) {
            out.push_back(n->boolValue() ? 0x09 : 0x08);
        } else if (n->kind() == Number::Kind::UInt && n->unsignedLongLongValue() > uint64_t(INT64_MAX)) {
            out.push_back(0x14);
            appendBigEndian(out, 0, 8);
            appendBigEndian(out, n->unsignedLongLongValue(), 8);
        } else if (n->isInteger()) {
            const int64_t v = n->longLongValue();
            const unsigned size = v < 0 ? 8 : bytesFor(static_cast<uint64_t>(v));
            out.push_back(static_cast<uint8_t>(0x10 | std::countr_zero(size)));
            appendBigEndian(out, static_cast<uint64_t>(v), size);
        } else {
            out.push_back(0x23);
            appendBigEndian(out, std::bit_cast<uint64_t>(n->doubleValue()), 8);
        }
    } else if (const auto* d = dynamic_cast<const Date*>(o)) {
        out.push_back(0x33);
        appendBigEndian(out, std::bit_cast<uint64_t>(d->timeIntervalSinceReferenceDate()), 8);
    } else if (const auto* data = dynamic_cast<const Data*>(o)) {
        appendMarker(out, 0x4, data->length());
        out.insert(out.end(), data->bytes().begin(), data->bytes().end());
    } else if (const auto* a = dynamic_cast<const Array*>(o)) {
        std::vector<size_t> refs;
        for (const auto& item : *a) refs.push_back(appendBinaryObjects(item.get(), objects));
        appendMarker(out, 0xA, refs.size());
        appendRefs(refs);
    } else if (const auto* dict = dynamic_cast<const Dictionary*>(o)) {
        std::vector<size_t> keys, values;
        for (const auto& [key, value] : *dict) {
            keys.push_back(appendBinaryObjects(str(key).get(), objects));
            values.push_back(appendBinaryObjects(value.get(), objects));
        }
        appendMarker(out, 0xD, keys.size());
        appendRefs(keys);
        appendRefs(values);
    }
    objects[index] = std::move(out);
    return index;
}

inline std::vector<uint8_t> encodeBinaryPlist(const Object* root) {
    std::vector<std::vector<uint8_t>> objects;
    appendBinaryObjects(root, objects);
    return assembleBinary(objects, {.refSize = kEncoderRefSize});
}

}  // namespace ossel::testing
