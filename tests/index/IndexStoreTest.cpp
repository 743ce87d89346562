// The index file itself: what it refuses, who may write it, and what an
// incremental run learns from it.

#include <sqlite3.h>
#include <sys/resource.h>

#include <csignal>

#include "IndexFixture.h"
#include "support/Cases.h"
#include "foundation/Array.h"
#include "foundation/Date.h"
#include "foundation/Number.h"
#include "index/ClipValues.h"
#include "index/IndexDatabase.h"
#include "index/IndexError.h"
#include "index/IndexPaths.h"
#include "index/IndexReader.h"

namespace ossel::testing {
namespace {

class IndexStoreTest : public IndexFixture {
protected:
    // The kind of IndexError opening throws, or nothing.
    template <class Open>
    static std::optional<IndexErrorKind> openError(Open open) {
        try {
            open();
        } catch (const IndexError& error) {
            return error.kind();
        }
        return std::nullopt;
    }

    void sql(const std::string& path, const std::string& statements) const {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, statements.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    std::vector<std::string> titled(const std::string& title) const {
        QueryError error;
        const auto query = parseQuery("kMDItemTitle == \"" + title + "\"", &error);
        std::vector<std::string> paths;
        IndexReader(db_).forEachMatch(*query, {}, false,
                                      [&](std::string_view path, const Dictionary*) { paths.emplace_back(path); });
        return paths;
    }
};

TEST_F(IndexStoreTest, FilesThatAreNotOursAreRefusedAndLeftAlone) {
    dir_.write("text", "a grocery list, not a database\n");
    sql(pathIn("other.db"), "CREATE TABLE notes (body TEXT)");
    sql(pathIn("newer.db"), "PRAGMA application_id = 1330860876; PRAGMA user_version = " +
                                std::to_string(IndexDatabase::kSchemaVersion + 1));
    for (const auto& [name, kind] : {std::pair{"text", IndexErrorKind::notOurs}, {"other.db", IndexErrorKind::notOurs},
                                     {"newer.db", IndexErrorKind::otherVersion}}) {
        const std::string path = pathIn(name), before = fileContent(path);
        EXPECT_EQ(openError([&] { IndexWriter writer(path); }), kind) << path;
        EXPECT_EQ(openError([&] { IndexReader reader(path); }), kind) << path;
        EXPECT_EQ(fileContent(path), before) << path;
    }
    // Readers never create an index; a writer does, folder and all.
    EXPECT_EQ(openError([&] { IndexReader reader(db_); }), IndexErrorKind::missing);
    EXPECT_FALSE(std::filesystem::exists(db_));
    const std::string nested = pathIn("a/b/index.sqlite");
    EXPECT_EQ(openError([&] { IndexWriter writer(nested); }), std::nullopt);
    EXPECT_EQ(openError([&] { IndexReader reader(nested); }), std::nullopt);
}

TEST_F(IndexStoreTest, OneWriterAtATimeWhileReadersSeeCommittedBatches) {
    storeClipSet();
    auto writer = std::make_unique<IndexWriter>(db_);
    EXPECT_EQ(openError([&] { IndexWriter second(db_); }), IndexErrorKind::busy);
    const Ref<Dictionary> first = clip({{"kMDItemTitle", str("First batch")}});
    writer->storeClip("/n/1", FileIdentity{2, 1, 1, 1, 1}, *first, {});
    writer->commit();
    writer->storeClip("/n/2", FileIdentity{2, 2, 1, 1, 1}, *clip({{"kMDItemTitle", str("Second batch")}}), {});
    EXPECT_EQ(titled("First batch"), std::vector<std::string>{"/n/1"});
    EXPECT_TRUE(titled("Second batch").empty());
    // A writer that ends without committing (as a killed run would) leaves the last batch out.
    writer.reset();
    EXPECT_TRUE(titled("Second batch").empty());
    EXPECT_EQ(openError([&] { IndexWriter again(db_); }), std::nullopt);
}

// The writer stores on a thread of its own: what that thread fails at (a file size
// limit standing in for a full disk) is thrown by a later call or by commit(), and
// the batch it failed in stays out of the index.
TEST_F(IndexStoreTest, AWriteThatFailsIsReportedAndItsBatchLeftOut) {
    storeClipSet();
    const auto storeTooMuch = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        IndexWriter writer(db_);
        const rlimit limit{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            for (uint64_t i = 0; i < 20000; ++i) {
                const std::string title = "Too many " + std::string(200, 'x') + std::to_string(i);
                writer.storeClip("/full/" + std::to_string(i), FileIdentity{3, i, 1, 1, 1},
                                 *clip({{"kMDItemTitle", str(title)}}), {});
            }
            writer.commit();
        } catch (const IndexError&) {
            std::_Exit(7);
        }
        std::_Exit(0);
    };
    EXPECT_EXIT(storeTooMuch(), ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(titled("Market stalls"), std::vector<std::string>{"/c/market.plist"});
    EXPECT_TRUE(titled("Too many*").empty());
    IndexWriter again(db_);
    EXPECT_FALSE(again.isCurrent("/full/0", FileIdentity{3, 0, 1, 1, 1}));
}

// A large index is read in two halves at once: every file of both is known to the
// next writer, and the files it adds get ids of their own.
TEST_F(IndexStoreTest, AWriterKnowsEveryFileOfALargeIndex) {
    constexpr uint64_t kFiles = 5000;
    const auto pathOf = [](uint64_t i) { return "/many/" + std::to_string(i); };
    {
        IndexWriter writer(db_);
        for (uint64_t i = 0; i < kFiles; ++i) writer.storeSkipped(pathOf(i), FileIdentity{4, i, 1, 1, 1});
        writer.commit();
    }
    IndexWriter writer(db_);
    for (uint64_t i = 0; i < kFiles; ++i) ASSERT_TRUE(writer.isCurrent(pathOf(i), FileIdentity{4, i, 1, 1, 1})) << i;
    EXPECT_EQ(writer.pathsBelow("/many").size(), kFiles);
    EXPECT_EQ(writer.storeClip("/many/new", FileIdentity{4, kFiles, 1, 1, 1}, *clip({}), {}),
              IndexWriter::Change::added);
    writer.commit();
}

TEST_F(IndexStoreTest, StoringAgainReplacesEverythingTheFileHad) {
    storeClipSet();
    {
        IndexWriter writer(db_);
        EXPECT_EQ(writer.storeClip("/c/market.plist", FileIdentity{1, 2, 11, 2, 2},
                                   *clip({{"kMDItemTitle", str("Fish market")}}), {}),
                  IndexWriter::Change::updated);
        EXPECT_EQ(writer.storeFailure("/c/harbour.plist", FileIdentity{1, 1, 11, 2, 2}, "worker crashed", true),
                  IndexWriter::Change::updated);
        EXPECT_TRUE(writer.remove("/c/birthday.plist"));
        EXPECT_FALSE(writer.remove("/c/birthday.plist"));
        writer.commit();
    }
    EXPECT_TRUE(titled("Market stalls").empty());
    EXPECT_EQ(titled("Fish market"), std::vector<std::string>{"/c/market.plist"});
    EXPECT_TRUE(titled("Harbour at dusk").empty());
    QueryError error;
    IndexReader reader(db_);
    for (const char* words : {"ines", "maren"}) {
        EXPECT_EQ(reader.countMatches(*parseQuery(words, &error), {}), 0) << words;
    }
    const auto harbour = reader.lookup("/c/harbour.plist");
    ASSERT_TRUE(harbour);
    EXPECT_EQ(harbour->status, StoredStatus::failed);
    EXPECT_EQ(harbour->cause, "worker crashed");
    EXPECT_FALSE(reader.lookup("/c/birthday.plist"));
    EXPECT_EQ(reader.lookup("/c/market.plist")->attributes->objectForKeyAs<String>("kMDItemTitle")->utf8(),
              "Fish market");
}

TEST_F(IndexStoreTest, AnIncrementalRunFindsWhatChanged) {
    const std::string people = dir_.write("cat/People 2.xml", "people v1");
    const std::string places = dir_.write("cat/Places 2.xml", "places v1");
    settleNewFiles(dir_.path());
    const std::string elsewhere = pathIn("home/Movies/Ossel/People 2.xml");
    const FileIdentity identity{9, 1, 5, 1, 1};
    const Ref<Dictionary> attributes = clip({});
    {
        IndexWriter writer(db_);
        const std::vector<CatalogDependency> onPeople = {{people, fileIdentityAtPath(people)}, {elsewhere, {}}};
        const std::vector<CatalogDependency> onPlaces = {{places, fileIdentityAtPath(places)}};
        writer.storeClip("/w/a", identity, *attributes, onPeople);
        writer.storeClip("/w/b", identity, *attributes, onPlaces);
        writer.storeClip("/w/sub/c", identity, *attributes, {});
        writer.storeClip("/w2/d", identity, *attributes, onPeople);
        writer.storeSkipped("/w/People 2.xml", identity);
        writer.storeFailure("/w/bad", identity, "not a property list", false);
        writer.storeFailure("/w/slow", identity, "deadline passed", true, onPlaces);
        writer.commit();
    }
    {
        IndexWriter writer(db_);
        EXPECT_EQ(writer.pathsToRevisit(), std::vector<std::string>{"/w/slow"});
        for (const char* path : {"/w/a", "/w/b", "/w/sub/c", "/w/People 2.xml", "/w/bad"}) {
            EXPECT_TRUE(writer.isCurrent(path, identity)) << path;
            EXPECT_FALSE(writer.isCurrent(path, FileIdentity{9, 1, 5, 1, 2})) << path;
        }
        EXPECT_FALSE(writer.isCurrent("/w/slow", identity));
        EXPECT_FALSE(writer.isCurrent("/w/new", identity));
        EXPECT_EQ(writer.pathsBelow("/w/sub"), std::vector<std::string>{"/w/sub/c"});
        EXPECT_EQ(writer.pathsBelow("/w").size(), 6u);
        EXPECT_EQ(writer.pathsBelow("/").size(), 7u);
    }
    // A catalog rewritten in place, and one that appears where none was: their clips (and
    // failures) are no longer current, wherever they are; the others still are.
    dir_.write(places, "places, version 2");
    dir_.write(elsewhere, "someone else's people");
    settleNewFiles(dir_.path());
    IndexWriter writer(db_);
    EXPECT_EQ(writer.pathsToRevisit(), (std::vector<std::string>{"/w/a", "/w/b", "/w/slow", "/w2/d"}));
    EXPECT_FALSE(writer.isCurrent("/w/a", identity));
    EXPECT_TRUE(writer.isCurrent("/w/sub/c", identity));
    // Once stored again, a clip is current and no longer to revisit.
    writer.storeClip("/w/a", identity, *attributes, {{people, fileIdentityAtPath(people)}});
    EXPECT_TRUE(writer.isCurrent("/w/a", identity));
    EXPECT_EQ(writer.pathsToRevisit(), (std::vector<std::string>{"/w/b", "/w/slow", "/w2/d"}));
}

// What a worker sends the host: every compared value, the searched texts folded, and nothing read past its end.
TEST_F(IndexStoreTest, ClipValuesCarryEveryComparedValueAndRefuseWhatIsCutShort) {
    const auto mixed = Array::make({str("Jörg"), Number::withInt(7), str("ÉLODIE")});
    const auto attributes = clip({{"kMDItemKeywords", mixed},
                                  {"kMDItemTitle", str("Quay at NIGHT")},
                                  {"kMDItemStarRating", Number::withUnsigned(UINT64_MAX)},
                                  {"kMDItemDurationSeconds", Number::withInt(-3)},
                                  {"kMDItemContentCreationDate", Date::withTimeIntervalSinceReferenceDate(1)}});
    const std::string encoded = encodeClipValues(*attributes);
    const auto values = ClipValues::split(encoded);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->words, "jorg\nelodie\nquay at night");
    std::vector<std::string> seen;
    ClipValueReader reader(values->values);
    for (ClipValue value; reader.next(&value);) {
        std::string line = std::string(value.name) + " " + std::to_string(value.kind) + " ";
        const bool list = value.kind == kListValue;
        line += list ? std::to_string(countedTexts(value.text).size()) + " texts" : std::string(value.text);
        std::visit(
            [&](auto number) {
                if constexpr (!std::is_same_v<decltype(number), std::monostate>) line += " " + std::to_string(number);
            },
            value.number);
        seen.push_back(line);
    }
    std::vector<std::string> expected;
    for (const auto& c : casesFrom("index/clip-values.txt", 1)) expected.push_back(c[0]);
    EXPECT_EQ(seen, expected);
    const auto count = [](std::string_view bytes) {
        size_t n = 0;
        ClipValueReader reader(bytes);
        for (ClipValue value; reader.next(&value);) ++n;
        return n;
    };
    for (size_t cut = 0; cut < encoded.size(); ++cut) {
        if (const auto partial = ClipValues::split(std::string_view(encoded).substr(0, cut))) {
            EXPECT_LT(count(partial->values), seen.size()) << cut;
        }
    }
}

TEST(IndexPaths, LocationAndNormalForm) {
    for (const auto& c : casesFrom("index/index-locations.txt", 5)) {
        const ScopedEnv index("OSSEL_INDEX", c.orNull(0)), data("XDG_DATA_HOME", c.orNull(1)),
            home("HOME", c.orNull(2));
        EXPECT_EQ(indexPath(c[3] == "-" ? "" : c[3]), c[4]) << c.where;
    }
    const std::string cwd = std::filesystem::current_path().string();
    for (const auto& c : casesFrom("index/normal-paths.txt", 2)) {
        EXPECT_EQ(normalizedAbsolutePath(c[0]), c[1].starts_with("$CWD") ? cwd + c[1].substr(4) : c[1]) << c.where;
    }
}

}  // namespace
}  // namespace ossel::testing
