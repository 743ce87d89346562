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
uint64_t slotTag(uint64_t hash) { return hash & 0xffffffff00000000ULL; }
}  // namespace

size_t Dictionary::find(std::string_view key) const {
    if (entries_.size() < kIndexThreshold) {
        for (size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].first == key) return i;
        }
        return npos;
    }
    if (slots_.empty()) rebuildIndex();
    const uint64_t hash = keyHash(key);
    const uint64_t tag = slotTag(hash);
    const size_t mask = slots_.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint64_t value = slots_[slot];
        if (value == 0) return npos;
        if (slotTag(value) != tag) continue;
        const size_t position = static_cast<uint32_t>(value) - 1;
        if (entries_[position].first == key) return position;
    }
}

void Dictionary::indexEntry(size_t position) const {
    const uint64_t hash = keyHash(entries_[position].first);
    const size_t mask = slots_.size() - 1;
    size_t slot = hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = slotTag(hash) | static_cast<uint32_t>(position + 1);
}

void Dictionary::rebuildIndex() const {
    size_t size = 32;
    while (size < entries_.size() * 2 + 2) size *= 2;
    slots_.assign(size, 0);
    for (size_t i = 0; i < entries_.size(); ++i) indexEntry(i);
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
    const size_t i = find(key);
    if (i != npos) {
        entries_[i].second = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
    if (slots_.empty()) return;
    if (entries_.size() * 2 + 2 > slots_.size()) {
        rebuildIndex();
    } else {
        indexEntry(entries_.size() - 1);
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
