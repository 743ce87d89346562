#pragma once
// Property-list files: XML and binary ("bplist00") reading, XML writing the way
// the platform's own tools write it. Reading never crashes and never guesses:
// anything malformed is refused with the kind of problem, where it is (line
// for XML, byte offset for binary) and a message naming it.

#include <cstddef>
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

// Why a property list was refused, and where.
enum class PropertyListErrorKind {
    empty,           // no bytes at all
    encoding,        // not UTF-8 (nor UTF-16 with a byte-order mark), or a NUL character
    syntax,          // XML that is not well formed, or text or markup where none belongs
    unknownElement,  // an element a property list does not have
    structure,       // a key without a value or outside a <dict>, a value without a key, an element inside
                     // a string or number, an empty or overfull <plist>
    badValue,        // a number, date, base64 text or boolean that does not read as one
    outOfRange,      // an integer, real or date beyond what its value can hold
    tooDeep,         // containers nested deeper than 512 levels
    truncated,       // the file ends inside an element, before its trailer, or inside an object
    badTrailer,      // binary: a trailer or offset table that cannot be right
    badReference,    // binary: a reference to an object that is not there, or an offset outside the objects
    cycle,           // binary: a container that contains itself
    unsupported,     // binary: versions, object types and values (null, UID, sets) property lists do not have
    tooManyObjects,  // binary: shared containers that would expand past the budget of objects built
};

struct PropertyListError {
    PropertyListErrorKind kind = PropertyListErrorKind::empty;
    size_t line = 0;    // XML: the line, counted from 1 (0 for UTF-16 that does not decode)
    size_t offset = 0;  // where there is no line: the byte offset in the file
    std::string message;

    // "line 4: not an integer: <integer>12abc</integer>", "offset 9: reference to object 5 of 2".
    std::string description() const;
};

// Reads XML (UTF-8, or UTF-16 with a byte-order mark) or binary property lists.
// Null with *error set on failure.
Ref<Object> readPropertyList(std::span<const uint8_t> bytes, PropertyListError* error = nullptr,
                             PropertyListReadOptions options = {});
// As readPropertyList, for a file read through readRegularFile; *error is the
// reason as a line of text, without the path.
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
