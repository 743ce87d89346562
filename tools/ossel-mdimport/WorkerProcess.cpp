#include "WorkerProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace ossel {

namespace {

// The worker's environment: the host's, and under AddressSanitizer the memory
// cap, which only the sanitizer can enforce there and reads only at start.
std::vector<std::string> workerEnvironment([[maybe_unused]] const WorkerSettings& settings) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
#ifdef OSSEL_ADDRESS_SANITIZER
    const std::string cap = "hard_rss_limit_mb=" + std::to_string(settings.maxMemoryMiB);
    bool found = false;
    for (auto& entry : environment) {
        if (!entry.starts_with("ASAN_OPTIONS=")) continue;
        entry += ":" + cap;
        found = true;
    }
    if (!found) environment.push_back("ASAN_OPTIONS=" + cap);
#endif
    return environment;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

void closeQuietly(int fd) {
    if (fd >= 0) ::close(fd);
}

// A copy above the descriptors a worker is given: they are put in place one after
// another, and a source that is also a target would be overwritten before its turn.
int copyAboveWorkerDescriptors(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, kWorkerResultFd + 1); }

}  // namespace

std::unique_ptr<WorkerProcess> WorkerProcess::start(const WorkerSettings& settings, std::string* error) {
    // The very file this process runs, even if a newer build has replaced it on disk since.
    static constexpr const char* kSelf = "/proc/self/exe";
    auto results = ResultRing::create(error);
    if (!results) return nullptr;
    int channel[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0) {
        *error = std::string("cannot start a worker: ") + std::strerror(errno);
        return nullptr;
    }
    ::fcntl(channel[0], F_SETFL, O_NONBLOCK);
    const int workerChannel = copyAboveWorkerDescriptors(channel[1]);
    const int workerResults = copyAboveWorkerDescriptors(results->fd());
    closeQuietly(channel[1]);
    if (workerChannel < 0 || workerResults < 0) {
        *error = std::string("cannot start a worker: ") + std::strerror(errno);
        for (const int fd : {channel[0], workerChannel, workerResults}) closeQuietly(fd);
        return nullptr;
    }

    std::vector<std::string> arguments = settings.arguments(::getpid());
    arguments.insert(arguments.begin(), program_invocation_name);
    std::vector<std::string> environment = workerEnvironment(settings);
    auto argv = pointersTo(arguments);
    auto envp = pointersTo(environment);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Whatever the plug-in prints must not mix into the host's records.
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, workerChannel, kWorkerCommandFd);
    posix_spawn_file_actions_adddup2(&actions, workerResults, kWorkerResultFd);
    static_assert(kWorkerResultFd > kWorkerCommandFd);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, kSelf, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    closeQuietly(workerChannel);
    closeQuietly(workerResults);
    if (spawned != 0) {
        *error = std::string("cannot start a worker: ") + std::strerror(spawned);
        closeQuietly(channel[0]);
        return nullptr;
    }
    return std::unique_ptr<WorkerProcess>(new WorkerProcess(pid, channel[0], std::move(results)));
}

WorkerProcess::~WorkerProcess() {
    if (!reaped_) wait(std::chrono::milliseconds(0));
    closeQuietly(channel_);
}

void WorkerProcess::sendCommands() {
    while (!outbox_.empty()) {
        // MSG_NOSIGNAL: a worker that died must not take the host with it.
        const ssize_t n = ::send(channel_, outbox_.data(), outbox_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            // Full: the rest goes when the worker reads. Broken: its end shows on receive.
            if (errno != EAGAIN) outbox_.clear();
            return;
        }
        outbox_.erase(0, static_cast<size_t>(n));
    }
}

WorkerProcess::Received WorkerProcess::receive(bool channelReadable) {
    // Wake-up bytes carry nothing; the end of the stream is the end of the worker.
    bool closed = false;
    char bytes[256];
    while (channelReadable) {
        const ssize_t n = ::recv(channel_, bytes, sizeof bytes, MSG_DONTWAIT);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    // Read after the end is seen, so that everything the worker published is there.
    if (!results_->take(inbox_)) return Received::broken;
    return closed ? Received::closed : Received::open;
}

void WorkerProcess::finish() { ::shutdown(channel_, SHUT_WR); }

void WorkerProcess::kill() {
    if (!reaped_) ::kill(pid_, SIGKILL);
}

int WorkerProcess::wait(std::chrono::milliseconds grace) {
    const auto until = std::chrono::steady_clock::now() + grace;
    while (!reaped_ && std::chrono::steady_clock::now() < until) {
        reaped_ = ::waitpid(pid_, &status_, WNOHANG) == pid_;
        if (!reaped_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }
    return status_;
}

}  // namespace ossel
