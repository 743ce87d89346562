#pragma once
// The sequential archive: typed items written in order and read back in the
// same order. Objects are written with their class name, and each class name
// with the class's version once per archive, so that readers can ask
// versionForClassName(). Reading is bounds-checked: a truncated or corrupt
// archive, or an item of another type than the one asked for, makes the
// decoder fail (every later read answers zero/null) instead of crashing.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Object.h"

namespace ossel {

class Decoder;

// Builds an object of a registered class from its archived fields.
using ArchiveDecodeFunction = std::function<Ref<Object>(Decoder&)>;

// Registers an archivable class by its archive name (the className() of its
// objects). The foundation's String, Number, Date, Data, Array, Dictionary
// and Null are registered already.
void registerArchivableClass(const std::string& className, int32_t version, ArchiveDecodeFunction decode);
// The registered version of a class (0 when it registered none or is unknown).
int32_t classVersion(std::string_view className);

// The archiving side ("encodeWithCoder:" writes into it).
class Coder {
public:
    Coder();
    ~Coder();
    void encodeInt32(int32_t value);    // "i"
    void encodeUInt32(uint32_t value);  // "I"
    void encodeDouble(double value);    // "d"
    void encodeChar(int8_t value);      // "c"; booleans are written as chars 0 and 1
    void encodeBool(bool value) { encodeChar(value ? 1 : 0); }
    void encodeInt64(int64_t value);    // "q"
    void encodeUInt64(uint64_t value);  // "Q"
    void encodeFloat(float value);      // "f"
    void encodeBytes(std::span<const uint8_t> bytes);  // "b": a length, then the bytes
    // Null is written as a null object. An object written a second time is written as a
    // reference to the first, so that it comes back as one shared object.
    void encodeObject(const Object* object);
    void encodeObject(const Ref<Object>& object) { encodeObject(object.get()); }

    // True when an object could not be written (a cycle, or nesting deeper than the
    // reader accepts); the archive then holds a null object in its place.
    bool failed() const;
    const std::string& error() const;

    // The archive's bytes.
    std::vector<uint8_t> data() const;
    // Empty when the root could not be archived whole.
    static std::vector<uint8_t> archivedDataWithRootObject(const Object* root);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The unarchiving side ("initWithCoder:" reads from it).
class Decoder {
public:
    explicit Decoder(std::span<const uint8_t> bytes);
    ~Decoder();
    int32_t decodeInt32();
    uint32_t decodeUInt32();
    double decodeDouble();
    int8_t decodeChar();
    bool decodeBool() { return decodeChar() != 0; }
    int64_t decodeInt64();
    uint64_t decodeUInt64();
    float decodeFloat();
    std::vector<uint8_t> decodeBytes();
    Ref<Object> decodeObject();
    template <class T>
    Ref<T> decodeObjectOfKind() {
        return std::dynamic_pointer_cast<T>(decodeObject());
    }

    // The version recorded in this archive for a class name; -1 when the
    // archive holds no object of that class.
    int32_t versionForClassName(std::string_view className) const;

    bool failed() const;
    const std::string& error() const;
    // Marks the archive as unreadable (for classes that find their fields inconsistent).
    void fail(std::string message);

    // The root object of an archive, or null with *error set.
    static Ref<Object> unarchiveObjectWithData(std::span<const uint8_t> bytes, std::string* error = nullptr);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace ossel
