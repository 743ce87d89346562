#pragma once
// The three matching passes of one import: each turns the clip's ids of one
// kind into catalog records and feeds their names to the keyword list and
// their free text to the content text. An id list that is absent or empty
// leaves the catalog file unread.

#include <string>

#include "foundation/Array.h"
#include "foundation/Dictionary.h"
#include "foundation/String.h"

namespace ossel {

void loadMatchingPeople(const Dictionary* annotation, const std::string& catalogDir, Ref<String>* contentText,
                        Array* keywords);
void loadMatchingPlaces(const Dictionary* annotation, const std::string& catalogDir, Ref<String>* contentText,
                        Array* keywords);
void loadMatchingEvents(const Dictionary* annotation, const std::string& catalogDir, Ref<String>* contentText,
                        Array* keywords);

}  // namespace ossel
