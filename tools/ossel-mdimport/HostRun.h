#pragma once
// One printing run of the host: imported files become records on standard
// output; failures are reported on standard error (and as records with
// --json, and in the --failed file); walked files that are not clips are
// noted on standard error and skipped, since a catalog tree holds other files too.

#include <memory>
#include <string>

#include "HostOptions.h"
#include "ImportScheduler.h"
#include "ProgressLine.h"
#include "RecordOutput.h"
#include "ResultSink.h"

namespace ossel {

// The limits the options set for a run's workers: -j (default: the processors
// this process may use) and --timeout.
ImportScheduler::Limits schedulerLimits(const HostOptions& options);

class HostRun final : public ResultSink {
public:
    // `failedFd` is the --failed file, or -1.
    HostRun(const HostOptions& options, int failedFd);

    // Imports every input with workers running `bundlePath`: the exit status.
    int run(const std::string& bundlePath);

    void imported(const std::string& path, const FileResult& result) override;
    void skipped(const std::string& path, const std::string& reason) override;
    void failed(const std::string& path, const std::string& reason, FailureKind kind) override;
    void note(const std::string& text) override;
    void idle() override;
    bool stopped() const override;

private:
    const HostOptions& options_;
    RecordOutput out_;
    std::unique_ptr<RecordOutput> failedOut_;
    ProgressLine progress_;
    bool anyFailed_ = false;
    std::string record_;
};

}  // namespace ossel
