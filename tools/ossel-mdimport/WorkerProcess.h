#pragma once
// The host's handle on one worker process: starting it, its channel (commands
// out, wake-ups and the end of the process in), the shared memory its results
// come through, and how it ended. Commands go out without ever blocking the
// host, since a worker that hangs in an import stops reading them.

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "ResultRing.h"
#include "WorkerProtocol.h"

namespace ossel {

class WorkerProcess {
public:
    // Starts this program again in worker mode; null with *error when the system gives no process.
    static std::unique_ptr<WorkerProcess> start(const WorkerSettings& settings, std::string* error);
    ~WorkerProcess();  // a worker still running is killed
    WorkerProcess(const WorkerProcess&) = delete;
    WorkerProcess& operator=(const WorkerProcess&) = delete;

    int channelFd() const { return channel_; }

    // Commands wait in the outbox until the worker's channel takes them.
    std::string& outbox() { return outbox_; }
    bool hasUnsentCommands() const { return !outbox_.empty(); }
    void sendCommands();

    enum class Received { open, closed, broken };
    // Appends what has been published to the inbox; `closed` once the worker's end
    // of the channel has, `broken` when its results cannot be read. The channel is
    // read only when it has something (poll said so).
    Received receive(bool channelReadable);
    std::string& inbox() { return inbox_; }
    // Asks to be woken (the channel becomes readable) at the worker's next result;
    // false when a result is already waiting.
    bool requestWakeUp() { return results_->requestWakeUp(); }

    // Tells the worker there is no more work: it finishes what it has and ends.
    void finish();
    void kill();
    // Waits for the process to end, killing it if it lingers longer than `grace`, and
    // gives its wait status.
    int wait(std::chrono::milliseconds grace = kLingering);
    // How long a worker that closed its channel may take to end.
    static constexpr std::chrono::milliseconds kLingering{200};

private:
    WorkerProcess(pid_t pid, int channel, std::unique_ptr<ResultRing> results)
        : pid_(pid), channel_(channel), results_(std::move(results)) {}

    pid_t pid_;
    int channel_;
    std::unique_ptr<ResultRing> results_;
    bool reaped_ = false;
    int status_ = 0;
    std::string outbox_;
    std::string inbox_;
};

}  // namespace ossel
