#pragma once
// The process's error log: one line per call to standard error, or to a sink
// that tests install. The base services' TLLog writes through it too, so that
// one sink captures every line.

#include <functional>
#include <string>

namespace ossel {

// Writes one line (a newline is added when missing).
void writeErrorLine(const std::string& line);
// Replaces the destination (null restores standard error). Tests only.
void setErrorLineSinkForTesting(std::function<void(const std::string&)> sink);

}  // namespace ossel
