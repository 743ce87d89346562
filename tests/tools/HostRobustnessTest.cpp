// The host against what a real disk and a misbehaving plug-in hold: worker
// processes that crash, hang, exit or exhaust memory, every kind of file a
// walk meets, and outputs that fail or are shared.

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <map>
#include <regex>
#include <thread>

#include "HostFixture.h"
#include "support/Cases.h"
#include "support/SpecialFiles.h"

using namespace ossel::testing;

namespace {

struct Record {
    std::string path;
    bool imported = false;
    std::string error;
};

// The records of a --json run; paths in these tests need no escapes.
std::vector<Record> recordsOf(const RunResult& result) {
    static const std::regex shape(R"re(^\{"path": "([^"]*)", "imported": (true|false)(, "error": "([^"]*)")?)re");
    std::vector<Record> records;
    for (const auto& line : result.outLines()) {
        std::smatch match;
        if (!std::regex_search(line, match, shape)) {
            ADD_FAILURE() << "not a record: " << line;
            continue;
        }
        records.push_back({match[1], match[2] == "true", match[4]});
    }
    return records;
}

// The strict JSON reader of tests/data, run on the files given.
const std::string kReadJson = "python3 " OSSEL_TEST_DATA "/tools/json-records.py ";

bool processIsGone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // A zombie nobody reaps (a container's first process may not) is dead too.
    const size_t close = text.rfind(')');
    return text.empty() || (close != std::string::npos && text.compare(close + 2, 1, "Z") == 0);
}

}  // namespace

// A crash, an exit, a hang, endless allocation and a catalog that crashes its reader each
// cost one file; every other file is imported once, and records keep walk order.
TEST_F(Host, WorkerFailuresCostOneFileEach) {
    const auto cases = casesFrom("tools/worker-failures.txt", 2);
    for (const auto& c : cases) writeClip(c[0]);
    writeFile("run/cat/People 2.xml", "CRASH");

    // Both worker counts at once: each run waits out a deadline.
    std::string both;
    for (const int jobs : {1, 2}) {
        const std::string j = std::to_string(jobs);
        both += "(\"$HOST\" -g " + quote(kTroubleBundle) + " --json --timeout 2 --max-memory 256 -j " + j +
                " --failed failed" + j + " -r run > out" + j + " 2> err" + j + "; echo $? > status" + j + ") & ";
    }
    shell("{ " + both + "wait; }", scratch_);
    for (const int jobs : {1, 2}) {
        SCOPED_TRACE(jobs);
        const std::string j = std::to_string(jobs);
        const RunResult result{std::stoi(fileContent(scratch_ / ("status" + j))), fileContent(scratch_ / ("out" + j)),
                               fileContent(scratch_ / ("err" + j))};
        EXPECT_EQ(result.status, 1);
        std::vector<std::string> paths, expectedPaths;
        std::map<std::string, std::string> errors;
        for (const auto& record : recordsOf(result)) {
            paths.push_back(record.path);
            if (!record.imported) errors[record.path] = record.error;
        }
        for (const auto& c : cases) {
            expectedPaths.push_back(c[0]);
            EXPECT_TRUE(c[1] == "-" || errors[c[0]].starts_with(c[1])) << c.where << ": " << errors[c[0]];
        }
        EXPECT_EQ(paths, expectedPaths);
        // Each worker that was reading the catalog when it crashed costs one clip; after that nobody reads it.
        const std::string catalogCause = "while reading the catalog " + (scratch_ / "run/cat/People 2.xml").string();
        size_t catalogFailures = 0;
        for (const auto& [path, error] : errors) catalogFailures += error.ends_with(catalogCause);
        EXPECT_GE(catalogFailures, 1u);
        EXPECT_LE(catalogFailures, static_cast<size_t>(jobs));
        EXPECT_EQ(errors.size(), 4 + catalogFailures) << result.out;
        const std::string unreadable = "People 2.xml: treated as unreadable for the rest of the run";
        const size_t first = result.err.find(unreadable);
        EXPECT_TRUE(first != std::string::npos && first == result.err.rfind(unreadable)) << result.err;
        // The failures file holds exactly the failure records of the output.
        std::string failureLines;
        for (const auto& line : result.outLines()) {
            if (line.find("\"imported\": false") != std::string::npos) failureLines += line + "\n";
        }
        EXPECT_EQ(fileContent(scratch_ / ("failed" + j)), failureLines);
    }
}

// What a walk meets in a home directory, each settled within the time limit: special
// files and links skipped with a note, unreadable files failed, and files another
// program replaces, truncates or removes during the walk handled as they are then.
TEST_F(Host, WalkSkipsOrFailsEveryKindOfFile) {
    const fs::path dir = scratch_ / "kinds";
    for (const char* clip : {"good.plist", "trouble-sabotage.plist", "victim-fifo.plist", "victim-truncated.plist",
                             "victim-vanished.plist"}) {
        writeClip(dir / clip);
    }
    writeFile("kinds/huge.plist", std::string(2 << 20, ' '));
    fs::create_directories(scratch_ / "elsewhere");
    detail::fifo(dir / "fifo", 0);
    detail::socket(dir / "socket", 0);
    const std::pair<const char*, const char*> links[] = {
        {"link-to-clip", "good.plist"}, {"link-to-directory", "../elsewhere"}, {"loop-a", "loop-b"},
        {"loop-b", "loop-a"}, {"dangling", "nowhere"}, {"zero", "/dev/zero"}, {"urandom", "/dev/urandom"}};
    for (const auto& [name, target] : links) fs::create_symlink(target, dir / name);

    std::map<std::string, std::string> expected;
    for (const auto& c : casesFrom("tools/walk-outcomes.txt", 2)) expected[c[0]] = c[1];
    if (::mknod((dir / "device").c_str(), S_IFCHR | 0644, makedev(1, 3)) == 0) {
        expected["kinds/device"] = "skipped, a character device";
    }
    if (::geteuid() != 0) {  // the superuser reads anything
        writeClip("kinds/locked.plist");
        fs::permissions(dir / "locked.plist", fs::perms::none);
        expected["kinds/locked.plist"] = "Permission denied";
    }

    const auto start = std::chrono::steady_clock::now();
    const RunResult result =
        shell("OSSEL_MAX_FILE_MIB=1 timeout 30 \"$HOST\" -g " + quote(kTroubleBundle) + " --json -j 1 -r kinds",
              scratch_);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(result.status, 1) << result.err;

    std::map<std::string, std::string> seen;
    for (const auto& record : recordsOf(result)) seen[record.path] = record.imported ? "imported" : record.error;
    for (const auto& note : result.errLines()) {
        const size_t at = note.find(": skipped, ");
        if (at != std::string::npos) seen[note.substr(0, at)] = note.substr(at + 2);
    }
    ASSERT_EQ(seen.size(), expected.size()) << result.out << result.err;
    for (const auto& [path, outcome] : expected) {
        EXPECT_TRUE(seen[path].starts_with(outcome)) << path << ": " << seen[path];
    }
}

// A full disk, a closed pipe (with SIGPIPE ignored, as some shells run programs) and a
// failures file on a full disk: one message, and the distinct status 3.
TEST_F(Host, OutputThatCannotBeWrittenStopsTheRunWithStatusThree) {
    const std::string clip = quote("examples/Ossel/Clips/2006/Harbour at dusk.plist");
    const RunResult full = run("--json " + clip + " > /dev/full");
    const RunResult failedFull = run("--failed /dev/full missing.plist");
    for (const auto* result : {&full, &failedFull}) {
        EXPECT_EQ(result->status, 3);
        EXPECT_EQ(result->errLines().size(), result == &full ? 1u : 2u) << result->err;
        EXPECT_NE(result->err.find("No space left on device"), std::string::npos) << result->err;
    }

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);  // the child keeps it ignored
    const pid_t host = spawnHost({"--json", kSourceDir + "/examples/Ossel/Clips/2006/Harbour at dusk.plist"}, fds[1]);
    std::signal(SIGPIPE, previous);
    ::close(fds[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(host, &status, 0), host);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
}

// Each write carries whole records: a socket that keeps write boundaries shows every
// one of them, and hosts appending to one file never cut into each other's lines.
TEST_F(Host, RecordsLeaveInWholeWrites) {
    // Records of a few kilobytes: a writer that cut them would cut most of them.
    for (int i = 0; i < 100; ++i) {
        writeClip("many/a/b/clip-" + std::to_string(i) + ".plist", std::string(2000, 'a' + i % 26));
    }
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    const pid_t host = spawnHost({"--json", "-j", "2", "-r", (scratch_ / "many").string()}, ends[1]);
    ::close(ends[1]);
    std::vector<char> packet(1 << 20);
    size_t records = 0;
    std::string cutWrite;
    for (ssize_t n; (n = ::recv(ends[0], packet.data(), packet.size(), 0)) > 0;) {
        const std::string_view write(packet.data(), static_cast<size_t>(n));
        if (cutWrite.empty() && !(write.starts_with("{\"path\": ") && write.ends_with("}\n"))) cutWrite = write;
        records += static_cast<size_t>(std::count(write.begin(), write.end(), '\n'));
    }
    ::close(ends[0]);
    ::waitpid(host, nullptr, 0);
    EXPECT_EQ(cutWrite, "");
    EXPECT_EQ(records, 100u);

    const std::string oneHost = "\"$HOST\" --json -j 1 -r many >> out.jsonl";
    const RunResult result = shell("(" + oneHost + " & " + oneHost + " & " + oneHost + " & wait)", scratch_);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(runShell(kReadJson + "count " + quote((scratch_ / "out.jsonl").string())).out, "300\n");
}

// A name that is not UTF-8 still gives valid JSON: U+FFFD in "path", the exact bytes in
// "pathBytes", for an imported file and a failed one alike.
TEST_F(Host, NamesThatAreNotUtf8StayValidJson) {
    writeClip("odd/a/b/clip-\xff\xfe.plist");
    writeFile("odd/a/b/junk-\xc3.plist", "not a property list");
    const RunResult result = run("--json --failed failed.jsonl odd/a/b/*", scratch_);
    EXPECT_EQ(result.status, 1) << result.err;
    const std::string out = (scratch_ / "out.jsonl").string();
    std::ofstream(out) << result.out;
    EXPECT_EQ(runShell(kReadJson + "paths " + quote(out) + " " + quote((scratch_ / "failed.jsonl").string())).out,
              "odd/a/b/clip-\\ufffd\\ufffd.plist 6f64642f612f622f636c69702dfffe2e706c697374 True\n"
              "odd/a/b/junk-\\ufffd.plist 6f64642f612f622f6a756e6b2dc32e706c697374 False\n"
              "odd/a/b/junk-\\ufffd.plist 6f64642f612f622f6a756e6b2dc32e706c697374 False\n");
}

// A host killed outright takes its workers with it, even ones stuck in an import.
TEST_F(Host, WorkersDieWithTheirHost) {
    writeClip("stuck/trouble-hang-1.plist");
    writeClip("stuck/trouble-hang-2.plist");
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t host = spawnHost({"-g", kTroubleBundle, "-j", "2", "-r", (scratch_ / "stuck").string()}, devNull);
    ::close(devNull);
    ASSERT_GT(host, 0);
    std::vector<pid_t> workers;
    const std::string children = "/proc/" + std::to_string(host) + "/task/" + std::to_string(host) + "/children";
    for (int i = 0; i < 500 && workers.size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(children);
        workers.clear();
        for (pid_t pid; in >> pid;) workers.push_back(pid);
    }
    ::kill(host, SIGKILL);
    ::waitpid(host, nullptr, 0);
    ASSERT_EQ(workers.size(), 2u);
    for (const pid_t worker : workers) {
        bool gone = false;
        for (int i = 0; i < 300 && !gone; ++i) {
            gone = processIsGone(worker);
            if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(gone) << worker;
        if (!gone) ::kill(worker, SIGKILL);
    }
}
