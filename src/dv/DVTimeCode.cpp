#include "dv/DVTimeCode.h"

#include <cmath>
#include <new>

#include "dv/DVTimeCodeMath.h"
#include "dv/DVTimeCodeUtils.h"
#include "foundation/Archiver.h"
#include "foundation/Format.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace ossel {
namespace {

constexpr std::string_view kUndefinedColumnSeparated = "--:--:--:--";

// Without a system, counts are taken in double precision at the default rate
// and kept to what an unsigned 32-bit count can hold.
uint32_t framesAtDefaultRate(const DVTimeCode& t) {
    const double seconds = t.hours() * 3600.0 + t.minutes() * 60.0 + t.seconds();
    const double frames = std::trunc(seconds * TIMECODE_MATHS_DEFAULT_FPS + t.frames());
    if (!(frames > 0)) return 0;
    if (frames >= 4294967295.0) return UINT32_MAX;
    return static_cast<uint32_t>(frames);
}

uint32_t plainFrames(const DVTimeCode& t, const DVSystem& system) {
    return tcmath::secondsOfDay(t.hours(), t.minutes(), t.seconds()) * system.timebase() +
           static_cast<uint32_t>(t.frames());
}

int32_t sign(int32_t a, int32_t b) { return a < b ? -1 : 1; }

// Arithmetic hands out a new timecode for every frame it steps over, and the
// heap allocation costs more than the drop-frame computation itself (see
// bench/timecode.cpp). Timecodes therefore come from a per-thread list of
// recycled blocks, all of one size. Blocks on the list are poisoned for the
// address sanitizer, so that touching a freed timecode is still caught.
#if defined(__SANITIZE_ADDRESS__)
void poison(void* block, size_t size) { __asan_poison_memory_region(block, size); }
void unpoison(void* block, size_t size) { __asan_unpoison_memory_region(block, size); }
#else
void poison(void*, size_t) {}
void unpoison(void*, size_t) {}
#endif

constexpr size_t kBlockSize = 64;
constexpr uint32_t kMaxFreeBlocks = 1024;

struct FreeBlock {
    FreeBlock* next;
};

// Plain data, so that reaching it is a single access to static TLS
// (initial-exec: a few bytes, and the general look-up would cost a call per
// timecode). The blocks are returned to the heap when the thread ends, by a
// separate object that is set up with the first block kept.
struct FreeBlocks {
    FreeBlock* head;
    uint32_t count;
    bool drainSetUp;
    bool drained;
};
[[gnu::tls_model("initial-exec")]] constinit thread_local FreeBlocks freeBlocks{};

void* popBlock() {
    FreeBlock* block = freeBlocks.head;
    unpoison(block, kBlockSize);
    freeBlocks.head = block->next;
    --freeBlocks.count;
    return block;
}

void drainFreeBlocks() {
    freeBlocks.drained = true;
    while (freeBlocks.head) ::operator delete(popBlock(), kBlockSize);
}

void setUpDrain() {
    struct Drain {
        ~Drain() { drainFreeBlocks(); }
    };
    thread_local Drain drain;
    (void)drain;
    freeBlocks.drainSetUp = true;
}

void* takeBlock() { return freeBlocks.head ? popBlock() : ::operator new(kBlockSize); }

void giveBlock(void* block) {
    if (freeBlocks.drained || freeBlocks.count >= kMaxFreeBlocks) {
        ::operator delete(block, kBlockSize);
        return;
    }
    if (!freeBlocks.drainSetUp) setUpDrain();
    freeBlocks.head = ::new (block) FreeBlock{freeBlocks.head};
    ++freeBlocks.count;
    poison(block, kBlockSize);
}

template <class T>
struct BlockAllocator {
    using value_type = T;
    BlockAllocator() = default;
    template <class U>
    BlockAllocator(const BlockAllocator<U>&) {}

    T* allocate(size_t n) {
        static_assert(sizeof(T) <= kBlockSize, "a timecode and its counts no longer fit a block");
        if (n != 1) return static_cast<T*>(::operator new(n * sizeof(T)));
        return static_cast<T*>(takeBlock());
    }
    void deallocate(T* p, size_t n) {
        if (n != 1) {
            ::operator delete(p, n * sizeof(T));
            return;
        }
        giveBlock(p);
    }
    template <class U>
    bool operator==(const BlockAllocator<U>&) const {
        return true;
    }
};

template <class... A>
Ref<DVTimeCode> newTimeCode(A... components) {
    return std::allocate_shared<DVTimeCode>(BlockAllocator<DVTimeCode>{}, components...);
}

const bool registered = (registerArchivableClass("DVTimeCode", 0,
                                                 [](Decoder& decoder) -> Ref<Object> {
                                                     return DVTimeCode::initWithCoder(decoder);
                                                 }),
                         true);

}  // namespace

Ref<DVTimeCode> DVTimeCode::timeCodeWithHours(int32_t hours, int32_t minutes, int32_t seconds, int32_t frames) {
    return newTimeCode(hours, minutes, seconds, frames);
}

Ref<DVTimeCode> DVTimeCode::zeroTimeCode() { return newTimeCode(); }

Ref<DVTimeCode> DVTimeCode::undefinedTimeCode() {
    return timeCodeWithHours(TIMECODE_UNDEFINED_COMPONENT, TIMECODE_UNDEFINED_COMPONENT,
                             TIMECODE_UNDEFINED_COMPONENT, TIMECODE_UNDEFINED_COMPONENT);
}

Ref<DVTimeCode> DVTimeCode::timeCodeWithString(std::string_view /*text*/) { return zeroTimeCode(); }

// A label text is written per frame of an edit: each format is read once.
std::string DVTimeCode::description() const {
    static const ParsedFormat text("%02d:%02d:%02d.%02d");
    return valid_ ? text(hours_, minutes_, seconds_, frames_) : std::string(TIMECODE_UNDEFINED_STR);
}

std::string DVTimeCode::asSmpteString() const {
    static const ParsedFormat text("%02d:%02d:%02d;%02d");
    return valid_ ? text(hours_, minutes_, seconds_, frames_) : std::string(TIMECODE_UNDEFINED_STR);
}

std::string DVTimeCode::asColumnSeparatedString() const {
    static const ParsedFormat text("%02d:%02d:%02d:%02d");
    return valid_ ? text(hours_, minutes_, seconds_, frames_) : std::string(kUndefinedColumnSeparated);
}

int32_t DVTimeCode::droppedFrames(const DVTimeCode* timeCode, const DVSystem* system) {
    if (!system || !system->ntsc() || !timeCode) return 0;
    return tcmath::droppedLabels(timeCode->hours_, timeCode->minutes_);
}

uint32_t DVTimeCode::asFrames(const Ref<DVSystem>& system) const {
    if (!system) return framesAtDefaultRate(*this);
    const uint32_t frames = plainFrames(*this, *system);
    if (!system->ntsc()) return frames;
    return frames - static_cast<uint32_t>(tcmath::droppedLabels(hours_, minutes_));
}

uint32_t DVTimeCode::asNonDropFrames(const Ref<DVSystem>& system) const {
    return system ? plainFrames(*this, *system) : framesAtDefaultRate(*this);
}

double DVTimeCode::asSeconds(const Ref<DVSystem>& system) const {
    const double fps = system ? system->averageFps() : TIMECODE_MATHS_DEFAULT_FPS;
    return (hours_ * 3600.0 + minutes_ * 60.0 + seconds_) + frames_ / fps;
}

int32_t DVTimeCode::compare(const Ref<DVTimeCode>& other) const {
    if (!other) return 1;
    if (hours_ != other->hours_) return sign(hours_, other->hours_);
    if (minutes_ != other->minutes_) return sign(minutes_, other->minutes_);
    if (seconds_ != other->seconds_) return sign(seconds_, other->seconds_);
    if (frames_ != other->frames_) return sign(frames_, other->frames_);
    return 0;
}

int32_t DVTimeCode::compareFrames(const Ref<DVTimeCode>& other, const Ref<DVSystem>& /*system*/) const {
    const auto count = [](const DVTimeCode& t) {
        return int64_t{t.hours_} * 3600 * 30 + int64_t{t.minutes_} * 60 * 30 + int64_t{t.seconds_} * 30 + t.frames_;
    };
    const int64_t theirs = other ? count(*other) : 0;
    const int64_t distance = count(*this) - theirs;
    return static_cast<int32_t>(distance < 0 ? -distance : distance);
}

Ref<DVTimeCode> DVTimeCode::previousFrameTimeCodeWithSystem(const Ref<DVSystem>& system) const {
    return DVTimeCodeUtils::previousTimeCodeFromTimeCode(this, system);
}

bool DVTimeCode::isEqual(const Object* other) const {
    const auto* o = dynamic_cast<const DVTimeCode*>(other);
    return o && frames_ == o->frames_ && seconds_ == o->seconds_ && minutes_ == o->minutes_ && hours_ == o->hours_;
}

uint32_t DVTimeCode::hash() const {
    uint32_t h = static_cast<uint32_t>(hours_);
    h = h * 31u + static_cast<uint32_t>(minutes_);
    h = h * 31u + static_cast<uint32_t>(seconds_);
    return h * 31u + static_cast<uint32_t>(frames_);
}

Ref<Object> DVTimeCode::copy() const { return timeCodeWithHours(hours_, minutes_, seconds_, frames_); }

void DVTimeCode::encodeWithCoder(Coder& coder) const {
    coder.encodeBool(valid_);
    coder.encodeInt32(hours_);
    coder.encodeInt32(minutes_);
    coder.encodeInt32(seconds_);
    coder.encodeInt32(frames_);
}

Ref<DVTimeCode> DVTimeCode::initWithCoder(Decoder& decoder) {
    auto timeCode = newTimeCode();
    timeCode->valid_ = decoder.decodeBool();
    timeCode->hours_ = decoder.decodeInt32();
    timeCode->minutes_ = decoder.decodeInt32();
    timeCode->seconds_ = decoder.decodeInt32();
    timeCode->frames_ = decoder.decodeInt32();
    if (decoder.failed()) return nullptr;
    return timeCode;
}

}  // namespace ossel
