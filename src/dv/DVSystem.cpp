#include "dv/DVSystem.h"

#include "base/TLEquals.h"
#include "dv/DVTimeCodeUtils.h"
#include "foundation/Archiver.h"
#include "foundation/Format.h"

namespace ossel {
namespace {

int aspectRatioEntry(int32_t code) {
    return code >= -1 && code <= 3 ? code + 1 : 0;
}

// Code 0 asks for 16/9 whatever the system says; every other code means "as the system is".
double ratioForCode(const DVSystem& system, int32_t code) {
    return code == 0 ? ASPECT_RATIO_16_9 : system.aspectRatio();
}

Ref<DVSystem> makeShared625_50() {
    return DVSystem::make(str(std::string(PAL)), str(std::string(DVSystem625_50Name)), ROW_COUNT_625_50,
                          COLUMN_COUNT_625_50, FRAME_SIZE_625_50, DIF_SEQ_COUNT_625_50, DIF_BLOCK_COUNT_625_50,
                          AVERAGE_FPS_625_50, ASPECT_RATIO_625_50, TIMEBASE_625_50, false);
}

Ref<DVSystem> makeShared525_60() {
    return DVSystem::make(str(std::string(NTSC)), str(std::string(DVSystem525_60Name)), ROW_COUNT_525_60,
                          COLUMN_COUNT_525_60, FRAME_SIZE_525_60, DIF_SEQ_COUNT_525_60, DIF_BLOCK_COUNT_525_60,
                          AVERAGE_FPS_525_60, ASPECT_RATIO_525_60, TIMEBASE_525_60, true);
}

bool isSharedLongName(const Ref<String>& longName) {
    return longName && (longName->view() == DVSystem525_60Name || longName->view() == DVSystem625_50Name);
}

const bool registered = (registerArchivableClass("DVSystem", 0,
                                                 [](Decoder& decoder) -> Ref<Object> {
                                                     return DVSystem::initWithCoder(decoder);
                                                 }),
                         true);

}  // namespace

std::string_view DVAspectRatioNameForRatio(int32_t code) {
    return DVAspectRatioName[aspectRatioEntry(code)];
}

float DVAspectRatioValueForRatio(int32_t code) {
    return DVAspectRatioValues[aspectRatioEntry(code)];
}

DVSystem::DVSystem(Ref<String> name, Ref<String> longName, uint32_t rows, uint32_t columns, uint32_t frameSize,
                   uint32_t difSequenceCount, uint32_t difBlockCount, double averageFps, double aspectRatio,
                   uint32_t timebase, bool ntsc)
    : rows_(rows),
      columns_(columns),
      frameSize_(frameSize),
      difSequenceCount_(difSequenceCount),
      difBlockCount_(difBlockCount),
      averageFps_(averageFps),
      aspectRatio_(aspectRatio),
      timebase_(timebase),
      ntsc_(ntsc) {
    setName(std::move(name));
    setLongName(std::move(longName));
}

Ref<DVSystem> DVSystem::make(Ref<String> name, Ref<String> longName, uint32_t rows, uint32_t columns,
                             uint32_t frameSize, uint32_t difSequenceCount, uint32_t difBlockCount,
                             double averageFps, double aspectRatio, uint32_t timebase, bool ntsc) {
    return std::make_shared<DVSystem>(std::move(name), std::move(longName), rows, columns, frameSize,
                                      difSequenceCount, difBlockCount, averageFps, aspectRatio, timebase, ntsc);
}

const Ref<DVSystem>& DVSystem::system625_50() {
    static const Ref<DVSystem> shared = makeShared625_50();
    return shared;
}

const Ref<DVSystem>& DVSystem::system525_60() {
    static const Ref<DVSystem> shared = makeShared525_60();
    return shared;
}

Ref<DVSystem> DVSystem::systemForTimecode(const SMPTETime& time) {
    switch (time.type) {
        case kSMPTETimeType25: return system625_50();
        case kSMPTETimeType30Drop:
        case kSMPTETimeType30:
        case kSMPTETimeType2997:
        case kSMPTETimeType2997Drop: return system525_60();
        default: return nullptr;
    }
}

double DVSystem::defaultAverageFps() { return TIMECODE_MATHS_DEFAULT_FPS; }

void DVSystem::setName(Ref<String> name) {
    if (name == name_) return;
    name_ = std::move(name);
}

void DVSystem::setLongName(Ref<String> longName) {
    if (longName == longName_) return;
    longName_ = std::move(longName);
}

bool DVSystem::isSharedSystem() const {
    return this == system625_50().get() || this == system525_60().get();
}

double DVSystem::widthToHeightRatio() const {
    return static_cast<double>(rows_) / static_cast<double>(columns_);
}

DVSize DVSystem::aspectRatioSize(int32_t aspectRatioCode) const {
    const float height = static_cast<float>(rows_);
    const double width = static_cast<double>(height) * ratioForCode(*this, aspectRatioCode);
    return {static_cast<float>(width), height};
}

float DVSystem::heightWithRatioForWidth(float width, int32_t aspectRatioCode) const {
    return static_cast<float>(static_cast<double>(width) / ratioForCode(*this, aspectRatioCode));
}

float DVSystem::widthWithRatioForHeight(float height, int32_t /*aspectRatioCode*/) const {
    return static_cast<float>(static_cast<double>(height) * aspectRatio_);
}

uint64_t DVSystem::offsetOfFrameNum(uint32_t frameNumber) const {
    return static_cast<uint64_t>(frameSize_) * frameNumber;
}

// The two rates are left out on purpose: a system read back from text carries
// rounded rates and must still be the same system.
bool DVSystem::isEqual(const Object* other) const {
    if (!other) return false;
    if (other == this) return true;
    const auto* o = dynamic_cast<const DVSystem*>(other);
    if (!o) return false;
    if (!TLEquals::isObjectEqualTo(longName_.get(), o->longName_.get())) return false;
    if (!TLEquals::isObjectEqualTo(name_.get(), o->name_.get())) return false;
    return frameSize_ == o->frameSize_ && difSequenceCount_ == o->difSequenceCount_ &&
           difBlockCount_ == o->difBlockCount_ && rows_ == o->rows_ && columns_ == o->columns_ &&
           timebase_ == o->timebase_ && ntsc_ == o->ntsc_;
}

uint32_t DVSystem::hash() const { return longName_ ? longName_->hash() : 0; }

std::string DVSystem::description() const {
    return format("%@(%@) - frameSize(bytes):%d - sequences:%d - timebase:%d %@", longName_, name_, frameSize_,
                  difSequenceCount_, timebase_, ntsc_ ? "DP" : "NDP");
}

Ref<Object> DVSystem::copy() const {
    if (isSharedSystem()) return self();
    return make(name_, longName_, rows_, columns_, frameSize_, difSequenceCount_, difBlockCount_, averageFps_,
                aspectRatio_, timebase_, ntsc_);
}

// A system that carries a shared system's long name is written by that name
// alone, like the shared system itself: a reader stops after a shared long name
// and answers the shared instance, so the fields would be written for no
// reader. Such a system therefore reads back as the shared one, and what is
// written always says exactly what will be read.
void DVSystem::encodeWithCoder(Coder& coder) const {
    coder.encodeObject(longName_);
    if (isSharedSystem() || isSharedLongName(longName_)) return;
    coder.encodeObject(name_);
    coder.encodeUInt32(rows_);
    coder.encodeUInt32(columns_);
    coder.encodeUInt32(frameSize_);
    coder.encodeUInt32(difSequenceCount_);
    coder.encodeUInt32(difBlockCount_);
    coder.encodeDouble(averageFps_);
    coder.encodeDouble(aspectRatio_);
    coder.encodeUInt32(timebase_);
    coder.encodeBool(ntsc_);
}

Ref<DVSystem> DVSystem::initWithCoder(Decoder& decoder) {
    Ref<String> longName = decoder.decodeObjectOfKind<String>();
    if (decoder.failed()) return nullptr;
    if (longName && longName->view() == DVSystem525_60Name) return system525_60();
    if (longName && longName->view() == DVSystem625_50Name) return system625_50();
    Ref<String> name = decoder.decodeObjectOfKind<String>();
    const uint32_t rows = decoder.decodeUInt32();
    const uint32_t columns = decoder.decodeUInt32();
    const uint32_t frameSize = decoder.decodeUInt32();
    const uint32_t difSequenceCount = decoder.decodeUInt32();
    const uint32_t difBlockCount = decoder.decodeUInt32();
    const double averageFps = decoder.decodeDouble();
    const double aspectRatio = decoder.decodeDouble();
    const uint32_t timebase = decoder.decodeUInt32();
    const bool ntsc = decoder.decodeBool();
    if (decoder.failed()) return nullptr;
    return make(std::move(name), std::move(longName), rows, columns, frameSize, difSequenceCount, difBlockCount,
                averageFps, aspectRatio, timebase, ntsc);
}

}  // namespace ossel
