#pragma once
// Class-level access to two application paths.

#include <string_view>

#include "importer/TLDVConsts.h"

namespace ossel {

class TLOsselGlobals {
public:
    // Not the exported constant of the same name: the two differ in their fourth
    // component ("Quaymark" here, "Ossel" there), and callers rely on each as it is.
    static std::string_view installationPath() { return "/Users/Shared/Tollendra/Quaymark/FFMpeg/lib/"; }

    // The exported constant itself, not a copy of its text.
    static const std::string_view& ac3WebPagePath() { return ::ossel::ac3WebPagePath; }
};

}  // namespace ossel
