#include "ProgressLine.h"

#include <unistd.h>

#include <string_view>

#include "RecordOutput.h"
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
    const std::string line = format("\r%zu files, %.0f files/s", done_, done_ / elapsed);
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, line.data(), line.size());
    shown_ = true;
}

void ProgressLine::message(const std::string& line) {
    clear();
    writeErrorLine(line);
}

void ProgressLine::finish() { clear(); }

void ProgressLine::clear() {
    if (!shown_) return;
    constexpr std::string_view kClearLine = "\r\033[K";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, kClearLine.data(), kClearLine.size());
    shown_ = false;
}

}  // namespace ossel
