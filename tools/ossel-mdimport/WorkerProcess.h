#pragma once
// The host's handle on one worker process: starting it, its two channels, and
// how it ended. Commands go out without ever blocking the host, since a worker
// that hangs in an import stops reading them; results are read as they come.

#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>

#include "WorkerProtocol.h"

namespace ossel {

class WorkerProcess {
public:
    // Starts `program` in worker mode; null with *error when the system gives no process.
    static std::unique_ptr<WorkerProcess> start(const std::string& program, const WorkerSettings& settings,
                                                std::string* error);
    ~WorkerProcess();  // a worker still running is killed
    WorkerProcess(const WorkerProcess&) = delete;
    WorkerProcess& operator=(const WorkerProcess&) = delete;

    int resultFd() const { return resultFd_; }
    int commandFd() const { return commandFd_; }

    // Commands wait in the outbox until the worker's channel takes them.
    std::string& outbox() { return outbox_; }
    bool hasUnsentCommands() const { return !outbox_.empty(); }
    void sendCommands();

    // Appends what has arrived to the inbox; false once the channel has closed.
    bool receive();
    std::string& inbox() { return inbox_; }

    // Tells the worker there is no more work: it finishes what it has and ends.
    void finish();
    void kill();
    // Waits for the process to end (killing it if it lingers after closing its
    // channel) and gives its wait status.
    int wait();

private:
    WorkerProcess(pid_t pid, int commandFd, int resultFd) : pid_(pid), commandFd_(commandFd), resultFd_(resultFd) {}

    pid_t pid_;
    int commandFd_;
    int resultFd_;
    bool reaped_ = false;
    int status_ = 0;
    std::string outbox_;
    std::string inbox_;
};

}  // namespace ossel
