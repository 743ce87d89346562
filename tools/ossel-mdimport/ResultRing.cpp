#include "ResultRing.h"

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace ossel {

namespace {

constexpr size_t kHeaderSize = 4096;
constexpr size_t kMappingSize = kHeaderSize + ResultRing::kCapacity;
// How long a worker waits for room before it looks again; the host reads every millisecond.
constexpr auto kRoomPause = std::chrono::microseconds(200);

}  // namespace

ResultRing::ResultRing(int fd, void* memory)
    : fd_(fd), header_(static_cast<Header*>(memory)), data_(static_cast<char*>(memory) + kHeaderSize) {
    static_assert(sizeof(Header) <= kHeaderSize);
    static_assert(std::atomic<uint64_t>::is_always_lock_free, "shared between processes, so it must not need a lock");
}

std::unique_ptr<ResultRing> ResultRing::create(std::string* error) {
    const int fd = ::memfd_create("ossel-results", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, kMappingSize) != 0) {
        *error = std::string("cannot share memory with a worker: ") + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return nullptr;
    }
    void* memory = ::mmap(nullptr, kMappingSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        *error = std::string("cannot share memory with a worker: ") + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    // A new file reads as zeros: both counters start at 0, no wake-up asked.
    return std::unique_ptr<ResultRing>(new ResultRing(fd, memory));
}

std::unique_ptr<ResultRing> ResultRing::attach(int fd) {
    void* memory = ::mmap(nullptr, kMappingSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) return nullptr;
    return std::unique_ptr<ResultRing>(new ResultRing(fd, memory));
}

ResultRing::~ResultRing() {
    ::munmap(header_, kMappingSize);
    ::close(fd_);
}

void ResultRing::publish(std::string_view bytes, int channel) {
    while (!bytes.empty()) {
        uint64_t room = kCapacity - (position_ - header_->read.load(std::memory_order_acquire));
        while (room == 0) {
            notify(channel);
            std::this_thread::sleep_for(kRoomPause);
            room = kCapacity - (position_ - header_->read.load(std::memory_order_acquire));
        }
        // A message larger than the room goes in pieces; the host reads a stream.
        const size_t count = static_cast<size_t>(std::min<uint64_t>(room, bytes.size()));
        const size_t at = static_cast<size_t>(position_ % kCapacity);
        const size_t first = std::min(count, kCapacity - at);
        std::memcpy(data_ + at, bytes.data(), first);
        std::memcpy(data_, bytes.data() + first, count - first);
        position_ += count;
        // Sequentially consistent, like the host's request for a wake-up: neither may
        // miss the other's store.
        header_->written.store(position_, std::memory_order_seq_cst);
        bytes.remove_prefix(count);
    }
    notify(channel);
}

void ResultRing::notify(int channel) {
    if (header_->wakeRequested.load(std::memory_order_seq_cst) == 0) return;
    if (header_->wakeRequested.exchange(0, std::memory_order_seq_cst) == 0) return;
    const char wake = '!';
    // MSG_NOSIGNAL: a host that is gone is not this worker's problem to report.
    while (::send(channel, &wake, 1, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

bool ResultRing::take(std::string& out) {
    const uint64_t written = header_->written.load(std::memory_order_acquire);
    if (written < position_ || written - position_ > kCapacity) return false;
    const size_t count = static_cast<size_t>(written - position_);
    const size_t at = static_cast<size_t>(position_ % kCapacity);
    const size_t first = std::min(count, kCapacity - at);
    out.append(data_ + at, first);
    out.append(data_, count - first);
    position_ = written;
    header_->read.store(position_, std::memory_order_release);
    return true;
}

bool ResultRing::requestWakeUp() {
    header_->wakeRequested.store(1, std::memory_order_seq_cst);
    // Published just before the request: the worker may not have seen it.
    return header_->written.load(std::memory_order_seq_cst) == position_;
}

}  // namespace ossel
