#include "dv/DVTimeCodeUtils.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "dv/DVTestSupport.h"
#include "support/Cases.h"

namespace ossel {
namespace {

using U = DVTimeCodeUtils;
using dvtest::archived;
using dvtest::show;
using dvtest::tc;

// Shared systems are asked for inside the tests, never at start-up: the systems' death
// test needs a process that has made none yet.
const Ref<DVSystem> none;

Ref<DVSystem> systemNamed(const std::string& name) {
    if (name == "ntsc") return DVSystem::system525_60();
    if (name == "pal") return DVSystem::system625_50();
    if (name == "slow") return DVSystem::make(str("S"), str("Slow"), 1, 1, 1, 1, 1, 1, 1, 100000, true);
    if (name == "odd") return DVSystem::make(str("O"), str("Odd"), 1, 1, 1, 1, 1, 24.5, 1, 30, false);
    if (name == "zero") return DVSystem::make(str("Z"), str("Zero"), 1, 1, 1, 1, 1, 0, 1, 0, true);
    if (name == "seven") return DVSystem::make(str("O"), str("Odd"), 1, 1, 1, 1, 1, 7, 1, 7, true);
    return none;
}

Ref<DVTimeCode> timeCodeNamed(const std::string& text) {
    if (text == "null") return nullptr;
    if (text == "undefined") return DVTimeCode::undefinedTimeCode();
    int32_t h, m, s, f;
    const bool fromArchive = text.starts_with('@');
    if (std::sscanf(text.c_str() + fromArchive, "%d:%d:%d:%d", &h, &m, &s, &f) != 4) return nullptr;
    return fromArchive ? archived(true, h, m, s, f) : tc(h, m, s, f);
}

// The result of one line of the table, in the table's words.
std::string outcome(const testing::Case& c) {
    const auto system = systemNamed(c[1]);
    const std::string& op = c[0];
    if (op.starts_with("adjust")) {
        int32_t h, m, s, f;
        std::sscanf(c[2].c_str(), "%d:%d:%d:%d", &h, &m, &s, &f);
        if (op == "adjust-h") adjustHours(h);
        if (op == "adjust-m") adjustMinutes(h, m);
        if (op == "adjust-s") adjustSeconds(h, m, s);
        if (op.starts_with("adjust-f")) adjustFrames(h, m, s, f, op == "adjust-f" ? 30 : std::stoi(op.substr(8)));
        return std::to_string(h) + ":" + std::to_string(m) + ":" + std::to_string(s) + ":" + std::to_string(f);
    }
    if (op == "asFrames") return std::to_string(timeCodeNamed(c[2])->asFrames(system));
    if (op == "asNonDropFrames") return std::to_string(timeCodeNamed(c[2])->asNonDropFrames(system));
    if (op == "droppedFrames") return std::to_string(DVTimeCode::droppedFrames(timeCodeNamed(c[2]), system));
    if (op == "compare") return std::to_string(timeCodeNamed(c[2])->compare(timeCodeNamed(c[3])));
    if (op == "compareFrames") return std::to_string(timeCodeNamed(c[2])->compareFrames(timeCodeNamed(c[3]), system));
    if (op == "lessThan") return U::isTimeCodeLessThan(timeCodeNamed(c[2]), timeCodeNamed(c[3])) ? "true" : "false";
    if (op == "lessOrEqual") {
        return U::isTimeCodeLessOrEqualThan(timeCodeNamed(c[2]), timeCodeNamed(c[3])) ? "true" : "false";
    }
    const bool counted = op == "add" || op == "remove" || op.starts_with("plain") || op.ends_with("Frames") ||
                         op == "framesOfDropLabel";
    const uint32_t n = counted ? static_cast<uint32_t>(c.number(2)) : 0;
    const auto a = counted ? nullptr : timeCodeNamed(c[2]);
    const auto b = timeCodeNamed(c[3]);
    int32_t crossed = -1;
    Ref<DVTimeCode> r;
    if (op == "add") r = U::timeCodeByAddingFrames(n, b, system);
    if (op == "remove") r = U::timeCodeByRemovingFrames(n, b, system);
    if (op == "plainAdd") r = U::_nonDropTimeCodeByAddingFrames(n, b, system, &crossed);
    if (op == "plainRemove") r = U::_nonDropTimeCodeByRemovingFrames(n, b, system, &crossed);
    if (op == "addDuration") r = U::timeCodeByAddingDuration(a, b, system);
    if (op == "elapsed") r = U::elapsedTimeFromStart(a, b, system);
    if (op == "nonDropDuration") r = U::nonDropFrameDuratiomFromStart(a, b, system);
    if (op == "nonDrop") r = U::nonDropTimeCodeFromTimeCode(a, system);
    if (op == "dropFrame") r = U::dropFrameTimeCodeFromTimeCode(a, system);
    if (op == "previous") r = U::previousTimeCodeFromTimeCode(a, system);
    if (op == "nonDropFromFrames") r = U::nonDropFrameDurationFromFrames(n, system);
    if (op == "dropFromFrames") r = U::dropFrameTimeCodeFromFrames(n, system);
    if (op == "framesOfDropLabel") {
        r = U::dropFrameTimeCodeFromFrames(n, system);
        return r ? std::to_string(r->asFrames(system)) : "nothing";
    }
    if (r && r == (counted ? b : a)) return "same";
    if (r && r == b) return "second";
    if (c[4] == "invalid" && r) return r->valid() ? show(r) : "invalid";
    return show(r) + (crossed >= 0 && c[4].find(' ') != std::string::npos ? " " + std::to_string(crossed) : "");
}

TEST(TimeCodeUtils, ArithmeticTable) {
    for (const auto& c : testing::casesFrom("dv/timecode-arithmetic.txt", 5)) EXPECT_EQ(outcome(c), c[4]) << c.where;
    EXPECT_EQ(U::elapsedSince0(tc(1, 2, 3, 4)), 3723);
    EXPECT_EQ(U::elapsedSince0(nullptr), -1);
    EXPECT_EQ(show(tc(10, 0, 0, 0)->previousFrameTimeCodeWithSystem(DVSystem::system625_50())), "9:59:59:24");
}

// Whatever an archive gives a timecode, every operation ends with a timecode
// and no arithmetic overflows (the sanitizer build aborts on one).
TEST(TimeCodeUtils, ArchivedNumbersOfAnySizeStayHarmless) {
    const int32_t extremes[] = {INT32_MIN, -61, -1, 0, 59, 255, INT32_MAX};
    const auto odd = DVSystem::make(str("O"), str("Odd"), 1, 1, 1, 1, 1, 1e300, 1, 0x80000001u, true);
    size_t results = 0;
    for (int32_t a : extremes)
        for (int32_t b : extremes) {
            const auto t = archived(true, a, b, b, a);
            const auto u = archived(true, b, a, a, b);
            for (const auto& system : {DVSystem::system525_60(), DVSystem::system625_50(), none, odd}) {
                for (uint32_t n : {1u, 1799u, UINT32_MAX}) {
                    results += U::timeCodeByAddingFrames(n, t, system) != nullptr;
                    results += U::timeCodeByRemovingFrames(n, t, system) != nullptr;
                }
                results += U::timeCodeByAddingDuration(u, t, system) != nullptr;
                results += U::elapsedTimeFromStart(u, t, system) != nullptr;
                results += U::previousTimeCodeFromTimeCode(t, system) != nullptr;
                results += U::dropFrameTimeCodeFromTimeCode(t, system) != nullptr;
                results += U::nonDropTimeCodeFromTimeCode(t, system) != nullptr;
                results += U::_nonDropTimeCodeByRemovingFrames(7, t, system, nullptr) != nullptr;
                (void)U::nonDropFrameDuratiomFromStart(u, t, system);
                (void)t->asSeconds(system);
                (void)t->compareFrames(u, system);
            }
            (void)U::isTimeCodeLessOrEqualThan(t, u);
            (void)U::elapsedSince0(t);
        }
    EXPECT_EQ(results, std::size(extremes) * std::size(extremes) * 4 * 12);
}

}  // namespace
}  // namespace ossel
