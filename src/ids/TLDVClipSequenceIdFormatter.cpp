#include "ids/TLDVClipSequenceIdFormatter.h"

#include "base/TLLog.h"
#include "foundation/Format.h"
#include "foundation/Scanner.h"

namespace ossel {
namespace {

inline constexpr const char* kTypeErrorText = "Type error";

bool failWith(Ref<Object>* value, std::string* error, const char* message) {
    if (value) *value = nullptr;
    if (error) *error = TLLog::localizedString(message);
    return false;
}

}  // namespace

std::string TLDVClipSequenceIdFormatter::prefix() const { return "sequence//:"; }

std::optional<std::string> TLDVClipSequenceIdFormatter::stringForObjectValue(const Object* value) const {
    const auto* sequence = dynamic_cast<const TLDVClipSequenceId*>(value);
    if (!sequence) return kTypeErrorText;
    return format("%@%@:%d:%.8f", prefix(), sequence->hostId(), sequence->indexId(), sequence->dateId());
}

bool TLDVClipSequenceIdFormatter::getObjectValue(Ref<Object>* value, std::optional<std::string_view> string,
                                                 std::string* error) const {
    if (!string) return failWith(value, error, "Undefined string to parse");
    if (*string == kTypeErrorText) return failWith(value, error, "Undefined type to parse");
    const std::string expected = prefix();
    if (!string->starts_with(expected)) return failWith(value, error, "Bad prefix for Id");

    Scanner scanner(*string);
    std::string host;
    scanner.scanString(expected);
    scanner.scanUpToString(":", &host);
    scanner.scanString(":");
    int32_t index = 0;
    double date = 0;
    if (!scanner.scanInt(&index) || !scanner.scanString(":") || !scanner.scanDouble(&date))
        return failWith(value, error, "Failed to scan");
    // Whatever follows the date is left alone, so that later fields can be added.
    if (value) *value = nextIdWithHostId(std::move(host), index, date);
    return true;
}

Ref<TLDVClipSequenceId> TLDVClipSequenceIdFormatter::nextIdWithHostId(std::string host, int32_t index,
                                                                      double date) const {
    return std::make_shared<TLDVClipSequenceId>(std::move(host), index, date);
}

}  // namespace ossel
