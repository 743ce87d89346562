#pragma once
// A DV video system: picture geometry, the size and DIF layout of one
// compressed frame, the frame rates used for timecode counting and for time,
// the display aspect ratio, and whether timecodes count in drop-frame.
//
// The two standard systems are process-wide singletons; copying, archiving and
// the text form rely on their identity, so always reach them through
// system625_50() / system525_60().

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/Object.h"
#include "foundation/String.h"
#include "platform/SMPTETime.h"

namespace ossel {

class Decoder;

// DV stream layout: a DIF block is 80 bytes, a DIF sequence 150 blocks, a frame
// 10 sequences in 525/60 and 12 in 625/50.
inline constexpr int32_t DIF_SEQ_COUNT_525_60 = 10;
inline constexpr int32_t DIF_SEQ_COUNT_625_50 = 12;
inline constexpr int32_t DIF_SEQ_COUNT_MIN = 10;
inline constexpr int32_t DIF_SEQ_COUNT_MAX = 12;
inline constexpr int32_t BLOCKS_PER_SEQUENCE = 150;
inline constexpr int32_t DIF_BLOCK_COUNT_525_60 = DIF_SEQ_COUNT_525_60 * BLOCKS_PER_SEQUENCE;
inline constexpr int32_t DIF_BLOCK_COUNT_625_50 = DIF_SEQ_COUNT_625_50 * BLOCKS_PER_SEQUENCE;
inline constexpr int32_t BLOCKS_SIZE = 80;
inline constexpr int32_t SEQUENCE_SIZE = BLOCKS_PER_SEQUENCE * BLOCKS_SIZE;
inline constexpr int32_t ROW_COUNT_625_50 = 576;
inline constexpr int32_t COLUMN_COUNT_625_50 = 720;
inline constexpr int32_t ROW_COUNT_525_60 = 480;
inline constexpr int32_t COLUMN_COUNT_525_60 = 720;
inline constexpr int32_t FRAME_SIZE_525_60 = DIF_SEQ_COUNT_525_60 * SEQUENCE_SIZE;
inline constexpr int32_t FRAME_SIZE_625_50 = DIF_SEQ_COUNT_625_50 * SEQUENCE_SIZE;
inline constexpr int32_t FRAME_SIZE_525_60_50MBS = 2 * FRAME_SIZE_525_60;
inline constexpr int32_t FRAME_SIZE_625_50_50MBS = 2 * FRAME_SIZE_625_50;
inline constexpr int32_t TIMEBASE_525_60 = 30;
inline constexpr int32_t TIMEBASE_625_50 = 25;
// The decimal 29.97 on purpose, not 30000/1001: stored averages and times depend on it.
inline constexpr double AVERAGE_FPS_525_60 = 29.97;
inline constexpr double AVERAGE_FPS_625_50 = 25.0;
inline constexpr double ASPECT_RATIO_4_3 = 4.0 / 3.0;
inline constexpr double ASPECT_RATIO_16_9 = 16.0 / 9.0;
inline constexpr double ASPECT_RATIO_525_60 = ASPECT_RATIO_4_3;
inline constexpr double ASPECT_RATIO_625_50 = ASPECT_RATIO_4_3;

inline constexpr std::string_view DVSystem625_50Name = "System 625/50";
inline constexpr std::string_view DVSystem525_60Name = "System 525/60";
inline constexpr std::string_view PAL = "PAL";
inline constexpr std::string_view NTSC = "NTSC";
inline constexpr std::string_view NOT_DECODED = "Not decoded";

// Aspect-ratio codes: code k uses entry k + 1; entry 0 serves -1 and every code
// outside -1 ... 3.
inline constexpr int DVAspectRatioCount = 5;
inline constexpr std::string_view DVAspectRatioName[DVAspectRatioCount] = {"???", "16/9", "4/3", "Not Set", "Fixed"};
inline constexpr float DVAspectRatioValues[DVAspectRatioCount] = {
    1.0f, static_cast<float>(ASPECT_RATIO_16_9), static_cast<float>(ASPECT_RATIO_4_3), 1.0f, -1.0f};

std::string_view DVAspectRatioNameForRatio(int32_t code);
float DVAspectRatioValueForRatio(int32_t code);

// A display size in single precision, as picture views take it.
struct DVSize {
    float width = 0;
    float height = 0;
};

class DVSystem : public Object {
public:
    DVSystem(Ref<String> name, Ref<String> longName, uint32_t rows, uint32_t columns, uint32_t frameSize,
             uint32_t difSequenceCount, uint32_t difBlockCount, double averageFps, double aspectRatio,
             uint32_t timebase, bool ntsc);
    static Ref<DVSystem> make(Ref<String> name, Ref<String> longName, uint32_t rows, uint32_t columns,
                              uint32_t frameSize, uint32_t difSequenceCount, uint32_t difBlockCount,
                              double averageFps, double aspectRatio, uint32_t timebase, bool ntsc);

    // The shared standard systems, created on first request and kept for the process.
    static const Ref<DVSystem>& system625_50();
    static const Ref<DVSystem>& system525_60();
    // The shared system for the record's frame-rate kind; null for 24 fps and unknown kinds.
    static Ref<DVSystem> systemForTimecode(const SMPTETime& time);
    static double defaultAverageFps();

    const Ref<String>& name() const { return name_; }
    const Ref<String>& longName() const { return longName_; }
    uint32_t rows() const { return rows_; }
    uint32_t columns() const { return columns_; }
    uint32_t frameSize() const { return frameSize_; }
    uint32_t difSequenceCount() const { return difSequenceCount_; }
    uint32_t difBlockCount() const { return difBlockCount_; }
    double averageFps() const { return averageFps_; }
    double aspectRatio() const { return aspectRatio_; }
    uint32_t timebase() const { return timebase_; }
    bool ntsc() const { return ntsc_; }

    void setName(Ref<String> name);
    void setLongName(Ref<String> longName);

    // True for the very shared instances, not for systems equal to them.
    bool isSharedSystem() const;

    double widthToHeightRatio() const;
    DVSize aspectRatioSize(int32_t aspectRatioCode) const;
    float heightWithRatioForWidth(float width, int32_t aspectRatioCode) const;
    // Unlike its two companions this one never substitutes 16/9 for code 0.
    float widthWithRatioForHeight(float height, int32_t aspectRatioCode) const;
    uint64_t offsetOfFrameNum(uint32_t frameNumber) const;

    std::string className() const override { return "DVSystem"; }
    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    std::string description() const override;
    Ref<Object> copy() const override;
    void encodeWithCoder(Coder& coder) const override;
    // Reads what encodeWithCoder wrote; a shared system's long name gives that shared system.
    static Ref<DVSystem> initWithCoder(Decoder& decoder);

private:
    Ref<String> name_;
    Ref<String> longName_;
    uint32_t rows_;
    uint32_t columns_;
    uint32_t frameSize_;
    uint32_t difSequenceCount_;
    uint32_t difBlockCount_;
    double averageFps_;
    double aspectRatio_;
    uint32_t timebase_;
    bool ntsc_;
};

// The exported shared systems, as accessors so that each exists once per process.
inline const Ref<DVSystem>& DVSystem625_50() { return DVSystem::system625_50(); }
inline const Ref<DVSystem>& DVSystem525_60() { return DVSystem::system525_60(); }

}  // namespace ossel
