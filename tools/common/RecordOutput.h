#pragma once
// Output made of whole records: a JSON line, or one file's listing block. Each
// write carries whole records only, so that processes appending to one file
// never cut into each other's records and a killed process leaves no half
// record behind. The first write error is kept; the caller reports it once and
// stops, since everything after it would be lost as well.

#include <string>
#include <string_view>

namespace ossel {

class RecordOutput {
public:
    // `name` is what messages call the destination ("standard output", a path).
    RecordOutput(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    ~RecordOutput() { flush(); }
    RecordOutput(const RecordOutput&) = delete;
    RecordOutput& operator=(const RecordOutput&) = delete;

    // Takes one whole record; it leaves with the next flush, or at once when the
    // gathered records would pass the write size.
    void add(std::string_view record);
    // Writes what was gathered. False once any write has failed.
    bool flush();

    bool failed() const { return !error_.empty(); }
    // "cannot write to standard output: No space left on device"
    const std::string& error() const { return error_; }

private:
    bool writeAll(std::string_view bytes);

    int fd_;
    std::string name_;
    std::string pending_;
    std::string error_;
};

// One line on standard error in a single write, so that it never lands inside a
// record when both streams go to the same file.
void writeErrorLine(std::string line);

}  // namespace ossel
