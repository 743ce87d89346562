#include "plist/TLDVPListContainer.h"

#include <typeinfo>

#include "base/TLLog.h"
#include "dv/DVFrameCaptureDateTime.h"
#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"
#include "dv/DVTimeCodeFormatter.h"
#include "dv/TLDVSystemFormatter.h"
#include "foundation/Archiver.h"
#include "foundation/CalendarDate.h"
#include "foundation/DateFormatter.h"
#include "foundation/Format.h"
#include "foundation/Unicode.h"
#include "ids/DVClipId.h"
#include "ids/DVMovieSnapshotId.h"
#include "ids/DVMovieSnapshotIdFormatter.h"
#include "ids/TLDVClipIdFormatter.h"
#include "ids/TLDVClipSequenceId.h"
#include "ids/TLDVClipSequenceIdFormatter.h"

namespace ossel {
namespace {

[[maybe_unused]] const bool registered = [] {
    registerArchivableClass("TLDVPListContainer", 0,
                            [](Decoder& decoder) -> Ref<Object> { return TLDVPListContainer::initWithCoder(decoder); });
    return true;
}();

// The body of a typed string: what follows the prefix and the one character
// after it, which the encoders always write as ":" and the decoders never
// examine. A string that ends within that character has an empty body, which
// no formatter accepts, so that it fails like any other unreadable body.
std::string_view bodyAfterPrefix(std::string_view string, size_t prefixLength) {
    if (string.size() <= prefixLength) return {};
    size_t start = prefixLength;
    unicode::decodeNext(string, start);
    return string.substr(start);
}

// Thousands of values are written per container: the format is read once.
Ref<String> typedString(std::string_view prefix, const std::optional<std::string>& body) {
    static const ParsedFormat typed(kTLDVTypedStringFormat);
    return str(body ? typed(prefix, *body) : typed(prefix, nullptr));
}

// Parses a body with a formatter; a failure is logged with the body and the formatter's message.
Ref<Object> parseBody(const Formatter& formatter, std::string_view body, std::string_view logFormat) {
    Ref<Object> value;
    std::string error;
    if (formatter.getObjectValue(&value, body, &error)) return value;
    TLLogError(logFormat, body, error);
    return nullptr;
}

// The parsed value as the decoder's class, taking over the reference rather than
// copying it: a shared count costs an atomic operation each way.
template <class T>
Ref<T> parsedAs(Ref<Object>&& parsed) {
    if (!dynamic_cast<const T*>(parsed.get())) return nullptr;
    return std::static_pointer_cast<T>(std::move(parsed));
}

template <class T>
Ref<T> made(Ref<T>& slot) {
    if (!slot) slot = std::make_shared<T>();
    return slot;
}

}  // namespace

TLDVPListContainer::TLDVPListContainer() = default;
TLDVPListContainer::~TLDVPListContainer() = default;

const DVTimeCodeFormatter& TLDVPListContainer::timeCodeFormatter() const { return *made(tcFormatter_); }
const TLDVClipIdFormatter& TLDVPListContainer::clipIdFormatterMade() const { return *made(clipIdFormatter_); }
const TLDVClipSequenceIdFormatter& TLDVPListContainer::clipSequenceIdFormatterMade() const {
    return *made(clipSequenceIdFormatter_);
}
const DVMovieSnapshotIdFormatter& TLDVPListContainer::snapIdFormatterMade() const { return *made(snapIdFormatter_); }
const TLDVSystemFormatter& TLDVPListContainer::dvSystemFormatterMade() const { return *made(dvSystemFormatter_); }

void TLDVPListContainer::buildDateFormatter() const {
    if (!dateFormatter_) dateFormatter_ = std::make_shared<DateFormatter>(std::string(kTLDVDateTimePattern), true);
}

const DateFormatter& TLDVPListContainer::dateFormatterMade() const {
    buildDateFormatter();
    return *dateFormatter_;
}

// ---- Encoding

Ref<String> TLDVPListContainer::encodeTimeCode(const DVTimeCode* value) const {
    return typedString(kTLDVTimeCodePrefix, timeCodeFormatter().stringForObjectValue(value));
}

Ref<String> TLDVPListContainer::encodeClipId(const DVClipId* value) const {
    const std::string_view prefix = value && value->isChildClip() ? kTLDVChildClipPrefix : kTLDVClipPrefix;
    return typedString(prefix, clipIdFormatterMade().stringForObjectValue(value));
}

Ref<String> TLDVPListContainer::encodeClipSequenceId(const TLDVClipSequenceId* value) const {
    return typedString(kTLDVSequencePrefix, clipSequenceIdFormatterMade().stringForObjectValue(value));
}

Ref<String> TLDVPListContainer::encodeSnapshotId(const DVMovieSnapshotId* value) const {
    return typedString(kTLDVSnapshotPrefix, snapIdFormatterMade().stringForObjectValue(value));
}

Ref<String> TLDVPListContainer::encodeDVSystem(const DVSystem* value) const {
    return typedString(kTLDVSystemPrefix, dvSystemFormatterMade().stringForObjectValue(value));
}

Ref<String> TLDVPListContainer::encodeDVFrameCaptureDateTime(const DVFrameCaptureDateTime* value) const {
    const Ref<CalendarDate> date = value ? value->date() : nullptr;
    return typedString(kTLDVDateTimePrefix, dateFormatterMade().stringForObjectValue(date.get()));
}

// ---- Decoding

Ref<DVTimeCode> TLDVPListContainer::decodeTimeCode(std::string_view string) const {
    if (!string.starts_with(kTLDVTimeCodePrefix)) return nullptr;
    const auto body = bodyAfterPrefix(string, kTLDVTimeCodePrefix.size());
    return parsedAs<DVTimeCode>(parseBody(timeCodeFormatter(), body, "Error parsing timeCode in pList '%@' : %@"));
}

Ref<DVClipId> TLDVPListContainer::decodeClipId(std::string_view string) const {
    // Whether the clip is a child follows from the body; the prefix only says how much to skip.
    size_t prefixLength = 0;
    if (string.starts_with(kTLDVChildClipPrefix)) {
        prefixLength = kTLDVChildClipPrefix.size();
    } else if (string.starts_with(kTLDVClipPrefix)) {
        prefixLength = kTLDVClipPrefix.size();
    } else {
        return nullptr;
    }
    const auto body = bodyAfterPrefix(string, prefixLength);
    return parsedAs<DVClipId>(parseBody(clipIdFormatterMade(), body, "Error parsing clipId in pList '%@' : %@"));
}

Ref<TLDVClipSequenceId> TLDVPListContainer::decodeClipSequenceId(std::string_view string) const {
    if (!string.starts_with(kTLDVSequencePrefix)) return nullptr;
    const auto body = bodyAfterPrefix(string, kTLDVSequencePrefix.size());
    return parsedAs<TLDVClipSequenceId>(
        parseBody(clipSequenceIdFormatterMade(), body, "Error parsing clipSequenceId in pList '%@' : %@"));
}

Ref<DVMovieSnapshotId> TLDVPListContainer::decodeSnapshotId(std::string_view string) const {
    if (!string.starts_with(kTLDVSnapshotPrefix)) return nullptr;
    const auto body = bodyAfterPrefix(string, kTLDVSnapshotPrefix.size());
    return parsedAs<DVMovieSnapshotId>(
        parseBody(snapIdFormatterMade(), body, "Error parsing snapshotId in pList '%@' : %@"));
}

Ref<DVSystem> TLDVPListContainer::decodeDVSystem(std::string_view string) const {
    if (!string.starts_with(kTLDVSystemPrefix)) return nullptr;
    const auto body = bodyAfterPrefix(string, kTLDVSystemPrefix.size());
    return parsedAs<DVSystem>(parseBody(dvSystemFormatterMade(), body, "Error parsing DVSystem in pList '%@' : %@"));
}

Ref<DVFrameCaptureDateTime> TLDVPListContainer::decodeDVFrameCaptureDateTime(std::string_view string) const {
    if (!string.starts_with(kTLDVDateTimePrefix)) return nullptr;
    const auto body = bodyAfterPrefix(string, kTLDVDateTimePrefix.size());
    const auto date =
        parsedAs<Date>(parseBody(dateFormatterMade(), body, "Error parsing DVFrameCaptureDateTime in pList '%@' : %@"));
    if (!date) return nullptr;
    return DVFrameCaptureDateTime::dateWithNSDate(date.get());
}

Ref<Object> TLDVPListContainer::decodeObject(const Ref<Object>& object) const {
    // String is final: comparing the exact type asks the same question as a cast, without its search.
    const Object* raw = object.get();
    const auto* string = raw && typeid(*raw) == typeid(String) ? static_cast<const String*>(raw) : nullptr;
    if (!string || string->empty() || string->utf8().front() != kTLDVTypedStringMarker) return object;
    const std::string_view text = string->view();
    // The prefixes are distinct, so at most one decoder recognises the string.
    if (auto value = decodeTimeCode(text)) return value;
    if (auto value = decodeDVFrameCaptureDateTime(text)) return value;
    if (auto value = decodeDVSystem(text)) return value;
    if (auto value = decodeClipId(text)) return value;
    if (auto value = decodeClipSequenceId(text)) return value;
    if (auto value = decodeSnapshotId(text)) return value;
    return nullptr;
}

// ---- Placeholders the subclasses replace

Ref<Object> TLDVPListContainer::pListValue() const { return nullptr; }

bool TLDVPListContainer::writeToFile(const std::string&, bool) const { return false; }

Ref<TLDVPListContainer> TLDVPListContainer::initWithContentsOfFile(const std::string&) { return nullptr; }

Ref<TLDVPListContainer> TLDVPListContainer::makeEmptyOfSameClass() const {
    return std::make_shared<TLDVPListContainer>();
}

Ref<Object> TLDVPListContainer::copy() const { return makeEmptyOfSameClass(); }

void TLDVPListContainer::encodeWithCoder(Coder&) const {}

Ref<TLDVPListContainer> TLDVPListContainer::initWithCoder(Decoder&) { return std::make_shared<TLDVPListContainer>(); }

}  // namespace ossel
