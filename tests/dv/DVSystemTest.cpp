#include "dv/DVSystem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "foundation/Archiver.h"
#include "foundation/String.h"

namespace ossel {
namespace {

Ref<DVSystem> copyOf525WithRates(double averageFps, double aspectRatio) {
    return DVSystem::make(str("NTSC"), str("System 525/60"), 480, 720, 120000, 10, 1500, averageFps, aspectRatio, 30,
                          true);
}

Ref<DVSystem> customSystem() {
    return DVSystem::make(str("HD"), str("Custom 1080"), 1080, 1920, 576000, 10, 1500, 25.0, 16.0 / 9.0, 25, false);
}

Ref<Object> roundTrip(const Object* value) {
    const std::vector<uint8_t> bytes = Coder::archivedDataWithRootObject(value);
    std::string error;
    Ref<Object> back = Decoder::unarchiveObjectWithData(bytes, &error);
    EXPECT_TRUE(error.empty()) << error;
    return back;
}

TEST(DVSystem, SharedSystemsCarryTheStandardFields) {
    const auto& pal = DVSystem::system625_50();
    const auto& ntsc = DVSystem::system525_60();
    ASSERT_TRUE(pal && ntsc);
    EXPECT_EQ(pal.get(), DVSystem625_50().get());
    EXPECT_EQ(ntsc.get(), DVSystem525_60().get());
    EXPECT_EQ(pal->name()->utf8(), "PAL");
    EXPECT_EQ(pal->longName()->utf8(), "System 625/50");
    EXPECT_EQ(ntsc->name()->utf8(), "NTSC");
    EXPECT_EQ(ntsc->longName()->utf8(), "System 525/60");
    EXPECT_EQ(ntsc->averageFps(), 29.97);
    EXPECT_EQ(pal->difBlockCount(), 1800u);
    EXPECT_EQ(DVSystem::defaultAverageFps(), 30.0);
    EXPECT_EQ(pal->description(), "System 625/50(PAL) - frameSize(bytes):144000 - sequences:12 - timebase:25 NDP");
    EXPECT_EQ(ntsc->description(), "System 525/60(NTSC) - frameSize(bytes):120000 - sequences:10 - timebase:30 DP");
}

TEST(DVSystem, SystemForTimecodeFollowsTheRecordType) {
    SMPTETime time;
    time.hours = 5;  // only the type is read
    const std::vector<std::pair<uint32_t, const DVSystem*>> cases = {
        {0, nullptr},
        {1, DVSystem::system625_50().get()},
        {2, DVSystem::system525_60().get()},
        {3, DVSystem::system525_60().get()},
        {4, DVSystem::system525_60().get()},
        {5, DVSystem::system525_60().get()},
        {6, nullptr},
        {0xFFFFFFFFu, nullptr},
    };
    for (const auto& [type, expected] : cases) {
        time.type = type;
        EXPECT_EQ(DVSystem::systemForTimecode(time).get(), expected) << "type " << type;
    }
}

TEST(DVSystem, AspectRatioTablesCoverEveryCode) {
    EXPECT_EQ(DVAspectRatioNameForRatio(0), "16/9");
    EXPECT_EQ(DVAspectRatioNameForRatio(1), "4/3");
    EXPECT_EQ(DVAspectRatioNameForRatio(2), "Not Set");
    EXPECT_EQ(DVAspectRatioNameForRatio(3), "Fixed");
    EXPECT_EQ(DVAspectRatioValueForRatio(0), 1.7777778f);
    EXPECT_EQ(DVAspectRatioValueForRatio(1), 1.3333334f);
    EXPECT_EQ(DVAspectRatioValueForRatio(2), 1.0f);
    EXPECT_EQ(DVAspectRatioValueForRatio(3), -1.0f);
    for (int32_t code : {-1, -2, 4, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(DVAspectRatioNameForRatio(code), "???") << code;
        EXPECT_EQ(DVAspectRatioValueForRatio(code), 1.0f) << code;
    }
}

TEST(DVSystem, SizesAreSinglePrecision) {
    const auto& pal = DVSystem::system625_50();
    const auto& ntsc = DVSystem::system525_60();
    EXPECT_EQ(pal->aspectRatioSize(0).width, 1024.0f);
    EXPECT_EQ(pal->aspectRatioSize(0).height, 576.0f);
    EXPECT_EQ(pal->aspectRatioSize(1).width, 768.0f);
    EXPECT_EQ(pal->aspectRatioSize(-7).width, 768.0f);
    EXPECT_EQ(ntsc->aspectRatioSize(0).width, static_cast<float>(480.0 * 16.0 / 9.0));
    EXPECT_EQ(ntsc->aspectRatioSize(0).width, 853.3333f);
    EXPECT_EQ(ntsc->aspectRatioSize(3).width, 640.0f);
    EXPECT_EQ(ntsc->aspectRatioSize(3).height, 480.0f);
    for (const auto* system : {pal.get(), ntsc.get()}) {
        EXPECT_EQ(system->heightWithRatioForWidth(720.0f, 0), 405.0f);
        EXPECT_EQ(system->heightWithRatioForWidth(720.0f, 2), 540.0f);
    }
    // The width never substitutes 16/9, whatever the code.
    EXPECT_EQ(ntsc->widthWithRatioForHeight(480.0f, 0), 640.0f);
    EXPECT_EQ(ntsc->widthWithRatioForHeight(480.0f, 1), 640.0f);
    const auto flat = DVSystem::make(str("X"), str("Flat"), 10, 0, 1, 1, 1, 25.0, 0.0, 25, false);
    EXPECT_EQ(flat->widthWithRatioForHeight(480.0f, 0), 0.0f);
    EXPECT_TRUE(std::isinf(flat->widthToHeightRatio()));
    EXPECT_DOUBLE_EQ(pal->widthToHeightRatio(), 0.8);
    EXPECT_DOUBLE_EQ(ntsc->widthToHeightRatio(), 480.0 / 720.0);
}

TEST(DVSystem, FrameOffsetsUseSixtyFourBits) {
    EXPECT_EQ(DVSystem::system625_50()->offsetOfFrameNum(10), 1440000u);
    EXPECT_EQ(DVSystem::system625_50()->offsetOfFrameNum(4294967295u), 618475290480000u);
}

TEST(DVSystem, EqualityIgnoresTheRatesButNotTheNames) {
    const auto& ntsc = DVSystem::system525_60();
    const auto sameButFaster = copyOf525WithRates(30.0, 16.0 / 9.0);
    EXPECT_TRUE(sameButFaster->isEqual(ntsc.get()));
    EXPECT_TRUE(ntsc->isEqual(sameButFaster.get()));
    EXPECT_EQ(sameButFaster->hash(), ntsc->hash());
    EXPECT_FALSE(ntsc->isEqual(DVSystem::system625_50().get()));
    EXPECT_FALSE(ntsc->isEqual(nullptr));
    EXPECT_FALSE(ntsc->isEqual(str("System 525/60").get()));

    const auto renamed = copyOf525WithRates(29.97, 4.0 / 3.0);
    renamed->setName(str("ntsc"));
    EXPECT_FALSE(renamed->isEqual(ntsc.get()));
    const auto noNames = DVSystem::make(nullptr, nullptr, 480, 720, 120000, 10, 1500, 29.97, 4.0 / 3.0, 30, true);
    const auto noNamesEither = DVSystem::make(nullptr, nullptr, 480, 720, 120000, 10, 1500, 1, 1, 30, true);
    EXPECT_TRUE(noNames->isEqual(noNamesEither.get()));
    EXPECT_FALSE(noNames->isEqual(ntsc.get()));
    EXPECT_EQ(noNames->hash(), 0u);
    EXPECT_EQ(noNames->description(), "(null)((null)) - frameSize(bytes):120000 - sequences:10 - timebase:30 DP");

    // Every numeric field but the rates takes part.
    const std::vector<Ref<DVSystem>> differing = {
        DVSystem::make(str("NTSC"), str("System 525/60"), 481, 720, 120000, 10, 1500, 29.97, 4.0 / 3.0, 30, true),
        DVSystem::make(str("NTSC"), str("System 525/60"), 480, 721, 120000, 10, 1500, 29.97, 4.0 / 3.0, 30, true),
        DVSystem::make(str("NTSC"), str("System 525/60"), 480, 720, 120001, 10, 1500, 29.97, 4.0 / 3.0, 30, true),
        DVSystem::make(str("NTSC"), str("System 525/60"), 480, 720, 120000, 11, 1500, 29.97, 4.0 / 3.0, 30, true),
        DVSystem::make(str("NTSC"), str("System 525/60"), 480, 720, 120000, 10, 1501, 29.97, 4.0 / 3.0, 30, true),
        DVSystem::make(str("NTSC"), str("System 525/60"), 480, 720, 120000, 10, 1500, 29.97, 4.0 / 3.0, 31, true),
        DVSystem::make(str("NTSC"), str("System 525/60"), 480, 720, 120000, 10, 1500, 29.97, 4.0 / 3.0, 30, false),
    };
    for (const auto& other : differing) EXPECT_FALSE(other->isEqual(ntsc.get())) << other->description();
}

TEST(DVSystem, CopiesOfSharedSystemsAreTheSharedSystems) {
    const auto& pal = DVSystem::system625_50();
    EXPECT_EQ(pal->copy().get(), pal.get());
    const auto equalToPal = DVSystem::make(pal->name(), pal->longName(), 576, 720, 144000, 12, 1800, 25, 4.0 / 3.0,
                                           25, false);
    const auto copy = kindCast<DVSystem>(equalToPal->copy());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), equalToPal.get());
    EXPECT_NE(copy.get(), pal.get());
    EXPECT_TRUE(copy->isEqual(equalToPal.get()));
    EXPECT_EQ(copy->name().get(), equalToPal->name().get());  // texts shared, not duplicated
    EXPECT_EQ(copy->averageFps(), 25.0);
}

TEST(DVSystem, ArchivesOfSharedSystemsReadBackAsTheSharedInstances) {
    for (const auto* shared : {DVSystem::system625_50().get(), DVSystem::system525_60().get()}) {
        EXPECT_EQ(roundTrip(shared).get(), shared);
    }
    // A system that only carries a shared long name is written by that name
    // and reads back as the shared system.
    const auto impostor = DVSystem::make(str("X"), str("System 525/60"), 1, 2, 3, 4, 5, 6, 7, 8, false);
    EXPECT_EQ(roundTrip(impostor.get()).get(), DVSystem::system525_60().get());
    EXPECT_EQ(Coder::archivedDataWithRootObject(impostor.get()),
              Coder::archivedDataWithRootObject(DVSystem::system525_60().get()));
}

// An object that archives under the name DVSystem with nothing but the long
// name: what the shared 525/60 system must write, built without asking for it.
class LongNameOnly : public Object {
public:
    std::string className() const override { return "DVSystem"; }
    void encodeWithCoder(Coder& coder) const override { coder.encodeObject(str("System 525/60")); }
};

TEST(DVSystem, ArchiveOfTheShared525SystemHoldsOnlyItsLongName) {
    const LongNameOnly expected;
    EXPECT_EQ(Coder::archivedDataWithRootObject(DVSystem::system525_60().get()),
              Coder::archivedDataWithRootObject(&expected));
}

TEST(DVSystemDeathTest, ArchiveReadInAFreshProcessYieldsTheSharedSystem) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child re-runs this test from the start: nothing has asked for a shared system there.
    const auto readInFreshProcess = [] {
        const LongNameOnly archived;
        const auto back = Decoder::unarchiveObjectWithData(Coder::archivedDataWithRootObject(&archived));
        const auto* system = dynamic_cast<const DVSystem*>(back.get());
        const bool ok = system && system == DVSystem::system525_60().get() && system->frameSize() == 120000 &&
                        back.get() ==
                            Decoder::unarchiveObjectWithData(Coder::archivedDataWithRootObject(&archived)).get();
        std::exit(ok ? 0 : 1);
    };
    EXPECT_EXIT(readInFreshProcess(), testing::ExitedWithCode(0), "");
}

TEST(DVSystem, ArchivesOfOtherSystemsKeepEveryField) {
    const auto custom = customSystem();
    const auto back = kindCast<DVSystem>(roundTrip(custom.get()));
    ASSERT_TRUE(back);
    EXPECT_NE(back.get(), custom.get());
    EXPECT_TRUE(back->isEqual(custom.get()));
    EXPECT_EQ(back->averageFps(), 25.0);
    EXPECT_EQ(back->aspectRatio(), 16.0 / 9.0);
    EXPECT_EQ(back->columns(), 1920u);
    const auto unnamed = DVSystem::make(nullptr, nullptr, 0xFFFFFFFFu, 0, 0, 0, 0, -1.5, 0, 0x80000000u, true);
    const auto unnamedBack = kindCast<DVSystem>(roundTrip(unnamed.get()));
    ASSERT_TRUE(unnamedBack);
    EXPECT_FALSE(unnamedBack->longName());
    EXPECT_EQ(unnamedBack->rows(), 0xFFFFFFFFu);
    EXPECT_EQ(unnamedBack->timebase(), 0x80000000u);
    EXPECT_EQ(unnamedBack->averageFps(), -1.5);
}

TEST(DVSystem, TruncatedArchivesFailWithoutASystem) {
    const auto bytes = Coder::archivedDataWithRootObject(customSystem().get());
    for (size_t keep = 0; keep < bytes.size(); ++keep) {
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
        EXPECT_FALSE(Decoder::unarchiveObjectWithData(cut)) << keep;
    }
}

}  // namespace
}  // namespace ossel
