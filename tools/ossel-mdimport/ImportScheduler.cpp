#include "ImportScheduler.h"

#include <poll.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "foundation/Format.h"

namespace ossel {

namespace {

// Files per batch at most: enough work that a worker never waits for the host
// between batches, few enough that the last batches spread over every worker.
constexpr size_t kMaxBatch = 128;
// The host reads results at most this often while workers are busy: waking for
// every result would cost it about as much as the import of a small file. A
// worker holds more than this much work, so it never waits for the host.
constexpr auto kReadInterval = std::chrono::milliseconds(2);
// A worker that dies before it is ready this many times in a row means workers
// cannot run here at all.
constexpr int kMaxFailedStarts = 3;

}  // namespace

ImportScheduler::ImportScheduler(WorkerSettings settings, Limits limits, InputWalk& walk, ResultSink& sink)
    : settings_(std::move(settings)), limits_(limits), walk_(walk), sink_(sink) {
    limits_.jobs = std::max(1u, limits_.jobs);
}

ImportScheduler::~ImportScheduler() = default;

bool ImportScheduler::run(std::string* fatal) {
    // The first worker starts at once: it tells whether the bundle loads at all.
    startWorker();
    while (fatal_.empty() && !sink_.stopped()) {
        fillWindow();
        dispatch();
        const bool moreReady = emit();
        if (!fatal_.empty() || sink_.stopped() || (walkDone_ && window_.empty())) break;
        sink_.idle();
        if (sink_.stopped()) break;
        waitForWorkers(moreReady);
        checkDeadlines();
    }
    const bool complete = fatal_.empty() && !sink_.stopped();
    for (auto& worker : workers_) {
        if (complete) {
            worker->process->finish();
        } else {
            worker->process->kill();
        }
    }
    // Workers told there is no more work finish as they please, within a deadline.
    const auto grace = std::chrono::duration_cast<std::chrono::milliseconds>(timeout());
    for (auto& worker : workers_) worker->process->wait(complete ? grace : WorkerProcess::kLingering);
    workers_.clear();
    if (!fatal_.empty()) {
        *fatal = fatal_;
        return false;
    }
    return true;
}

void ImportScheduler::fillWindow() {
    // Walking further ahead than the workers can use would only hold memory.
    const size_t lookahead = 4 * limits_.jobs * kMaxBatch;
    while (!walkDone_ && window_.size() < kWindow && queue_.size() < lookahead) {
        auto item = walk_.next();
        if (!item) {
            walkDone_ = true;
            return;
        }
        if (item->kind == WalkItem::Kind::file && !sink_.wanted(*item, walk_)) continue;
        Slot slot;
        slot.path = std::move(item->path);
        slot.walked = item->walked;
        switch (item->kind) {
            case WalkItem::Kind::file: queue_.push_back(firstSequence_ + window_.size()); break;
            case WalkItem::Kind::skipped: slot.state = State::skipped; break;
            case WalkItem::Kind::failed: slot.state = State::failed; break;
        }
        slot.reason = std::move(item->reason);
        window_.push_back(std::move(slot));
    }
}

void ImportScheduler::dispatch() {
    while (!queue_.empty() && fatal_.empty()) {
        // Two batches' worth of work for every worker, in batches that shrink as the queue does.
        const size_t batch = std::clamp<size_t>((queue_.size() + 2 * limits_.jobs - 1) / (2 * limits_.jobs), 1,
                                                kMaxBatch);
        Worker* target = nullptr;
        for (auto& worker : workers_) {
            if (!target || worker->inFlight.size() < target->inFlight.size()) target = worker.get();
        }
        // More workers only once one has shown that the bundle loads.
        if ((!target || target->inFlight.size() >= batch) && workers_.size() < limits_.jobs &&
            (bundleConfirmed_ || workers_.empty())) {
            target = startWorker();
        }
        if (!target || target->inFlight.size() >= batch) return;
        sendBatch(*target, std::min(batch, queue_.size()));
    }
}

ImportScheduler::Worker* ImportScheduler::startWorker() {
    std::string error;
    auto process = WorkerProcess::start(settings_, &error);
    if (!process) {
        fatal_ = error;
        return nullptr;
    }
    auto worker = std::make_unique<Worker>();
    worker->process = std::move(process);
    worker->since = Clock::now();
    MessageWriter writer(worker->process->outbox());
    for (const auto& catalog : unreadableCatalogs_) {
        writer.begin(MessageKind::unreadableCatalog);
        writer.putText(catalog);
        writer.end();
    }
    workers_.push_back(std::move(worker));
    return workers_.back().get();
}

void ImportScheduler::sendBatch(Worker& worker, size_t count) {
    if (worker.ready && worker.inFlight.empty()) worker.since = Clock::now();
    MessageWriter writer(worker.process->outbox());
    writer.begin(MessageKind::batch);
    writer.putU32(static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const uint64_t sequence = queue_.front();
        queue_.pop_front();
        writer.putText(slot(sequence).path);
        worker.inFlight.push_back(sequence);
    }
    writer.end();
    worker.process->sendCommands();
}

bool ImportScheduler::emit() {
    // A sink that stores what it is given can take longer over a window of
    // results than the workers take over the work they hold: it hands back
    // after kReadInterval, so that the workers get more before they run out.
    const auto until = Clock::now() + kReadInterval;
    // Nothing goes out before a worker has loaded the bundle: a bundle that does not
    // load makes the whole run a usage error, with no output.
    for (size_t delivered = 1;
         bundleConfirmed_ && !window_.empty() && window_.front().state != State::waiting && !sink_.stopped();
         ++delivered) {
        if (delivered % 16 == 0 && Clock::now() >= until) return true;
        deliver(window_.front());
        window_.pop_front();
        ++firstSequence_;
    }
    return false;
}

void ImportScheduler::deliver(const Slot& slot) {
    switch (slot.state) {
        case State::imported: sink_.imported(slot.path, *MessageReader(slot.result).result()); break;
        case State::skipped: sink_.skipped(slot.path, slot.reason); break;
        default: sink_.failed(slot.path, slot.reason, slot.failure); break;
    }
}

int ImportScheduler::millisecondsToWait() {
    if (std::any_of(workers_.begin(), workers_.end(), [](const auto& w) { return !w->inFlight.empty(); })) {
        // While workers are busy the host reads their results every kReadInterval,
        // woken earlier only by a worker that ends.
        const auto untilRead = std::chrono::ceil<std::chrono::milliseconds>(lastWake_ + kReadInterval - Clock::now());
        const int deadline = millisecondsToNextDeadline();
        const int timeout = static_cast<int>(std::max<int64_t>(0, untilRead.count()));
        return deadline >= 0 ? std::min(timeout, deadline) : timeout;
    }
    // Idle workers are asked to wake the host when they publish anything.
    bool published = false;
    for (const auto& worker : workers_) published |= !worker->process->requestWakeUp();
    return published ? 0 : millisecondsToNextDeadline();
}

void ImportScheduler::waitForWorkers(bool moreReady) {
    // With results waiting to be delivered, only what the workers have published is read.
    const int timeout = moreReady ? 0 : millisecondsToWait();
    std::vector<pollfd> fds;
    for (const auto& worker : workers_) {
        const short events = POLLIN | (worker->process->hasUnsentCommands() ? POLLOUT : 0);
        fds.push_back({worker->process->channelFd(), events, 0});
    }
    if (::poll(fds.data(), fds.size(), timeout) < 0) return;
    lastWake_ = Clock::now();
    for (size_t i = 0; i < workers_.size(); ++i) {
        if (fds[i].revents & POLLOUT) workers_[i]->process->sendCommands();
        receive(*workers_[i], (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0);
    }
    std::erase_if(workers_, [](const auto& worker) { return worker->ended; });
}

int ImportScheduler::millisecondsToNextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const auto& worker : workers_) {
        // A worker still loading the bundle is held to the same deadline.
        if (worker->ready && worker->inFlight.empty()) continue;
        if (!next || worker->since < *next) next = worker->since;
    }
    if (!next) return -1;
    const auto left = *next + std::chrono::duration_cast<Clock::duration>(timeout()) - Clock::now();
    return static_cast<int>(std::max<int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

void ImportScheduler::receive(Worker& worker, bool channelReadable) {
    if (worker.ended) return;
    const auto received = worker.process->receive(channelReadable);
    const uint64_t resultsBefore = worker.results;
    std::string& inbox = worker.process->inbox();
    std::string_view pending = inbox;
    bool malformed = received == WorkerProcess::Received::broken;
    while (!malformed) {
        const auto frame = takeFrame(pending, &malformed);
        if (!frame) break;
        if (!handle(worker, frame->kind, frame->body)) malformed = true;
    }
    inbox.erase(0, inbox.size() - pending.size());
    // The file in hand began when the last result was published, which the host sees now.
    if (worker.results != resultsBefore) worker.since = Clock::now();
    if (malformed) {
        // Not our worker any more: whatever it says from here on cannot be trusted.
        worker.malformed = true;
        worker.process->kill();
    }
    if (malformed || received != WorkerProcess::Received::open) ended(worker);
}

bool ImportScheduler::handle(Worker& worker, MessageKind kind, std::string_view body) {
    MessageReader reader(body);
    switch (kind) {
        case MessageKind::ready: {
            const bool loaded = reader.u8() != 0;
            const std::string_view error = reader.text();
            if (!reader.ok()) return false;
            if (!loaded) {
                fatal_ = std::string(error);
                return true;
            }
            worker.ready = true;
            worker.since = Clock::now();
            bundleConfirmed_ = true;
            failedStarts_ = 0;
            return true;
        }
        case MessageKind::catalogRead: {
            worker.catalog = reader.text();
            return reader.ok();
        }
        case MessageKind::result: {
            const auto result = reader.result();
            if (!result || worker.inFlight.empty()) return false;
            const uint64_t sequence = worker.inFlight.front();
            worker.inFlight.pop_front();
            worker.catalog.clear();
            ++worker.results;
            resolve(sequence, *result, body);
            return true;
        }
        default: return false;
    }
}

void ImportScheduler::checkDeadlines() {
    const auto limit = timeout();
    for (auto& worker : workers_) {
        if (worker->ended || (worker->ready && worker->inFlight.empty())) continue;
        if (Clock::now() - worker->since <= limit) continue;
        // Results the host has not read yet may show that the worker has moved on.
        receive(*worker);
        if (worker->ended || (worker->ready && worker->inFlight.empty()) || Clock::now() - worker->since <= limit) {
            continue;
        }
        worker->timedOut = true;
        worker->resultsAtKill = worker->results;
        worker->process->kill();
        worker->process->wait();
        receive(*worker);  // the rest of what it wrote, then the end of its channel
    }
    std::erase_if(workers_, [](const auto& worker) { return worker->ended; });
}

void ImportScheduler::ended(Worker& worker) {
    worker.ended = true;
    const int status = worker.process->wait();
    if (!worker.ready) {
        // It never began a file: the files it had go to another worker.
        if (fatal_.empty() && !bundleConfirmed_) {
            fatal_ = "the importer worker " + causeOfEnd(worker, status) + " while loading the bundle";
        }
        if (fatal_.empty() && ++failedStarts_ >= kMaxFailedStarts) {
            fatal_ = "the importer workers keep ending before they are ready (" + causeOfEnd(worker, status) + ")";
        }
        requeue(worker);
        return;
    }
    if (worker.inFlight.empty()) return;
    // A result written just before a deadline kill means the file in hand had only begun.
    if (worker.timedOut && worker.results != worker.resultsAtKill) {
        requeue(worker);
        return;
    }
    std::string cause = causeOfEnd(worker, status);
    if (!worker.catalog.empty()) {
        declareUnreadable(worker.catalog, cause);
        cause += " while reading the catalog " + worker.catalog;
    }
    const uint64_t culprit = worker.inFlight.front();
    worker.inFlight.pop_front();
    fail(culprit, std::move(cause));
    slot(culprit).failure = FailureKind::worker;
    requeue(worker);
}

void ImportScheduler::requeue(Worker& worker) {
    for (auto it = worker.inFlight.rbegin(); it != worker.inFlight.rend(); ++it) queue_.push_front(*it);
    worker.inFlight.clear();
}

void ImportScheduler::resolve(uint64_t sequence, const FileResult& result, std::string_view body) {
    Slot& target = slot(sequence);
    switch (result.outcome) {
        case FileOutcome::imported:
            target.state = State::imported;
            // The next record due goes out straight from the message; others wait in a copy.
            if (sequence == firstSequence_ && bundleConfirmed_ && !sink_.stopped()) {
                sink_.imported(target.path, result);
                window_.pop_front();
                ++firstSequence_;
            } else {
                target.result = body;
            }
            return;
        case FileOutcome::notAClip:
            // Skipped when a walk came upon it; a file the user named is a failure.
            target.state = target.walked ? State::skipped : State::failed;
            break;
        case FileOutcome::failed: target.state = State::failed; break;
    }
    target.reason = result.text;
}

void ImportScheduler::fail(uint64_t sequence, std::string reason) {
    Slot& target = slot(sequence);
    target.state = State::failed;
    target.reason = std::move(reason);
}

void ImportScheduler::declareUnreadable(const std::string& catalog, const std::string& cause) {
    if (!unreadableCatalogs_.insert(catalog).second) return;
    sink_.note(catalog + ": treated as unreadable for the rest of the run: a worker " + cause + " while reading it");
    for (auto& worker : workers_) {
        if (worker->ended) continue;
        MessageWriter writer(worker->process->outbox());
        writer.begin(MessageKind::unreadableCatalog);
        writer.putText(catalog);
        writer.end();
        worker->process->sendCommands();
    }
}

std::string ImportScheduler::causeOfEnd(const Worker& worker, int status) const {
    if (worker.timedOut) return format("timed out after %g s", limits_.timeoutSeconds);
    if (worker.malformed) return "sent the host a message it could not read";
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* name = sigabbrev_np(signal);
        const std::string signalName = name ? std::string("SIG") + name : std::to_string(signal);
        // Nothing in the worker sends itself SIGKILL: the system's memory killer does.
        if (signal == SIGKILL) return "was killed (" + signalName + ")";
        return "crashed (" + signalName + ")";
    }
    if (WIFEXITED(status)) {
        switch (WEXITSTATUS(status)) {
            case kWorkerOutOfMemoryStatus:
                return "ran out of memory (the limit is " + std::to_string(settings_.maxMemoryMiB) + " MiB)";
            case kWorkerSanitizerStatus: return "crashed (stopped by the sanitizer; its report is on standard error)";
            default: return format("exited with status %d", WEXITSTATUS(status));
        }
    }
    return "ended";
}

}  // namespace ossel
