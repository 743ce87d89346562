#pragma once
// The date and time at which a frame was recorded, kept as calendar fields
// rather than as an instant, with the date half and the time half each known
// or unknown on its own. No field is range-checked: whatever integers are
// given are stored, and out-of-range values are left to the calendar.

#include <cstdint>
#include <string>

#include "foundation/CalendarDate.h"
#include "foundation/Date.h"
#include "foundation/Object.h"

namespace ossel {

class Decoder;

// The interval reported when one of the two values lacks a half.
inline constexpr double UNDEFINED_TIME_INTERVAL = -10000.0;

// The user's short-date format as last read from the user defaults
// (NSShortDateFormatString); empty until a read finds one.
extern std::string tFormatOrderString;
// True once that format was found not to begin with the day: descriptions
// then put the month first. Never returns to false within a process.
extern bool tFormatOrderStringMYD;

class DVFrameCaptureDateTime : public Object {
public:
    // init: all six fields 0, both halves unknown.
    DVFrameCaptureDateTime() = default;

    static Ref<DVFrameCaptureDateTime> timeWithHours(int32_t hours, int32_t minutes, int32_t seconds);
    static Ref<DVFrameCaptureDateTime> dateWithYear(int32_t year, int32_t month, int32_t day);
    static Ref<DVFrameCaptureDateTime> dateWithYear(int32_t year, int32_t month, int32_t day, int32_t hours,
                                                    int32_t minutes, int32_t seconds);
    // The calendar date's fields in its own zone; nothing gives a fully set value of zeros.
    static Ref<DVFrameCaptureDateTime> dateWithCalendarDate(const CalendarDate* date);
    // The instant seen in the process default zone; nothing gives a fully set value of zeros.
    static Ref<DVFrameCaptureDateTime> dateWithNSDate(const Date* date);

    void setDateWithYear(int32_t year, int32_t month, int32_t day);
    void setTimeWithHours(int32_t hours, int32_t minutes, int32_t seconds);
    // Takes the other's date fields and its date flag as they are; nothing only
    // marks this date unknown.
    void setDateFrom(const DVFrameCaptureDateTime* other);
    // Takes the other's time fields and its time flag as they are; nothing changes nothing.
    void setTimeFrom(const DVFrameCaptureDateTime* other);

    bool isDateSet() const { return isDateSet_; }
    bool isTimeSet() const { return isTimeSet_; }
    bool isFullySet() const { return isDateSet_ && isTimeSet_; }

    int32_t year() const { return year_; }
    int32_t monthOfYear() const { return month_; }
    int32_t dayOfMonth() const { return day_; }
    int32_t hourOfDay() const { return hours_; }
    int32_t minuteOfHour() const { return minutes_; }
    int32_t secondOfMinute() const { return seconds_; }

    // The fields in the system zone; nothing unless both halves are known.
    Ref<CalendarDate> date() const;
    // The date at 10:00:00 in the process default zone; nothing unless the date is known.
    Ref<CalendarDate> dateReference() const;
    // 2001-01-01 at the time, in the process default zone; nothing unless the time is known.
    Ref<CalendarDate> timeReference() const;

    // Seconds from the other to this (positive when this is later), or
    // UNDEFINED_TIME_INTERVAL when either side lacks a half or the other is nothing.
    double timeIntervalSinceCaptureDateTime(const DVFrameCaptureDateTime* other) const;
    // Calendar arithmetic in the system zone; nothing unless both halves are known.
    Ref<DVFrameCaptureDateTime> dateByAddingYears(int32_t years, int32_t months, int32_t days, int32_t hours,
                                                  int32_t minutes, int32_t seconds) const;

    // The six fields decide; the flags do not.
    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    std::string description() const override;
    std::string className() const override { return "DVFrameCaptureDateTime"; }

    // Only the known halves are copied: an unknown half comes out as zeros.
    Ref<Object> copy() const override;
    // All eight fields travel, including those of an unknown half.
    void encodeWithCoder(Coder& coder) const override;
    static Ref<DVFrameCaptureDateTime> initWithCoder(Decoder& decoder);

    // Forgets the day/month order read from the user defaults. Tests only.
    static void resetFormatOrderForTesting();

private:
    int32_t year_ = 0;
    int32_t month_ = 0;
    int32_t day_ = 0;
    int32_t hours_ = 0;
    int32_t minutes_ = 0;
    int32_t seconds_ = 0;
    bool isDateSet_ = false;
    bool isTimeSet_ = false;
};

}  // namespace ossel
