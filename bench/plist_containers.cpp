// A typed dictionary of 100,000 mixed model values (timecodes, clip ids,
// sequence ids, DV systems, capture date-times): putting them all and reading
// them all back, beside the same values written and read by their formatters
// alone in the same run. The run ends with the ratio and whether it meets its
// target of 1.5.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dv/DVFrameCaptureDateTime.h"
#include "dv/DVSystem.h"
#include "dv/DVTimeCode.h"
#include "dv/DVTimeCodeFormatter.h"
#include "dv/TLDVSystemFormatter.h"
#include "foundation/CalendarDate.h"
#include "foundation/DateFormatter.h"
#include "foundation/Dictionary.h"
#include "foundation/UserDefaults.h"
#include "ids/DVClipId.h"
#include "ids/TLDVClipIdFormatter.h"
#include "ids/TLDVClipSequenceId.h"
#include "ids/TLDVClipSequenceIdFormatter.h"
#include "plist/TLDVPListDictionary.h"

namespace {

using namespace ossel;

constexpr size_t kValueCount = 100000;
constexpr double kTarget = 1.5;

struct Sample {
    std::string key;
    Ref<Object> value;
};

// The same values for both benchmarks, in a shuffled mix of the five kinds.
const std::vector<Sample>& samples() {
    static const std::vector<Sample> list = [] {
        std::mt19937 random(20061403);
        std::uniform_int_distribution<int> hour(0, 23), sixty(0, 59), frame(0, 29), day(1, 28), month(1, 12);
        std::uniform_int_distribution<int> year(1995, 2030), index(0, 100000), kind(0, 4);
        const auto custom = DVSystem::make(str("HD"), str("Custom 1080"), 1080, 1920, 576000, 10, 1500, 25.0,
                                           16.0 / 9.0, 25, false);
        const Ref<DVSystem> systems[] = {DVSystem::system625_50(), DVSystem::system525_60(), custom};
        std::vector<Sample> out;
        out.reserve(kValueCount);
        for (size_t i = 0; i < kValueCount; ++i) {
            Ref<Object> value;
            switch (kind(random)) {
            case 0:
                value = DVTimeCode::timeCodeWithHours(hour(random), sixty(random), sixty(random), frame(random));
                break;
            case 1: {
                auto sequence = std::make_shared<TLDVClipSequenceId>("studio-mac.local", index(random),
                                                                     1199145600.25 + index(random));
                auto clip = std::make_shared<DVClipId>(sequence, index(random));
                value = (i % 4 == 0) ? clip->childClipIdWithDateUid(1199149200.5 + i, static_cast<int32_t>(i)) : clip;
                break;
            }
            case 2:
                value = std::make_shared<TLDVClipSequenceId>("edit-bay", index(random), 1199145600.5 + index(random));
                break;
            case 3:
                value = systems[i % 3];
                break;
            default:
                value = DVFrameCaptureDateTime::dateWithYear(year(random), month(random), day(random), hour(random),
                                                             sixty(random), sixty(random));
            }
            out.push_back({"value" + std::to_string(i), std::move(value)});
        }
        return out;
    }();
    return list;
}

void put(TLDVPListDictionary& dict, const Sample& sample) {
    const auto& v = sample.value;
    if (auto timeCode = kindCast<DVTimeCode>(v)) return dict.putTimeCode(timeCode, sample.key);
    if (auto clip = kindCast<DVClipId>(v)) return dict.putClipId(clip, sample.key);
    if (auto sequence = kindCast<TLDVClipSequenceId>(v)) return dict.putClipSequenceId(sequence, sample.key);
    if (auto system = kindCast<DVSystem>(v)) return dict.putDVSystem(system, sample.key);
    if (auto dateTime = kindCast<DVFrameCaptureDateTime>(v)) {
        dict.putString(dict.encodeDVFrameCaptureDateTime(dateTime.get()), sample.key);
    }
}

void setItems(benchmark::State& state) { state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kValueCount)); }

void PutAndReadBack_TypedDictionary(benchmark::State& state) {
    size_t read = 0;
    for (auto _ : state) {
        const auto dict = TLDVPListDictionary::make();
        for (const auto& sample : samples()) put(*dict, sample);
        for (const auto& sample : samples()) {
            Ref<Object> value = dict->valueForKey(sample.key);
            read += value != nullptr;
            benchmark::DoNotOptimize(value.get());
        }
    }
    if (read != state.iterations() * kValueCount) state.SkipWithError("a value did not read back");
    setItems(state);
}
BENCHMARK(PutAndReadBack_TypedDictionary)->Unit(benchmark::kMillisecond);

// The reference: each value written by its formatter and the text read back
// by the same formatter, formatters made once, no container, no typed strings.
// A date-time goes through its calendar date both ways, as it must to meet the formatter.
void WriteAndReadBack_FormattersAlone(benchmark::State& state) {
    const DVTimeCodeFormatter timeCodes;
    const TLDVClipIdFormatter clips;
    const TLDVClipSequenceIdFormatter sequences;
    const TLDVSystemFormatter systems;
    const DateFormatter dates("%Y-%m-%d %H:%M:%S %z", true);
    size_t read = 0;
    for (auto _ : state) {
        std::vector<std::string> texts;
        texts.reserve(kValueCount);
        std::vector<const Formatter*> used;
        used.reserve(kValueCount);
        for (const auto& sample : samples()) {
            const auto& v = sample.value;
            const Formatter* formatter = nullptr;
            std::optional<std::string> text;
            if (isKindOf<DVTimeCode>(v)) {
                formatter = &timeCodes;
                text = timeCodes.stringForObjectValue(v);
            } else if (isKindOf<DVClipId>(v)) {
                formatter = &clips;
                text = clips.stringForObjectValue(v);
            } else if (isKindOf<TLDVClipSequenceId>(v)) {
                formatter = &sequences;
                text = sequences.stringForObjectValue(v);
            } else if (isKindOf<DVSystem>(v)) {
                formatter = &systems;
                text = systems.stringForObjectValue(v);
            } else if (auto dateTime = kindCast<DVFrameCaptureDateTime>(v)) {
                formatter = &dates;
                text = dates.stringForObjectValue(dateTime->date().get());
            }
            texts.push_back(std::move(text).value_or(""));
            used.push_back(formatter);
        }
        for (size_t i = 0; i < kValueCount; ++i) {
            Ref<Object> value;
            used[i]->getObjectValue(&value, texts[i], nullptr);
            if (used[i] == &dates) {
                if (auto date = kindCast<Date>(value)) value = DVFrameCaptureDateTime::dateWithNSDate(date.get());
            }
            read += value != nullptr;
            benchmark::DoNotOptimize(value.get());
        }
    }
    if (read != state.iterations() * kValueCount) state.SkipWithError("a value did not read back");
    setItems(state);
}
BENCHMARK(WriteAndReadBack_FormattersAlone)->Unit(benchmark::kMillisecond);

// Not a target, an explanation: the same keys with their typed strings, made
// beforehand, put into and read from a bare foundation dictionary. This is the
// part of the typed dictionary's time that no codec work can remove.
void PutAndReadBack_BareDictionary(benchmark::State& state) {
    static const std::vector<Ref<Object>> typed = [] {
        const auto codec = TLDVPListDictionary::make();
        for (const auto& sample : samples()) put(*codec, sample);
        std::vector<Ref<Object>> out;
        for (const auto& sample : samples()) out.push_back(codec->containerData()->objectForKey(sample.key));
        return out;
    }();
    size_t read = 0;
    for (auto _ : state) {
        const auto dict = Dictionary::make();
        for (size_t i = 0; i < kValueCount; ++i) dict->setObject(typed[i], samples()[i].key);
        for (const auto& sample : samples()) {
            Ref<Object> value = dict->objectForKey(sample.key);
            read += value != nullptr;
            benchmark::DoNotOptimize(value.get());
        }
    }
    if (read != state.iterations() * kValueCount) state.SkipWithError("a value did not read back");
    setItems(state);
}
BENCHMARK(PutAndReadBack_BareDictionary)->Unit(benchmark::kMillisecond);

// Keeps every run's time per item so that the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            nanosPerItem[run.benchmark_name()] =
                run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit) / kValueCount;
        }
    }

    // Prints the ratio; false when it misses its target or could not be measured.
    double nanos(const std::string& name) const {
        const auto it = nanosPerItem.find(name);
        return it == nanosPerItem.end() ? 0 : it->second;
    }

    bool ratio(const char* what, const std::string& ours, const std::string& reference, double atMost) const {
        const auto a = nanosPerItem.find(ours), b = nanosPerItem.find(reference);
        if (a == nanosPerItem.end() || b == nanosPerItem.end() || b->second <= 0) {
            std::printf("%-50s not measured (%s or %s missing)\n", what, ours.c_str(), reference.c_str());
            return false;
        }
        const double r = a->second / b->second;
        const bool ok = r <= atMost;
        std::printf("%-50s %7.1f ns / %7.1f ns = %5.3f (target <= %.3f) %s\n", what, a->second, b->second, r, atMost,
                    ok ? "ok" : "MISSED");
        return ok;
    }

    std::map<std::string, double> nanosPerItem;
};

// Sequence ids look up their counter in the user defaults: give them a store of
// their own so that the benchmark never touches the user's real file.
class ScratchDefaults {
public:
    ScratchDefaults()
        : dir_(std::filesystem::temp_directory_path() / ("ossel-bench-plist-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        ::setenv("OSSEL_DEFAULTS", (dir_ / "defaults.plist").c_str(), 1);
        UserDefaults::resetStandardUserDefaults();
    }
    ~ScratchDefaults() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

private:
    std::filesystem::path dir_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const ScratchDefaults defaults;
    samples();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatio (CPU time per value, typed dictionary / formatters alone):\n");
    const bool ok = reporter.ratio("put + read back vs formatters alone", "PutAndReadBack_TypedDictionary",
                                   "WriteAndReadBack_FormattersAlone", kTarget);
    const double bare = reporter.nanos("PutAndReadBack_BareDictionary");
    const double typed = reporter.nanos("PutAndReadBack_TypedDictionary");
    if (bare > 0 && typed > 0) {
        std::printf("%-50s %7.1f ns of the %7.1f ns (%.0f%%)\n", "of which a bare dictionary of the same entries", bare,
                    typed, 100 * bare / typed);
    }
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
