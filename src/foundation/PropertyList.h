#pragma once
// Property-list files: XML and binary ("bplist00") reading, XML writing the way
// the platform's own tools write it. Reading never crashes and never guesses:
// anything malformed is refused with a message that names the problem and
// where it is (line for XML, byte offset for binary).

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "foundation/Object.h"

namespace ossel {

struct PropertyListReadOptions {
    // Arrays and dictionaries come back mutable (the top level and every nested one).
    bool mutableContainers = false;
    // Files above this many bytes are refused unread; 0 means fileSizeLimit() (RegularFile.h).
    uint64_t sizeLimit = 0;
    // When set and the top level of an XML list is an array, each of its items is handed
    // here as soon as it is read instead of being kept, and the array comes back empty: a
    // reader that keeps only a little of each item of a large array never holds the whole
    // document. Items handed over before a failure further on are not taken back; the
    // caller drops them. A binary list, whose objects refer to each other by number, is
    // read whole and keeps its items.
    std::function<void(Ref<Object>)> arrayItemSink = {};
};

// Reads XML (UTF-8, or UTF-16 with a byte-order mark) or binary property lists.
// Null with *error set on failure.
Ref<Object> readPropertyList(std::span<const uint8_t> bytes, std::string* error = nullptr,
                             PropertyListReadOptions options = {});
Ref<Object> readPropertyListFromFile(const std::string& path, std::string* error = nullptr,
                                     PropertyListReadOptions options = {});

// True when the object is a property-list value all the way down: String, Number,
// Date, Data, Array and Dictionary only.
bool isPropertyListValue(const Object* object);

// The XML form: header and DOCTYPE, <plist version="1.0">, a tab per level, keys
// sorted, reals that read back to the same double, dates in UTC, base64 data.
// Empty with *error set when the object is not a property-list value.
std::string xmlPropertyListData(const Object* root, std::string* error = nullptr);

// Writes the XML form to a file; with `atomically`, through a temporary file in the
// same directory renamed into place. False (and *error) when the object is not a
// property-list value or the file cannot be written.
bool writePropertyListToFile(const Object* root, const std::string& path, bool atomically,
                             std::string* error = nullptr);

}  // namespace ossel
