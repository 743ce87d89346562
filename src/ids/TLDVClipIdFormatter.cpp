#include "ids/TLDVClipIdFormatter.h"

#include "base/TLLog.h"
#include "foundation/Format.h"
#include "foundation/Scanner.h"

namespace ossel {
namespace {

inline constexpr const char* kTypeErrorText = "Type error";
inline constexpr std::string_view kClipPrefix = "clip//:";
inline constexpr std::string_view kSequenceClipPrefix = "sequenceClip//:";

bool failWith(Ref<Object>* value, std::string* error, const char* message) {
    if (value) *value = nullptr;
    if (error) *error = TLLog::localizedString(message);
    return false;
}

bool succeedWith(Ref<Object>* value, Ref<Object> parsed) {
    if (value) *value = std::move(parsed);
    return true;
}

// The parent slot of a child text: the attached parent's string id, or, for a
// clip id that is a child only through its lookup string, that string, so that
// it reads back as the same lookup string.
std::string parentText(const DVClipId& clip) {
    if (clip.parentClipId()) return clip.parentClipId()->stringId();
    return clip.parentLookUpStringId().value_or(std::string());
}

}  // namespace

std::optional<std::string> TLDVClipIdFormatter::stringForObjectValue(const Object* value) const {
    const auto* clip = dynamic_cast<const DVClipId*>(value);
    if (!clip) return kTypeErrorText;
    const bool child = clip->isChildClip();
    if (const auto& s = clip->sequenceId()) {
        if (!child)
            return format("%@%@:%d:%.8f:%d", kSequenceClipPrefix, s->hostId(), s->indexId(), s->dateId(),
                          clip->indexId());
        return format("%@%@:%d:%.8f:%d-%.8f:%d-%@?", kSequenceClipPrefix, s->hostId(), s->indexId(), s->dateId(),
                      clip->indexId(), clip->childDateUid(), clip->childIntUid(), parentText(*clip));
    }
    if (!child) return format("%@%d", kClipPrefix, clip->indexId());
    return format("%@%d-%.8f:%d-%@?", kClipPrefix, clip->indexId(), clip->childDateUid(), clip->childIntUid(),
                  parentText(*clip));
}

bool TLDVClipIdFormatter::getObjectValue(Ref<Object>* value, std::optional<std::string_view> string,
                                         std::string* error) const {
    if (!string) return failWith(value, error, "Undefined string to parse");
    if (*string == kTypeErrorText) return failWith(value, error, "Undefined type to parse");

    Scanner scanner(*string);
    if (string->starts_with(kClipPrefix)) {
        // Repeated "clip//:<n>" pairs are accepted; the last index wins.
        int32_t index = 0;
        while (!scanner.isAtEnd()) {
            if (!scanner.scanString(kClipPrefix) || !scanner.scanInt(&index))
                return failWith(value, error, "Failed to scan");
        }
        return succeedWith(value, nextIdWithSequenceId(nullptr, index));
    }
    if (!string->starts_with(kSequenceClipPrefix)) return failWith(value, error, "Bad prefix for id");

    std::string host;
    scanner.scanString(kSequenceClipPrefix);
    scanner.scanUpToString(":", &host);
    scanner.scanString(":");
    int32_t sequenceIndex = 0;
    int32_t index = 0;
    double sequenceDate = 0;
    if (!scanner.scanInt(&sequenceIndex) || !scanner.scanString(":") || !scanner.scanDouble(&sequenceDate) ||
        !scanner.scanString(":") || !scanner.scanInt(&index))
        return failWith(value, error, "Failed to scan");

    // Child uids that cannot be read (as in "...:3--parent?") stay 0.
    double childDateUid = 0;
    int32_t childIntUid = 0;
    if (scanner.scanString("-")) {
        scanner.scanDouble(&childDateUid);
        scanner.scanString(":");
        scanner.scanInt(&childIntUid);
    }
    // Child uids without a parent part make no child: only the parent slot does.
    std::string parentLookUp;
    const bool child = scanner.scanString("-");
    if (child) scanner.scanUpToString("?", &parentLookUp);

    auto sequence = std::make_shared<TLDVClipSequenceId>(std::move(host), sequenceIndex, sequenceDate);
    if (child)
        return succeedWith(value, DVClipId::childClipIdWithSequence(std::move(sequence), index, childDateUid,
                                                                    childIntUid, std::move(parentLookUp)));
    return succeedWith(value, nextIdWithSequenceId(std::move(sequence), index));
}

Ref<DVClipId> TLDVClipIdFormatter::nextIdWithSequenceId(Ref<TLDVClipSequenceId> sequence, int32_t index) const {
    return std::make_shared<DVClipId>(std::move(sequence), index);
}

}  // namespace ossel
