#pragma once
// What the property-list readers and the writer share inside the foundation
// library; the public interface is PropertyList.h.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "foundation/Object.h"
#include "foundation/PropertyList.h"

namespace ossel::plist {

// Containers nested deeper than this are refused, both when reading and writing,
// so that a hostile file cannot exhaust the stack.
inline constexpr int kMaxNestingDepth = 512;

// Dates whose distance from the reference date exceeds this many seconds (about
// 250 million years) are refused: beyond it seconds stop being exact in a double
// and the text form could not read back to the same instant.
inline constexpr double kMaxDateMagnitude = 8.0e15;

Ref<Object> readXml(std::span<const uint8_t> bytes, PropertyListError& error, const PropertyListReadOptions& options);
Ref<Object> readBinary(std::span<const uint8_t> bytes, PropertyListError& error, const PropertyListReadOptions& options);

// A dictionary of the entries read; a key given twice keeps its later value.
Ref<Dictionary> makeDictionary(std::vector<Dictionary::Entry> entries, bool isMutable);

// Booleans are immutable and common; every read shares these two.
const Ref<Number>& sharedBool(bool value);

}  // namespace ossel::plist
