#include "HostRun.h"

#include <sched.h>
#include <unistd.h>

#include <thread>

#include "ExitStatus.h"
#include "InputWalk.h"
#include "JsonRecord.h"

namespace ossel {

namespace {

// The processors this process may run on (taskset and cpusets narrow them), not all the machine has.
unsigned usableProcessors() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
        return static_cast<unsigned>(CPU_COUNT(&set));
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

ImportScheduler::Limits schedulerLimits(const HostOptions& options) {
    ImportScheduler::Limits limits;
    limits.jobs = options.jobs ? options.jobs : usableProcessors();
    limits.timeoutSeconds = options.timeoutSeconds;
    return limits;
}

HostRun::HostRun(const HostOptions& options, int failedFd)
    : options_(options), out_(STDOUT_FILENO, "standard output"), progress_(isatty(STDERR_FILENO) == 1) {
    if (failedFd >= 0) failedOut_ = std::make_unique<RecordOutput>(failedFd, options.failedPath);
}

int HostRun::run(const std::string& bundlePath) {
    WorkerSettings settings;
    settings.bundlePath = bundlePath;
    settings.format = options_.json ? RecordFormat::json : RecordFormat::listing;
    settings.timings = options_.timings;
    settings.maxMemoryMiB = options_.maxMemoryMiB;
    InputWalk walk(options_.inputs, options_.recursive);
    ImportScheduler scheduler(settings, schedulerLimits(options_), walk, *this);
    std::string fatal;
    const bool ran = scheduler.run(&fatal);
    progress_.finish();
    idle();
    for (const RecordOutput* output : {&out_, failedOut_.get()}) {
        if (output && output->failed()) {
            writeErrorLine("ossel-mdimport: " + output->error());
            return kExitOutputFailed;
        }
    }
    if (!ran) {
        writeErrorLine("ossel-mdimport: " + fatal);
        return kExitUsage;
    }
    return anyFailed_ ? kExitSomeFailed : kExitSuccess;
}

void HostRun::imported(const std::string&, const FileResult& result) {
    out_.add(result.text);
    progress_.fileDone();
}

void HostRun::skipped(const std::string& path, const std::string& reason) {
    progress_.message(path + ": skipped, " + reason);
    progress_.fileDone();
}

void HostRun::failed(const std::string& path, const std::string& reason, FailureKind) {
    anyFailed_ = true;
    progress_.message(path + ": " + reason);
    progress_.fileDone();
    if (!options_.json && !failedOut_) return;
    record_.clear();
    JsonRecord::appendFailed(record_, path, reason);
    if (options_.json) out_.add(record_);
    if (failedOut_) failedOut_->add(record_);
}

void HostRun::note(const std::string& text) { progress_.message(text); }

void HostRun::idle() {
    out_.flush();
    if (failedOut_) failedOut_->flush();
}

bool HostRun::stopped() const { return out_.failed() || (failedOut_ && failedOut_->failed()); }

}  // namespace ossel
