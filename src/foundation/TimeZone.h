#pragma once
// Time zones from the system tz database. The system zone comes from TZ, else
// /etc/localtime; the process default zone starts as the system zone and can be set.

#include <string>
#include <string_view>

#include "foundation/Object.h"

namespace ossel {

class TimeZone final : public Object {
public:
    static Ref<TimeZone> systemTimeZone();
    // Forgets the cached system zone, so that a changed TZ is read again. Tests only.
    static void resetSystemTimeZone();
    static Ref<TimeZone> defaultTimeZone();
    // Null restores the system zone as the default.
    static void setDefaultTimeZone(Ref<TimeZone> zone);

    // A zone of the tz database ("Europe/Zurich", "UTC"), or null when unknown.
    static Ref<TimeZone> timeZoneWithName(std::string_view name);
    // A fixed offset from Greenwich.
    static Ref<TimeZone> timeZoneForSecondsFromGMT(int seconds);

    const std::string& name() const { return name_; }
    // Offset from Greenwich in effect at an instant (seconds since the reference date).
    int secondsFromGMTForDate(double sinceReferenceDate) const;
    // The short name in effect at an instant ("CET", "CEST", "EST"; "GMT+0100" for a fixed offset).
    std::string abbreviationForDate(double sinceReferenceDate) const;
    // The instant of local wall-clock seconds (seconds since the reference date
    // counted as if the zone were UTC). In a gap the time after it is taken; in an
    // overlap the earlier instant.
    double instantForLocalTime(double localSinceReferenceDate) const;

    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    std::string description() const override { return name_; }
    std::string className() const override { return "TimeZone"; }

    struct Impl;
    TimeZone(std::string name, std::shared_ptr<const Impl> impl);

private:
    std::string name_;
    std::shared_ptr<const Impl> impl_;
};

}  // namespace ossel
