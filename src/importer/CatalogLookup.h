#pragma once
// The three matching passes of one import: each turns the clip's ids of one
// kind into catalog records and feeds their names to the keyword list and
// their free text to the content text. An id list that is absent, empty or not
// a list leaves the catalog file unread.

#include <functional>
#include <string>

#include "catalog/TLOsselOrgConceptRecord.h"
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

// Fill a record table (record id → record) from the catalog file of one kind
// in the catalog directory.
void loadPeople(Dictionary* table, const std::string& catalogDir);
void loadPlaces(Dictionary* table, const std::string& catalogDir);
void loadEvents(Dictionary* table, const std::string& catalogDir);

// A record class as the reader sees it: builds a record from one catalog-file
// entry, or answers null when the entry is none of its kind.
using OrgConceptRecordClass = Ref<TLOsselOrgConceptRecord> (*)(const Dictionary* entry);

// Reads a catalog file into the table, a later record replacing an earlier one
// with the same id. A file that cannot be read, or whose top level is not an
// array, adds nothing; entries that give no record are passed over. False only
// when there is no table.
bool loadOrgConceptRecordsOfClass(OrgConceptRecordClass recordClass, const std::string& path, Dictionary* table);

// Called with the path of every catalog file the lookup opens. Tests only.
void setCatalogFileReadObserverForTesting(std::function<void(const std::string& path)> observer);

}  // namespace ossel
