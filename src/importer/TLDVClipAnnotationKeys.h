#pragma once
// The keys of a clip annotation file, one property-list dictionary per clip,
// shared by the application that writes the files and the importer that reads them.

#include <string_view>

namespace ossel {

// Carries no state or behaviour; it names the group of keys below.
class TLDVClipAnnotationKeys {};

inline constexpr std::string_view kTLDVClipAnnotationClipId = "clipId";
inline constexpr std::string_view kTLDVClipAnnotationClipName = "clipName";
inline constexpr std::string_view kTLDVClipAnnotationClipNotes = "clipNotes";
inline constexpr std::string_view kTLDVClipAnnotationClipRating = "clipRating";
inline constexpr std::string_view kTLDVClipAnnotationKeywordList = "clipKeywords";
inline constexpr std::string_view kTLDVClipAnnotationPeopleIdList = "clipPeopleIds";
inline constexpr std::string_view kTLDVClipAnnotationPlaceIdList = "clipPlaceIds";
inline constexpr std::string_view kTLDVClipAnnotationEventIdList = "clipEventIds";
inline constexpr std::string_view kTLDVClipAnnotationClipScene = "clipScene";
inline constexpr std::string_view kTLDVClipAnnotationClipTake = "clipTake";
inline constexpr std::string_view kTLDVClipAnnotationClipMarkers = "clipMarkers";
// These three were added later and never got "Annotation" in their names.
inline constexpr std::string_view kTLDVClipDurationInSeconds = "clipDurationInSeconds";
inline constexpr std::string_view kTLDVClipVideoFormat = "clipVideoFormat";
inline constexpr std::string_view kTLDVClipShootingDate = "clipShootingDate";

}  // namespace ossel
