#include "WorkerProtocol.h"

#include <charconv>
#include <cstring>

namespace ossel {

namespace {

// Far above any record (a clip is at most 64 MiB by default), far below what
// garbage in a length would claim.
constexpr uint32_t kMaxFrame = 1u << 30;

bool parseNumber(std::string_view text, uint64_t* value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::vector<std::string> WorkerSettings::arguments(pid_t hostPid) const {
    std::string flags;
    if (timings) flags += 't';
    if (carryAttributes) flags += 'a';
    if (carryDependencies) flags += 'd';
    const char formatLetter = format == RecordFormat::json ? 'j' : format == RecordFormat::listing ? 'l' : 'n';
    return {std::string(kWorkerModeArgument), std::to_string(hostPid), std::string(1, formatLetter),
            "-" + flags, std::to_string(maxMemoryMiB), bundlePath};
}

std::optional<WorkerSettings> WorkerSettings::fromArguments(int argc, const char* const* argv, pid_t* hostPid) {
    if (argc != 7 || argv[1] != kWorkerModeArgument) return std::nullopt;
    WorkerSettings settings;
    uint64_t pid = 0;
    if (!parseNumber(argv[2], &pid) || !parseNumber(argv[5], &settings.maxMemoryMiB)) return std::nullopt;
    *hostPid = static_cast<pid_t>(pid);
    switch (argv[3][0]) {
        case 'j': settings.format = RecordFormat::json; break;
        case 'l': settings.format = RecordFormat::listing; break;
        default: settings.format = RecordFormat::none;
    }
    const std::string_view flags = argv[4];
    settings.timings = flags.find('t') != std::string_view::npos;
    settings.carryAttributes = flags.find('a') != std::string_view::npos;
    settings.carryDependencies = flags.find('d') != std::string_view::npos;
    settings.bundlePath = argv[6];
    return settings;
}

void MessageWriter::begin(MessageKind kind) {
    start_ = out_.size();
    out_.append(sizeof(uint32_t), '\0');
    putU8(static_cast<uint8_t>(kind));
}

void MessageWriter::putText(std::string_view text) {
    putU32(static_cast<uint32_t>(text.size()));
    out_.append(text);
}

void MessageWriter::putIdentity(const std::optional<FileIdentity>& identity) {
    const FileIdentity fields = identity.value_or(FileIdentity{});
    putU8(identity ? 1 : 0);
    putU64(fields.device);
    putU64(fields.inode);
    putI64(fields.size);
    putI64(fields.modifiedNanoseconds);
    putI64(fields.changedNanoseconds);
}

size_t MessageWriter::beginText() {
    putU32(0);
    return out_.size();
}

void MessageWriter::endText(size_t mark) {
    const auto length = static_cast<uint32_t>(out_.size() - mark);
    std::memcpy(out_.data() + mark - sizeof length, &length, sizeof length);
}

void MessageWriter::end() {
    const auto length = static_cast<uint32_t>(out_.size() - start_ - sizeof(uint32_t));
    std::memcpy(out_.data() + start_, &length, sizeof length);
}

std::string_view MessageReader::text() {
    const uint32_t length = u32();
    if (!ok_ || rest_.size() < length) {
        ok_ = false;
        rest_ = {};
        return {};
    }
    const std::string_view text = rest_.substr(0, length);
    rest_.remove_prefix(length);
    return text;
}

std::optional<FileIdentity> MessageReader::identity() {
    const bool exists = u8() != 0;
    FileIdentity identity;
    identity.device = u64();
    identity.inode = u64();
    identity.size = i64();
    identity.modifiedNanoseconds = i64();
    identity.changedNanoseconds = i64();
    return exists ? std::optional(identity) : std::nullopt;
}

std::optional<FileResult> MessageReader::result() {
    FileResult result;
    const uint8_t outcome = u8();
    if (outcome > static_cast<uint8_t>(FileOutcome::failed)) return std::nullopt;
    result.outcome = static_cast<FileOutcome>(outcome);
    result.text = text();
    result.attributesArchive = text();
    result.attributeValues = text();
    const uint32_t count = u32();
    for (uint32_t i = 0; ok_ && i < count; ++i) {
        CatalogDependency dependency;
        dependency.path = std::string(text());
        dependency.identity = identity();
        result.dependencies.push_back(std::move(dependency));
    }
    result.identity = identity();
    if (!ok_ || !rest_.empty()) return std::nullopt;
    return result;
}

std::optional<Frame> takeFrame(std::string_view& pending, bool* malformed) {
    uint32_t length = 0;
    if (pending.size() < sizeof length) return std::nullopt;
    std::memcpy(&length, pending.data(), sizeof length);
    if (length == 0 || length > kMaxFrame) {
        *malformed = true;
        return std::nullopt;
    }
    if (pending.size() - sizeof length < length) return std::nullopt;
    const Frame frame{static_cast<MessageKind>(pending[sizeof length]), pending.substr(sizeof length + 1, length - 1)};
    pending.remove_prefix(sizeof length + length);
    return frame;
}

}  // namespace ossel
