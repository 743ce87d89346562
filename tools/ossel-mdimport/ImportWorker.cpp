#include "ImportWorker.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <new>
#include <set>

#include "ImporterSession.h"
#include "JsonRecord.h"
#include "ListingRecord.h"
#include "ResultRing.h"
#include "WorkerProtocol.h"
#include "foundation/Archiver.h"
#include "foundation/PropertyList.h"
#include "foundation/RegularFile.h"
#include "index/ClipValues.h"

#ifdef OSSEL_ADDRESS_SANITIZER
#include <sanitizer/common_interface_defs.h>
#endif

namespace ossel {

namespace {

constexpr uint64_t kMiB = uint64_t(1) << 20;

[[noreturn]] void outOfMemory() { ::_exit(kWorkerOutOfMemoryStatus); }

#ifdef OSSEL_ADDRESS_SANITIZER
uint64_t memoryCapBytes = 0;

// Resident bytes from /proc without allocating: the heap may be what failed.
uint64_t residentBytes() {
    char text[128] = {};
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) return 0;
    const char* p = std::strchr(text, ' ');
    return p ? std::strtoull(p + 1, nullptr, 10) * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE)) : 0;
}

// The sanitizer enforces the cap (hard_rss_limit_mb) and stops the process like
// any other finding; the resident size tells the host which of the two it was.
void onSanitizerDeath() {
    ::_exit(residentBytes() * 10 >= memoryCapBytes * 9 ? kWorkerOutOfMemoryStatus : kWorkerSanitizerStatus);
}
#endif

void applyMemoryCap(uint64_t mib) {
    // A failed allocation ends the worker with a status the host reads as "ran out of
    // memory", instead of an exception the plug-in would turn into a refused file.
    std::set_new_handler(outOfMemory);
#ifdef OSSEL_ADDRESS_SANITIZER
    // The sanitizer reserves terabytes of address space for its shadow at start, so
    // an address-space limit would stop everything; the host set the limit for it.
    memoryCapBytes = mib * kMiB;
    __sanitizer_set_death_callback(onSanitizerDeath);
#else
    const rlimit limit{mib * kMiB, mib * kMiB};
    ::setrlimit(RLIMIT_AS, &limit);
#endif
    // A catalog that passes its size limit must also fit in memory once parsed.
    ::setenv("OSSEL_MAX_CATALOG_MIB", std::to_string(std::max<uint64_t>(1, mib / 4)).c_str(), 0);
}

// The indexer hands importers full paths. A relative path is put under the
// working directory as it stands, not normalised: "three directories up" then
// walks the same directories the user's path names.
class AbsolutePaths {
public:
    AbsolutePaths() {
        std::error_code error;
        const auto cwd = std::filesystem::current_path(error);
        if (error) return;
        workingDirectory_ = cwd.string();
        if (!workingDirectory_.ends_with('/')) workingDirectory_ += '/';
    }
    // A view of `path`, or of `buffer` holding the full path.
    std::string_view of(std::string_view path, std::string& buffer) const {
        if (path.starts_with('/') || workingDirectory_.empty()) return path;
        buffer.assign(workingDirectory_).append(path);
        return buffer;
    }

private:
    std::string workingDirectory_;  // with its final '/'; empty when unknown
};

std::string articleFor(const std::string& className) {
    return className.find_first_of("AEIOU") == 0 ? "an " : "a ";
}

struct Refusal {
    FileOutcome outcome;
    std::string reason;
};

// Why the importer refused a file, found by reading it the same way: a file that
// is not a clip (a walk skips it) apart from one that could not be read (a failure).
Refusal refusalOf(const std::string& path) {
    std::vector<uint8_t> bytes;
    FileError error;
    if (!readRegularFile(path, fileSizeLimit(), bytes, &error)) {
        switch (error.kind) {
            case FileErrorKind::notRegularFile: {
                struct stat info {};
                if (::stat(path.c_str(), &info) == 0) {
                    return {FileOutcome::notAClip,
                            std::string("became ") + fileTypeName(info.st_mode) + " during the run"};
                }
                return {FileOutcome::notAClip, error.message};
            }
            case FileErrorKind::linkLoop: return {FileOutcome::notAClip, "a symbolic link loop"};
            case FileErrorKind::notFound: return {FileOutcome::failed, "vanished before it was read"};
            default: return {FileOutcome::failed, error.message};
        }
    }
    PropertyListError parseError;
    const Ref<Object> plist = readPropertyList(bytes, &parseError);
    if (!plist) return {FileOutcome::notAClip, "not a property list (" + parseError.description() + ")"};
    if (!isKindOf<Dictionary>(plist)) {
        const std::string kind = plist->className();
        return {FileOutcome::notAClip,
                "not a clip annotation: the property list is " + articleFor(kind) + kind + ", not a dictionary"};
    }
    return {FileOutcome::failed, "the importer refused it"};
}

class ImportWorker {
public:
    ImportWorker(const WorkerSettings& settings, ResultRing& results, std::unique_ptr<ImporterSession> session)
        : settings_(settings), results_(results), session_(std::move(session)), attributes_(Dictionary::make()) {
        session_->setCatalogReadHook(&ImportWorker::catalogReadHook, this);
    }
    ~ImportWorker() { session_->setCatalogReadHook(nullptr, nullptr); }

    int run() {
        for (;;) {
            while (batches_.empty()) {
                if (!receiveCommands(true)) return 0;  // the host has no more work
            }
            // Paths are imported straight from the message that brought them.
            const std::string batch = std::move(batches_.front());
            batches_.pop_front();
            MessageReader reader(batch);
            for (uint32_t count = reader.u32(); count > 0; --count) importFile(reader.text());
        }
    }

private:
    static int catalogReadHook(const char* path, void* context) {
        return static_cast<ImportWorker*>(context)->mayReadCatalog(path) ? 1 : 0;
    }

    // Tells the host before the read, so that a death during it is put down to the
    // catalog, not the clip; catalogs the host has given up on are not read at all.
    bool mayReadCatalog(const char* path) {
        receiveCommands(false);
        if (unreadableCatalogs_.contains(path)) return false;
        message_.clear();
        MessageWriter writer(message_);
        writer.begin(MessageKind::catalogRead);
        writer.putText(path);
        writer.end();
        send();
        return true;
    }

    void importFile(std::string_view path) {
        attributes_->removeAllObjects();
        const std::string_view full = paths_.of(path, fullPathBuffer_);
        const Ref<String> fullPath = str(full);
        const auto identity = settings_.carryAttributes ? fileIdentityAtPath(std::string(full)) : std::nullopt;
        std::optional<double> seconds;
        bool imported = false;
        if (settings_.timings) {
            const auto start = std::chrono::steady_clock::now();
            imported = session_->importFile(fullPath, *attributes_);
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } else {
            imported = session_->importFile(fullPath, *attributes_);
        }

        message_.clear();
        MessageWriter writer(message_);
        writer.begin(MessageKind::result);
        if (imported) {
            writer.putU8(static_cast<uint8_t>(FileOutcome::imported));
            const size_t mark = writer.beginText();
            if (settings_.format == RecordFormat::json) {
                JsonRecord::appendImported(message_, path, *attributes_, seconds);
            } else if (settings_.format == RecordFormat::listing) {
                ListingRecord::appendImported(message_, path, *attributes_, seconds);
            }
            writer.endText(mark);
        } else {
            const Refusal refusal = refusalOf(std::string(full));
            writer.putU8(static_cast<uint8_t>(refusal.outcome));
            writer.putText(refusal.reason);
        }
        if (imported && settings_.carryAttributes) {
            const auto archive = Coder::archivedDataWithRootObject(attributes_.get());
            writer.putText({reinterpret_cast<const char*>(archive.data()), archive.size()});
            writer.putText(encodeClipValues(*attributes_));
        } else {
            writer.putText({});
            writer.putText({});
        }
        putDependencies(writer);
        writer.putIdentity(identity);
        writer.end();
        send();
    }

    void putDependencies(MessageWriter& writer) const {
        const auto dependencies =
            settings_.carryDependencies ? session_->catalogDependencies() : std::span<const OsselCatalogDependency>();
        writer.putU32(static_cast<uint32_t>(dependencies.size()));
        for (const auto& dependency : dependencies) {
            writer.putText(dependency.path ? dependency.path : "");
            writer.putIdentity(dependency.exists ? std::optional(FileIdentity{dependency.device, dependency.inode,
                                                                              dependency.size,
                                                                              dependency.modifiedNanoseconds,
                                                                              dependency.changedNanoseconds})
                                                 : std::nullopt);
        }
    }

    void send() { results_.publish(message_, kWorkerCommandFd); }

    // Reads commands; with `wait`, blocks until at least one arrives. False at the
    // end of the host's commands.
    bool receiveCommands(bool wait) {
        char buffer[64 * 1024];
        for (;;) {
            const ssize_t n = ::recv(kWorkerCommandFd, buffer, sizeof buffer, wait ? 0 : MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return !wait;  // nothing more waiting
            if (n == 0) return false;
            inbox_.append(buffer, static_cast<size_t>(n));
            if (takeCommands() && wait) return true;
        }
    }

    // True when a batch arrived.
    bool takeCommands() {
        std::string_view pending = inbox_;
        bool malformed = false;
        bool batchArrived = false;
        while (const auto frame = takeFrame(pending, &malformed)) {
            MessageReader reader(frame->body);
            if (frame->kind == MessageKind::unreadableCatalog) {
                unreadableCatalogs_.emplace(reader.text());
            } else if (frame->kind == MessageKind::batch) {
                const uint32_t count = reader.u32();
                if (count > frame->body.size() / sizeof(uint32_t)) {
                    malformed = true;
                    break;
                }
                for (uint32_t i = 0; i < count; ++i) reader.text();
                if (reader.ok()) batches_.emplace_back(frame->body);
                batchArrived = true;
            }
            if (!reader.ok()) malformed = true;
        }
        if (malformed) ::_exit(2);  // not a host of ours
        inbox_.erase(0, inbox_.size() - pending.size());
        return batchArrived;
    }

    const WorkerSettings& settings_;
    ResultRing& results_;
    std::unique_ptr<ImporterSession> session_;
    const Ref<Dictionary> attributes_;
    const AbsolutePaths paths_;
    std::string inbox_;
    std::string message_;
    std::string fullPathBuffer_;
    std::deque<std::string> batches_;  // the bodies of batch messages: a count, then the paths
    std::set<std::string, std::less<>> unreadableCatalogs_;
};

void sendReady(ResultRing& results, const std::string& error) {
    std::string message;
    MessageWriter writer(message);
    writer.begin(MessageKind::ready);
    writer.putU8(error.empty() ? 1 : 0);
    writer.putText(error);
    writer.end();
    results.publish(message, kWorkerCommandFd);
}

}  // namespace

int runImportWorker(int argc, char** argv) {
    pid_t hostPid = 0;
    const auto settings = WorkerSettings::fromArguments(argc, argv, &hostPid);
    if (!settings) return 2;
    // Workers die with their host; a host that died before this line is already gone.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != hostPid) return 0;
    // Started through /proc/self/exe, the process would be listed as "exe".
    ::prctl(PR_SET_NAME, "ossel-mdimport");
    applyMemoryCap(settings->maxMemoryMiB);
    const auto results = ResultRing::attach(kWorkerResultFd);
    if (!results) return 2;

    std::string error;
    auto session = ImporterSession::open(settings->bundlePath, &error);
    if (!session) {
        sendReady(*results, error);
        return 2;
    }
    sendReady(*results, {});
    return ImportWorker(*settings, *results, std::move(session)).run();
}

}  // namespace ossel
