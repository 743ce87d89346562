#pragma once
// An ordered typed container: its content is a plain property-list array to
// which callers append model values (as typed strings) and plain values, and
// from which they read decoded values by position.
//
// A nested array or dictionary element is read back as a typed container that
// then takes the element's place, so that changes made through it stay here.
// From that moment the array holds an object that is no property-list value,
// and the container can no longer be written to a file.

#include <cstdint>
#include <string>

#include "foundation/Array.h"
#include "plist/TLDVPListContainer.h"

namespace ossel {

class Data;
class Date;
class Number;

class TLDVPListContainerSet : public TLDVPListContainer {
public:
    // init: an empty array.
    TLDVPListContainerSet();

    static Ref<TLDVPListContainerSet> make() { return std::make_shared<TLDVPListContainerSet>(); }
    // A mutable array is taken over and shared with the caller; an immutable one
    // is copied. Nothing gives an empty container.
    static Ref<TLDVPListContainerSet> initWithArray(const Ref<Array>& array);
    // Always a container; without data when the file holds no readable property-list array.
    static Ref<TLDVPListContainerSet> initWithContentsOfFile(const std::string& path);

    // The raw elements (null for a container without data).
    const Ref<Array>& array() const { return array_; }

    // Plain values, appended unchanged. A string beginning with "@" is decoded on reading.
    void addData(const Ref<Data>& value);
    void addDate(const Ref<Date>& value);
    void addNumber(const Ref<Number>& value);
    void addString(const Ref<String>& value);

    // Model values, appended as typed strings.
    void addTimeCode(const Ref<DVTimeCode>& value);
    void addClipId(const Ref<DVClipId>& value);
    void addClipSequenceId(const Ref<TLDVClipSequenceId>& value);
    void addSnapshotId(const Ref<DVMovieSnapshotId>& value);
    void addDVSystem(const Ref<DVSystem>& value);

    // Appends a snapshot of a nested container's property list as one element.
    void addPList(const Ref<TLDVPListContainer>& value);
    // Appends data, dates, numbers, strings, timecodes, snapshot ids, clip ids
    // and sequence ids; other elements are skipped.
    void addEntriesFromArray(const Array* array);
    void removeAllValues();

    uint32_t count() const;
    // The decoded element; nothing at or past the end. Reading a nested element
    // replaces it with its typed container (see above), hence a read that changes the array.
    Ref<Object> valueAtIndex(uint32_t index) const;
    Ref<Object> decodeObjectAtIndex(const Ref<Object>& raw, uint32_t index) const;
    // The decoded elements in order; elements that decode to nothing are left out.
    Ref<Array> asMutableArray() const;
    // A snapshot of the decoded elements, to walk while the container changes.
    Ref<Array> valueEnumerator() const { return asMutableArray(); }
    // A shallow mutable copy of the raw elements; nothing without data.
    Ref<Object> pListValue() const override;
    // False without data, when an element is no property-list value, or when the file cannot be written.
    bool writeToFile(const std::string& path, bool atomically) const override;

    std::string className() const override { return "TLDVPListContainerSet"; }
    std::string description() const override;
    // Shares the elements, not the array.
    Ref<Object> copy() const override;
    void encodeWithCoder(Coder& coder) const override;
    static Ref<TLDVPListContainerSet> initWithCoder(Decoder& decoder);

protected:
    Ref<TLDVPListContainer> makeEmptyOfSameClass() const override;

private:
    static Ref<TLDVPListContainerSet> withArray(Ref<Array> array);
    void append(Ref<Object> value);

    Ref<Array> array_;
};

}  // namespace ossel
