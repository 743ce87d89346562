#include "foundation/Date.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/Clock.h"

namespace ossel {
namespace {

// Days from 1970-01-01 to a civil date and back (proleptic Gregorian), valid for
// any year a 64-bit count can hold; see Howard Hinnant's "chrono-compatible
// low-level date algorithms".
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

}  // namespace

Ref<Date> Date::withTimeIntervalSinceReferenceDate(double seconds) { return std::make_shared<Date>(seconds); }

Ref<Date> Date::withTimeIntervalSince1970(double seconds) {
    return std::make_shared<Date>(seconds - kTimeIntervalBetween1970AndReferenceDate);
}

Ref<Date> Date::now() { return withTimeIntervalSince1970(currentTimeIntervalSince1970()); }

double Date::timeIntervalSince1970() const { return sinceReference_ + kTimeIntervalBetween1970AndReferenceDate; }

bool Date::isEqual(const Object* other) const {
    const auto* d = dynamic_cast<const Date*>(other);
    return d && d->sinceReference_ == sinceReference_;
}

uint32_t Date::hash() const {
    uint64_t bits;
    const double v = sinceReference_ == 0 ? 0.0 : sinceReference_;  // -0 and 0 hash alike
    std::memcpy(&bits, &v, sizeof bits);
    return static_cast<uint32_t>(bits ^ (bits >> 32));
}

UtcFields utcFieldsOf(double sinceReferenceDate) {
    const double seconds = std::floor(sinceReferenceDate + kTimeIntervalBetween1970AndReferenceDate);
    // Beyond about ±2.9e11 years the fields stop meaning anything; clamp rather than overflow.
    const double limit = 9.0e18;
    const int64_t total = static_cast<int64_t>(std::isnan(seconds) ? 0 : std::fmax(-limit, std::fmin(limit, seconds)));
    int64_t days = total / 86400;
    int64_t rest = total % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    UtcFields f{};
    unsigned m, d;
    civilFromDays(days, f.year, m, d);
    f.month = static_cast<int>(m);
    f.day = static_cast<int>(d);
    f.hour = static_cast<int>(rest / 3600);
    f.minute = static_cast<int>(rest / 60 % 60);
    f.second = static_cast<int>(rest % 60);
    return f;
}

double sinceReferenceDateOf(const UtcFields& f) {
    const int64_t days = daysFromCivil(f.year, static_cast<unsigned>(f.month), static_cast<unsigned>(f.day));
    return static_cast<double>(days) * 86400.0 + f.hour * 3600.0 + f.minute * 60.0 + f.second -
           kTimeIntervalBetween1970AndReferenceDate;
}

namespace {
void appendPadded(std::string& out, int64_t value, int width) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value < 0 ? -value : value).ptr;
    const auto count = static_cast<int>(end - digits);
    if (value < 0) out += '-';
    if (count < width) out.append(static_cast<size_t>(width - count), '0');
    out.append(digits, end);
}
}  // namespace

void appendIso8601UtcString(std::string& out, double sinceReferenceDate) {
    const UtcFields f = utcFieldsOf(sinceReferenceDate);
    appendPadded(out, f.year, 4);
    // The fields after the year have two digits each: written in place, then appended at once.
    char rest[] = "-MM-DDTHH:MM:SSZ";
    const auto twoDigits = [&rest](size_t at, int value) {
        rest[at] = static_cast<char>('0' + value / 10);
        rest[at + 1] = static_cast<char>('0' + value % 10);
    };
    twoDigits(1, f.month);
    twoDigits(4, f.day);
    twoDigits(7, f.hour);
    twoDigits(10, f.minute);
    twoDigits(13, f.second);
    out.append(rest, sizeof rest - 1);
}

std::string iso8601UtcString(double sinceReferenceDate) {
    std::string out;
    out.reserve(24);
    appendIso8601UtcString(out, sinceReferenceDate);
    return out;
}

std::string Date::description() const {
    const UtcFields f = utcFieldsOf(sinceReference_);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02d %02d:%02d:%02d +0000", static_cast<long long>(f.year),
                  f.month, f.day, f.hour, f.minute, f.second);
    return buffer;
}

}  // namespace ossel
