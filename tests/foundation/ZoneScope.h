#pragma once
// Sets TZ (and, optionally, the process default zone) for one test and puts
// both back afterwards, so that no test depends on the machine's own zone.

#include <time.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "foundation/TimeZone.h"

namespace ossel::testing {

class ZoneScope {
public:
    // nullopt unsets TZ.
    explicit ZoneScope(std::optional<std::string> tz, Ref<TimeZone> defaultZone = nullptr) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        if (tz) {
            setenv("TZ", tz->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        TimeZone::resetSystemTimeZone();
        TimeZone::setDefaultTimeZone(std::move(defaultZone));
        tzset();
    }
    ~ZoneScope() {
        if (saved_) {
            setenv("TZ", saved_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        TimeZone::resetSystemTimeZone();
        TimeZone::setDefaultTimeZone(nullptr);
        tzset();  // the C library caches TZ too
    }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

private:
    std::optional<std::string> saved_;
};

}  // namespace ossel::testing
