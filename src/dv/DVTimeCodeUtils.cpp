#include "dv/DVTimeCodeUtils.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "dv/DVTimeCodeMath.h"

namespace ossel {
namespace {

using tcmath::inRange;

// Components while they are carried. 64 bits hold a 32-bit component plus any
// 32-bit frame count, so sums never overflow: adding or removing any count
// moves by exactly that many frames, and whatever does not fit a component
// afterwards makes the result invalid (see narrowComponent).
struct Wide {
    int64_t h = 0, m = 0, s = 0, f = 0;
};

// A label as a timecode stores it: out-of-range components hold 255.
struct Stored {
    int32_t h = 0, m = 0, s = 0, f = 0;
};

// The normalisers carry and borrow one unit at a time, and stepping that way
// would take billions of steps for the frame counts of a day. These take the
// steps in stretches that all do the same thing, at the cost of a few
// divisions whatever the count, and give what the single steps give for every
// input, a negative receiving component included.
void adjustHoursWide(int64_t& h) {
    h %= 24;
    if (h < 0) h += 24;
}

void adjustMinutesWide(int64_t& h, int64_t& m) {
    if (m < 0) {
        --h;
        adjustHoursWide(h);
        m += 60;
    }
    if (m > 59) {
        h += m / 60;
        m %= 60;
        adjustHoursWide(h);
    }
}

// Of `count` steps, those that each leave `unit` below zero, so that it borrows
// once from the next larger unit and gains `gain` in all, until it reaches
// `floor`: taken at once, and their number returned.
int64_t takeBorrowingSteps(int64_t& unit, int64_t count, int64_t gain, int64_t floor) {
    if (unit >= floor) return 0;
    const int64_t steps = std::min(count, (floor - unit + gain - 1) / gain);
    unit += gain * steps;
    return steps;
}

// `count` times: a minute more, then adjustMinutes.
void addMinutes(int64_t& h, int64_t& m, int64_t count) {
    if (count <= 0) return;
    // Still below zero after its step, a minute borrows an hour: 61 more in all.
    if (const int64_t borrowing = takeBorrowingSteps(m, count, 61, -1)) {
        h -= borrowing;
        adjustHoursWide(h);
        count -= borrowing;
    }
    // From -1 on, the minutes count up and carry past 59.
    m += count;
    if (m > 59) {
        h += m / 60;
        m %= 60;
        adjustHoursWide(h);
    }
}

// `count` times: a minute less, then adjustMinutes.
void removeMinutes(int64_t& h, int64_t& m, int64_t count) {
    if (count <= 0) return;
    if (m > 60) {
        // The first step carries what lies above 59.
        --m;
        adjustMinutesWide(h, m);
        --count;
    }
    // Below zero before its step, a minute borrows an hour: 59 more in all.
    if (const int64_t borrowing = takeBorrowingSteps(m, count, 59, 0)) {
        h -= borrowing;
        adjustHoursWide(h);
        count -= borrowing;
        if (count == 0) return;
    }
    // From 0 ... 60 on, the minutes count down and borrow below zero.
    m -= count;
    if (m < 0) {
        const int64_t hours = (-m + 59) / 60;
        h -= hours;
        m += 60 * hours;
        adjustHoursWide(h);
    }
}

void adjustSecondsWide(int64_t& h, int64_t& m, int64_t& s) {
    if (s < 0) {
        --m;
        adjustMinutesWide(h, m);
        s += 60;
        return;
    }
    if (s > 59) {
        addMinutes(h, m, s / 60);
        s %= 60;
    }
}

// A base of 0 or less (a system whose timebase is 0 or does not fit an int)
// has no whole second to carry into: frames are then left as they are, where
// carrying one unit at a time would never end.
void adjustFramesWide(int64_t& h, int64_t& m, int64_t& s, int64_t& f, int64_t base) {
    if (f < 0) {
        --s;
        adjustSecondsWide(h, m, s);
        f += base;
        return;
    }
    if (base <= 0 || f < base) return;
    int64_t count = f / base;
    f %= base;
    // Still below zero after its step, a second borrows a minute: 61 more in all.
    const int64_t borrowing = takeBorrowingSteps(s, count, 61, -1);
    removeMinutes(h, m, borrowing);
    count -= borrowing;
    // From -1 on, the seconds count up and carry past 59.
    s += count;
    if (s > 59) {
        addMinutes(h, m, s / 60);
        s %= 60;
    }
}

void normalize(Wide& c, int64_t base) {
    adjustFramesWide(c.h, c.m, c.s, c.f, base);
    adjustSecondsWide(c.h, c.m, c.s);
    adjustMinutesWide(c.h, c.m);
    adjustHoursWide(c.h);
}

int32_t storedComponent(int64_t v, int64_t highest) {
    return inRange(v, 0, highest) ? static_cast<int32_t>(v) : TIMECODE_UNDEFINED_COMPONENT;
}

Stored store(const Wide& c) {
    return {storedComponent(c.h, 23), storedComponent(c.m, 59), storedComponent(c.s, 59), storedComponent(c.f, 59)};
}

Stored storedOf(const DVTimeCode& t) { return {t.hours(), t.minutes(), t.seconds(), t.frames()}; }

Ref<DVTimeCode> makeTimeCode(const Wide& c) {
    return DVTimeCode::timeCodeWithHours(tcmath::narrowComponent(c.h), tcmath::narrowComponent(c.m),
                                         tcmath::narrowComponent(c.s), tcmath::narrowComponent(c.f));
}

Ref<DVTimeCode> makeTimeCode(const Stored& c) { return DVTimeCode::timeCodeWithHours(c.h, c.m, c.s, c.f); }

int64_t baseOf(const DVSystem* system) {
    return system ? static_cast<int32_t>(system->timebase()) : DEFAULT_TIMEBASE;
}

bool countsDropFrame(const DVSystem* system) { return system && system->ntsc(); }

int32_t droppedLabels(const Stored& c) { return tcmath::droppedLabels(c.h, c.m); }

// The labels dropped between two positions, wrapped at midnight. The start
// may hold any numbers an archive gave it, so the difference wraps in 32 bits.
int32_t droppedBetween(const Stored& from, const Stored& to) {
    const auto crossed = static_cast<int32_t>(static_cast<uint32_t>(droppedLabels(to)) -
                                              static_cast<uint32_t>(droppedLabels(from)));
    return crossed < 0 ? crossed + tcmath::DROPPED_PER_DAY : crossed;
}

Wide nonDropStep(const Stored& t, int64_t delta, int64_t base) {
    Wide c{t.h, t.m, t.s, t.f + delta};
    normalize(c, base);
    return c;
}

// Both step operations report the drop-frame labels crossed through the same rule.
Ref<DVTimeCode> reportedStep(const Ref<DVTimeCode>& timeCode, int64_t delta, const Ref<DVSystem>& system,
                             int32_t* adjustmentFrames) {
    if (adjustmentFrames) *adjustmentFrames = 0;
    if (!timeCode) return nullptr;
    const Stored from = storedOf(*timeCode);
    const Wide result = nonDropStep(from, delta, baseOf(system.get()));
    if (adjustmentFrames && countsDropFrame(system.get())) *adjustmentFrames = droppedBetween(from, store(result));
    return makeTimeCode(result);
}

// A label the drop-frame loop can convert: every component a real label can hold.
bool isLabel(const Stored& c) {
    return inRange(c.h, 0, 23) && inRange(c.m, 0, 59) && inRange(c.s, 0, 59) && inRange(c.f, 0, 59);
}

// The drop-frame paths run once per frame of an edit, so the two standard
// timebases are handed down as compile-time constants (their divisions become
// multiplications); any other timebase is a plain run-time value.
using Timebase30 = std::integral_constant<uint32_t, 30>;
using Timebase25 = std::integral_constant<uint32_t, 25>;

template <class F>
auto withTimebase(uint32_t timebase, F&& body) {
    if (timebase == Timebase30::value) return body(Timebase30{});
    if (timebase == Timebase25::value) return body(Timebase25{});
    return body(timebase);
}

// The base the normalisers carry frames with: the timebase as a signed 32-bit number.
template <class Timebase>
int64_t carryBase(Timebase timebase) {
    return static_cast<int32_t>(static_cast<uint32_t>(timebase));
}

// The non-drop step for what the drop-frame loop adds: components that are
// not negative and a positive count, so only carries happen, and they happen
// in unsigned 32-bit arithmetic without branches. It gives what normalize
// gives for such components.
template <class Timebase>
Stored carryStep(const Stored& c, int32_t frames, Timebase timebase) {
    const int64_t base = carryBase(timebase);
    uint32_t f = static_cast<uint32_t>(c.f) + static_cast<uint32_t>(frames);
    uint32_t s = static_cast<uint32_t>(c.s);
    if (base > 0) {
        s += f / static_cast<uint32_t>(base);
        f %= static_cast<uint32_t>(base);
    }
    const uint32_t m = static_cast<uint32_t>(c.m) + s / 60;
    const uint32_t h = (static_cast<uint32_t>(c.h) + m / 60) % 24;
    return store(Wide{h, m % 60, s % 60, f});
}

// Each pass adds the labels dropped in the stretch just crossed; a day's worth
// of drops (2592 frames) crosses at most two minute boundaries, so the count
// falls 2592 -> 4 -> 2 -> 0 and three passes suffice at 30 frames a second
// (every frame of a day is checked against a closed form in the tests). The
// cap only guards systems with odd timebases.
constexpr int kStandardDropFramePasses = 3;
constexpr int kMaxDropFramePasses = 16;

template <class Timebase>
constexpr bool isStandardTimebase() {
    return !std::is_same_v<Timebase, uint32_t>;
}

// Drop-frame labels skipped before a minute of the day: 108 per hour is
// 2 x (60 - 6), so 108 h + 2 (m - m / 10) is 2 (M - M / 10) of M = 60 h + m.
constexpr int32_t droppedBeforeMinuteOfDay(uint32_t minuteOfDay) {
    return static_cast<int32_t>(2 * (minuteOfDay - minuteOfDay / 10));
}

// The passes at a standard timebase. There every label the passes see has
// components that are not negative, and the non-drop step on them is exactly
// an addition modulo a day, so the label travels as its frame of the day and
// its dropped labels follow from its minute of the day: a pass is an add, a
// compare and two constant divisions instead of a chain of carries. The three
// passes run without a test between them, since after the first one a pass
// with nothing to add changes nothing, and an unpredictable exit costs more
// than the pass. `frameOfDay` may exceed a day by less than one.
template <uint32_t TB>
Stored dropFrameLabelInDay(uint32_t frameOfDay, int32_t droppedBefore) {
    constexpr uint32_t perMinute = TB * 60;
    constexpr uint32_t perDay = TB * 86400;
    int32_t toAdd = droppedBefore;
    const auto pass = [&] {
        frameOfDay += static_cast<uint32_t>(toAdd);
        if (frameOfDay >= perDay) frameOfDay -= perDay;
        const int32_t droppedNow = droppedBeforeMinuteOfDay(frameOfDay / perMinute);
        toAdd = droppedNow - droppedBefore;
        if (toAdd < 0) toAdd += tcmath::DROPPED_PER_DAY;
        droppedBefore = droppedNow;
    };
    int passes = 0;
    for (; passes < kStandardDropFramePasses; ++passes) pass();
    for (; toAdd > 0 && passes < kMaxDropFramePasses; ++passes) pass();
    const uint32_t second = frameOfDay / TB;
    return {static_cast<int32_t>(second / 3600), static_cast<int32_t>(second / 60 % 60),
            static_cast<int32_t>(second % 60), static_cast<int32_t>(frameOfDay % TB)};
}

// The drop-frame label of a label whose components are those of a real label.
template <class Timebase>
Stored dropFrameLabel(Stored current, Timebase timebase) {
    if constexpr (isStandardTimebase<Timebase>()) {
        constexpr uint32_t tb = Timebase::value;
        const auto seconds = static_cast<uint32_t>((current.h * 60 + current.m) * 60 + current.s);
        return dropFrameLabelInDay<tb>(seconds * tb + static_cast<uint32_t>(current.f), droppedLabels(current));
    } else {
        int32_t droppedBefore = droppedLabels(current);
        int32_t toAdd = droppedBefore;
        for (int passes = 0; toAdd > 0 && passes < kMaxDropFramePasses; ++passes) {
            current = carryStep(current, toAdd, timebase);
            const int32_t droppedNow = droppedLabels(current);
            toAdd = droppedNow - droppedBefore;
            if (toAdd < 0) toAdd += tcmath::DROPPED_PER_DAY;
            droppedBefore = droppedNow;
        }
        return current;
    }
}

// The plain layout of a frame count at a timebase; false when the timebase
// leaves no hour, minute or second to divide by.
template <class Timebase>
bool nonDropLayout(uint32_t n, Timebase timebase, Wide* out) {
    const uint32_t tb = timebase;
    const uint32_t perHour = tb * static_cast<uint32_t>(SECONDS_IN_HOUR);
    const uint32_t perMinute = tb * static_cast<uint32_t>(SECONDS_IN_MINUTE);
    if (tb == 0 || perHour == 0 || perMinute == 0) return false;
    const uint32_t r = n % perHour;
    const uint32_t r2 = r % perMinute;
    *out = Wide{n / perHour, r / perMinute, r2 / tb, r2 % tb};
    return true;
}

// A sum of frame counts that a 32-bit count cannot hold is far past any day:
// it has no label, where wrapping it would give a plausible but wrong one.
Ref<DVTimeCode> dropFrameTimeCodeOfSum(uint64_t frames, const Ref<DVSystem>& system) {
    if (frames > UINT32_MAX) return DVTimeCode::undefinedTimeCode();
    return DVTimeCodeUtils::dropFrameTimeCodeFromFrames(static_cast<uint32_t>(frames), system);
}

// A rate rounded up to whole frames, kept to what a component can count with.
int64_t wholeFramesPerSecond(double fps) {
    const double up = std::ceil(fps);
    if (!(up > 0)) return 0;
    return up < 2147483647.0 ? static_cast<int64_t>(up) : 2147483647;
}

}  // namespace

void adjustHours(int32_t& hours) {
    int64_t h = hours;
    adjustHoursWide(h);
    hours = static_cast<int32_t>(h);
}

void adjustMinutes(int32_t& hours, int32_t& minutes) {
    int64_t h = hours, m = minutes;
    adjustMinutesWide(h, m);
    hours = static_cast<int32_t>(h);
    minutes = static_cast<int32_t>(m);
}

void adjustSeconds(int32_t& hours, int32_t& minutes, int32_t& seconds) {
    int64_t h = hours, m = minutes, s = seconds;
    adjustSecondsWide(h, m, s);
    hours = static_cast<int32_t>(h);
    minutes = static_cast<int32_t>(m);
    seconds = static_cast<int32_t>(s);
}

void adjustFrames(int32_t& hours, int32_t& minutes, int32_t& seconds, int32_t& frames, int32_t base) {
    int64_t h = hours, m = minutes, s = seconds, f = frames;
    adjustFramesWide(h, m, s, f, base);
    hours = static_cast<int32_t>(h);
    minutes = static_cast<int32_t>(m);
    seconds = static_cast<int32_t>(s);
    frames = static_cast<int32_t>(f);
}

bool DVTimeCodeUtils::isTimeCodeLessThan(const Ref<DVTimeCode>& a, const Ref<DVTimeCode>& b) {
    if (!a || !b || !a->valid() || !b->valid()) return false;
    if (a->hours() != b->hours()) return a->hours() < b->hours();
    if (a->minutes() != b->minutes()) return a->minutes() < b->minutes();
    if (a->seconds() != b->seconds()) return a->seconds() < b->seconds();
    return a->frames() < b->frames();
}

bool DVTimeCodeUtils::isTimeCodeLessOrEqualThan(const Ref<DVTimeCode>& a, const Ref<DVTimeCode>& b) {
    if (!a || !b) return false;
    return a->isEqual(b.get()) || isTimeCodeLessThan(a, b);
}

Ref<DVTimeCode> DVTimeCodeUtils::elapsedTimeFromStart(const Ref<DVTimeCode>& start, const Ref<DVTimeCode>& end,
                                                      const Ref<DVSystem>& system) {
    if (!start || !end) return nullptr;
    if (!start->valid() || !end->valid()) return DVTimeCode::undefinedTimeCode();
    const int64_t base = system ? wholeFramesPerSecond(system->averageFps())
                                : static_cast<int64_t>(DVSystem::defaultAverageFps());
    Wide c;
    c.h = int64_t{end->hours()} - start->hours();
    if (c.h < 0) c.h += 24;
    c.m = int64_t{end->minutes()} - start->minutes();
    adjustMinutesWide(c.h, c.m);
    c.s = int64_t{end->seconds()} - start->seconds();
    adjustSecondsWide(c.h, c.m, c.s);
    c.f = int64_t{end->frames()} - start->frames() + 1;
    adjustFramesWide(c.h, c.m, c.s, c.f, base);
    return makeTimeCode(c);
}

Ref<DVTimeCode> DVTimeCodeUtils::elapsedTimeFromStart(const Ref<DVTimeCode>& start, const Ref<DVTimeCode>& end) {
    return elapsedTimeFromStart(start, end, nullptr);
}

int32_t DVTimeCodeUtils::elapsedSince0(const Ref<DVTimeCode>& timeCode) {
    if (!timeCode || !timeCode->valid()) return TIMECODE_UNDEFINED_ELAPSED;
    return static_cast<int32_t>(tcmath::secondsOfDay(timeCode->hours(), timeCode->minutes(), timeCode->seconds()));
}

Ref<DVTimeCode> DVTimeCodeUtils::timeCodeByAddingDuration(const Ref<DVTimeCode>& duration,
                                                          const Ref<DVTimeCode>& timeCode,
                                                          const Ref<DVSystem>& system) {
    if (!timeCode) return nullptr;
    if (!duration) return timeCode;
    if (countsDropFrame(system.get())) {
        return dropFrameTimeCodeOfSum(uint64_t{timeCode->asFrames(system)} + duration->asFrames(system), system);
    }
    Wide c{int64_t{timeCode->hours()} + duration->hours(), int64_t{timeCode->minutes()} + duration->minutes(),
           int64_t{timeCode->seconds()} + duration->seconds(), int64_t{timeCode->frames()} + duration->frames()};
    normalize(c, baseOf(system.get()));
    return makeTimeCode(c);
}

Ref<DVTimeCode> DVTimeCodeUtils::timeCodeByAddingFrames(uint32_t frames, const Ref<DVTimeCode>& timeCode,
                                                        const Ref<DVSystem>& system) {
    if (!timeCode) return nullptr;
    if (frames == 0) return timeCode;
    if (countsDropFrame(system.get())) return dropFrameTimeCodeOfSum(uint64_t{timeCode->asFrames(system)} + frames, system);
    return makeTimeCode(nonDropStep(storedOf(*timeCode), frames, baseOf(system.get())));
}

// In drop-frame the result stops at 00:00:00;00; otherwise it wraps to the
// previous day but borrows a single second, so removing more than frames +
// timebase leaves a negative frame field and an invalid timecode.
Ref<DVTimeCode> DVTimeCodeUtils::timeCodeByRemovingFrames(uint32_t frames, const Ref<DVTimeCode>& timeCode,
                                                          const Ref<DVSystem>& system) {
    if (!timeCode) return nullptr;
    if (frames == 0) return timeCode;
    if (countsDropFrame(system.get())) {
        const uint32_t total = timeCode->asFrames(system);
        if (frames > total) return DVTimeCode::zeroTimeCode();
        return dropFrameTimeCodeFromFrames(total - frames, system);
    }
    return makeTimeCode(nonDropStep(storedOf(*timeCode), -int64_t{frames}, baseOf(system.get())));
}

// A timebase that leaves nothing to divide by (0, or a multiple of 2^28 that
// wraps the frames per hour to 0) has no layout: the result is the undefined timecode.
Ref<DVTimeCode> DVTimeCodeUtils::nonDropFrameDurationFromFrames(uint32_t frames, const Ref<DVSystem>& system) {
    if (!system) return nullptr;
    return withTimebase(system->timebase(), [&](auto timebase) {
        Wide layout;
        if (!nonDropLayout(frames, timebase, &layout)) return DVTimeCode::undefinedTimeCode();
        return makeTimeCode(layout);
    });
}

Ref<DVTimeCode> DVTimeCodeUtils::nonDropFrameDuratiomFromStart(const Ref<DVTimeCode>& start,
                                                               const Ref<DVTimeCode>& end,
                                                               const Ref<DVSystem>& system) {
    if (!start || !end) return nullptr;
    if (!start->valid() || !end->valid()) return DVTimeCode::undefinedTimeCode();
    return nonDropFrameDurationFromFrames(end->asFrames(system) - start->asFrames(system) + 1u, system);
}

Ref<DVTimeCode> DVTimeCodeUtils::nonDropTimeCodeFromTimeCode(const Ref<DVTimeCode>& timeCode,
                                                             const Ref<DVSystem>& system) {
    if (!countsDropFrame(system.get()) || !timeCode) return timeCode;
    return nonDropFrameDurationFromFrames(timeCode->asFrames(system), system);
}

Ref<DVTimeCode> DVTimeCodeUtils::dropFrameTimeCodeFromTimeCode(const Ref<DVTimeCode>& timeCode,
                                                               const Ref<DVSystem>& system) {
    if (!countsDropFrame(system.get()) || !timeCode) return timeCode;
    const Stored given = storedOf(*timeCode);
    if (droppedLabels(given) <= 0) return timeCode;
    if (!isLabel(given)) {
        // What is not a label (an undefined timecode, an archive's numbers) takes the
        // same passes on the numbers it holds; after the first it is a label.
        Ref<DVTimeCode> current = timeCode;
        int32_t toAdd = droppedLabels(given);
        for (int passes = 0; toAdd > 0 && passes < kMaxDropFramePasses; ++passes) {
            current = _nonDropTimeCodeByAddingFrames(static_cast<uint32_t>(toAdd), current, system, &toAdd);
        }
        return current;
    }
    return makeTimeCode(
        withTimebase(system->timebase(), [&](auto timebase) { return dropFrameLabel(given, timebase); }));
}

// Past the day's 2589408 drop-frame frames the label wraps into the next day
// up to 2591999; from 2592000 on the plain layout reaches 24 hours and the
// result is that invalid layout (hours 255).
Ref<DVTimeCode> DVTimeCodeUtils::dropFrameTimeCodeFromFrames(uint32_t frames, const Ref<DVSystem>& system) {
    if (!system) return nullptr;
    return withTimebase(system->timebase(), [&](auto timebase) {
        using Timebase = decltype(timebase);
        if constexpr (isStandardTimebase<Timebase>()) {
            // Within the day's plain frames the plain layout is a label, so it need not be built.
            constexpr uint32_t tb = Timebase::value;
            if (system->ntsc() && frames < tb * 86400) {
                return makeTimeCode(dropFrameLabelInDay<tb>(frames, droppedBeforeMinuteOfDay(frames / (tb * 60))));
            }
        }
        Wide layout;
        if (!nonDropLayout(frames, timebase, &layout)) return DVTimeCode::undefinedTimeCode();
        const Stored plain = store(layout);
        if (!system->ntsc() || !isLabel(plain)) return makeTimeCode(layout);
        return makeTimeCode(dropFrameLabel(plain, timebase));
    });
}

Ref<DVTimeCode> DVTimeCodeUtils::previousTimeCodeFromTimeCode(const Ref<DVTimeCode>& timeCode,
                                                              const Ref<DVSystem>& system) {
    return previousTimeCodeFromTimeCode(timeCode.get(), system);
}

Ref<DVTimeCode> DVTimeCodeUtils::previousTimeCodeFromTimeCode(const DVTimeCode* timeCode,
                                                              const Ref<DVSystem>& system) {
    const int64_t base = baseOf(system.get());
    const Stored given = timeCode ? storedOf(*timeCode) : Stored{};
    if (countsDropFrame(system.get())) {
        // A label past ;02 is never a dropped one, so only the frame changes.
        if (given.f > 2) return DVTimeCode::timeCodeWithHours(given.h, given.m, given.s, given.f - 1);
        const int32_t total = timeCode ? static_cast<int32_t>(timeCode->asFrames(system) - 1u) : -1;
        if (total < 0) return makeTimeCode(Wide{23, 59, 59, base - 1});
        return dropFrameTimeCodeFromFrames(static_cast<uint32_t>(total), system);
    }
    return makeTimeCode(nonDropStep(given, -1, base));
}

Ref<DVTimeCode> DVTimeCodeUtils::_nonDropTimeCodeByAddingFrames(uint32_t frames, const Ref<DVTimeCode>& timeCode,
                                                                const Ref<DVSystem>& system,
                                                                int32_t* adjustmentFrames) {
    return reportedStep(timeCode, frames, system, adjustmentFrames);
}

Ref<DVTimeCode> DVTimeCodeUtils::_nonDropTimeCodeByRemovingFrames(uint32_t frames, const Ref<DVTimeCode>& timeCode,
                                                                  const Ref<DVSystem>& system,
                                                                  int32_t* adjustmentFrames) {
    return reportedStep(timeCode, -int64_t{frames}, system, adjustmentFrames);
}

}  // namespace ossel
