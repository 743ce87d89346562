#pragma once
// The three matching passes of one import: each turns the clip's ids of one
// kind into catalog records and feeds their names to the keyword list and
// their free text to the content text. An id list that is absent, empty or not
// a list leaves the catalog file unread.

#include <functional>
#include <optional>
#include <string>

#include "catalog/TLOsselOrgConceptRecord.h"
#include "foundation/Array.h"
#include "foundation/Dictionary.h"
#include "foundation/RegularFile.h"
#include "foundation/String.h"
#include "importer/CatalogRecordIndex.h"
#include "importer/ImporterCatalogInterface.h"

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

// Reads a catalog file into the table, a later record replacing an earlier one
// with the same id. A file that cannot be read, or whose top level is not an
// array, adds nothing; entries that give no record are passed over. False only
// when there is no table.
bool loadOrgConceptRecordsOfClass(OrgConceptRecordClass recordClass, const std::string& path, Dictionary* table);

// Reads a catalog file and hands each element of its top-level array to
// `take` as soon as it is read, in file order, so that the file's property
// lists are never all held at once. False when the file gives no records: it
// cannot be read (missing, not a regular file, over the catalog size limit,
// refused by the read hook) or it is not a property-list array; what was
// handed over must then be dropped, since a catalog counts whole or not at all.
// *identity receives the identity of the file read, whenever its bytes could be.
bool readCatalogEntries(const std::string& path, const std::function<void(const Dictionary* entry)>& take,
                        std::optional<FileIdentity>* identity = nullptr);

// The host's hook, asked before every catalog read (null: none).
void setCatalogReadHook(OsselCatalogReadHook hook, void* context);

}  // namespace ossel
