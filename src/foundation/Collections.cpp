// Array, Dictionary and the old-style text rendering they share.
#include <algorithm>

#include "foundation/Array.h"
#include "foundation/Dictionary.h"
#include "foundation/String.h"

namespace ossel {

void Array::addObject(Ref<Object> object) {
    if (object) items_.push_back(std::move(object));
}

void Array::replaceObjectAtIndex(size_t index, Ref<Object> object) {
    if (object && index < items_.size()) items_[index] = std::move(object);
}

bool Array::isEqual(const Object* other) const {
    const auto* a = dynamic_cast<const Array*>(other);
    if (!a || a->items_.size() != items_.size()) return false;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (!objectsEqual(items_[i], a->items_[i])) return false;
    }
    return true;
}

Ref<Object> Array::copy() const { return mutable_ ? make(items_, false) : self(); }

std::string Array::description() const { return oldStyleDescription(this); }

Dictionary::Dictionary(std::vector<Entry> entries, bool isMutable) : mutable_(isMutable) {
    entries_.reserve(entries.size());
    for (auto& [key, value] : entries) setObject(std::move(value), std::move(key));
}

namespace {
uint64_t keyHash(std::string_view key) { return std::hash<std::string_view>{}(key); }
constexpr uint64_t kTagBits = 0xffffffff00000000ULL;
// A slot's place comes from the same upper half of the hash that its tag keeps, so
// that growing the index moves slot values without reading a single key again.
size_t homeSlot(uint64_t tag, size_t mask) { return static_cast<size_t>(tag >> 32) & mask; }
}  // namespace

size_t Dictionary::find(std::string_view key) const {
    if (scansEntries()) {
        for (size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].first == key) return i;
        }
        return npos;
    }
    if (slots_.empty()) rebuildIndex();
    size_t freeSlot = 0;
    return probe(key, keyHash(key) & kTagBits, freeSlot);
}

size_t Dictionary::probe(std::string_view key, uint64_t tag, size_t& freeSlot) const {
    const size_t mask = slots_.size() - 1;
    for (size_t slot = homeSlot(tag, mask);; slot = (slot + 1) & mask) {
        const uint64_t value = slots_[slot];
        if (value == 0) {
            freeSlot = slot;
            return npos;
        }
        if ((value & kTagBits) != tag) continue;
        const size_t position = static_cast<uint32_t>(value) - 1;
        if (entries_[position].first == key) return position;
    }
}

void Dictionary::place(uint64_t value) const {
    const size_t mask = slots_.size() - 1;
    size_t slot = homeSlot(value, mask);
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = value;
}

void Dictionary::rebuildIndex() const {
    size_t size = 32;
    while (size < entries_.size() * 2 + 2) size *= 2;
    slots_.assign(size, 0);
    for (size_t i = 0; i < entries_.size(); ++i) {
        place((keyHash(entries_[i].first) & kTagBits) | static_cast<uint32_t>(i + 1));
    }
}

void Dictionary::growIndex() const {
    std::vector<uint64_t> old(slots_.size() * 2, 0);
    old.swap(slots_);
    for (const uint64_t value : old) {
        if (value != 0) place(value);
    }
}

Ref<Object> Dictionary::objectForKey(std::string_view key) const {
    const size_t i = find(key);
    return i == npos ? nullptr : entries_[i].second;
}

void Dictionary::setObject(Ref<Object> value, std::string key) {
    if (!value) {
        removeObjectForKey(key);
        return;
    }
    if (scansEntries()) {
        const size_t i = find(key);
        if (i != npos) {
            entries_[i].second = std::move(value);
        } else {
            entries_.emplace_back(std::move(key), std::move(value));
        }
        return;
    }
    if (slots_.empty()) rebuildIndex();
    // One hash and one probe run: the run that misses the key ends where it goes.
    const uint64_t tag = keyHash(key) & kTagBits;
    size_t freeSlot = 0;
    const size_t i = probe(key, tag, freeSlot);
    if (i != npos) {
        entries_[i].second = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
    const uint64_t slotValue = tag | static_cast<uint32_t>(entries_.size());
    if (entries_.size() * 2 + 2 > slots_.size()) {
        growIndex();
        place(slotValue);
    } else {
        slots_[freeSlot] = slotValue;
    }
}

void Dictionary::removeObjectForKey(std::string_view key) {
    const size_t i = find(key);
    if (i == npos) return;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    slots_.clear();
}

void Dictionary::removeAllObjects() {
    entries_.clear();
    slots_.clear();
}

std::vector<std::string> Dictionary::allKeys() const {
    std::vector<std::string> keys;
    keys.reserve(entries_.size());
    for (const auto& entry : entries_) keys.push_back(entry.first);
    return keys;
}

Ref<Dictionary> Dictionary::mutableCopy() const {
    auto copy = std::make_shared<Dictionary>(true);
    copy->entries_ = entries_;
    copy->slots_ = slots_;
    return copy;
}

bool Dictionary::isEqual(const Object* other) const {
    const auto* d = dynamic_cast<const Dictionary*>(other);
    if (!d || d->entries_.size() != entries_.size()) return false;
    for (const auto& [key, value] : entries_) {
        if (!objectsEqual(value, d->objectForKey(key))) return false;
    }
    return true;
}

Ref<Object> Dictionary::copy() const {
    if (!mutable_) return self();
    auto copy = std::make_shared<Dictionary>(false);
    copy->entries_ = entries_;
    copy->slots_ = slots_;
    return copy;
}

std::string Dictionary::description() const { return oldStyleDescription(this); }

namespace {

// Texts made only of these characters print without quotes.
bool needsQuotes(std::string_view s) {
    if (s.empty()) return true;
    return !std::all_of(s.begin(), s.end(), [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '$' || c == '/' || c == ':' || c == '.' || c == '-' || c >= 0x80;
    });
}

void appendQuoted(std::string& out, std::string_view s, TextQuoting quoting) {
    if (quoting == TextQuoting::asNeeded && !needsQuotes(s)) {
        out += s;
        return;
    }
    out += '"';
    for (char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    out += '"';
}

void render(const Object* object, int level, TextQuoting quoting, std::string& out) {
    const std::string indent(static_cast<size_t>(level) * 4, ' ');
    if (!object) {
        out += "(null)";
    } else if (const auto* s = dynamic_cast<const String*>(object)) {
        appendQuoted(out, s->utf8(), quoting);
    } else if (const auto* a = dynamic_cast<const Array*>(object)) {
        out += "(\n";
        for (size_t i = 0; i < a->count(); ++i) {
            out += indent + "    ";
            render(a->items()[i].get(), level + 1, quoting, out);
            out += i + 1 < a->count() ? ",\n" : "\n";
        }
        out += indent + ")";
    } else if (const auto* d = dynamic_cast<const Dictionary*>(object)) {
        out += "{\n";
        for (const auto& [key, value] : *d) {
            out += indent + "    ";
            appendQuoted(out, key, quoting);
            out += " = ";
            render(value.get(), level + 1, quoting, out);
            out += ";\n";
        }
        out += indent + "}";
    } else {
        out += object->description();
    }
}

}  // namespace

std::string oldStyleDescription(const Object* object, int indentLevel, TextQuoting quoting) {
    std::string out;
    render(object, indentLevel, quoting, out);
    return out;
}

}  // namespace ossel
