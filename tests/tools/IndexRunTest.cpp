// ossel-mdimport --index as a user runs it, again and again over a changing
// catalog tree, checked by its summary line and by what ossel-mdfind finds.

#include <signal.h>

#include <algorithm>
#include <chrono>

#include "HostFixture.h"
#include "support/Cases.h"

using namespace ossel::testing;

namespace {

const std::string kFind = OSSEL_BINARY_DIR "/ossel-mdfind";

class IndexRun : public Host {
protected:
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

    const std::string db_ = (scratch_ / "index.sqlite").string();
};

TEST_F(IndexRun, EachRunDoesOnlyWhatChangesAsk) {
    const fs::path examples = scratch_ / "examples";
    fs::create_directories(examples / "Ossel");
    fs::copy(kSourceDir + "/examples/Ossel", examples / "Ossel", fs::copy_options::recursive);
    for (const auto& c : casesFrom("tools/index-runs.txt", 8)) {
        SCOPED_TRACE(c.where + ": " + c[0]);
        const std::string& change = c[1];
        const fs::path file = examples / c[2];
        if (change == "clip") {
            // A title ending "2 MiB" takes that much room, just past the limit of these runs.
            writeClip(file, c[3].ends_with("2 MiB") ? c[3] + std::string((2 << 20) - 1000, 'x') : c[3]);
        } else if (change == "remove") {
            fs::remove(file);
        } else if (change == "rename") {
            fs::rename(file, examples / c[3]);
        } else if (change == "copy") {
            fs::copy_file(file, examples / c[3]);
        }
        // An edit in place, or through a copy renamed over the file; a clip's extra goes before its </dict>.
        if (change == "replace" || change == "rewrite" || (change == "clip" && c[4] != "-")) {
            const bool clip = change == "clip";
            const std::string from = clip ? "</dict>" : c[3], to = clip ? c[4] + "</dict>" : c[4];
            std::string text = fileContent(file);
            text.replace(text.find(from), from.size(), to);
            const fs::path edited = change == "rewrite" ? fs::path(file.string() + ".new") : file;
            std::ofstream(edited, std::ios::binary) << text;
            if (edited != file) fs::rename(edited, file);
        }
        settleNewFiles(examples);
        const auto [status, summary] = index("examples", db_, "OSSEL_MAX_FILE_MIB=1");
        EXPECT_EQ(summary, c[5]);
        EXPECT_EQ(status, c[5].ends_with(" 0 failed") ? 0 : 1);
        std::string found;
        for (const auto& line : RunResult::linesOf(find(c[6], db_))) {
            const std::string name = fs::path(line).filename().string();
            found += (found.empty() ? "" : " ") + name.substr(0, name.find(" ("));
        }
        EXPECT_EQ(found, c[7] == "-" ? "" : c[7]);
    }
    EXPECT_EQ(find("--failed", db_), "");
}

// A file changed just now may yet be rewritten within one tick of the file
// system's clock, keeping its identity: runs read it again until it has settled.
TEST_F(IndexRun, AFileChangedJustNowIsReadAgainUntilItSettles) {
    writeClip("fresh/Clips/new.plist");
    EXPECT_EQ(index("fresh", db_).second, "1 added, 0 updated, 0 removed, 0 unchanged, 0 failed");
    EXPECT_EQ(index("fresh", db_).second, "0 added, 1 updated, 0 removed, 0 unchanged, 0 failed");
    settleNewFiles(scratch_ / "fresh");
    EXPECT_EQ(index("fresh", db_).second, "0 added, 1 updated, 0 removed, 0 unchanged, 0 failed");
    EXPECT_EQ(index("fresh", db_).second, "0 added, 0 updated, 0 removed, 1 unchanged, 0 failed");
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
    settleNewFiles(scratch_ / "many");
    const pid_t pid = spawnHost({"-g", kTroubleBundle, "--timeout", "60", "--index", "--db", db_, "-r",
                                 (scratch_ / "many").string()},
                                STDOUT_FILENO);
    ASSERT_GT(pid, 0);

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
