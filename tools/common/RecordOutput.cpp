#include "RecordOutput.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ossel {

namespace {

// Large enough that a fast run makes few calls, small enough that records
// reach a reader that follows the output without delay.
constexpr size_t kWriteSize = 64 * 1024;

}  // namespace

void RecordOutput::add(std::string_view record) {
    if (failed()) return;
    if (pending_.size() + record.size() > kWriteSize && !flush()) return;
    if (record.size() >= kWriteSize) {
        writeAll(record);
        return;
    }
    pending_.append(record);
}

bool RecordOutput::flush() {
    if (failed()) return false;
    if (pending_.empty()) return true;
    const bool written = writeAll(pending_);
    pending_.clear();
    return written;
}

bool RecordOutput::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n >= 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
            // A descriptor someone else made non-blocking: wait until it takes more.
            pollfd ready{fd_, POLLOUT, 0};
            ::poll(&ready, 1, -1);
            continue;
        }
        error_ = "cannot write to " + name_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void writeErrorLine(std::string line) {
    line += '\n';
    std::string_view rest = line;
    while (!rest.empty()) {
        const ssize_t n = ::write(STDERR_FILENO, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nowhere left to complain
        rest.remove_prefix(static_cast<size_t>(n));
    }
}

}  // namespace ossel
