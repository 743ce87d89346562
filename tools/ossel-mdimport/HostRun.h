#pragma once
// One run of the host over its inputs: named files are imported or reported
// as failures; with -r directories are walked and files that the importer
// refuses are noted and skipped, since a catalog tree holds other files too.

#include <string>
#include <vector>

#include "HostOptions.h"
#include "ImporterSession.h"
#include "ProgressLine.h"
#include "ResultWriter.h"

namespace ossel {

class HostRun {
public:
    HostRun(const HostOptions& options, const ImporterSession& session, ResultWriter& writer);

    // Exit status 0 (every file imported) or 1 (some inputs failed).
    int run();

    // Why the importer refused a file, found by reading it the same way.
    static std::string refusalReason(const std::string& path);

private:
    void importInput(const std::string& input);
    void walk(const std::string& directory);
    void collectFiles(const std::string& directory, std::vector<std::string>& files);
    // True when imported. A refused file found by a walk is noted and skipped, not failed.
    bool importFile(const std::string& path, bool walked);
    void fail(const std::string& path, const std::string& reason);

    const HostOptions& options_;
    const ImporterSession& session_;
    ResultWriter& writer_;
    ProgressLine progress_;
    bool failed_ = false;
};

}  // namespace ossel
