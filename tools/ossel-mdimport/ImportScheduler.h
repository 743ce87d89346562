#pragma once
// Runs the walk's files through worker processes and hands every result to a
// sink in walk order. Workers take files in batches; one that crashes, exits,
// passes the deadline or the memory cap is replaced, the file it was importing
// fails with the cause, and the files after it go to other workers, so that
// nothing is lost and nothing is imported twice. A catalog a worker died
// reading is declared unreadable to every worker, so that one bad catalog
// costs a file for each worker that was reading it at the time, not one per clip.
//
// Finished results wait for a slow file ahead of them only up to a bound;
// past it the other workers wait too, so memory stays bounded.

#include <chrono>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "InputWalk.h"
#include "ResultSink.h"
#include "WorkerProcess.h"

namespace ossel {

class ImportScheduler {
public:
    struct Limits {
        unsigned jobs = 1;
        double timeoutSeconds = 30;
    };

    ImportScheduler(WorkerSettings settings, Limits limits, InputWalk& walk, ResultSink& sink);
    ~ImportScheduler();

    // Delivers every input to the sink, or stops when the sink does. False with
    // *fatal when the importer cannot run at all (the bundle does not load).
    bool run(std::string* fatal);

    // Records that may wait for a slow file before the other workers wait too.
    static constexpr size_t kWindow = 4096;

private:
    using Clock = std::chrono::steady_clock;
    enum class State { waiting, imported, skipped, failed };
    struct Slot {
        std::string path;
        bool walked = false;
        State state = State::waiting;
        std::string result;  // the result message's body, when imported
        std::string reason;  // when skipped or failed
        FailureKind failure = FailureKind::file;
    };
    struct Worker {
        std::unique_ptr<WorkerProcess> process;
        std::deque<uint64_t> inFlight;  // sequence numbers, in the order the worker takes them
        bool ready = false;
        bool ended = false;
        Clock::time_point since;  // when the file in hand began, as far as the host can tell
        std::string catalog;      // the catalog being read for the file in hand
        uint64_t results = 0;
        uint64_t resultsAtKill = 0;
        bool timedOut = false;
        bool malformed = false;
    };

    void fillWindow();
    void dispatch();
    Worker* startWorker();
    void sendBatch(Worker& worker, size_t count);
    // True when it stopped with results still ready, to let the workers be served.
    bool emit();
    void waitForWorkers(bool moreReady);
    // How long the host may sleep before it reads the workers again (-1: until one wakes it).
    int millisecondsToWait();
    void receive(Worker& worker, bool channelReadable = true);
    bool handle(Worker& worker, MessageKind kind, std::string_view body);
    void checkDeadlines();
    int millisecondsToNextDeadline() const;
    std::chrono::duration<double> timeout() const { return std::chrono::duration<double>(limits_.timeoutSeconds); }
    void ended(Worker& worker);
    void requeue(Worker& worker);
    void resolve(uint64_t sequence, const FileResult& result, std::string_view body);
    // A slot's outcome to the sink; an import's result from the copy the slot holds.
    void deliver(const Slot& slot);
    void fail(uint64_t sequence, std::string reason);
    void declareUnreadable(const std::string& catalog, const std::string& cause);
    std::string causeOfEnd(const Worker& worker, int status) const;
    Slot& slot(uint64_t sequence) { return window_[sequence - firstSequence_]; }

    WorkerSettings settings_;
    Limits limits_;
    InputWalk& walk_;
    ResultSink& sink_;
    std::deque<Slot> window_;
    uint64_t firstSequence_ = 0;
    std::deque<uint64_t> queue_;  // files no worker has yet
    std::vector<std::unique_ptr<Worker>> workers_;
    std::set<std::string> unreadableCatalogs_;
    bool walkDone_ = false;
    bool bundleConfirmed_ = false;
    int failedStarts_ = 0;
    std::string fatal_;
    Clock::time_point lastWake_;
};

}  // namespace ossel
