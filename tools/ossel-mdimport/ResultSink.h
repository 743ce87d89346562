#pragma once
// Where a run's results go: exactly one call per input, in walk order, however
// the workers finished them. A printing run writes records; an indexing run
// would store them.

#include <string>

#include "WorkerProtocol.h"

namespace ossel {

class ResultSink {
public:
    virtual ~ResultSink() = default;
    virtual void imported(const std::string& path, const FileResult& result) = 0;
    // A walked file that is not a clip annotation.
    virtual void skipped(const std::string& path, const std::string& reason) = 0;
    virtual void failed(const std::string& path, const std::string& reason) = 0;
    // Something the user should know that belongs to no single input, told at once.
    virtual void note(const std::string& text) = 0;
    // Called before the run waits for its workers: what is ready should go out now.
    virtual void idle() = 0;
    // True when the run must stop, because nothing it does could be delivered.
    virtual bool stopped() const = 0;
};

}  // namespace ossel
