// ossel-mdimport --index as a user runs it, again and again over a changing
// catalog tree, checked by its summary line and by what ossel-mdfind finds.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "HostFixture.h"

using namespace ossel::testing;

namespace {

const std::string kFind = OSSEL_BINARY_DIR "/ossel-mdfind";

class IndexRun : public Host {
protected:
    void SetUp() override {
        Host::SetUp();
        db_ = (scratch_ / "index.sqlite").string();
    }
    // One --index run (through the test bundle, which imports like the real one)
    // over the scratch folder's `tree`: its status and its last line on standard error.
    std::pair<int, std::string> index(const std::string& tree, const std::string& db, const std::string& extra = "") {
        const RunResult result = shell(extra + " \"$HOST\" -g " + quote(kTroubleBundle) + " --index --db " +
                                           quote(db) + " -r " + quote(tree),
                                       scratch_);
        const auto lines = result.errLines();
        return {result.status, lines.empty() ? "" : lines.back()};
    }
    // ossel-mdfind's output; a query starting with "--" is an option.
    std::string find(const std::string& query, const std::string& db) {
        return shell(quote(kFind) + " --db " + quote(db) + " " + (query.starts_with("--") ? query : quote(query)),
                     scratch_)
            .out;
    }
    void replaceIn(const fs::path& file, const std::string& from, const std::string& to) {
        std::string text = readAll(file);
        text.replace(text.find(from), from.size(), to);
        std::ofstream(file, std::ios::binary) << text;
    }

    std::string db_;
};

TEST_F(IndexRun, EachRunDoesOnlyWhatChangesAsk) {
    const fs::path ossel = scratch_ / "examples/Ossel";
    fs::create_directories(ossel);
    fs::copy(kSourceDir + "/examples/Ossel", ossel, fs::copy_options::recursive);
    const std::string big((2 << 20) - 1000, 'x');
    const struct {
        std::string step;
        std::function<void()> change;
        std::string summary;
        std::string query;
        // The file names in its output, blank-separated; causes up to their parenthesis, which
        // differs under the sanitizers.
        std::string found;
    } steps[] = {
        {"first run", [] {}, "8 added, 0 updated, 0 removed, 0 unchanged, 0 failed", "maren",
         "Regatta start.plist Birthday speeches.plist"},
        {"nothing changed", [] {}, "0 added, 0 updated, 0 removed, 8 unchanged, 0 failed", "fenwick",
         "Harbour at dusk.plist Regatta start.plist"},
        {"a clip edited", [&] { replaceIn(ossel / "Clips/2006/Market stalls.plist", "Market", "Bazaar"); },
         "0 added, 1 updated, 0 removed, 7 unchanged, 0 failed", "kMDItemTitle == \"bazaar*\"c",
         "Market stalls.plist"},
        // Every clip probed the people file: all five are imported again, with the file itself.
        {"a person renamed",
         [&] { replaceIn(ossel / "People 2.xml", "<string>Maren</string>", "<string>Mirela</string>"); },
         "0 added, 6 updated, 0 removed, 2 unchanged, 0 failed",
         "kMDItemKeywords == \"Mirela\" && kMDItemKeywords != \"Maren\"",
         "Regatta start.plist Birthday speeches.plist"},
        {"a clip deleted", [&] { fs::remove(ossel / "Clips/2006/Regatta start.plist"); },
         "0 added, 0 updated, 1 removed, 7 unchanged, 0 failed", "mirela", "Birthday speeches.plist"},
        // The places file was read for the three clips that name a place.
        {"a catalog replaced by rename",
         [&] {
             fs::copy_file(ossel / "Places 2.xml", ossel / "Places.new");
             replaceIn(ossel / "Places.new", "Fenwick Harbour", "Wick Quay");
             fs::rename(ossel / "Places.new", ossel / "Places 2.xml");
         },
         "0 added, 4 updated, 0 removed, 3 unchanged, 0 failed", "quay", "Harbour at dusk.plist"},
        // Three levels above a new clip there is no catalog yet, then there is one.
        {"a clip with no catalog",
         [&] {
             writeClip("examples/Loose/Clips/2008/tide.plist");
             replaceIn(scratch_ / "examples/Loose/Clips/2008/tide.plist", "</dict>",
                       "<key>clipPeopleIds</key><array><string>OsselPeople_atelier_1</string></array></dict>");
         },
         "1 added, 0 updated, 0 removed, 7 unchanged, 0 failed", "mirela", "Birthday speeches.plist"},
        {"a People 2.xml appears",
         [&] { fs::copy_file(ossel / "People 2.xml", scratch_ / "examples/Loose/People 2.xml"); },
         "1 added, 1 updated, 0 removed, 7 unchanged, 0 failed", "mirela", "tide.plist Birthday speeches.plist"},
        {"a clip over the size limit", [&] { writeClip("examples/Loose/Clips/2008/long.plist", "Long " + big); },
         "0 added, 0 updated, 0 removed, 9 unchanged, 1 failed", "--failed",
         "long.plist: is 2 MiB, larger than the limit of 1 MiB"},
        // A file that failed by itself is not tried again until it changes.
        {"nothing changed after a failure", [] {}, "0 added, 0 updated, 0 removed, 10 unchanged, 0 failed",
         "kMDItemTitle == \"Long*\"", ""},
        {"the failing clip fixed", [&] { writeClip("examples/Loose/Clips/2008/long.plist", "Long take"); },
         "0 added, 1 updated, 0 removed, 9 unchanged, 0 failed", "kMDItemTitle == \"Long*\"", "long.plist"},
        // A worker's crash says nothing lasting about the file: it is tried on every run.
        {"a clip that crashes its worker", [&] { writeClip("examples/Loose/Clips/2008/trouble-crash.plist", "Crash"); },
         "0 added, 0 updated, 0 removed, 10 unchanged, 1 failed", "crash", ""},
        {"and again", [] {}, "0 added, 0 updated, 0 removed, 10 unchanged, 1 failed", "--failed",
         "trouble-crash.plist: crashed"},
        {"the crashing clip renamed",
         [&] {
             fs::rename(scratch_ / "examples/Loose/Clips/2008/trouble-crash.plist",
                        scratch_ / "examples/Loose/Clips/2008/calm.plist");
         },
         "1 added, 0 updated, 1 removed, 10 unchanged, 0 failed", "crash", "calm.plist"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        step.change();
        const auto [status, summary] = index("examples", db_, "OSSEL_MAX_FILE_MIB=1");
        EXPECT_EQ(summary, step.summary);
        EXPECT_EQ(status, step.summary.ends_with(" 0 failed") ? 0 : 1);
        std::string found;
        for (const auto& line : RunResult::linesOf(find(step.query, db_))) {
            const std::string name = fs::path(line).filename().string();
            found += (found.empty() ? "" : " ") + name.substr(0, name.find(" ("));
        }
        EXPECT_EQ(found, step.found);
    }
    EXPECT_EQ(find("--failed", db_), "");
}

// Killed while it waits for a file that hangs its worker, after it has committed
// what came before, a run leaves an index that the next run completes to what
// one uninterrupted run gives. While it runs, queries read what it committed
// and a second run is turned away.
TEST_F(IndexRun, AKilledRunIsCompletedByTheNext) {
    constexpr int kClips = 400;
    for (int i = 0; i < kClips; ++i) {
        writeClip("many/Clips/" + std::to_string(i % 10) + "/clip-" + std::to_string(i) + ".plist",
                  "Take " + std::to_string(i));
    }
    const fs::path hang = writeClip("many/Clips/z/trouble-hang.plist");
    const std::string home = "HOME=" + (scratch_ / "home").string();
    char* envp[] = {const_cast<char*>(home.c_str()), nullptr};
    const std::string tree = (scratch_ / "many").string();
    const char* argv[] = {kHost.c_str(), "-g", kTroubleBundle.c_str(), "--timeout", "60", "--index", "--db",
                          db_.c_str(), "-r", tree.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, kHost.c_str(), &actions, nullptr, const_cast<char**>(argv), envp), 0);
    posix_spawn_file_actions_destroy(&actions);

    // Counts read while it commits: each query succeeds and sees no fewer clips than the last.
    std::vector<int> counts;
    const auto count = [&] {
        return shell(quote(kFind) + " --db " + quote(db_) + " -count 'kMDItemTitle == \"Take*\"'", scratch_);
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(50);
    while ((counts.empty() || counts.back() == 0) && std::chrono::steady_clock::now() < deadline) {
        const RunResult counted = count();
        if (counted.status == 0) counts.push_back(std::stoi(counted.out));
        // Until the run has created the index, there is none.
        if (counted.status != 0 && counted.err.find(": no index here") == std::string::npos) {
            ADD_FAILURE() << counted.err;
        }
    }
    const auto [busyStatus, busy] = index("many", db_);
    EXPECT_EQ(busyStatus, 2);
    EXPECT_EQ(busy, "ossel-mdimport: " + db_ + ": another indexing run is writing this index");
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, WNOHANG), 0) << "the run ended before it could be killed";
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &raw, 0);
    const RunResult left = count();
    ASSERT_EQ(left.status, 0) << left.err;
    counts.push_back(std::stoi(left.out));
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
    EXPECT_GT(counts.back(), 0);

    fs::remove(hang);
    const auto [status, summary] = index("many", db_);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(summary, std::to_string(kClips - counts.back()) + " added, 0 updated, 0 removed, " +
                           std::to_string(counts.back()) + " unchanged, 0 failed");
    const std::string whole = (scratch_ / "whole.sqlite").string();
    EXPECT_EQ(index("many", whole),
              std::make_pair(0, std::to_string(kClips) + " added, 0 updated, 0 removed, 0 unchanged, 0 failed"));
    const std::string all = "--json 'kMDItemKind == \"*\"'";
    EXPECT_EQ(find(all, db_), find(all, whole));
}

}  // namespace
