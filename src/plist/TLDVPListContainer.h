#pragma once
// The common base of the typed array and the typed dictionary: it keeps model
// values inside plain property lists as typed strings ("@timecode:01:02:03.04")
// and turns such strings back into values. Each container owns its formatters,
// makes each one the first time it needs it and keeps it for its whole life,
// so that a container encoding thousands of values builds six formatters at most.

#include <optional>
#include <string>
#include <string_view>

#include "foundation/Object.h"
#include "foundation/String.h"

namespace ossel {

class Coder;
class Decoder;
class DVClipId;
class DVFrameCaptureDateTime;
class DVMovieSnapshotId;
class DVMovieSnapshotIdFormatter;
class DVSystem;
class DVTimeCode;
class DVTimeCodeFormatter;
class DateFormatter;
class TLDVClipIdFormatter;
class TLDVClipSequenceId;
class TLDVClipSequenceIdFormatter;
class TLDVSystemFormatter;

// A key of a typed container; nothing (nullopt) is a missing key.
using PListKey = std::optional<std::string_view>;

inline constexpr std::string_view kTLDVTypedStringFormat = "%@:%@";
inline constexpr std::string_view kTLDVTimeCodePrefix = "@timecode";
inline constexpr std::string_view kTLDVClipPrefix = "@clip";
inline constexpr std::string_view kTLDVChildClipPrefix = "@childclip";
inline constexpr std::string_view kTLDVSequencePrefix = "@sequence";
inline constexpr std::string_view kTLDVSnapshotPrefix = "@snapshot";
inline constexpr std::string_view kTLDVSystemPrefix = "@dvsystem";
inline constexpr std::string_view kTLDVDateTimePrefix = "@datetime";
// Every type prefix begins with it: only such strings are offered to the decoders.
inline constexpr char kTLDVTypedStringMarker = '@';
// How capture date-times are written: the calendar date in the system zone with its offset.
inline constexpr std::string_view kTLDVDateTimePattern = "%Y-%m-%d %H:%M:%S %z";

class TLDVPListContainer : public Object {
public:
    TLDVPListContainer();
    ~TLDVPListContainer() override;

    // Encoders: the typed string of one value. The argument is not checked; a
    // value of another class gets its formatter's placeholder text as body.
    Ref<String> encodeTimeCode(const DVTimeCode* value) const;
    Ref<String> encodeClipId(const DVClipId* value) const;
    Ref<String> encodeClipSequenceId(const TLDVClipSequenceId* value) const;
    Ref<String> encodeSnapshotId(const DVMovieSnapshotId* value) const;
    Ref<String> encodeDVSystem(const DVSystem* value) const;
    // A date-time that lacks a half has no date to write: its body is "(null)".
    Ref<String> encodeDVFrameCaptureDateTime(const DVFrameCaptureDateTime* value) const;

    // Single-type decoders: nothing, silently, when the string does not carry
    // the decoder's prefix; nothing and one log line when its body does not parse.
    Ref<DVTimeCode> decodeTimeCode(std::string_view string) const;
    Ref<DVClipId> decodeClipId(std::string_view string) const;
    Ref<TLDVClipSequenceId> decodeClipSequenceId(std::string_view string) const;
    Ref<DVMovieSnapshotId> decodeSnapshotId(std::string_view string) const;
    Ref<DVSystem> decodeDVSystem(std::string_view string) const;
    Ref<DVFrameCaptureDateTime> decodeDVFrameCaptureDateTime(std::string_view string) const;

    // A property-list object read back: a typed string becomes its model value,
    // any other "@" string nothing, and everything else comes back unchanged.
    Ref<Object> decodeObject(const Ref<Object>& object) const;

    void buildDateFormatter() const;

    // The formatters made so far (null until first needed).
    const DVTimeCodeFormatter* tcFormatter() const { return tcFormatter_.get(); }
    const TLDVClipIdFormatter* clipIdFormatter() const { return clipIdFormatter_.get(); }
    const TLDVClipSequenceIdFormatter* clipSequenceIdFormatter() const { return clipSequenceIdFormatter_.get(); }
    const DVMovieSnapshotIdFormatter* snapIdFormatter() const { return snapIdFormatter_.get(); }
    const TLDVSystemFormatter* dvSystemFormatter() const { return dvSystemFormatter_.get(); }
    const DateFormatter* dateFormatter() const { return dateFormatter_.get(); }

    // The container's content as a plain property list; nothing here, the subclasses hold the data.
    virtual Ref<Object> pListValue() const;
    virtual bool writeToFile(const std::string& path, bool atomically) const;
    // Only the subclasses load files: the base answers nothing.
    static Ref<TLDVPListContainer> initWithContentsOfFile(const std::string& path);

    std::string className() const override { return "TLDVPListContainer"; }
    // A new, empty container of the receiver's class: formatters are never copied.
    Ref<Object> copy() const override;
    // The base archives nothing of its own; the subclasses append their data.
    void encodeWithCoder(Coder& coder) const override;
    static Ref<TLDVPListContainer> initWithCoder(Decoder& decoder);

protected:
    // A new container of the receiver's class made with its plain initialiser.
    virtual Ref<TLDVPListContainer> makeEmptyOfSameClass() const;

private:
    const DVTimeCodeFormatter& timeCodeFormatter() const;
    const TLDVClipIdFormatter& clipIdFormatterMade() const;
    const TLDVClipSequenceIdFormatter& clipSequenceIdFormatterMade() const;
    const DVMovieSnapshotIdFormatter& snapIdFormatterMade() const;
    const TLDVSystemFormatter& dvSystemFormatterMade() const;
    const DateFormatter& dateFormatterMade() const;

    // Lazily made on first use, hence mutable: making one changes no observable value.
    mutable Ref<DVTimeCodeFormatter> tcFormatter_;
    mutable Ref<TLDVClipIdFormatter> clipIdFormatter_;
    mutable Ref<TLDVClipSequenceIdFormatter> clipSequenceIdFormatter_;
    mutable Ref<DVMovieSnapshotIdFormatter> snapIdFormatter_;
    mutable Ref<TLDVSystemFormatter> dvSystemFormatter_;
    mutable Ref<DateFormatter> dateFormatter_;
};

}  // namespace ossel
