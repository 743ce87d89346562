#include "dv/DVSystem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "foundation/Archiver.h"
#include "foundation/String.h"
#include "support/TestEnvironment.h"

namespace ossel {
namespace {

// The 525/60 fields with one field changed by index (0 ... 6), or none for -1.
Ref<DVSystem> ntscLike(int changed = -1, double averageFps = 29.97) {
    uint32_t f[] = {480, 720, 120000, 10, 1500, 30};
    if (changed >= 0 && changed < 6) ++f[changed];
    return DVSystem::make(str("NTSC"), str("System 525/60"), f[0], f[1], f[2], f[3], f[4], averageFps, 4.0 / 3.0, f[5],
                          changed != 6);
}

TEST(DVSystem, SharedSystemsAndTheRecordTypes) {
    const auto& pal = DVSystem::system625_50();
    const auto& ntsc = DVSystem::system525_60();
    EXPECT_EQ(pal.get(), DVSystem625_50().get());
    EXPECT_EQ(pal->description(), "System 625/50(PAL) - frameSize(bytes):144000 - sequences:12 - timebase:25 NDP");
    EXPECT_EQ(ntsc->description(), "System 525/60(NTSC) - frameSize(bytes):120000 - sequences:10 - timebase:30 DP");
    EXPECT_EQ(DVSystem::system625_50()->offsetOfFrameNum(4294967295u), 618475290480000u);  // 64-bit offsets
    SMPTETime time;
    for (const auto& [type, expected] : std::vector<std::pair<uint32_t, const DVSystem*>>{
             {0, nullptr}, {1, pal.get()}, {2, ntsc.get()}, {5, ntsc.get()}, {6, nullptr}, {0xFFFFFFFFu, nullptr}}) {
        time.type = type;
        EXPECT_EQ(DVSystem::systemForTimecode(time).get(), expected) << "type " << type;
    }
}

TEST(DVSystem, AspectRatiosInSinglePrecision) {
    const auto& pal = DVSystem::system625_50();
    const auto& ntsc = DVSystem::system525_60();
    for (int32_t code : {-1, 4, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(DVAspectRatioNameForRatio(code), "???") << code;
        EXPECT_EQ(DVAspectRatioValueForRatio(code), 1.0f) << code;
    }
    EXPECT_EQ(pal->aspectRatioSize(0).width, 1024.0f);
    EXPECT_EQ(pal->aspectRatioSize(0).height, 576.0f);
    EXPECT_EQ(pal->aspectRatioSize(-7).width, 768.0f);
    EXPECT_EQ(ntsc->aspectRatioSize(0).width, 853.3333f);
    EXPECT_EQ(ntsc->aspectRatioSize(3).width, 640.0f);
    EXPECT_EQ(ntsc->heightWithRatioForWidth(720.0f, 0), 405.0f);
    EXPECT_EQ(pal->heightWithRatioForWidth(720.0f, 2), 540.0f);
    EXPECT_EQ(ntsc->widthWithRatioForHeight(480.0f, 0), 640.0f);  // never substitutes 16/9
    const auto flat = DVSystem::make(str("X"), str("Flat"), 10, 0, 1, 1, 1, 25.0, 0.0, 25, false);
    EXPECT_EQ(flat->widthWithRatioForHeight(480.0f, 0), 0.0f);
}

TEST(DVSystem, EqualityIgnoresTheRatesButNotTheNamesNorOtherFields) {
    const auto& ntsc = DVSystem::system525_60();
    const auto faster = ntscLike(-1, 30.0);
    EXPECT_TRUE(faster->isEqual(ntsc.get()));
    EXPECT_EQ(faster->hash(), ntsc->hash());
    EXPECT_FALSE(ntsc->isEqual(str("System 525/60").get()));
    faster->setName(str("ntsc"));
    EXPECT_FALSE(faster->isEqual(ntsc.get()));
    for (int changed = 0; changed <= 6; ++changed) EXPECT_FALSE(ntscLike(changed)->isEqual(ntsc.get())) << changed;
    const auto noNames = DVSystem::make(nullptr, nullptr, 480, 720, 120000, 10, 1500, 29.97, 4.0 / 3.0, 30, true);
    EXPECT_FALSE(noNames->isEqual(ntsc.get()));
    EXPECT_EQ(noNames->description(), "(null)((null)) - frameSize(bytes):120000 - sequences:10 - timebase:30 DP");

    // A copy of the shared system is itself; a copy of an equal one is new.
    EXPECT_EQ(ntsc->copy().get(), ntsc.get());
    const auto copy = ntscLike()->copy();
    EXPECT_NE(copy.get(), ntsc.get());
    EXPECT_TRUE(copy->isEqual(ntsc.get()));
}

TEST(DVSystem, ArchivesNameTheSharedSystemsAndKeepEveryFieldOfOthers) {
    for (const auto* shared : {DVSystem::system625_50().get(), DVSystem::system525_60().get()}) {
        EXPECT_EQ(testing::archiveRoundTrip(*shared).get(), shared);
    }
    // A system that only carries a shared long name is written by that name.
    const auto impostor = DVSystem::make(str("X"), str("System 525/60"), 1, 2, 3, 4, 5, 6, 7, 8, false);
    EXPECT_EQ(testing::archiveRoundTrip(*impostor).get(), DVSystem::system525_60().get());

    const auto unnamed = DVSystem::make(nullptr, nullptr, 0xFFFFFFFFu, 0, 0, 0, 0, -1.5, 0.25, 0x80000000u, true);
    const auto custom =
        DVSystem::make(str("HD"), str("Custom 1080"), 1080, 1920, 576000, 10, 1500, 25.0, 16.0 / 9.0, 25, false);
    for (const auto& system : {custom, unnamed}) {
        const auto back = kindCast<DVSystem>(testing::archiveRoundTrip(*system));
        ASSERT_TRUE(back);
        EXPECT_TRUE(back->isEqual(system.get()));
        EXPECT_EQ(back->averageFps(), system->averageFps());
        EXPECT_EQ(back->aspectRatio(), system->aspectRatio());
    }
}

// An object that archives under the name DVSystem with nothing but the long
// name: what the shared 525/60 system must write, built without asking for it.
class LongNameOnly : public Object {
public:
    std::string className() const override { return "DVSystem"; }
    void encodeWithCoder(Coder& coder) const override { coder.encodeObject(str("System 525/60")); }
};

TEST(DVSystemDeathTest, ArchiveReadInAFreshProcessYieldsTheSharedSystem) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child re-runs this test from the start: nothing has asked for a shared system there.
    const auto readInFreshProcess = [] {
        const LongNameOnly archived;
        const auto bytes = Coder::archivedDataWithRootObject(&archived);
        const auto back = Decoder::unarchiveObjectWithData(bytes);
        const bool ok = back.get() == DVSystem::system525_60().get() &&
                        back.get() == Decoder::unarchiveObjectWithData(bytes).get() &&
                        bytes == Coder::archivedDataWithRootObject(DVSystem::system525_60().get());
        std::exit(ok ? 0 : 1);
    };
    EXPECT_EXIT(readInFreshProcess(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace ossel
