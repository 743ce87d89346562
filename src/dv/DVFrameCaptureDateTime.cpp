#include "dv/DVFrameCaptureDateTime.h"

#include "base/TLLog.h"
#include "dv/DVUtils.h"
#include "foundation/Archiver.h"
#include "foundation/Format.h"
#include "foundation/String.h"
#include "foundation/UserDefaults.h"

namespace ossel {

std::string tFormatOrderString;
bool tFormatOrderStringMYD = false;

namespace {

inline constexpr const char* kShortDateFormatKey = "NSShortDateFormatString";
inline constexpr const char* kFullFormat = "%02d/%02d/%04d - %02d:%02d:%02d";
inline constexpr const char* kDateOnlyFormat = "%02d/%02d/%04d - time unknown";
inline constexpr const char* kTimeOnlyFormat = "date unknown - %02d:%02d:%02d";
inline constexpr const char* kUndefinedText = "Undefined date and time";

// The stored format is read until one is found; after that the order is fixed
// for the life of the process, so a user changing it mid-run sees no flip-flop.
bool monthComesFirst() {
    if (tFormatOrderString.empty()) {
        const Ref<Object> stored = UserDefaults::standardUserDefaults().objectForKey(kShortDateFormatKey);
        if (stored) {
            tFormatOrderString = stored->description();
            const bool dayFirst = tFormatOrderString.starts_with("%d") || tFormatOrderString.starts_with("%e");
            if (!dayFirst) tFormatOrderStringMYD = true;
        }
    }
    return tFormatOrderStringMYD;
}

[[maybe_unused]] const bool registered = [] {
    registerArchivableClass("DVFrameCaptureDateTime", 0,
                            [](Decoder& decoder) -> Ref<Object> { return DVFrameCaptureDateTime::initWithCoder(decoder); });
    return true;
}();

}  // namespace

Ref<DVFrameCaptureDateTime> DVFrameCaptureDateTime::timeWithHours(int32_t hours, int32_t minutes, int32_t seconds) {
    auto value = std::make_shared<DVFrameCaptureDateTime>();
    value->setTimeWithHours(hours, minutes, seconds);
    return value;
}

Ref<DVFrameCaptureDateTime> DVFrameCaptureDateTime::dateWithYear(int32_t year, int32_t month, int32_t day) {
    auto value = std::make_shared<DVFrameCaptureDateTime>();
    value->setDateWithYear(year, month, day);
    return value;
}

Ref<DVFrameCaptureDateTime> DVFrameCaptureDateTime::dateWithYear(int32_t year, int32_t month, int32_t day,
                                                                 int32_t hours, int32_t minutes, int32_t seconds) {
    auto value = dateWithYear(year, month, day);
    value->setTimeWithHours(hours, minutes, seconds);
    return value;
}

Ref<DVFrameCaptureDateTime> DVFrameCaptureDateTime::dateWithCalendarDate(const CalendarDate* date) {
    if (!date) return dateWithYear(0, 0, 0, 0, 0, 0);
    return dateWithYear(date->yearOfCommonEra(), date->monthOfYear(), date->dayOfMonth(), date->hourOfDay(),
                        date->minuteOfHour(), date->secondOfMinute());
}

Ref<DVFrameCaptureDateTime> DVFrameCaptureDateTime::dateWithNSDate(const Date* date) {
    if (!date) return dateWithCalendarDate(nullptr);
    const Ref<CalendarDate> local = CalendarDate::withDate(*date, nullptr);
    return dateWithCalendarDate(local.get());
}

void DVFrameCaptureDateTime::setDateWithYear(int32_t year, int32_t month, int32_t day) {
    year_ = year;
    month_ = month;
    day_ = day;
    isDateSet_ = true;
}

void DVFrameCaptureDateTime::setTimeWithHours(int32_t hours, int32_t minutes, int32_t seconds) {
    hours_ = hours;
    minutes_ = minutes;
    seconds_ = seconds;
    isTimeSet_ = true;
}

void DVFrameCaptureDateTime::setDateFrom(const DVFrameCaptureDateTime* other) {
    if (!other) {
        isDateSet_ = false;
        return;
    }
    year_ = other->year_;
    month_ = other->month_;
    day_ = other->day_;
    isDateSet_ = other->isDateSet_;
}

void DVFrameCaptureDateTime::setTimeFrom(const DVFrameCaptureDateTime* other) {
    if (!other) return;
    hours_ = other->hours_;
    minutes_ = other->minutes_;
    seconds_ = other->seconds_;
    isTimeSet_ = other->isTimeSet_;
}

Ref<CalendarDate> DVFrameCaptureDateTime::date() const {
    if (!isFullySet()) return nullptr;
    return CalendarDate::dateWithYear(year_, month_, day_, hours_, minutes_, seconds_, DVUtils::defaultTimeZone());
}

Ref<CalendarDate> DVFrameCaptureDateTime::dateReference() const {
    if (!isDateSet_) return nullptr;
    return CalendarDate::dateWithYear(year_, month_, day_, 10, 0, 0);
}

Ref<CalendarDate> DVFrameCaptureDateTime::timeReference() const {
    if (!isTimeSet_) return nullptr;
    return CalendarDate::dateWithYear(2001, 1, 1, hours_, minutes_, seconds_);
}

double DVFrameCaptureDateTime::timeIntervalSinceCaptureDateTime(const DVFrameCaptureDateTime* other) const {
    if (!other || !isFullySet() || !other->isFullySet()) return UNDEFINED_TIME_INTERVAL;
    return date()->timeIntervalSinceDate(*other->date());
}

Ref<DVFrameCaptureDateTime> DVFrameCaptureDateTime::dateByAddingYears(int32_t years, int32_t months, int32_t days,
                                                                      int32_t hours, int32_t minutes,
                                                                      int32_t seconds) const {
    const Ref<CalendarDate> start = date();
    if (!start) return nullptr;
    const Ref<CalendarDate> sum = start->dateByAddingYears(years, months, days, hours, minutes, seconds);
    return dateWithCalendarDate(sum.get());
}

bool DVFrameCaptureDateTime::isEqual(const Object* other) const {
    const auto* that = dynamic_cast<const DVFrameCaptureDateTime*>(other);
    if (!that) return false;
    return year_ == that->year_ && month_ == that->month_ && day_ == that->day_ && hours_ == that->hours_ &&
           minutes_ == that->minutes_ && seconds_ == that->seconds_;
}

uint32_t DVFrameCaptureDateTime::hash() const {
    // Unsigned arithmetic gives the wrap-around the stored hashes were made with.
    uint32_t h = static_cast<uint32_t>(year_);
    for (const int32_t field : {month_, day_, hours_, minutes_, seconds_}) h = h * 31u + static_cast<uint32_t>(field);
    return h;
}

std::string DVFrameCaptureDateTime::description() const {
    const bool monthFirst = monthComesFirst();
    const int32_t first = monthFirst ? month_ : day_;
    const int32_t second = monthFirst ? day_ : month_;
    if (isDateSet_ && isTimeSet_) return format(kFullFormat, first, second, year_, hours_, minutes_, seconds_);
    if (isDateSet_) return format(TLLog::localizedString(kDateOnlyFormat), first, second, year_);
    if (isTimeSet_) return format(TLLog::localizedString(kTimeOnlyFormat), hours_, minutes_, seconds_);
    return format(TLLog::localizedString(kUndefinedText));
}

Ref<Object> DVFrameCaptureDateTime::copy() const {
    auto value = std::make_shared<DVFrameCaptureDateTime>();
    if (isDateSet_) value->setDateWithYear(year_, month_, day_);
    if (isTimeSet_) value->setTimeWithHours(hours_, minutes_, seconds_);
    return value;
}

void DVFrameCaptureDateTime::encodeWithCoder(Coder& coder) const {
    for (const int32_t field : {year_, month_, day_, hours_, minutes_, seconds_}) coder.encodeInt32(field);
    coder.encodeBool(isDateSet_);
    coder.encodeBool(isTimeSet_);
}

Ref<DVFrameCaptureDateTime> DVFrameCaptureDateTime::initWithCoder(Decoder& decoder) {
    auto value = std::make_shared<DVFrameCaptureDateTime>();
    for (int32_t* field : {&value->year_, &value->month_, &value->day_, &value->hours_, &value->minutes_,
                           &value->seconds_})
        *field = decoder.decodeInt32();
    value->isDateSet_ = decoder.decodeBool();
    value->isTimeSet_ = decoder.decodeBool();
    return value;
}

void DVFrameCaptureDateTime::resetFormatOrderForTesting() {
    tFormatOrderString.clear();
    tFormatOrderStringMYD = false;
}

}  // namespace ossel
