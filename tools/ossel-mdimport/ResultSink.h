#pragma once
// Where a run's results go: exactly one call per input, in walk order, however
// the workers finished them. A printing run writes records; an indexing run
// stores them, and settles the files it already holds before any worker sees them.

#include <string>

#include "InputWalk.h"
#include "WorkerProtocol.h"

namespace ossel {

// Why a file failed: something about the file itself, or the end of the worker
// that was importing it (a crash, the deadline, the memory cap), which says
// little about the file and may not happen again.
enum class FailureKind { file, worker };

class ResultSink {
public:
    virtual ~ResultSink() = default;
    // Asked for each regular file the walk finds, before it goes to a worker:
    // false when the sink has no use for an import of it, and has accounted for
    // it itself; no other call follows for that file then.
    virtual bool wanted(const WalkItem&, InputWalk&) { return true; }
    virtual void imported(const std::string& path, const FileResult& result) = 0;
    // A walked file that is not a clip annotation.
    virtual void skipped(const std::string& path, const std::string& reason) = 0;
    virtual void failed(const std::string& path, const std::string& reason, FailureKind kind) = 0;
    // Something the user should know that belongs to no single input, told at once.
    virtual void note(const std::string& text) = 0;
    // Called before the run waits for its workers: what is ready should go out now.
    virtual void idle() = 0;
    // True when the run must stop, because nothing it does could be delivered.
    virtual bool stopped() const = 0;
};

}  // namespace ossel
