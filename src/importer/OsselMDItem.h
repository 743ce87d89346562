#pragma once
// The attributes this importer adds to the system's own (platform/MDItem.h).

#include <string_view>

namespace ossel {

// The clip's video format, as the application names it ("DV PAL 16:9").
inline constexpr std::string_view kMDItemOsselVideoFormat = "kMDItemOsselVideoFormat";

}  // namespace ossel
