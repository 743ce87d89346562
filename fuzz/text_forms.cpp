// libFuzzer harness for the text forms of model values: the timecode, DV
// system, clip id, sequence id and snapshot id formatters, and the typed-value
// codec that wraps them (and the capture date-time form) in "@type:" strings.
// Any text is read or refused without a fault; a value read once is written in
// its normal form, and that text reads and writes back to itself exactly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/TLLog.h"
#include "dv/DVFrameCaptureDateTime.h"
#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"
#include "dv/DVTimeCodeFormatter.h"
#include "dv/TLDVSystemFormatter.h"
#include "foundation/String.h"
#include "foundation/TimeZone.h"
#include "ids/DVClipId.h"
#include "ids/DVMovieSnapshotId.h"
#include "ids/DVMovieSnapshotIdFormatter.h"
#include "ids/TLDVClipIdFormatter.h"
#include "ids/TLDVClipSequenceId.h"
#include "ids/TLDVClipSequenceIdFormatter.h"
#include "plist/TLDVPListDictionary.h"

using namespace ossel;

namespace {

[[noreturn]] void fault(const char* what, std::string_view input, std::string_view once, std::string_view twice) {
    std::fprintf(stderr, "%s\n  input: \"%.*s\"\n  written once: \"%.*s\"\n  written again: \"%.*s\"\n", what,
                 int(input.size()), input.data(), int(once.size()), once.data(), int(twice.size()), twice.data());
    std::abort();
}

void roundTrip(const Formatter& formatter, std::string_view text) {
    Ref<Object> value;
    if (!formatter.getObjectValue(&value, text, nullptr)) return;
    if (!value) fault("read succeeded without a value", text, "", "");
    const auto once = formatter.stringForObjectValue(value);
    if (!once) fault("a value read has no text", text, "", "");
    Ref<Object> again;
    if (!formatter.getObjectValue(&again, *once, nullptr)) fault("the text written is refused", text, *once, "");
    const auto twice = formatter.stringForObjectValue(again);
    if (twice != once) fault("the text written reads back to another value", text, *once, twice.value_or("(none)"));
}

// The typed string of a value the codec decoded, by the value's class.
Ref<String> encode(const TLDVPListContainer& codec, const Object* value) {
    if (const auto* v = dynamic_cast<const DVTimeCode*>(value)) return codec.encodeTimeCode(v);
    if (const auto* v = dynamic_cast<const DVClipId*>(value)) return codec.encodeClipId(v);
    if (const auto* v = dynamic_cast<const DVMovieSnapshotId*>(value)) return codec.encodeSnapshotId(v);
    if (const auto* v = dynamic_cast<const TLDVClipSequenceId*>(value)) return codec.encodeClipSequenceId(v);
    if (const auto* v = dynamic_cast<const DVSystem*>(value)) return codec.encodeDVSystem(v);
    if (const auto* v = dynamic_cast<const DVFrameCaptureDateTime*>(value)) return codec.encodeDVFrameCaptureDateTime(v);
    return nullptr;
}

void codecRoundTrip(std::string_view text) {
    const TLDVPListDictionary codec;
    const Ref<Object> input = str(std::string(text));
    const Ref<Object> value = codec.decodeObject(input);
    if (!value || value == input) return;  // refused, or not a typed string
    const Ref<String> once = encode(codec, value.get());
    if (!once) fault("the codec decoded a value it cannot encode", text, value->description(), "");
    const Ref<Object> again = codec.decodeObject(once);
    if (!again || again == once) fault("the typed string written is refused", text, once->view(), "");
    const Ref<String> twice = encode(codec, again.get());
    if (!twice || twice->view() != once->view()) {
        fault("the typed string written reads back to another value", text, once->view(), twice ? twice->view() : "");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Date-time texts are written in the system zone and read into the default
    // zone; only with the two equal is a text its own normal form. The offset is
    // written in hours and minutes, so the zone is a rule with summer time whose
    // offsets are whole minutes in every year: a database zone's local mean time
    // before 1900 (Paris: +0:09:21) would not survive the text.
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::setenv("OSSEL_DEFAULTS", "/nonexistent/ossel-fuzz/defaults.plist", 1);
    TimeZone::resetSystemTimeZone();
    TimeZone::setDefaultTimeZone(TimeZone::systemTimeZone());
    // Every refused typed string logs a line; thousands a second would drown the fuzzer's own.
    TLLog::setSinkForTesting([](const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static const auto timeCodes = DVTimeCodeFormatter::defaultFormatter();
    static const auto systems = TLDVSystemFormatter::defaultFormatter();
    static const TLDVClipIdFormatter clips;
    static const TLDVClipSequenceIdFormatter sequences;
    static const DVMovieSnapshotIdFormatter snapshots;
    for (const Formatter* formatter : {static_cast<const Formatter*>(timeCodes.get()),
                                       static_cast<const Formatter*>(systems.get()), static_cast<const Formatter*>(&clips),
                                       static_cast<const Formatter*>(&sequences), static_cast<const Formatter*>(&snapshots)}) {
        roundTrip(*formatter, text);
    }
    codecRoundTrip(text);
    return 0;
}
