#include "importer/CatalogLookup.h"

namespace ossel {

// The passes contribute nothing until the catalog record classes are in place;
// the import already calls them in their final order.

void loadMatchingPeople(const Dictionary*, const std::string&, Ref<String>*, Array*) {}

void loadMatchingPlaces(const Dictionary*, const std::string&, Ref<String>*, Array*) {}

void loadMatchingEvents(const Dictionary*, const std::string&, Ref<String>*, Array*) {}

}  // namespace ossel
