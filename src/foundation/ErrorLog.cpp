#include "foundation/ErrorLog.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace ossel {
namespace {

struct LogSink {
    std::mutex mutex;
    std::function<void(const std::string&)> sink;
};

LogSink& logSink() {
    static LogSink instance;
    return instance;
}

}  // namespace

void writeErrorLine(const std::string& line) {
    std::string terminated = line;
    if (terminated.empty() || terminated.back() != '\n') terminated.push_back('\n');
    // The sink is called outside the lock, so that a sink may log in turn.
    std::function<void(const std::string&)> sink;
    {
        LogSink& target = logSink();
        const std::lock_guard lock(target.mutex);
        sink = target.sink;
    }
    if (sink) {
        sink(terminated);
        return;
    }
    // One fwrite per line keeps lines from concurrent writers whole.
    std::fwrite(terminated.data(), 1, terminated.size(), stderr);
    std::fflush(stderr);
}

void setErrorLineSinkForTesting(std::function<void(const std::string&)> sink) {
    LogSink& target = logSink();
    const std::lock_guard lock(target.mutex);
    target.sink = std::move(sink);
}

}  // namespace ossel
