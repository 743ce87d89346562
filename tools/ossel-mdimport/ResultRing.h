#pragma once
// Results travel from a worker to its host through memory both processes map:
// a worker publishes a result with a copy and a store instead of a system call
// per file, and what it published survives its death for the host to read, so
// that the host still knows which file it died on.
//
// One writer (the worker), one reader (the host). The bytes form a stream of
// the protocol's frames; a frame half written when a worker dies is never
// published. When the host has nothing to read it asks for a wake-up, and the
// worker's next publication sends one byte on their channel.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ossel {

class ResultRing {
public:
    static constexpr size_t kCapacity = size_t(1) << 20;

    // Host side: new shared memory, to be handed to the worker by its descriptor.
    static std::unique_ptr<ResultRing> create(std::string* error);
    // Worker side: the memory the host created.
    static std::unique_ptr<ResultRing> attach(int fd);
    ~ResultRing();
    ResultRing(const ResultRing&) = delete;
    ResultRing& operator=(const ResultRing&) = delete;

    int fd() const { return fd_; }

    // Worker: appends bytes, waiting while the host has not made room; wakes the
    // host through `channel` when it asked.
    void publish(std::string_view bytes, int channel);

    // Host: appends what has been published to `out`. False when the worker wrote
    // positions that cannot be (it has run wild).
    bool take(std::string& out);
    // Host: asks for a wake-up at the next publication. False when something was
    // published meanwhile, so that the host must not wait.
    bool requestWakeUp();

private:
    struct Header {
        alignas(64) std::atomic<uint64_t> written;  // bytes published, ever
        alignas(64) std::atomic<uint64_t> read;     // bytes the host has taken, ever
        alignas(64) std::atomic<uint32_t> wakeRequested;
    };
    ResultRing(int fd, void* memory);
    void notify(int channel);

    int fd_;
    Header* header_;
    char* data_;
    uint64_t position_ = 0;  // the owner's own copy of its counter
};

}  // namespace ossel
