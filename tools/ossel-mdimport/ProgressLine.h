#pragma once
// A "files done, files per second" line on standard error for long runs, kept
// on one terminal line and cleared before any message. Silent when standard
// error is not a terminal, so logs and pipes see only the messages.

#include <chrono>
#include <cstddef>
#include <string>

namespace ossel {

class ProgressLine {
public:
    explicit ProgressLine(bool enabled);
    void fileDone();
    // Clears the progress line, writes the message on its own line.
    void message(const std::string& line);
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    void clear();

    bool enabled_;
    bool shown_ = false;
    size_t done_ = 0;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
};

}  // namespace ossel
