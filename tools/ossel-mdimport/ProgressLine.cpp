#include "ProgressLine.h"

#include <cstdio>

#include "foundation/Format.h"

namespace ossel {

namespace {

// Short runs finish before a progress line would help; redraws are rate-limited.
constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

}  // namespace

ProgressLine::ProgressLine(bool enabled) : enabled_(enabled), start_(Clock::now()), lastDrawn_(start_) {}

void ProgressLine::fileDone() {
    ++done_;
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - start_ < kQuietStart || now - lastDrawn_ < kRedrawInterval) return;
    lastDrawn_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    std::fputs(format("\r%zu files, %.0f files/s", done_, done_ / elapsed).c_str(), stderr);
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::message(const std::string& line) {
    clear();
    std::fputs((line + "\n").c_str(), stderr);
}

void ProgressLine::finish() { clear(); }

void ProgressLine::clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    shown_ = false;
}

}  // namespace ossel
