#include "foundation/TimeZone.h"

#include <date/tz.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <vector>

#include "foundation/Clock.h"
#include "foundation/Date.h"
#include "foundation/PosixTimeZoneRule.h"
#include "foundation/RegularFile.h"
#include "foundation/String.h"

namespace ossel {

inline constexpr std::string_view kZoneInfoDirectory = "/usr/share/zoneinfo";
inline constexpr std::string_view kLocalTimeFile = "/etc/localtime";

// A zone is a tz database zone (with the rule of its file's footer for the
// years past the file's last transition), a bare POSIX rule, or a fixed offset.
struct TimeZone::Impl {
    const date::time_zone* zone = nullptr;
    std::optional<PosixTimeZoneRule> rule;
    int64_t ruleFrom = 0;  // first second (since 1970) governed by `rule` rather than `zone`
    int fixedOffset = 0;
    std::string fixedAbbreviation;

    int offsetAt(int64_t unixSeconds) const;
    std::string abbreviationAt(int64_t unixSeconds) const;
};

namespace {

date::sys_seconds sysSeconds(int64_t unixSeconds) { return date::sys_seconds{std::chrono::seconds{unixSeconds}}; }

// Whole seconds since 1970 for an instant, kept inside a range every calendar
// computation below can hold (about ±3e11 years).
int64_t unixSecondsOf(double sinceReferenceDate) {
    const double seconds = std::floor(sinceReferenceDate + kTimeIntervalBetween1970AndReferenceDate);
    if (std::isnan(seconds)) return 0;
    constexpr double kLimit = 9.0e18;
    return static_cast<int64_t>(std::fmax(-kLimit, std::fmin(kLimit, seconds)));
}

// TZ may name any file, a FIFO or /dev/zero included.
std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::vector<uint8_t> bytes;
    if (!readRegularFile(path.string(), fileSizeLimit(), bytes)) return std::nullopt;
    return std::string(bytes.begin(), bytes.end());
}

// The POSIX rule in the footer of a version 2+ compiled zone file: the file's
// transitions stop at some year (2037 for "fat" files, earlier for "slim"
// ones) and the footer describes every year after that.
std::optional<PosixTimeZoneRule> footerRule(const std::string& bytes) {
    if (bytes.size() < 6 || bytes.compare(0, 4, "TZif") != 0 || bytes[4] < '2') return std::nullopt;
    if (bytes.back() != '\n') return std::nullopt;
    const size_t open = bytes.rfind('\n', bytes.size() - 2);
    if (open == std::string::npos) return std::nullopt;
    return PosixTimeZoneRule::parse(std::string_view(bytes).substr(open + 1, bytes.size() - open - 2));
}

std::shared_ptr<const TimeZone::Impl> databaseZone(std::string_view name) {
    const date::time_zone* zone = nullptr;
    try {
        zone = date::locate_zone(name);
    } catch (const std::exception&) {
        return nullptr;
    }
    auto impl = std::make_shared<TimeZone::Impl>();
    impl->zone = zone;
    try {
        // The last range the file knows begins at its last transition.
        const date::sys_info last = zone->get_info(sysSeconds(int64_t{1} << 40));
        impl->ruleFrom = last.begin.time_since_epoch().count();
    } catch (const std::exception&) {
        impl->ruleFrom = std::numeric_limits<int64_t>::max();
    }
    if (const auto bytes = readFile(std::filesystem::path(kZoneInfoDirectory) / zone->name())) {
        impl->rule = footerRule(*bytes);
    }
    return impl;
}

std::string offsetName(int seconds) {
    if (seconds == 0) return "GMT";
    const int magnitude = std::abs(seconds);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "GMT%c%02d%02d", seconds < 0 ? '-' : '+', magnitude / 3600 % 100,
                  magnitude / 60 % 60);
    return buffer;
}

// "GMT+0100", "GMT-05:30", "UTC+01": the names fixed zones go by.
std::optional<int> offsetFromName(std::string_view name) {
    if (!(name.starts_with("GMT") || name.starts_with("UTC")) || name.size() < 5) return std::nullopt;
    const char sign = name[3];
    if (sign != '+' && sign != '-') return std::nullopt;
    std::string digits;
    for (const char c : name.substr(4)) {
        if (c == ':') continue;
        if (c < '0' || c > '9') return std::nullopt;
        digits += c;
    }
    if (digits.size() != 2 && digits.size() != 4) return std::nullopt;
    const int hours = std::stoi(digits.substr(0, 2));
    const int minutes = digits.size() == 4 ? std::stoi(digits.substr(2)) : 0;
    if (hours > 18 || minutes > 59) return std::nullopt;
    const int seconds = hours * 3600 + minutes * 60;
    return sign == '-' ? -seconds : seconds;
}

// The zone-database name of a zone file path: what follows ".../zoneinfo/"
// (ignoring the "posix/" copy of the database).
std::optional<std::string> zoneNameOfPath(const std::string& path) {
    const size_t at = path.rfind("zoneinfo/");
    if (at == std::string::npos) return std::nullopt;
    std::string name = path.substr(at + 9);
    if (name.starts_with("posix/")) name = name.substr(6);
    return name;
}

// A zone file that is a copy rather than a link: find the database zone with
// the same bytes.
std::optional<std::string> zoneNameOfContents(const std::string& bytes) {
    try {
        for (const auto& zone : date::get_tzdb().zones) {
            const auto path = std::filesystem::path(kZoneInfoDirectory) / zone.name();
            std::error_code error;
            if (std::filesystem::file_size(path, error) != bytes.size() || error) continue;
            if (readFile(path) == bytes) return zone.name();
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

Ref<TimeZone> zoneOfFile(const std::string& path) {
    std::error_code error;
    std::string resolved = path;
    if (std::filesystem::is_symlink(path, error)) {
        const auto canonical = std::filesystem::weakly_canonical(path, error);
        if (!error) resolved = canonical.string();
        // A link into a tz directory that is not the canonical one still names its zone.
        if (const auto target = std::filesystem::read_symlink(path, error); !error) {
            if (const auto name = zoneNameOfPath(target.string())) {
                if (auto zone = TimeZone::timeZoneWithName(*name)) return zone;
            }
        }
    }
    if (const auto name = zoneNameOfPath(resolved)) {
        if (auto zone = TimeZone::timeZoneWithName(*name)) return zone;
    }
    const auto bytes = readFile(resolved);
    if (!bytes) return nullptr;
    if (const auto name = zoneNameOfContents(*bytes)) return TimeZone::timeZoneWithName(*name);
    if (auto rule = footerRule(*bytes)) {
        auto impl = std::make_shared<TimeZone::Impl>();
        impl->rule = std::move(rule);
        return std::make_shared<TimeZone>(impl->rule->text(), impl);
    }
    return nullptr;
}

Ref<TimeZone> utcZone() { return TimeZone::timeZoneForSecondsFromGMT(0); }

// TZ as the C library reads it: a zone name, a path (either after an optional
// ":"), or a POSIX rule; set but empty means UTC.
Ref<TimeZone> zoneOfEnvironment(std::string_view tz) {
    if (tz.starts_with(':')) tz.remove_prefix(1);
    if (tz.empty()) return utcZone();
    if (tz.starts_with('/')) {
        if (auto zone = zoneOfFile(std::string(tz))) return zone;
        return utcZone();
    }
    if (auto zone = TimeZone::timeZoneWithName(tz)) return zone;
    if (auto rule = PosixTimeZoneRule::parse(tz)) {
        auto impl = std::make_shared<TimeZone::Impl>();
        impl->rule = std::move(rule);
        return std::make_shared<TimeZone>(std::string(tz), impl);
    }
    // The C library shows an unknown TZ as UTC; so does the calendar.
    return utcZone();
}

Ref<TimeZone> discoverSystemTimeZone() {
    if (const char* tz = std::getenv("TZ")) return zoneOfEnvironment(tz);
    if (auto zone = zoneOfFile(std::string(kLocalTimeFile))) return zone;
    return utcZone();
}

Ref<TimeZone>& cachedSystemZone() {
    static Ref<TimeZone> zone;
    return zone;
}

Ref<TimeZone>& chosenDefaultZone() {
    static Ref<TimeZone> zone;
    return zone;
}

}  // namespace

int TimeZone::Impl::offsetAt(int64_t unixSeconds) const {
    if (rule && (!zone || unixSeconds >= ruleFrom)) return rule->offsetAt(unixSeconds);
    if (!zone) return fixedOffset;
    try {
        return static_cast<int>(zone->get_info(sysSeconds(unixSeconds)).offset.count());
    } catch (const std::exception&) {
        return 0;
    }
}

std::string TimeZone::Impl::abbreviationAt(int64_t unixSeconds) const {
    if (rule && (!zone || unixSeconds >= ruleFrom)) return rule->abbreviationAt(unixSeconds);
    if (!zone) return fixedAbbreviation;
    try {
        return zone->get_info(sysSeconds(unixSeconds)).abbrev;
    } catch (const std::exception&) {
        return "UTC";
    }
}

TimeZone::TimeZone(std::string name, std::shared_ptr<const Impl> impl) : name_(std::move(name)), impl_(std::move(impl)) {}

Ref<TimeZone> TimeZone::systemTimeZone() {
    Ref<TimeZone>& zone = cachedSystemZone();
    if (!zone) zone = discoverSystemTimeZone();
    return zone;
}

void TimeZone::resetSystemTimeZone() { cachedSystemZone().reset(); }

Ref<TimeZone> TimeZone::defaultTimeZone() {
    const Ref<TimeZone>& chosen = chosenDefaultZone();
    return chosen ? chosen : systemTimeZone();
}

void TimeZone::setDefaultTimeZone(Ref<TimeZone> zone) { chosenDefaultZone() = std::move(zone); }

Ref<TimeZone> TimeZone::timeZoneWithName(std::string_view name) {
    if (name.empty()) return nullptr;
    if (const auto offset = offsetFromName(name)) {
        auto zone = timeZoneForSecondsFromGMT(*offset);
        return std::make_shared<TimeZone>(std::string(name), zone->impl_);
    }
    // Zones are immutable: one shared description per name keeps repeated look-ups cheap.
    static std::map<std::string, std::shared_ptr<const Impl>, std::less<>> known;
    auto found = known.find(name);
    if (found == known.end()) {
        auto impl = databaseZone(name);
        if (!impl) return nullptr;
        found = known.emplace(std::string(name), std::move(impl)).first;
    }
    return std::make_shared<TimeZone>(std::string(name), found->second);
}

Ref<TimeZone> TimeZone::timeZoneForSecondsFromGMT(int seconds) {
    // Offsets beyond a day mean nothing on any clock; keep them in range.
    constexpr int kLimit = 18 * 3600;
    seconds = seconds < -kLimit ? -kLimit : seconds > kLimit ? kLimit : seconds;
    auto impl = std::make_shared<Impl>();
    impl->fixedOffset = seconds;
    impl->fixedAbbreviation = offsetName(seconds);
    return std::make_shared<TimeZone>(impl->fixedAbbreviation, impl);
}

int TimeZone::secondsFromGMTForDate(double sinceReferenceDate) const {
    return impl_->offsetAt(unixSecondsOf(sinceReferenceDate));
}

std::string TimeZone::abbreviationForDate(double sinceReferenceDate) const {
    return impl_->abbreviationAt(unixSecondsOf(sinceReferenceDate));
}

double TimeZone::instantForLocalTime(double localSinceReferenceDate) const {
    // Offsets change at most a few times a year, so the offsets a day before and
    // a day after are the only candidates. A candidate holds when the instant it
    // gives has that very offset; two that hold mean an overlap (take the
    // earlier instant), none a gap (the offset before it moves the wall clock
    // forward by the gap's length, giving the time after it).
    constexpr double kDay = 86400.0;
    const int before = secondsFromGMTForDate(localSinceReferenceDate - kDay);
    const int after = secondsFromGMTForDate(localSinceReferenceDate + kDay);
    const double withBefore = localSinceReferenceDate - before;
    const double withAfter = localSinceReferenceDate - after;
    const bool beforeHolds = secondsFromGMTForDate(withBefore) == before;
    const bool afterHolds = secondsFromGMTForDate(withAfter) == after;
    if (beforeHolds && afterHolds) return std::fmin(withBefore, withAfter);
    if (afterHolds) return withAfter;
    return withBefore;
}

bool TimeZone::isEqual(const Object* other) const {
    const auto* zone = dynamic_cast<const TimeZone*>(other);
    return zone && zone->name_ == name_;
}

uint32_t TimeZone::hash() const { return stringHash(name_); }

}  // namespace ossel
