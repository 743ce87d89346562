#pragma once
// What the host and its import workers say to each other. A worker is this
// same program started again in a hidden mode; it reads commands from a socket
// and publishes results in memory it shares with the host (ResultRing). Every
// message is a frame: a 4-byte length (of what follows), a 1-byte kind, then
// its fields in order: numbers as the machine holds them (both ends are one
// program), texts as a 4-byte length and their bytes.
//
// Files go out in batches, since a message per file would cost more than many
// imports; results come back one per file, in batch order, as soon as each is
// done, so that when a worker dies the host knows which file it was importing.

#include <sys/types.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/CatalogDependency.h"

namespace ossel {

// The hidden first argument that makes the program a worker.
inline constexpr std::string_view kWorkerModeArgument = "--import-worker";
// Where a worker finds its channel to the host and the shared memory for its results.
inline constexpr int kWorkerCommandFd = 3;
inline constexpr int kWorkerResultFd = 4;
// How a worker ends when it runs out of memory, or when a sanitizer stops it.
inline constexpr int kWorkerOutOfMemoryStatus = 97;
inline constexpr int kWorkerSanitizerStatus = 98;

// Under AddressSanitizer, which reserves terabytes of address space at start, the
// memory cap cannot be an address-space limit: the sanitizer enforces it instead.
#if defined(__SANITIZE_ADDRESS__)
#define OSSEL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSSEL_ADDRESS_SANITIZER 1
#endif
#endif

enum class MessageKind : uint8_t {
    // host to worker
    batch = 'B',              // u32 count, then the paths to import, in order
    unreadableCatalog = 'U',  // text: a catalog path to treat as unreadable from now on
    // worker to host
    ready = 'H',              // u8 loaded, text: why the bundle did not load
    catalogRead = 'C',        // text: the catalog the worker is about to read for the file in hand
    result = 'R',             // the file in hand is done: u8 outcome, text record or reason, text attribute
                              // archive, text attribute values, u32 count and that many catalog dependencies,
                              // the file's identity (see FileResult)
};

enum class FileOutcome : uint8_t {
    imported,
    notAClip,  // not a regular file any more, or not a property-list dictionary: a walk skips it
    failed,    // could not be read, or refused although it is a dictionary
};

// One file's result, as it stands in a message: `text` is the rendered record
// when imported, the reason otherwise. The views last as long as the message.
struct FileResult {
    FileOutcome outcome = FileOutcome::failed;
    std::string_view text;
    // When the host asked for the attributes: the dictionary archived, and what the index keeps of it.
    std::string_view attributesArchive;
    std::string_view attributeValues;  // see ClipValues.h
    std::vector<CatalogDependency> dependencies;  // when the host asked and the plug-in tells
    // When the host asked for attributes: the file as the worker found it just before
    // the import, so that the host need not examine a file it has never stored.
    std::optional<FileIdentity> identity;
};

enum class RecordFormat : uint8_t { none, listing, json };

// How the host wants its workers to work; passed on the worker's command line.
struct WorkerSettings {
    std::string bundlePath;
    RecordFormat format = RecordFormat::none;
    bool timings = false;            // records carry each file's import time
    bool carryAttributes = false;    // results carry the attribute dictionary itself, and its ClipValues
    bool carryDependencies = false;  // results carry the catalog files each import depended on
    uint64_t maxMemoryMiB = 2048;

    // The command line of a worker for host `hostPid`, after the program name.
    std::vector<std::string> arguments(pid_t hostPid) const;
    static std::optional<WorkerSettings> fromArguments(int argc, const char* const* argv, pid_t* hostPid);
};

// Appends frames to a buffer.
class MessageWriter {
public:
    explicit MessageWriter(std::string& out) : out_(out) {}
    void begin(MessageKind kind);
    void putU8(uint8_t value) { putRaw(&value, sizeof value); }
    void putU32(uint32_t value) { putRaw(&value, sizeof value); }
    void putU64(uint64_t value) { putRaw(&value, sizeof value); }
    void putI64(int64_t value) { putRaw(&value, sizeof value); }
    void putDouble(double value) { putRaw(&value, sizeof value); }
    void putText(std::string_view text);
    void putIdentity(const std::optional<FileIdentity>& identity);
    // A text rendered straight into the buffer: beginText, append to buffer(), endText.
    size_t beginText();
    void endText(size_t mark);
    std::string& buffer() { return out_; }
    void end();

private:
    void putRaw(const void* bytes, size_t size) { out_.append(static_cast<const char*>(bytes), size); }
    std::string& out_;
    size_t start_ = 0;
};

// Reads the fields of one frame; any read past its end marks it malformed.
class MessageReader {
public:
    explicit MessageReader(std::string_view body) : rest_(body) {}
    uint8_t u8() { return raw<uint8_t>(); }
    uint32_t u32() { return raw<uint32_t>(); }
    uint64_t u64() { return raw<uint64_t>(); }
    int64_t i64() { return raw<int64_t>(); }
    double f64() { return raw<double>(); }
    std::string_view text();
    std::optional<FileIdentity> identity();
    bool ok() const { return ok_; }

    std::optional<FileResult> result();

private:
    template <class T>
    T raw() {
        T value{};
        if (rest_.size() < sizeof value) {
            ok_ = false;
            rest_ = {};
            return value;
        }
        std::memcpy(&value, rest_.data(), sizeof value);
        rest_.remove_prefix(sizeof value);
        return value;
    }
    std::string_view rest_;
    bool ok_ = true;
};

struct Frame {
    MessageKind kind;
    std::string_view body;
};

// Takes the first complete frame off `pending`; nothing when it is not all there
// yet. *malformed is set when the length cannot be that of a frame.
std::optional<Frame> takeFrame(std::string_view& pending, bool* malformed);

}  // namespace ossel
