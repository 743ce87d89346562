#pragma once
// Application paths and versions, notification names and the demo catalog's
// preference keys. The importer uses few of them; the application links the
// same library and relies on all of them.

#include <string_view>

#include "catalog/TLOsselRecordNotifications.h"

namespace ossel {

// Carries no state or behaviour; it names the group of constants below.
class TLDVConsts {};

inline constexpr std::string_view installationPath = "/Users/Shared/Tollendra/Ossel/FFMpeg/lib/";
inline constexpr std::string_view ffmpegVersion = "0.6";
inline constexpr std::string_view ac3WebPagePath = "feed://www.tollendra.com/utils/OsselExtending.xml";

inline constexpr std::string_view kTLOsselCaptureWillStartNotification = "TLOsselCaptureWillStartNotification";
inline constexpr std::string_view kTLOsselCaptureDidEndNotification = "TLOsselCaptureDidEndNotification";
inline constexpr std::string_view kTLOsselImportDidEndNotification = "TLOsselImportDidEndNotification";
inline constexpr std::string_view kTLOsselOrgConceptEditNotificationName = "OrgConceptRecordEditNotificationName";
// kTLOsselAnnotationBeingEdited, posted by a catalog record each time one of
// its properties is set, comes from catalog/TLOsselRecordNotifications.h.
inline constexpr std::string_view kTLOsselRemoveAnnotationBeingEdited = "removeAnnotationBeingEdited";

inline constexpr std::string_view UP_DEMO_CATALOG_IS_ACTIVE = "DemoCatalogIsActive";
inline constexpr std::string_view UP_DEMO_CATALOG_WAS_TRIED = "DemoCatalogWasTried";
inline constexpr std::string_view UP_DEMO_CATALOG_WAS_DECLINED = "DemoCatalogWasDeclined";
inline constexpr std::string_view UP_BUILTIN_DEMO_CATALOG_IS_ACTIVE = "BuiltInDemoCatalogIsActive";
inline constexpr std::string_view UP_BUILTIN_DEMO_CATALOG_WAS_DECLINED = "BuiltInDemoCatalogWasDeclined";

}  // namespace ossel
