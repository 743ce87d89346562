#include "foundation/Archiver.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <typeinfo>
#include <unordered_map>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Format.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"

// The archive, byte by byte (integers little-endian, lengths and indexes as
// unsigned LEB128 "varints"):
//
//   archive := "OSAR" formatVersion:u8 classCount:varint class* item
//   class   := nameLength:varint name version:i32
//   item    := 'i' i32 | 'I' u32 | 'q' i64 | 'Q' u64 | 'd' f64 | 'f' f32 | 'c' i8
//            | 'b' length:varint bytes
//            | 'n'                                    a null object
//            | 'r' objectIndex:varint                 an object written before
//            | '@' classIndex:varint bodyLength:u32 item*   an object and its fields
//
// The class table comes first so that a reader knows every class's version
// before it reads the first object. Each object's body carries its length, so
// that a reader can step over fields that an older decode function does not read.

namespace ossel {
namespace {

inline constexpr std::string_view kMagic = "OSAR";
inline constexpr uint8_t kFormatVersion = 1;
inline constexpr int kMaxNesting = 512;
inline constexpr size_t kMaxVarintBytes = 10;

namespace tag {
inline constexpr uint8_t int32 = 'i';
inline constexpr uint8_t uint32 = 'I';
inline constexpr uint8_t int64 = 'q';
inline constexpr uint8_t uint64 = 'Q';
inline constexpr uint8_t real64 = 'd';
inline constexpr uint8_t real32 = 'f';
inline constexpr uint8_t character = 'c';
inline constexpr uint8_t bytes = 'b';
inline constexpr uint8_t nullObject = 'n';
inline constexpr uint8_t reference = 'r';
inline constexpr uint8_t object = '@';
}  // namespace tag

std::string tagName(uint8_t t) {
    if (t >= 0x21 && t < 0x7f) return format("'%c'", static_cast<char>(t));
    return format("0x%02x", t);
}

// ---------------------------------------------------------------------------
// The class registry.

struct ClassInfo {
    int32_t version = 0;
    ArchiveDecodeFunction decode;
};

Ref<Object> decodeString(Decoder& d) {
    const auto bytes = d.decodeBytes();
    return str(std::string(bytes.begin(), bytes.end()));
}

Ref<Object> decodeNumber(Decoder& d) {
    switch (static_cast<Number::Kind>(d.decodeChar())) {
        case Number::Kind::Bool: return Number::withBool(d.decodeChar() != 0);
        case Number::Kind::Int: return Number::withInt(d.decodeInt64());
        case Number::Kind::UInt: return Number::withUnsigned(d.decodeUInt64());
        case Number::Kind::Float: return Number::withFloat(d.decodeFloat());
        case Number::Kind::Double: return Number::withDouble(d.decodeDouble());
    }
    d.fail("unknown number kind");
    return nullptr;
}

Ref<Object> decodeDate(Decoder& d) { return Date::withTimeIntervalSinceReferenceDate(d.decodeDouble()); }

Ref<Object> decodeData(Decoder& d) { return Data::make(d.decodeBytes()); }

Ref<Object> decodeNull(Decoder&) { return Null::null(); }

// Counts are not trusted for allocation: every element costs at least one byte
// of the archive, so a corrupt count ends in a failed read, not a huge vector.
Ref<Object> decodeArray(Decoder& d) {
    const bool isMutable = d.decodeBool();
    const uint32_t count = d.decodeUInt32();
    std::vector<Ref<Object>> items;
    for (uint32_t i = 0; i < count && !d.failed(); ++i) {
        auto item = d.decodeObject();
        if (item) items.push_back(std::move(item));
    }
    return Array::make(std::move(items), isMutable);
}

Ref<Object> decodeDictionary(Decoder& d) {
    const bool isMutable = d.decodeBool();
    const uint32_t count = d.decodeUInt32();
    std::vector<Dictionary::Entry> entries;
    for (uint32_t i = 0; i < count && !d.failed(); ++i) {
        const auto key = d.decodeBytes();
        auto value = d.decodeObject();
        if (value) entries.emplace_back(std::string(key.begin(), key.end()), std::move(value));
    }
    return std::make_shared<Dictionary>(std::move(entries), isMutable);
}

struct Registry {
    std::mutex mutex;
    std::map<std::string, ClassInfo, std::less<>> classes;

    Registry() {
        classes["String"] = {0, decodeString};
        classes["Number"] = {0, decodeNumber};
        classes["Date"] = {0, decodeDate};
        classes["Data"] = {0, decodeData};
        classes["Array"] = {0, decodeArray};
        classes["Dictionary"] = {0, decodeDictionary};
        classes["Null"] = {0, decodeNull};
    }

    bool contains(std::string_view name) {
        const std::lock_guard lock(mutex);
        return classes.find(name) != classes.end();
    }

    std::optional<ClassInfo> find(std::string_view name) {
        const std::lock_guard lock(mutex);
        const auto found = classes.find(name);
        if (found == classes.end()) return std::nullopt;
        return found->second;
    }
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// The foundation classes' fields. Their classes leave encodeWithCoder to the
// archive, which knows them.
void encodeNumber(Coder& c, const Number& n) {
    c.encodeChar(static_cast<int8_t>(n.kind()));
    switch (n.kind()) {
        case Number::Kind::Bool: c.encodeBool(n.boolValue()); break;
        case Number::Kind::Int: c.encodeInt64(n.longLongValue()); break;
        case Number::Kind::UInt: c.encodeUInt64(n.unsignedLongLongValue()); break;
        case Number::Kind::Float: c.encodeFloat(n.floatValue()); break;
        case Number::Kind::Double: c.encodeDouble(n.doubleValue()); break;
    }
}

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

void encodeArray(Coder& c, const Array& a) {
    c.encodeBool(a.isMutable());
    c.encodeUInt32(static_cast<uint32_t>(a.count()));
    for (const auto& item : a) c.encodeObject(item);
}

void encodeDictionary(Coder& c, const Dictionary& d) {
    c.encodeBool(d.isMutable());
    c.encodeUInt32(static_cast<uint32_t>(d.count()));
    for (const auto& [key, value] : d) {
        c.encodeBytes(bytesOf(key));
        c.encodeObject(value);
    }
}

// The foundation classes, each with its archive name and the writing of its
// fields. None derives from another, so a subclass is a kind of one at most.
struct FoundationClass {
    const char* typeName;
    const char* archiveName;
    bool (*isKind)(const Object&);
    void (*encode)(Coder&, const Object&);
};

template <class T, void (*Encode)(Coder&, const T&)>
FoundationClass foundationClass(const char* archiveName) {
    return {typeid(T).name(), archiveName, [](const Object& o) { return isKindOf<T>(&o); },
            [](Coder& c, const Object& o) { Encode(c, static_cast<const T&>(o)); }};
}

void encodeString(Coder& c, const String& s) { c.encodeBytes(bytesOf(s.utf8())); }
void encodeDate(Coder& c, const Date& d) { c.encodeDouble(d.timeIntervalSinceReferenceDate()); }
void encodeData(Coder& c, const Data& d) { c.encodeBytes(d.bytes()); }
void encodeNull(Coder&, const Null&) {}

std::span<const FoundationClass> foundationClasses() {
    static const FoundationClass kClasses[] = {
        foundationClass<String, encodeString>("String"),
        foundationClass<Number, encodeNumber>("Number"),
        foundationClass<Array, encodeArray>("Array"),
        foundationClass<Dictionary, encodeDictionary>("Dictionary"),
        foundationClass<Date, encodeDate>("Date"),
        foundationClass<Data, encodeData>("Data"),
        foundationClass<Null, encodeNull>("Null"),
    };
    return kClasses;
}

// The class of an object whose class is one of the foundation's (not a subclass),
// the bulk of most archives: told by the address of its type's name, which the
// foundation library defines for the whole process, without a cast. A class whose
// type information a module holds a copy of takes the general way.
const FoundationClass* exactFoundationClassOf(const Object& o) {
    const char* type = typeid(o).name();
    for (const FoundationClass& known : foundationClasses()) {
        if (known.typeName == type) return &known;
    }
    return nullptr;
}

// The foundation class an object is a kind of, or null for other classes. A
// subclass that did not register itself (a calendar date) is archived as its
// foundation class, the way the platform substitutes a class for coding.
const FoundationClass* foundationClassOf(const Object& o) {
    for (const FoundationClass& known : foundationClasses()) {
        if (known.isKind(o)) return &known;
    }
    return nullptr;
}

template <class T>
void appendLittleEndian(std::vector<uint8_t>& out, T value) {
    uint8_t raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(raw, raw + sizeof(T));
    out.insert(out.end(), raw, raw + sizeof(T));
}

void appendVarint(std::vector<uint8_t>& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<uint8_t>(value));
}

}  // namespace

void registerArchivableClass(const std::string& className, int32_t version, ArchiveDecodeFunction decode) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    r.classes[className] = ClassInfo{version, std::move(decode)};
}

int32_t classVersion(std::string_view className) {
    const auto info = registry().find(className);
    return info ? info->version : 0;
}

// ---------------------------------------------------------------------------
// Coder

struct Coder::State {
    struct Written {
        Ref<Object> object;  // held, so that its address stays its own for the archive's life
        size_t index;
        bool complete;
    };
    std::vector<uint8_t> items;
    std::vector<std::pair<std::string, int32_t>> classes;
    // Objects written so far. An archive of a few dozen objects (a clip's attributes)
    // finds them faster by looking along them than by hashing; a larger one gets an index.
    std::vector<Written> written;
    std::unordered_map<const Object*, size_t> writtenIndex;
    static constexpr size_t kLinearLookups = 32;
    size_t objectCount = 0;
    int depth = 0;
    std::string error;

    // Room for an attribute dictionary without growing.
    State() {
        items.reserve(1024);
        written.reserve(kLinearLookups);
    }

    Written* find(const Object* object) {
        if (written.size() <= kLinearLookups) {
            for (Written& entry : written) {
                if (entry.object.get() == object) return &entry;
            }
            return nullptr;
        }
        const auto found = writtenIndex.find(object);
        return found == writtenIndex.end() ? nullptr : &written[found->second];
    }

    size_t indexOfClass(std::string_view name) {
        // An archive names a handful of classes: looking along them beats hashing every name.
        for (size_t i = 0; i < classes.size(); ++i) {
            if (classes[i].first == name) return i;
        }
        classes.emplace_back(std::string(name), classVersion(name));
        return classes.size() - 1;
    }

    void fail(std::string message) {
        if (error.empty()) error = std::move(message);
    }

    // Writes null, a reference to an object written before, or a null in place of an
    // object that cannot be written; false when the object needs writing in full.
    bool writeShortForm(const Object* object) {
        if (!object) {
            items.push_back(tag::nullObject);
            return true;
        }
        if (const Written* found = find(object)) {
            if (found->complete) {
                items.push_back(tag::reference);
                appendVarint(items, found->index);
                return true;
            }
            fail(format("cannot archive a %@ that contains itself", object->className()));
            items.push_back(tag::nullObject);
            return true;
        }
        if (depth >= kMaxNesting) {
            fail(format("cannot archive objects nested deeper than %d", kMaxNesting));
            items.push_back(tag::nullObject);
            return true;
        }
        return false;
    }

    // Numbers the object as the reader will. Only objects owned by a Ref can be held
    // (and so referred to later); others are written in full every time.
    void track(const Object& object) {
        const size_t index = objectCount++;
        Ref<Object> held = std::const_pointer_cast<Object>(object.weak_from_this().lock());
        if (!held) return;
        written.push_back({std::move(held), index, false});
        if (written.size() > kLinearLookups) {
            if (writtenIndex.empty()) {
                for (size_t i = 0; i < written.size(); ++i) writtenIndex.emplace(written[i].object.get(), i);
            } else {
                writtenIndex.emplace(&object, written.size() - 1);
            }
        }
    }

    // Writes the object's header with a length to be filled in by endObject.
    size_t beginObject(std::string_view className) {
        items.push_back(tag::object);
        appendVarint(items, indexOfClass(className));
        const size_t lengthAt = items.size();
        appendLittleEndian<uint32_t>(items, 0);
        return lengthAt;
    }

    void endObject(size_t lengthAt) {
        const size_t length = items.size() - lengthAt - sizeof(uint32_t);
        if (length > UINT32_MAX) fail("an object's fields exceed 4 GB");
        const auto length32 = static_cast<uint32_t>(length);
        for (size_t i = 0; i < sizeof length32; ++i) items[lengthAt + i] = static_cast<uint8_t>(length32 >> (8 * i));
    }
};

Coder::Coder() : state_(std::make_unique<State>()) {}
Coder::~Coder() = default;

void Coder::encodeInt32(int32_t value) {
    state_->items.push_back(tag::int32);
    appendLittleEndian(state_->items, value);
}

void Coder::encodeUInt32(uint32_t value) {
    state_->items.push_back(tag::uint32);
    appendLittleEndian(state_->items, value);
}

void Coder::encodeInt64(int64_t value) {
    state_->items.push_back(tag::int64);
    appendLittleEndian(state_->items, value);
}

void Coder::encodeUInt64(uint64_t value) {
    state_->items.push_back(tag::uint64);
    appendLittleEndian(state_->items, value);
}

void Coder::encodeDouble(double value) {
    state_->items.push_back(tag::real64);
    appendLittleEndian(state_->items, std::bit_cast<uint64_t>(value));
}

void Coder::encodeFloat(float value) {
    state_->items.push_back(tag::real32);
    appendLittleEndian(state_->items, std::bit_cast<uint32_t>(value));
}

void Coder::encodeChar(int8_t value) {
    state_->items.push_back(tag::character);
    state_->items.push_back(static_cast<uint8_t>(value));
}

void Coder::encodeBytes(std::span<const uint8_t> bytes) {
    state_->items.push_back(tag::bytes);
    appendVarint(state_->items, bytes.size());
    state_->items.insert(state_->items.end(), bytes.begin(), bytes.end());
}

void Coder::encodeObject(const Object* object) {
    State& s = *state_;
    if (s.writeShortForm(object)) return;
    s.track(*object);

    // Written with the foundation's fields when archived under a foundation class's name.
    const FoundationClass* foundation = exactFoundationClassOf(*object);
    std::string ownName;
    std::string_view archiveName;
    if (foundation) {
        archiveName = foundation->archiveName;
    } else {
        ownName = object->className();
        foundation = foundationClassOf(*object);
        if (registry().contains(ownName)) {
            archiveName = ownName;
            if (foundation && ownName != foundation->archiveName) foundation = nullptr;
        } else {
            archiveName = foundation ? std::string_view(foundation->archiveName) : std::string_view(ownName);
        }
    }
    const size_t lengthAt = s.beginObject(archiveName);
    ++s.depth;
    if (foundation) {
        foundation->encode(*this, *object);
    } else {
        object->encodeWithCoder(*this);
    }
    --s.depth;
    s.endObject(lengthAt);
    if (State::Written* found = s.find(object)) found->complete = true;
}

bool Coder::failed() const { return !state_->error.empty(); }
const std::string& Coder::error() const { return state_->error; }

std::vector<uint8_t> Coder::data() const {
    std::vector<uint8_t> out(kMagic.begin(), kMagic.end());
    out.push_back(kFormatVersion);
    appendVarint(out, state_->classes.size());
    for (const auto& [name, version] : state_->classes) {
        appendVarint(out, name.size());
        out.insert(out.end(), name.begin(), name.end());
        appendLittleEndian(out, version);
    }
    out.insert(out.end(), state_->items.begin(), state_->items.end());
    return out;
}

std::vector<uint8_t> Coder::archivedDataWithRootObject(const Object* root) {
    Coder coder;
    coder.encodeObject(root);
    if (coder.failed()) return {};
    return coder.data();
}

// ---------------------------------------------------------------------------
// Decoder

struct Decoder::State {
    struct ArchivedClass {
        std::string name;
        int32_t version;
        std::optional<ClassInfo> info;  // looked up once, when the archive is opened
    };
    std::span<const uint8_t> bytes;
    size_t pos = 0;
    size_t end = 0;  // the end of the object being read, or of the archive
    std::vector<ArchivedClass> classes;
    std::vector<Ref<Object>> objects;  // by index; null while an object is being read
    std::vector<bool> complete;
    int depth = 0;
    bool failed = false;
    std::string error;

    void failAt(size_t offset, const std::string& message) {
        if (failed) return;
        failed = true;
        error = format("%@ at byte %zu", message, offset);
    }

    bool need(size_t count, size_t itemAt, std::string_view what) {
        if (failed) return false;
        if (count <= end - pos) return true;
        const std::string message = format("truncated %@: needs %zu bytes, %zu remain", what, count, end - pos);
        failAt(itemAt, end < bytes.size() ? format("%@ before the object's end at byte %zu", message, end) : message);
        return false;
    }

    template <class T>
    T readLittleEndian() {
        T value = 0;
        for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(static_cast<T>(bytes[pos + i]) << (8 * i));
        pos += sizeof(T);
        return value;
    }

    std::optional<uint64_t> readVarint(std::string_view what) {
        const size_t at = pos;
        uint64_t value = 0;
        for (size_t i = 0; i < kMaxVarintBytes; ++i) {
            if (!need(1, at, what)) return std::nullopt;
            const uint8_t byte = bytes[pos++];
            if (i == kMaxVarintBytes - 1 && byte > 1) break;
            value |= static_cast<uint64_t>(byte & 0x7F) << (7 * i);
            if (!(byte & 0x80)) return value;
        }
        failAt(at, format("%@ is not a valid length", what));
        return std::nullopt;
    }

    // Consumes the tag of the next item when it is the one expected.
    bool expect(uint8_t wanted, size_t payload) {
        if (failed) return false;
        const size_t at = pos;
        // The common case first, so that a label is only named when something is wrong.
        if (pos < end && bytes[pos] == wanted && payload < end - pos) {
            ++pos;
            return true;
        }
        if (!need(1, at, tagName(wanted) + " item")) return false;
        if (bytes[pos] != wanted) {
            failAt(at, format("expected item %@ but found %@", tagName(wanted), tagName(bytes[pos])));
            return false;
        }
        ++pos;
        return need(payload, at, tagName(wanted) + " item");
    }

    Ref<Object> readReference() {
        const size_t at = pos++;
        const auto index = readVarint("object reference");
        if (!index) return nullptr;
        if (*index >= objects.size() || !complete[*index]) {
            failAt(at, format("reference to object %llu, which was not read before", *index));
            return nullptr;
        }
        return objects[*index];
    }

    struct ObjectHeader {
        const ArchivedClass* archived;
        size_t bodyEnd;
    };

    // Reads an object's class and length, and checks that the object can be read at all.
    std::optional<ObjectHeader> readObjectHeader() {
        const size_t at = pos++;
        const auto classIndex = readVarint("class index");
        if (!classIndex) return std::nullopt;
        if (*classIndex >= classes.size()) {
            failAt(at, format("object of class %llu, but the archive names %zu classes", *classIndex, classes.size()));
            return std::nullopt;
        }
        if (!need(sizeof(uint32_t), at, "object length")) return std::nullopt;
        const uint32_t length = readLittleEndian<uint32_t>();
        if (length > end - pos) {
            failAt(at, format("object of %u bytes runs past the end (%zu bytes remain)", length, end - pos));
            return std::nullopt;
        }
        const ArchivedClass& archived = classes[*classIndex];
        if (!archived.info || !archived.info->decode) {
            failAt(at, format("unknown class '%@'", archived.name));
            return std::nullopt;
        }
        if (depth >= kMaxNesting) {
            failAt(at, format("objects nested deeper than %d", kMaxNesting));
            return std::nullopt;
        }
        return ObjectHeader{&archived, pos + length};
    }

    void readHeader() {
        end = bytes.size();
        if (bytes.size() < kMagic.size() + 1 || std::memcmp(bytes.data(), kMagic.data(), kMagic.size()) != 0) {
            failAt(0, "not an archive (bad magic)");
            return;
        }
        pos = kMagic.size();
        if (bytes[pos] != kFormatVersion) {
            failAt(pos, format("unsupported archive format %d", bytes[pos]));
            return;
        }
        ++pos;
        readClassTable();
    }

    void readClassTable() {
        const size_t at = pos;
        const auto count = readVarint("class count");
        if (!count) return;
        // Each class entry takes at least a length byte and a four-byte version.
        if (*count > (end - pos) / 5) return failAt(at, format("class count %llu exceeds the archive", *count));
        Registry& r = registry();
        for (uint64_t i = 0; i < *count && !failed; ++i) {
            const size_t entryAt = pos;
            const auto length = readVarint("class name length");
            if (!length || !need(*length, entryAt, "class name")) return;
            std::string name(reinterpret_cast<const char*>(bytes.data() + pos), *length);
            pos += *length;
            if (!need(sizeof(int32_t), entryAt, "class version")) return;
            const auto version = static_cast<int32_t>(readLittleEndian<uint32_t>());
            auto info = r.find(name);
            classes.push_back({std::move(name), version, std::move(info)});
        }
    }
};

Decoder::Decoder(std::span<const uint8_t> bytes) : state_(std::make_unique<State>()) {
    state_->bytes = bytes;
    state_->readHeader();
}

Decoder::~Decoder() = default;

int32_t Decoder::decodeInt32() {
    if (!state_->expect(tag::int32, 4)) return 0;
    return static_cast<int32_t>(state_->readLittleEndian<uint32_t>());
}

uint32_t Decoder::decodeUInt32() {
    if (!state_->expect(tag::uint32, 4)) return 0;
    return state_->readLittleEndian<uint32_t>();
}

int64_t Decoder::decodeInt64() {
    if (!state_->expect(tag::int64, 8)) return 0;
    return static_cast<int64_t>(state_->readLittleEndian<uint64_t>());
}

uint64_t Decoder::decodeUInt64() {
    if (!state_->expect(tag::uint64, 8)) return 0;
    return state_->readLittleEndian<uint64_t>();
}

double Decoder::decodeDouble() {
    if (!state_->expect(tag::real64, 8)) return 0;
    return std::bit_cast<double>(state_->readLittleEndian<uint64_t>());
}

float Decoder::decodeFloat() {
    if (!state_->expect(tag::real32, 4)) return 0;
    return std::bit_cast<float>(state_->readLittleEndian<uint32_t>());
}

int8_t Decoder::decodeChar() {
    if (!state_->expect(tag::character, 1)) return 0;
    return static_cast<int8_t>(state_->bytes[state_->pos++]);
}

std::vector<uint8_t> Decoder::decodeBytes() {
    State& s = *state_;
    const size_t at = s.pos;
    if (!s.expect(tag::bytes, 0)) return {};
    const auto length = s.readVarint("byte count");
    if (!length || !s.need(*length, at, "'b' item")) return {};
    const auto first = s.bytes.begin() + static_cast<ptrdiff_t>(s.pos);
    s.pos += *length;
    return {first, first + static_cast<ptrdiff_t>(*length)};
}

Ref<Object> Decoder::decodeObject() {
    State& s = *state_;
    const size_t at = s.pos;
    if (!s.need(1, at, "object")) return nullptr;
    switch (s.bytes[s.pos]) {
        case tag::nullObject: ++s.pos; return nullptr;
        case tag::reference: return s.readReference();
        case tag::object: break;
        default: s.failAt(at, format("expected an object but found item %@", tagName(s.bytes[s.pos]))); return nullptr;
    }
    const auto header = s.readObjectHeader();
    if (!header) return nullptr;

    const size_t slot = s.objects.size();
    s.objects.emplace_back();
    s.complete.push_back(false);
    const size_t outerEnd = s.end;
    s.end = header->bodyEnd;
    ++s.depth;
    auto object = header->archived->info->decode(*this);
    --s.depth;
    s.end = outerEnd;
    if (s.failed) return nullptr;
    s.pos = header->bodyEnd;  // fields the decode function did not read are stepped over
    s.objects[slot] = object;
    s.complete[slot] = true;
    return object;
}

int32_t Decoder::versionForClassName(std::string_view className) const {
    for (const auto& archived : state_->classes) {
        if (archived.name == className) return archived.version;
    }
    return -1;
}

bool Decoder::failed() const { return state_->failed; }
const std::string& Decoder::error() const { return state_->error; }

void Decoder::fail(std::string message) { state_->failAt(state_->pos, message); }

Ref<Object> Decoder::unarchiveObjectWithData(std::span<const uint8_t> bytes, std::string* error) {
    Decoder decoder(bytes);
    auto root = decoder.decodeObject();
    if (!decoder.failed()) return root;
    if (error) *error = decoder.error();
    return nullptr;
}

}  // namespace ossel
