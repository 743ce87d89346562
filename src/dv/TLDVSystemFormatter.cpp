#include "dv/TLDVSystemFormatter.h"

#include <cstdint>

#include "base/TLLog.h"
#include "foundation/Format.h"
#include "foundation/Scanner.h"

namespace ossel {
namespace {

constexpr std::string_view kShortFormat = "%@%@";
constexpr std::string_view kFullFormat = "%@%@?%@?%d?%d?%d?%d?%d?%f?%f?%d?%d";
constexpr std::string_view kSeparator = "?";

constexpr std::string_view kTypeError = "Type error";
constexpr std::string_view kUndefinedTypeMessage = "Undefined type to parse";
constexpr std::string_view kBadPrefixMessage = "Bad prefix for dv system";
constexpr std::string_view kFailedToScanMessage = "Failed to scan";

struct ScannedFields {
    std::string longName;
    std::string name;
    int32_t rows = 0, columns = 0, frameSize = 0, difSequenceCount = 0, difBlockCount = 0;
    double averageFps = 0, aspectRatio = 0;
    int32_t timebase = 0, ntsc = 0;
};

// One "?" between two fields.
bool scanSeparated(Scanner& scanner) { return scanner.scanString(kSeparator); }

bool scanFields(Scanner& scanner, ScannedFields& f) {
    return scanner.scanUpToString(kSeparator, &f.longName) && scanSeparated(scanner) &&
           scanner.scanUpToString(kSeparator, &f.name) && scanSeparated(scanner) && scanner.scanInt(&f.rows) &&
           scanSeparated(scanner) && scanner.scanInt(&f.columns) && scanSeparated(scanner) &&
           scanner.scanInt(&f.frameSize) && scanSeparated(scanner) && scanner.scanInt(&f.difSequenceCount) &&
           scanSeparated(scanner) && scanner.scanInt(&f.difBlockCount) && scanSeparated(scanner) &&
           scanner.scanDouble(&f.averageFps) && scanSeparated(scanner) && scanner.scanDouble(&f.aspectRatio) &&
           scanSeparated(scanner) && scanner.scanInt(&f.timebase) && scanSeparated(scanner) &&
           scanner.scanInt(&f.ntsc);
}

bool fail(Ref<Object>* value, std::string* error, std::string_view message) {
    if (value) *value = nullptr;
    if (error) *error = TLLog::localizedString(message);
    return false;
}

}  // namespace

Ref<TLDVSystemFormatter> TLDVSystemFormatter::defaultFormatter() { return std::make_shared<TLDVSystemFormatter>(); }

std::optional<std::string> TLDVSystemFormatter::stringForObjectValue(const Object* value) const {
    const auto* system = dynamic_cast<const DVSystem*>(value);
    if (!system) return TLLog::localizedString(kTypeError);
    if (system->isEqual(DVSystem::system525_60().get()) || system->isEqual(DVSystem::system625_50().get())) {
        return format(kShortFormat, TLDVSystemFormatterPrefix, system->longName());
    }
    return format(kFullFormat, TLDVSystemFormatterPrefix, system->longName(), system->name(), system->rows(),
                  system->columns(), system->frameSize(), system->difSequenceCount(), system->difBlockCount(),
                  system->averageFps(), system->aspectRatio(), system->timebase(), system->ntsc());
}

bool TLDVSystemFormatter::getObjectValue(Ref<Object>* value, std::optional<std::string_view> string,
                                         std::string* error) const {
    if (!string || *string == kTypeError) return fail(value, error, kUndefinedTypeMessage);
    if (!string->starts_with(TLDVSystemFormatterPrefix)) return fail(value, error, kBadPrefixMessage);
    const std::string_view body = string->substr(TLDVSystemFormatterPrefix.size());
    if (body == DVSystem525_60Name) {
        if (value) *value = DVSystem::system525_60();
        return true;
    }
    if (body == DVSystem625_50Name) {
        if (value) *value = DVSystem::system625_50();
        return true;
    }
    // Text after a complete set of fields is read as another set that replaces
    // the first. An empty body is read once too, so that it fails instead of
    // building a system from fields that were never read.
    Scanner scanner(body);
    ScannedFields fields;
    do {
        if (!scanFields(scanner, fields)) return fail(value, error, kFailedToScanMessage);
    } while (!scanner.isAtEnd());
    if (value) {
        *value = DVSystem::make(str(std::move(fields.name)), str(std::move(fields.longName)),
                                static_cast<uint32_t>(fields.rows), static_cast<uint32_t>(fields.columns),
                                static_cast<uint32_t>(fields.frameSize), static_cast<uint32_t>(fields.difSequenceCount),
                                static_cast<uint32_t>(fields.difBlockCount), fields.averageFps, fields.aspectRatio,
                                static_cast<uint32_t>(fields.timebase), (fields.ntsc & 0xFF) != 0);
    }
    return true;
}

}  // namespace ossel
