#pragma once
// The import of one clip annotation file, and the small pieces the catalog
// passes share with it: the two collectors and the catalog-directory search.

#include <optional>
#include <string>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "importer/MetadataImporterPlugin.h"

// The fifth slot of the importer interface table. True when the file read as a
// property-list dictionary; on false the attribute dictionary is untouched.
OSSEL_PLUGIN_EXPORT ossel::Boolean GetMetadataForFile(void* thisInterface, ossel::CFMutableDictionaryRef attributes,
                                                      ossel::CFStringRef contentTypeUTI,
                                                      ossel::CFStringRef pathToFile);

namespace ossel {

// Appends the value when both the list and the value are present.
void addToKeywordsArray(Array* keywords, const Ref<Object>& value);

// Joins the value to the text in the slot with one blank; an empty slot takes the
// value itself. A value that is not a text joins as its description.
void addToContentString(Ref<String>* contentText, const Ref<Object>& value);

// The catalog directory for an annotation file: three levels up when "People 2.xml"
// is there, else "~/Movies/Ossel" when it is there, else nothing.
std::optional<std::string> findRelatedKeyWordsCatalogDir(const std::string& path);

}  // namespace ossel
