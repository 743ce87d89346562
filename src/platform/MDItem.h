#pragma once
// Names of the metadata attributes an importer fills, as the host's search index knows them.

#include <string_view>

namespace ossel {

inline constexpr std::string_view kMDItemTitle = "kMDItemTitle";
inline constexpr std::string_view kMDItemDescription = "kMDItemDescription";
inline constexpr std::string_view kMDItemCreator = "kMDItemCreator";
inline constexpr std::string_view kMDItemKind = "kMDItemKind";
inline constexpr std::string_view kMDItemStarRating = "kMDItemStarRating";
inline constexpr std::string_view kMDItemDurationSeconds = "kMDItemDurationSeconds";
inline constexpr std::string_view kMDItemContentCreationDate = "kMDItemContentCreationDate";
inline constexpr std::string_view kMDItemTextContent = "kMDItemTextContent";
inline constexpr std::string_view kMDItemKeywords = "kMDItemKeywords";

}  // namespace ossel
