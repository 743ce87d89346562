#pragma once
// A keyed typed container. Its content is always a plain property-list
// dictionary, so that it can be written to a file or nested in another
// property list, while callers put and get model values directly: model
// values go in as typed strings and come out decoded.
//
// A container can be without data (a file that could not be read, an archive
// that held no dictionary): it then ignores every put, answers every read with
// nothing or the default and cannot be written.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Dictionary.h"
#include "plist/TLDVPListContainer.h"

namespace ossel {

class Array;
class Data;
class Date;
class Number;

// Markers of the keys under which nested typed containers are stored.
inline constexpr std::string_view kTLDVNestedArrayKeyFormat = "@array:%@";
inline constexpr std::string_view kTLDVNestedDictKeyFormat = "@dict:%@";

class TLDVPListDictionary : public TLDVPListContainer {
public:
    // init: an empty dictionary.
    TLDVPListDictionary();

    static Ref<TLDVPListDictionary> make() { return std::make_shared<TLDVPListDictionary>(); }
    // A shallow copy of the entries: the given dictionary is never shared. Nothing gives an empty container.
    static Ref<TLDVPListDictionary> initWithDictionary(const Dictionary* dictionary);
    // The other container's raw entries, each copied when `copyItems`, else shared.
    static Ref<TLDVPListDictionary> initWithPListDictionary(const TLDVPListDictionary* other, bool copyItems);
    // Always a container; without data when the file holds no readable property-list dictionary.
    static Ref<TLDVPListDictionary> initWithContentsOfFile(const std::string& path);

    // The raw entries (null for a container without data).
    const Ref<Dictionary>& containerData() const { return containerData_; }

    // Plain values, stored unchanged. A string beginning with "@" is decoded on reading.
    void putData(const Ref<Data>& value, PListKey key);
    void putDate(const Ref<Date>& value, PListKey key);
    void putNumber(const Ref<Number>& value, PListKey key);
    void putString(const Ref<String>& value, PListKey key);

    // Numbers of a given kind; without a key nothing is stored.
    void putBool(bool value, PListKey key);
    void putInt(int32_t value, PListKey key);
    void putLong(long value, PListKey key);
    void putUnsignedInt(uint32_t value, PListKey key);
    void putFloat(float value, PListKey key);
    void putDouble(double value, PListKey key);

    // Model values, stored as typed strings.
    void putTimeCode(const Ref<DVTimeCode>& value, PListKey key);
    void putClipId(const Ref<DVClipId>& value, PListKey key);
    void putClipSequenceId(const Ref<TLDVClipSequenceId>& value, PListKey key);
    void putSnapshotId(const Ref<DVMovieSnapshotId>& value, PListKey key);
    void putDVSystem(const Ref<DVSystem>& value, PListKey key);

    // Stores any value of a class it knows (data, date, number, string,
    // timecode, snapshot id, clip id, DV system); other values are ignored.
    void putObject(const Ref<Object>& value, PListKey key);
    // Merges through putObject: entries of classes it ignores leave existing entries alone.
    void addEntriesFromDictionary(const Dictionary* dictionary);
    // Stores a snapshot of a nested typed array under "@array:<key>", of a
    // nested typed dictionary under "@dict:<key>"; the plain key is untouched.
    void putPList(const Ref<TLDVPListContainer>& value, PListKey key);
    void removeAllValues();

    // The decoded entry under the key; when there is none, a nested dictionary, else a nested array.
    Ref<Object> valueForKey(PListKey key) const;
    Ref<Object> decodeObjectWithKey(const Ref<Object>& raw, PListKey key) const;
    // A nested container under the key: the nested array first, then the nested dictionary.
    Ref<TLDVPListContainer> pListValueForKey(PListKey key) const;

    // The raw number under the key in the asked kind; the default when the
    // entry is missing or is not a number.
    bool boolValueForKey(PListKey key, bool defaultValue) const;
    int32_t intValueForKey(PListKey key, int32_t defaultValue) const;
    long longValueForKey(PListKey key, long defaultValue) const;
    uint32_t unsignedIntValueForKey(PListKey key, uint32_t defaultValue) const;
    float floatValueForKey(PListKey key, float defaultValue) const;
    double doubleValueForKey(PListKey key, double defaultValue) const;

    // The raw keys in order, nested-container keys as they stand.
    std::vector<std::string> keyEnumerator() const;
    // Every key with its decoded value; keys whose value decodes to nothing are left out.
    Ref<Dictionary> asMutableDictionary() const;
    // A shallow mutable copy of the raw entries; nothing without data.
    Ref<Object> pListValue() const override;
    // False without data, when an entry is no property-list value, or when the file cannot be written.
    bool writeToFile(const std::string& path, bool atomically) const override;

    std::string className() const override { return "TLDVPListDictionary"; }
    std::string description() const override;
    std::string debugDescription() const;
    // Shares the values, not the top-level dictionary.
    Ref<Object> copy() const override;
    void encodeWithCoder(Coder& coder) const override;
    static Ref<TLDVPListDictionary> initWithCoder(Decoder& decoder);

protected:
    Ref<TLDVPListContainer> makeEmptyOfSameClass() const override;

private:
    static Ref<TLDVPListDictionary> withData(Ref<Dictionary> data);

    // Stores the value unless the key or the data is missing.
    void store(Ref<Object> value, PListKey key);
    Ref<Object> rawValue(PListKey key) const;
    Ref<Number> rawNumber(PListKey key) const;
    template <class T>
    T numberValue(PListKey key, T defaultValue, T (Number::*read)() const) const;
    Ref<Object> nestedValue(std::string_view key) const;

    Ref<Dictionary> containerData_;
};

}  // namespace ossel
