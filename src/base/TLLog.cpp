#include "base/TLLog.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include "foundation/StringTable.h"

namespace ossel {
namespace {

inline constexpr std::string_view kModelStringTable = "GravelmothDV";
inline constexpr std::string_view kMainBundleStringTable = "Localizable";

struct LogSink {
    std::mutex mutex;
    std::function<void(const std::string&)> sink;
};

LogSink& logSink() {
    static LogSink instance;
    return instance;
}

// One fwrite per line keeps lines from concurrent writers whole.
void writeToStandardError(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

std::string TLLog::localizedString(std::string_view key) {
    return ossel::localizedString(key, kModelStringTable, "");
}

void TLLog::writeErrorLine(const std::string& line) {
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
    writeToStandardError(terminated);
}

void TLLog::setSinkForTesting(std::function<void(const std::string&)> sink) {
    LogSink& target = logSink();
    const std::lock_guard lock(target.mutex);
    target.sink = std::move(sink);
}

std::string mainBundleLocalizedString(std::string_view key) {
    return localizedString(key, kMainBundleStringTable, "");
}

}  // namespace ossel
