#pragma once
// The notification a catalog record posts each time one of its properties is
// set. It belongs with the application's other published names (importer/
// TLDVConsts.h re-exports it); it is defined here so that the records, which
// sit below the importer, need not reach up for it.

#include <string_view>

namespace ossel {

inline constexpr std::string_view kTLOsselAnnotationBeingEdited = "annotationBeingEdited";

}  // namespace ossel
